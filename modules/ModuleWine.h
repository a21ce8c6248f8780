// The "wine" module: the Wine prefixes of this user's home, the one tvn repairs, and the choice
// of it. prefixes() searches off the script thread and answers a thenable; `current` and use()
// answer at once. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "wine/Prefixes.h"

#include <nlohmann/json.hpp>

namespace tvn {

class ModuleWine final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

// { path, name, source, arch, wine }, as the page gets a prefix.
nlohmann::json prefixJson(const wine::WinePrefix&);

} // namespace tvn
