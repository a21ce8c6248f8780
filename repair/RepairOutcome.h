// How one repair or install ended: the engine's error code, as the page has always had it, and the
// reason beside it, which tells apart what one code covers ("download failed" is a cancel, a file
// that did not match its digest, or a broken transfer). The page words each reason.
#pragma once

#include "repair/Items.h"

#include <cstdint>

namespace tvn {

enum class RepairReason {
    None,
    NoServer,    // no API server is configured
    Unreachable, // no token: the API server cannot be reached, or turned tvn away
    NoAddress,   // the server answered without an address for the file
    Refused,     // the address it gave is not one tvn downloads from
    Cancelled,
    BadDigest,   // the file arrived, but not with the digest the server named
    Transfer,    // the transfer broke (connection, an error status, a limit passed)
    CannotWrite, // the file could not be written where it belongs
    NotStarted,  // the installer or the registration could not be started
    ExitCode,    // the installer ended with a code other than 0 (not a failure by itself)
};

struct RepairOutcome {
    int32_t errorCode = kRepairDone;
    RepairReason reason = RepairReason::None;
    int exitCode = 0; // the installer's, with RepairReason::ExitCode
};

// The reason's name in the page's events ("" for None).
constexpr const char* reasonName(RepairReason reason)
{
    switch (reason) {
    case RepairReason::None:
        return "";
    case RepairReason::NoServer:
        return "noServer";
    case RepairReason::Unreachable:
        return "unreachable";
    case RepairReason::NoAddress:
        return "noAddress";
    case RepairReason::Refused:
        return "refused";
    case RepairReason::Cancelled:
        return "cancelled";
    case RepairReason::BadDigest:
        return "badDigest";
    case RepairReason::Transfer:
        return "transfer";
    case RepairReason::CannotWrite:
        return "cannotWrite";
    case RepairReason::NotStarted:
        return "notStarted";
    case RepairReason::ExitCode:
        return "exitCode";
    }
    return "";
}

} // namespace tvn
