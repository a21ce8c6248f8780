// The start-up every process of tvn shares, whatever its role: the locale (which stands for the
// ANSI code page), the channel id from the executable, bd_vid from the installation source, and
// the start report ("checkbdvid"). Logging is started by the role's own object afterwards.
#pragma once

#include <string_view>

namespace tvn {

enum class StartReport {
    InBackground, // sent from a thread of its own: a window or a page never waits on the network
    Wait,         // sent before returning (the report run, which exits right after)
};

void startProcess(StartReport);

// Waits for a start report sent in the background: before the process's own end (its main
// function returning, the web extension's end), so that no request is under way while exit
// handlers take libcurl and OpenSSL down.
void endProcess();

} // namespace tvn
