// A log file as this process has written it so far: records below a warning are written out in
// batches, so the log is flushed before it is read.
#pragma once

#include "core/Logging.h"
#include "tests/support/TempDir.h"

namespace tvn::test {

inline std::string logText(const std::filesystem::path& file)
{
    log::flush();
    return readFile(file);
}

} // namespace tvn::test
