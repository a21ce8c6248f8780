// The device id: 32 lower-case hex digits, the MD5 of the machine's identity text, cached in the
// application-data folder as "<id>,<MD5 of id and a salt>" so it is computed once per machine.
#pragma once

#include <string>
#include <string_view>

namespace tvn {

// From the cache when its checksum holds; else computed from the hardware and cached.
std::string deviceId();

// The id from the hardware: the system UUID when usable, else the wmic fingerprint; MD5 of it.
std::string computeDeviceId();

// True for the placeholder UUIDs firmware leaves behind (and for the empty text), in any case.
bool isInvalidUuid(std::string_view text);

// The cache file's check for an id: MD5 of the id followed by the salt.
std::string deviceIdChecksum(std::string_view id);

} // namespace tvn
