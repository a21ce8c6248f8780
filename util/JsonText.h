// JSON text written byte for byte as the system's documents have always been written: strings
// escaped as json11 escapes them, objects as {"a": 1, "b": 2} (a blank after ":" and ","), arrays
// as ["x", "y"]. Where a document's exact bytes are visible (the device information, the report
// body), it is written with these.
//
// Every other JSON text goes through jsonText, which never throws: strings from outside (file
// names, arguments) need not be UTF-8.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tvn {

// The compact text of a value; bytes that are not UTF-8 become U+FFFD.
std::string jsonText(const nlohmann::json&);

// `text` as valid UTF-8: each byte that is not part of a UTF-8 sequence becomes U+FFFD.
std::string validUtf8(std::string_view text);

// A quoted JSON string.
std::string json11String(std::string_view);

// An object of string members, in the order given (json11 keeps its keys sorted: pass them so).
std::string json11Object(const std::vector<std::pair<std::string, std::string>>& members);

// An array of strings.
std::string json11Array(const std::vector<std::string>& items);

} // namespace tvn
