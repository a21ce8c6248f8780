// Binding the process's translations.

#include "core/Translation.h"

#include "core/Paths.h"

#include <libintl.h>

namespace tvn {

std::filesystem::path translationFolder(const std::filesystem::path& applicationFolder)
{
    std::error_code error;
    if (std::filesystem::is_directory(applicationFolder / "locale", error))
        return applicationFolder / "locale";
    return (applicationFolder / ".." / ".." / "share" / "locale").lexically_normal();
}

void startTranslation()
{
    bindtextdomain("tvn", translationFolder(modulePath().parent_path()).c_str());
    bind_textdomain_codeset("tvn", "UTF-8");
}

} // namespace tvn
