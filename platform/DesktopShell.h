// Handing things to the desktop: a file shown selected in the file manager, a URL opened by the
// program the desktop chose for it. Neither waits for the other program to finish.
#pragma once

#include <filesystem>
#include <string>

namespace tvn::platform {

// The desktop's file manager shows `item` selected in its folder (the session bus's
// org.freedesktop.FileManager1 ShowItems); with no file manager on the bus, the folder is opened
// with its default handler. False when the item does not exist or nothing could be asked.
bool showInFileManager(const std::filesystem::path& item);

// Opens `url` with the desktop's default handler for its scheme; false for an empty or unparsable
// URL, or when no handler took it.
bool openWithDefaultHandler(const std::string& url);

} // namespace tvn::platform
