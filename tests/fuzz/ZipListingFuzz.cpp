// libFuzzer target: the zip module's archive listing (minizip's reading and our reading of the
// central-directory records) on arbitrary bytes. The bytes are an in-memory file (memfd), opened by
// its /proc path as any archive is opened.

#include "platform/ZipArchive.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("tvn-zip-fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    const auto entries = tvn::listZipArchive("/proc/self/fd/" + std::to_string(fd));
    if (entries) {
        for (const tvn::ZipEntry& entry : *entries) {
            if (entry.name.size() > 0xFFFF)
                __builtin_trap(); // a name longer than its 16-bit length field can say
        }
    }
    return 0;
}
