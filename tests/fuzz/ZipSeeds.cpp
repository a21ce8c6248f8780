// Writes a few well-formed archives as the zip fuzzer's starting corpus: a stored and a deflated
// entry, a folder, and a zip64 entry.

#include <string>
#include <zip.h>

namespace {

bool write(const std::string& path, bool zip64)
{
    zipFile archive = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!archive)
        return false;
    const struct {
        const char* name;
        std::string data;
        int method;
    } entries[] = { { "dir/", "", 0 }, { "dir/stored.txt", "stored", 0 }, { "deflated.txt", std::string(500, 'd'), Z_DEFLATED } };
    for (const auto& entry : entries) {
        zip_fileinfo info = {};
        zipOpenNewFileInZip64(archive, entry.name, &info, nullptr, 0, nullptr, 0, nullptr, entry.method, Z_DEFAULT_COMPRESSION, zip64 ? 1 : 0);
        zipWriteInFileInZip(archive, entry.data.data(), static_cast<unsigned>(entry.data.size()));
        zipCloseFileInZip(archive);
    }
    return zipClose(archive, "comment") == ZIP_OK;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    return write(folder + "/plain.zip", false) && write(folder + "/zip64.zip", true) ? 0 : 1;
}
