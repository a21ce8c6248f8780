// Choosing and checking the runtime folder.

#include "platform/RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::platform {

FolderCheck checkPrivateFolder(const std::filesystem::path& folder, uid_t user)
{
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0)
        return FolderCheck::Missing;
    if (!S_ISDIR(status.st_mode))
        return FolderCheck::NotAFolder;
    if (status.st_uid != user)
        return FolderCheck::WrongOwner;
    if (status.st_mode & (S_IRWXG | S_IRWXO))
        return FolderCheck::OpenToOthers;
    return FolderCheck::Private;
}

RuntimeFolder runtimeFolder()
{
    const uid_t user = ::getuid();
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/' && checkPrivateFolder(runtime, user) == FolderCheck::Private)
        return { runtime, FolderCheck::Private };

    // mkdir never follows a link and fails on anything already there, which is then checked.
    const std::filesystem::path fallback = "/tmp/tvn-" + std::to_string(user);
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return { fallback, FolderCheck::Missing };
    return { fallback, checkPrivateFolder(fallback, user) };
}

FolderCheck makePrivateFolder(const std::filesystem::path& folder)
{
    std::error_code ignored;
    if (folder.has_parent_path())
        std::filesystem::create_directories(folder.parent_path(), ignored);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return FolderCheck::Missing;
    const FolderCheck check = checkPrivateFolder(folder, ::getuid());
    if (check != FolderCheck::OpenToOthers)
        return check;
    // Checked without following a link above, so this closes the folder itself.
    return ::chmod(folder.c_str(), 0700) == 0 ? checkPrivateFolder(folder, ::getuid()) : check;
}

} // namespace tvn::platform
