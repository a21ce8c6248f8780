// Where the process finds its translations: the application folder's locale/ (a build, or a copy
// of the folder anywhere), else the share/locale/ of the installation the folder belongs to
// (lib/tvn/ beside share/). Called once at start-up, after setlocale.
#pragma once

#include <filesystem>

namespace tvn {

// The folder holding <language>/LC_MESSAGES/tvn.mo for an application folder.
std::filesystem::path translationFolder(const std::filesystem::path& applicationFolder);

// Binds gettext's "tvn" domain to translationFolder(the module's folder), in UTF-8.
void startTranslation();

} // namespace tvn
