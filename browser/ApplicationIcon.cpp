// Loading the application's icon sizes.

#include "browser/ApplicationIcon.h"

namespace tvn {

std::vector<GRef<GdkPixbuf>> applicationIcons(const std::filesystem::path& applicationFolder)
{
    std::vector<GRef<GdkPixbuf>> icons;
    for (const int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        const std::filesystem::path file = applicationFolder / "icons" / ("tvn-" + std::to_string(size) + ".png");
        if (GdkPixbuf* icon = gdk_pixbuf_new_from_file(file.c_str(), nullptr))
            icons.push_back(GRef<GdkPixbuf>::adopt(icon));
    }
    return icons;
}

} // namespace tvn
