// The files being dragged over the page, as the browser process last reported them (the "drag"
// message of type "file"). Written by the renderer's message handling, read by the dragdrop
// module. Script thread only.
#pragma once

#include <string>
#include <vector>

namespace tvn {

std::vector<std::string>& dragFileList();

} // namespace tvn
