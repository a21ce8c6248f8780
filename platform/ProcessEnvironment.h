// The environment tvn's own processes run with, and the one the programs it starts get.
//
// tvn's window draws nothing with OpenGL, yet on X11 GTK's check for GL at start and WebKit's
// search for the GPU device (an EGL display, opened only to ask which device it is) load Mesa's
// driver into the UI process: on a machine without a GPU a software renderer that brings LLVM,
// some 25 MB for nothing. Three variables set before GTK starts turn both off. They are tvn's own:
// a program tvn starts (an installer, exec's child, the desktop's browser) gets the environment tvn
// was given, without what tvn added.
#pragma once

#include "platform/GRef.h"

#include <gio/gio.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tvn::platform {

// Names the variables tvn added to its own environment, so that its web processes (which inherit
// it) know them too.
inline constexpr std::string_view kAddedVariablesName = "TVN_ADDED_ENVIRONMENT";

// What keeps Mesa out of the UI process, as name and value. `renderNode` is the GPU device WebKit
// would otherwise find through EGL: the first render node there is, or where the first would be.
std::vector<std::pair<std::string, std::string>> drawingVariables(const std::string& renderNode);

// The first render node in `folder` (/dev/dri), by number; "<folder>/renderD128" when there is none.
std::string firstRenderNode(const std::string& folder = "/dev/dri");

// Sets the drawing variables the user has not set, and the list of those it set. First thing in
// main(): before GTK starts, and before any thread that could read the environment.
void setDrawingEnvironment();

// `environment` (name=value entries) without the variables tvn added and without their list.
std::vector<std::string> withoutAddedVariables(const std::vector<std::string>& environment);

// The environment a started program gets: this process's, without what tvn added.
std::vector<std::string> programEnvironment();

// A launch context for the desktop's handlers (g_app_info_launch_*) that passes on the same.
GRef<GAppLaunchContext> programLaunchContext();

} // namespace tvn::platform
