// The "wine" module: the Wine prefixes of this user's home, the one tvn repairs, the choice of it,
// what a Windows program needs there, and the history of the engine's runs with their undo.
// prefixes(), analyze(), history() and undo() work off the script thread and answer thenables;
// `current` and use() answer at once. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "repair/RunJournal.h"
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

// [{ id, prefix, started, ended, state ("running" while open), items: [{ fileName, action }],
// changed, cannotRestore: [paths], undoable }], as the page gets the history (newest first).
nlohmann::json historyJson(const std::vector<RunRecord>& runs);

} // namespace tvn
