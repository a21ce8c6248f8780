// The "wine" module: the Wine prefixes of this user's home, the one tvn repairs, the choice of it,
// and what a Windows program needs there. prefixes() and analyze() work off the script thread and
// answer thenables; `current` and use() answer at once. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "wine/ImportWalk.h"
#include "wine/Prefixes.h"

#include <nlohmann/json.hpp>

namespace tvn {

class ModuleWine final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

// { path, name, source, arch, wine }, as the page gets a prefix.
nlohmann::json prefixJson(const wine::WinePrefix&);

// { path, machine, kind, dotnet (the runtime version, "" when not .NET), dlls: [{ name, status,
// path, neededBy, delay }], error }, as the page gets an analysis.
nlohmann::json needsJson(const wine::ProgramNeeds&);

} // namespace tvn
