// The wine module.

#include "modules/ModuleWine.h"

#include "core/Log.h"
#include "core/PagePaths.h"
#include "core/PrefixChoice.h"
#include "modules/CallBridge.h"
#include "repair/History.h"
#include "repair/SystemTolvane.h"

#include <set>

namespace tvn {

nlohmann::json prefixJson(const wine::WinePrefix& prefix)
{
    return { { "path", prefix.path.string() }, { "name", prefix.name }, { "source", prefix.source }, { "arch", prefix.arch },
        { "wine", prefix.wine.string() } };
}

nlohmann::json needsJson(const wine::ProgramNeeds& needs)
{
    nlohmann::json dlls = nlohmann::json::array();
    for (const wine::NeededDll& dll : needs.dlls)
        dlls.push_back({ { "name", dll.name }, { "status", dll.status }, { "path", dll.path.string() }, { "neededBy", dll.neededBy }, { "delay", dll.delay } });
    return { { "path", needs.path.string() }, { "machine", needs.machine }, { "kind", needs.kind },
        { "dotnet", needs.dotnet ? needs.runtimeVersion : std::string() }, { "dlls", std::move(dlls) }, { "error", needs.error } };
}

nlohmann::json historyJson(const std::vector<RunRecord>& runs)
{
    nlohmann::json list = nlohmann::json::array();
    std::set<std::pair<std::string, std::string>> newerSeen; // prefixes with a newer run not undone
    for (const RunRecord& run : runs) {
        nlohmann::json items = nlohmann::json::array();
        for (const RunItem& item : run.items)
            items.push_back({ { "fileName", item.fileName }, { "action", item.action } });
        const auto place = std::make_pair(run.prefix, run.driveC.string());
        const bool undoable = run.closed() && !run.undone() && run.madeChanges() && !newerSeen.count(place);
        if (!run.undone() && run.madeChanges())
            newerSeen.insert(place);
        list.push_back({ { "id", run.id }, { "prefix", run.prefix }, { "started", run.started }, { "ended", run.ended },
            { "state", run.closed() ? run.state : std::string("running") }, { "items", std::move(items) }, { "changed", run.changedCount() },
            { "cannotRestore", run.cannotRestore() }, { "undoable", undoable } });
    }
    return list;
}

ScriptValue ModuleWine::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    // The call's thenable, settled with what `work` answers on a thread of the bridge's.
    const auto answerOffThread = [this](MethodCall& call, std::function<nlohmann::json()> work) {
        if (CallBridge* bridge = CallBridge::current())
            bridge->CallThreadAsync(call.context, { browserId(), frameId() }, std::move(work), call.result);
    };
    RegisterMethod("prefixes", [answerOffThread](MethodCall& call) {
        answerOffThread(call, [search = currentPrefixSearch()] {
            const wine::PrefixList found = wine::findPrefixes(search);
            for (const std::string& problem : found.problems)
                LOG_WARN << "prefixes: " << problem;
            nlohmann::json list = nlohmann::json::array();
            for (const wine::WinePrefix& prefix : found.prefixes)
                list.push_back(prefixJson(prefix));
            return list;
        });
        return true;
    });
    RegisterMethod("analyze", [answerOffThread](MethodCall& call) {
        const std::optional<std::string> path = call.requiredString();
        if (!path)
            return true;
        // The paths are worked out here, where the choice of prefix is this page's.
        answerOffThread(call, [program = pagePath(*path), folders = currentLoaderFolders()] {
            const wine::ProgramNeeds needs = wine::analyzeProgram(program, folders);
            if (!needs.error.empty()) {
                LOG_WARN << "analyze: " << needs.error << ": " << program.string();
            }
            return needsJson(needs);
        });
        return true;
    });
    RegisterMethod("history", [answerOffThread](MethodCall& call) {
        answerOffThread(call, [] {
            const History history = History::user();
            history.recover(endPrefixPrograms); // a run a dead process left open is told as interrupted
            return historyJson(history.runs());
        });
        return true;
    });
    RegisterMethod("undo", [answerOffThread](MethodCall& call) {
        const std::optional<std::string> id = call.requiredString();
        if (!id)
            return true;
        answerOffThread(call, [id = *id] {
            LOG_INFO << "undo: run " << id;
            const History::UndoResult result = History::user().undo(id, endPrefixPrograms);
            if (!result.ok) {
                LOG_WARN << "undo: " << result.error;
            }
            return nlohmann::json { { "ok", result.ok }, { "restored", result.restored }, { "removed", result.removed }, { "error", result.error } };
        });
        return true;
    });
    RegisterProperty("current", [](PropertyAccess& access) {
        const std::optional<wine::WinePrefix> prefix = currentWinePrefix();
        access.value = prefix ? toScriptValue(access.context, prefixJson(*prefix)) : ScriptValue::adopt(jsc_value_new_null(access.context));
        return true;
    });
    RegisterMethod("use", [](MethodCall& call) {
        const std::optional<std::string> chosen = call.requiredString();
        if (!chosen)
            return true;
        const std::string& path = *chosen;
        const std::string refusal = useWinePrefix(path);
        if (refusal.empty())
            LOG_INFO << "use: prefix " << (path.empty() ? std::string("none") : path);
        else
            LOG_WARN << "use: refused, " << refusal << ": " << path;
        call.result = ScriptValue::adopt(jsc_value_new_boolean(call.context, refusal.empty()));
        return true;
    });
    return object;
}

} // namespace tvn
