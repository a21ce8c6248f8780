// The parameters of the user messages between the browser process and the web processes: the
// message's argument list as one JSON text in a string GVariant. Shared by both sides, so it
// names no WebKit type.
#pragma once

#include <glib.h>
#include <nlohmann/json.hpp>

namespace tvn {

// A floating string GVariant holding the list's JSON text.
GVariant* jsonParameters(const nlohmann::json& arguments);

// The list back; an empty array for a missing, non-string or non-list parameter.
nlohmann::json argumentsOf(GVariant* parameters);

} // namespace tvn
