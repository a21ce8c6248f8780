// ResourceResponse: what the system answers for a page resource it serves itself.
#pragma once

#include <cstdint>
#include <string>

namespace tvn {

struct ResourceResponse {
    int status = 200;
    std::string mimeType;
    uint64_t length = 0; // the announced length; the body may fall short of it when a read failed
    std::string body;
};

} // namespace tvn
