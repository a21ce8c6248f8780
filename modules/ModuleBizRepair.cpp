// The biz_repair module.

#include "modules/ModuleBizRepair.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "modules/CallBridge.h"
#include "repair/HeartbeatChain.h"
#include "modules/ModuleHttp.h"
#include "platform/Downloads.h"
#include "repair/SystemTolvane.h"

namespace tvn {

namespace {

// The messages of the slots, in slot order.
constexpr const char* kSlotMessages[] = { "onScanDlls", "onScanSoftwares", "onRepairDlls", "onInstallSoftwares", "onCancelTask", "onRepairProgress" };

// The elements of a script array, in index order.
std::vector<ScriptValue> elementsOf(JSCValue* array)
{
    std::vector<ScriptValue> elements;
    const ScriptValue length = ScriptValue::adopt(jsc_value_object_get_property(array, "length"));
    const int count = jsc_value_to_int32(length.get());
    for (int i = 0; i < count; ++i)
        elements.push_back(ScriptValue::adopt(jsc_value_object_get_property_at_index(array, static_cast<unsigned>(i))));
    return elements;
}

bool isArray(JSCValue* value)
{
    return value && jsc_value_is_array(value);
}

bool isFunction(JSCValue* value)
{
    return value && jsc_value_is_function(value);
}

ScriptValue stringValue(JSCContext* context, const std::string& text)
{
    return ScriptValue::adopt(jsc_value_new_string(context, text.c_str()));
}

// A method that works through the repair engine, looked up at each call: the web extension owns
// the engine, and a module may be collected after it has gone (at the process's end).
MethodHandler withEngine(std::function<bool(MethodCall&, SystemTolvane&)> handler)
{
    return [handler = std::move(handler)](MethodCall& call) {
        SystemTolvane* engine = SystemTolvane::current();
        if (!engine) {
            call.fail("no repair engine");
            return true;
        }
        return handler(call, *engine);
    };
}

// The object a message becomes, or nothing when the payload is not of the slot's shape.
std::optional<ScriptValue> eventObject(JSCContext* context, ModuleBizRepair::Slot slot, const std::vector<EventBus::Value>& values)
{
    using EventBus::valuesAs;
    using std::string;
    const auto text = [context](const string& value) { return stringValue(context, value); };
    const auto boolean = [context](bool value) { return ScriptValue::adopt(jsc_value_new_boolean(context, value)); };
    const auto number = [context](double value) { return ScriptValue::adopt(jsc_value_new_number(context, value)); };
    switch (slot) {
    case ModuleBizRepair::ScanDlls:
        if (const auto event = valuesAs<string, string, bool>(values)) {
            const auto& [fileName, fileType, isExist] = *event;
            return MakeObject(context, { { "fileName", text(fileName) }, { "fileType", text(fileType) }, { "isExist", boolean(isExist) } });
        }
        return std::nullopt;
    case ModuleBizRepair::ScanSoftwares:
        if (const auto event = valuesAs<string, bool>(values)) {
            const auto& [fileName, isInstall] = *event;
            return MakeObject(context, { { "fileName", text(fileName) }, { "isInstall", boolean(isInstall) } });
        }
        return std::nullopt;
    // After the error code: the reason when there is one ("" in the event otherwise), and an
    // installer's exit code after that.
    case ModuleBizRepair::RepairDlls: {
        auto event = valuesAs<string, string, int32_t, string>(values);
        if (!event)
            if (const auto plain = valuesAs<string, string, int32_t>(values))
                event = std::tuple_cat(*plain, std::tuple<string>());
        if (!event)
            return std::nullopt;
        const auto& [fileName, fileType, errorCode, reason] = *event;
        return MakeObject(context, { { "fileName", text(fileName) }, { "fileType", text(fileType) }, { "errorCode", number(errorCode) }, { "reason", text(reason) } });
    }
    case ModuleBizRepair::InstallSoftwares: {
        std::optional<int32_t> exitCode;
        auto event = valuesAs<string, int32_t, string>(values);
        if (const auto withExit = valuesAs<string, int32_t, string, int32_t>(values)) {
            event = std::tuple(std::get<0>(*withExit), std::get<1>(*withExit), std::get<2>(*withExit));
            exitCode = std::get<3>(*withExit);
        } else if (const auto plain = valuesAs<string, int32_t>(values)) {
            event = std::tuple_cat(*plain, std::tuple<string>());
        }
        if (!event)
            return std::nullopt;
        const auto& [fileName, errorCode, reason] = *event;
        ScriptValue object = MakeObject(context, { { "fileName", text(fileName) }, { "errorCode", number(errorCode) }, { "reason", text(reason) } });
        if (exitCode)
            jsc_value_object_set_property(object.get(), "exitCode", number(*exitCode).get());
        return object;
    }
    case ModuleBizRepair::CancelTask:
        if (!values.empty())
            return std::nullopt;
        return ScriptValue(); // called with no argument
    case ModuleBizRepair::Progress:
        if (const auto event = valuesAs<string, double, double>(values)) {
            const auto& [fileName, current, total] = *event;
            return MakeObject(context, { { "fileName", text(fileName) }, { "current", number(current) }, { "total", number(total) } });
        }
        return std::nullopt;
    case ModuleBizRepair::SlotCount:
        break;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<DllItem>> readDllItems(JSCValue* array)
{
    if (!isArray(array))
        return std::nullopt;
    std::vector<DllItem> items;
    for (const ScriptValue& element : elementsOf(array)) {
        DllItem item;
        item.filePath = GetStringOption(element.get(), "filePath", "");
        if (item.filePath.empty())
            continue;
        const ScriptValue checkPath = ScriptValue::adopt(jsc_value_object_get_property(element.get(), "checkPath"));
        if (isArray(checkPath.get())) {
            for (const ScriptValue& entry : elementsOf(checkPath.get()))
                item.checkPath.push_back(jsc_value_is_string(entry.get()) ? scriptString(entry.get()) : std::string());
        }
        item.fileName = GetStringOption(element.get(), "fileName", "");
        item.fileType = GetStringOption(element.get(), "fileType", "");
        item.needReg = GetBoolOption(element.get(), "needReg").value_or(false);
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<std::vector<SoftwareItem>> readSoftwareItems(JSCValue* array)
{
    if (!isArray(array))
        return std::nullopt;
    std::vector<SoftwareItem> items;
    for (const ScriptValue& element : elementsOf(array)) {
        SoftwareItem item;
        item.displayName = GetStringOption(element.get(), "displayName", "");
        item.fileName = GetStringOption(element.get(), "fileName", "");
        item.cmdParam = GetStringOption(element.get(), "cmdParam", "");
        item.regPath = GetStringOption(element.get(), "regPath", "");
        items.push_back(std::move(item)); // fileType stays empty: the page never sets it
    }
    return items;
}

ScriptValue ModuleBizRepair::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);

    // (list, function): the list read by `read`, the function into `slot`, then `start` with the
    // engine and the items.
    const auto listAndCallback = [this](auto read, Slot slot, auto start) -> MethodHandler {
        return withEngine([this, read, slot, start](MethodCall& call, SystemTolvane& engine) {
            auto items = call.arguments.size() == 2 ? read(call.arguments[0].get()) : std::nullopt;
            if (!items || !takeCallback(call, 1, slot))
                call.invalidArguments();
            else
                start(engine, std::move(*items));
            return true;
        });
    };
    RegisterMethod("scanDlls", listAndCallback(readDllItems, ScanDlls, [](SystemTolvane& engine, std::vector<DllItem> items) { engine.scanDlls(std::move(items)); }));
    RegisterMethod("scanSoftwares", listAndCallback(readSoftwareItems, ScanSoftwares,
                                        [](SystemTolvane& engine, std::vector<SoftwareItem> items) { engine.scanSoftwares(std::move(items)); }));
    RegisterMethod("repairDlls", listAndCallback(readDllItems, RepairDlls, [this](SystemTolvane& engine, std::vector<DllItem> items) {
        holdHeartbeat();
        engine.repairDlls(std::move(items));
    }));
    RegisterMethod("installSoftwares", listAndCallback(readSoftwareItems, InstallSoftwares, [this](SystemTolvane& engine, std::vector<SoftwareItem> items) {
        holdHeartbeat();
        engine.installSoftwares(std::move(items));
    }));

    RegisterMethod("cancelTask", withEngine([this](MethodCall& call, SystemTolvane& engine) {
        if (call.arguments.size() != 1 || !takeCallback(call, 0, CancelTask))
            call.invalidArguments();
        else
            engine.cancelTask(); // returns at once: the engine's controller thread carries it out
        return true;
    }));

    RegisterMethod("onProgress", [this](MethodCall& call) {
        if (call.arguments.size() != 1 || !takeCallback(call, 0, Progress))
            call.invalidArguments();
        return true;
    });

    RegisterProperty("downloadFolder", [](PropertyAccess& access) {
        access.value = stringValue(access.context, platform::userDownloadFolder().string());
        return true;
    });

    // ([{fileName, fileType}]): the size of each file as the server says it (0 where it does not),
    // asked off the page's thread, for a repair's preview. The bridge's thread ends before the
    // engine goes (the web extension ends the bridge first).
    RegisterMethod("downloadSizes", withEngine([this](MethodCall& call, SystemTolvane& engine) {
        if (call.arguments.size() != 1 || !isArray(call.arguments[0].get())) {
            call.invalidArguments();
            return true;
        }
        std::vector<std::pair<std::string, std::string>> files;
        for (const ScriptValue& element : elementsOf(call.arguments[0].get()))
            files.emplace_back(GetStringOption(element.get(), "fileName", ""), GetStringOption(element.get(), "fileType", ""));
        if (CallBridge* bridge = CallBridge::current()) {
            bridge->CallThreadAsync(call.context, { browserId(), frameId() }, [&engine, files = std::move(files)] {
                nlohmann::json sizes = nlohmann::json::array();
                for (const auto& [fileName, fileType] : files) {
                    const std::optional<DownloadAddress> address = isPlainFileName(fileName) ? engine.getDownloadUrl(fileName, fileType) : std::nullopt;
                    sizes.push_back({ { "fileName", fileName }, { "size", address ? address->size : 0 } });
                }
                return nlohmann::json { { "sizes", std::move(sizes) } };
            }, call.result);
        }
        return true;
    }));

    // (dll list, software list): no callback; events go to whatever the slots hold by then.
    const auto bothLists = [this](bool repair) -> MethodHandler {
        return withEngine([this, repair](MethodCall& call, SystemTolvane& engine) {
            std::optional<std::vector<DllItem>> dlls;
            std::optional<std::vector<SoftwareItem>> softwares;
            if (call.arguments.size() != 2 || !(dlls = readDllItems(call.arguments[0].get())) || !(softwares = readSoftwareItems(call.arguments[1].get()))) {
                call.invalidArguments();
                return true;
            }
            if (repair) {
                holdHeartbeat();
                engine.oneKeyRepair(std::move(*dlls), std::move(*softwares));
            } else {
                engine.oneKeyScan(std::move(*dlls), std::move(*softwares));
            }
            return true;
        });
    };
    RegisterMethod("oneKeyScan", bothLists(false));
    RegisterMethod("oneKeyRepair", bothLists(true));

    RegisterMethod("downloadFile", withEngine([this](MethodCall& call, SystemTolvane& engine) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        const std::string fileName = GetStringOption(options, "fileName", "");
        // The name becomes a path in the Downloads folder: a plain name only.
        if (!isPlainFileName(fileName)) {
            call.invalidArguments();
            return true;
        }
        // The server is asked on the download's thread (the page never waits for it), which the
        // page owns: it ends before the engine goes.
        const auto question = [&engine, fileName, fileType = GetStringOption(options, "fileType", "")]() -> std::optional<DownloadAddress> {
            const std::optional<DownloadAddress> address = engine.getDownloadUrl(fileName, fileType);
            return address ? SystemTolvane::trustedSources(*address) : std::nullopt;
        };
        // Into the user's Downloads folder, under a name nothing there has yet.
        const std::filesystem::path folder = platform::userDownloadFolder();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string path = platform::freeFileName(folder, fileName).string();
        const std::shared_ptr<DownloadThread> download = DownloadThread::startAsking(*this, question, path,
            ScriptValue::adopt(jsc_value_object_get_property(options, "progress")));
        call.result = MakeObject(call.context, { { "downloadThread", download->createScriptObject(call.context) }, { "downloadPath", stringValue(call.context, path) } });
        return true;
    }));

    // Held weakly: the subscriptions go with the module, and a late delivery finds nobody.
    std::weak_ptr<ModuleBase> weak = weak_from_this();
    EventBus::Bus& bus = EventBus::Bus::instance();
    for (int slot = 0; slot < SlotCount; ++slot) {
        m_subscriptions.push_back(bus.subscribe(kSlotMessages[slot], [weak, slot](const EventBus::Message* message) {
            if (const std::shared_ptr<ModuleBase> module = weak.lock())
                static_cast<ModuleBizRepair*>(module.get())->deliver(static_cast<Slot>(slot), *message);
        }));
    }
    m_subscriptions.push_back(bus.subscribe("HTTP_GetDownloadToken", [](const EventBus::Message* message) {
        const auto token = EventBus::valuesAs<std::string>(*message->values);
        SystemTolvane* engine = SystemTolvane::current();
        if (token && engine)
            engine->setToken(std::get<0>(*token)); // also an empty one
    }));
    return object;
}

bool ModuleBizRepair::takeCallback(MethodCall& call, size_t index, Slot slot)
{
    if (index >= call.arguments.size() || !isFunction(call.arguments[index].get()))
        return false;
    m_slots[slot] = call.arguments[index];
    return true;
}

void ModuleBizRepair::deliver(Slot slot, const EventBus::Message& message)
{
    const ScriptValue& callback = m_slots[slot];
    if (!callback)
        return;
    JSCContext* context = jsc_value_get_context(callback.get());
    const std::optional<ScriptValue> argument = eventObject(context, slot, *message.values);
    if (!argument) {
        LOG_ERROR << "event of another shape dropped: " << kSlotMessages[slot];
        return;
    }
    callScriptFunction(callback.get(), argument->get()); // a callback that throws is logged
}

} // namespace tvn
