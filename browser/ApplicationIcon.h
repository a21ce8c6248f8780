// The application's own icon: the sizes rendered beside the executable (icons/tvn-<size>.png),
// smallest first. Empty when none is there. UI thread.
#pragma once

#include "platform/GRef.h"

#include <filesystem>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <vector>

namespace tvn {

std::vector<GRef<GdkPixbuf>> applicationIcons(const std::filesystem::path& applicationFolder);

} // namespace tvn
