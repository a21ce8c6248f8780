// The folder for the user's sockets and locks (the window channel, the single-instance lock):
// one that only the user can enter, so that no one else can reach a socket or plant a file there.
//
// $XDG_RUNTIME_DIR when it is such a folder; else "/tmp/tvn-<uid>", made with mode 0700 or, when it
// exists, used only if it is a real folder (not a link), owned by the user, with no access for
// group or others.
#pragma once

#include <filesystem>
#include <sys/types.h>

namespace tvn::platform {

enum class FolderCheck {
    Private,       // a folder of the user's own, closed to everyone else
    Missing,
    NotAFolder,    // a file, or a link (even to a good folder)
    WrongOwner,
    OpenToOthers,  // group or others have some access
};

// What `folder` is, judged without following a link.
FolderCheck checkPrivateFolder(const std::filesystem::path& folder, uid_t user);

struct RuntimeFolder {
    std::filesystem::path path;  // the folder, or the fallback that was refused
    FolderCheck check = FolderCheck::Missing;
    bool usable() const { return check == FolderCheck::Private; }
};

// The runtime folder, made when it is missing.
RuntimeFolder runtimeFolder();

// `folder` made private: created with mode 0700 when missing (its parents as needed), else closed
// to group and others when it is a real folder of the user's own. The check that results.
FolderCheck makePrivateFolder(const std::filesystem::path& folder);

} // namespace tvn::platform
