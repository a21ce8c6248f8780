// What the fuzz targets share: the input as text, and a check that stops the run with a message
// when a property the code promises does not hold (libFuzzer keeps the input as a crash).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tvn::fuzz {

inline std::string_view text(const uint8_t* data, size_t size)
{
    return { reinterpret_cast<const char*>(data), size };
}

inline void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

} // namespace tvn::fuzz
