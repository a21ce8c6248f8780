// The main frame's draggable regions, watched in the web process and reported to the browser
// process, which hit-tests the window with them.
//
// An element whose computed style has the custom property `--app-region: drag` is a draggable
// region, one with `--app-region: no-drag` a hole in one. The property inherits, so only the
// element where the value starts is reported. A script in a world of its own (the page cannot see
// or disturb it) collects the rectangles in a frame callback after any change to the document, its
// size or its scroll position, and reports the list when it differs from the last one.
#pragma once

#include <webkit2/webkit-web-extension.h>

namespace tvn {

// Sets up the watching world; every main frame then reports its regions.
void watchDraggableRegions();

} // namespace tvn
