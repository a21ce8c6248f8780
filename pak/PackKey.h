// The resource pack key: the secret the pack's index signature is computed with.
//
// Shared by the reader and the pack writer tool, which must agree on it byte for byte. The key is
// never stored whole: it is assembled on each call from constants kept apart in read-only data.
#pragma once

#include <string>

namespace tvn {

// The 24 characters of the key.
std::string packKey();

} // namespace tvn
