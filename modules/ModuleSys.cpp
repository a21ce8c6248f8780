// The sys module.

#include "modules/ModuleSys.h"

#include "core/IniFile.h"
#include "core/Log.h"
#include "core/LogTail.h"
#include "core/PagePaths.h"
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "identity/DeviceId.h"
#include "identity/DeviceInfoCipher.h"
#include "identity/HardwareQueries.h"
#include "window/MessageBox.h"
#include "modules/CallBridge.h"
#include "modules/ExecTask.h"
#include "modules/WindowRequest.h"
#include "net/Report.h"
#include "platform/DesktopShell.h"
#include "platform/SystemVersion.h"
#include "util/JsonText.h"

#include <algorithm>
#include <cstdlib>

namespace tvn {

namespace {

ScriptValue stringValue(JSCContext* context, const std::string& text)
{
    return ScriptValue::adopt(jsc_value_new_string(context, text.c_str()));
}

ScriptValue numberValue(JSCContext* context, double number)
{
    return ScriptValue::adopt(jsc_value_new_number(context, number));
}

MessageBoxRequest messageBoxRequest(JSCValue* options, std::vector<CustomButton>& customButtons)
{
    MessageBoxRequest request;
    request.title = GetStringOption(options, "title", "");
    request.main = GetStringOption(options, "main", "");
    request.text = GetStringOption(options, "text", "");
    request.standardButtons = standardButtonFlags(GetStringOption(options, "type", ""));
    request.icon = messageBoxIcon(GetStringOption(options, "icon", ""));
    const ScriptValue buttons = GetOption(options, "buttons");
    if (buttons && jsc_value_is_array(buttons.get())) {
        const ScriptValue length = ScriptValue::adopt(jsc_value_object_get_property(buttons.get(), "length"));
        const int count = jsc_value_to_int32(length.get());
        for (int i = 0; i < count; ++i) {
            const ScriptValue button = ScriptValue::adopt(jsc_value_object_get_property_at_index(buttons.get(), static_cast<unsigned>(i)));
            if (!jsc_value_is_object(button.get()) || jsc_value_is_array(button.get()) || jsc_value_is_function(button.get()))
                continue;
            customButtons.push_back({ kFirstCustomButtonId + static_cast<int>(customButtons.size()), GetStringOption(button.get(), "name", ""),
                GetStringOption(button.get(), "text", "") });
        }
    }
    request.customButtons = customButtons;
    return request;
}

std::string configValue(const std::string& section, const std::string& key)
{
    IniFile ini;
    ini.load(appDataPath("config.ini"));
    return ini.hasKey(section, key) ? ini.value(section, key) : std::string();
}

void storeConfigValue(const std::string& section, const std::string& key, const std::string& value)
{
    const std::filesystem::path path = appDataPath("config.ini");
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    IniFile ini;
    ini.load(path);
    ini.value(section, key) = value;
    ini.save(path);
}

std::string scriptDeviceId()
{
    return "tvn" + deviceId();
}

} // namespace

std::vector<std::string> scriptArguments(const std::vector<std::string>& browserArguments, const std::string& executablePath)
{
    if (browserArguments.empty())
        return { executablePath };
    return browserArguments;
}

std::string temporaryFolder()
{
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable && *variable ? variable : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

ScriptValue ModuleSys::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);

    // Read-only: assignments are not handled.
    RegisterProperty("argv", [](PropertyAccess& access) {
        access.value = toScriptArray(access.context, scriptArguments(browserArguments(), modulePath().string()));
        return true;
    });
    // Whether usage reports go to the reporting server; the user's choice, kept in config.ini.
    RegisterProperty(
        "usageReports",
        [](PropertyAccess& access) {
            access.value = ScriptValue::adopt(jsc_value_new_boolean(access.context, usageReportsAllowed()));
            return true;
        },
        [](PropertyAccess& access) {
            allowUsageReports(jsc_value_to_boolean(access.value.get()));
            return true;
        });
    // The desktop's languages in gettext's order (LANGUAGE, then LC_ALL, LC_MESSAGES or LANG), each
    // followed by its shorter forms, "C" last: GLib reads them as gettext would.
    RegisterProperty("languages", [](PropertyAccess& access) {
        nlohmann::json names = nlohmann::json::array();
        for (const char* const* name = g_get_language_names(); *name; ++name)
            names.push_back(*name);
        access.value = toScriptArray(access.context, names);
        return true;
    });
    RegisterProperty("channel", [](PropertyAccess& access) {
        access.value = stringValue(access.context, channelId());
        return true;
    });

    RegisterMethod("openFileDialog", [this](MethodCall& call) {
        if (!call.requiredOptionsObject())
            return true;
        if (CallBridge* bridge = CallBridge::current())
            bridge->CallBrowserAsync(call.context, { browserId(), frameId() }, "openFileDialog", call.arguments, call.result);
        return true;
    });

    RegisterMethod("clipboardRead", [](MethodCall& call) {
        const std::optional<nlohmann::json> reply = requestMainWindow("clipboardRead");
        const std::string text = reply && reply->value("text", nlohmann::json()).is_string() ? (*reply)["text"].get<std::string>() : "";
        call.result = MakeObject(call.context, { { "text", stringValue(call.context, text) } });
        return true;
    });

    RegisterMethod("clipboardWrite", [](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        bool written = false;
        if (const std::optional<std::string> text = GetStringOption(options, "text")) {
            const std::optional<nlohmann::json> reply = requestMainWindow("clipboardWrite", { { "text", *text } });
            written = reply && reply->value("written", false);
        }
        call.result = ScriptValue::adopt(jsc_value_new_boolean(call.context, written));
        return true;
    });

    RegisterMethod("msgBox", [](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        std::vector<CustomButton> customButtons;
        const MessageBoxRequest request = messageBoxRequest(options, customButtons);
        // Blocks until the user has chosen, as a task dialog blocks its caller.
        const std::optional<nlohmann::json> reply = requestMainWindow("msgBox", toJson(request));
        const int id = reply && reply->value("id", nlohmann::json()).is_number_integer() ? (*reply)["id"].get<int>() : 0;
        call.result = stringValue(call.context, messageBoxAnswer(id, customButtons));
        return true;
    });

    RegisterMethod("getAppPath", [](MethodCall& call) {
        call.result = stringValue(call.context, modulePath().string());
        return true;
    });
    RegisterMethod("getAppDataPath", [](MethodCall& call) {
        call.result = stringValue(call.context, (std::filesystem::path(expandEnvironment("%APPDATA%")) / "tvn").string());
        return true;
    });
    RegisterMethod("getTempPath", [](MethodCall& call) {
        call.result = stringValue(call.context, temporaryFolder());
        return true;
    });

    RegisterMethod("getConfig", [](MethodCall& call) {
        if (JSCValue* options = call.optionsObject())
            call.result = stringValue(call.context, configValue(GetStringOption(options, "section", ""), GetStringOption(options, "key", "")));
        return true;
    });
    RegisterMethod("setConfig", [](MethodCall& call) {
        if (JSCValue* options = call.optionsObject()) {
            const std::string section = GetStringOption(options, "section", ""), key = GetStringOption(options, "key", ""),
                              value = GetStringOption(options, "value", "");
            // A line break would add keys of the caller's choosing ("[server]\nca = ...").
            if (!IniFile::storable(section, key, value)) {
                call.invalidArguments();
                return true;
            }
            storeConfigValue(section, key, value);
            call.result = ScriptValue::adopt(jsc_value_new_null(call.context));
        }
        return true;
    });

    RegisterMethod("showInExplorer", [](MethodCall& call) {
        if (JSCValue* options = call.optionsObject())
            platform::showInFileManager(pagePath(GetStringOption(options, "path", "")));
        return true;
    });
    RegisterMethod("openUrl", [](MethodCall& call) {
        if (JSCValue* options = call.optionsObject())
            platform::openWithDefaultHandler(GetStringOption(options, "url", ""));
        return true;
    });

    RegisterMethod("getDeviceId", [](MethodCall& call) {
        call.result = stringValue(call.context, scriptDeviceId());
        return true;
    });
    RegisterMethod("getDeviceIdAsync", [this](MethodCall& call) {
        if (CallBridge* bridge = CallBridge::current())
            bridge->CallThreadAsync(call.context, { browserId(), frameId() }, [] { return nlohmann::json { { "deviceId", scriptDeviceId() } }; }, call.result);
        return true;
    });
    // The newest lines of every process's log, read off the page's thread.
    RegisterMethod("readLogs", [this](MethodCall& call) {
        JSCValue* options = call.arguments.empty() ? nullptr : call.arguments[0].get();
        const std::optional<int> asked = options && jsc_value_is_object(options) ? GetIntOption(options, "lines") : std::nullopt;
        const size_t count = static_cast<size_t>(std::clamp(asked.value_or(500), 1, 5000));
        if (CallBridge* bridge = CallBridge::current()) {
            bridge->CallThreadAsync(call.context, { browserId(), frameId() }, [count] {
                const std::filesystem::path folder = appDataPath("logs");
                nlohmann::json lines = nlohmann::json::array();
                for (const LogLine& line : newestLogLines(folder, count))
                    lines.push_back({ { "process", line.process }, { "text", validUtf8(line.text) } });
                return nlohmann::json { { "folder", folder.string() }, { "lines", std::move(lines) } };
            }, call.result);
        }
        return true;
    });
    RegisterMethod("getDeviceInfoAsync", [this](MethodCall& call) {
        if (CallBridge* bridge = CallBridge::current()) {
            bridge->CallThreadAsync(call.context, { browserId(), frameId() },
                [] { return nlohmann::json { { "deviceInfo", encodeDeviceInfo(deviceInfoJson()) } }; }, call.result);
        }
        return true;
    });
    RegisterMethod("deviceInfoDecrypt", [](MethodCall& call) {
        if (const std::optional<std::string> encoded = call.onlyString())
            call.result = stringValue(call.context, validUtf8(decodeDeviceInfo(*encoded)));
        return true;
    });

    RegisterMethod("exec", [this](MethodCall& call) {
        JSCValue* options = call.optionsObject();
        if (!options)
            return true;
        ExecTask task;
        task.command = GetStringOption(options, "command", "");
        // Windows paths name the repaired machine's files; a relative exe stays relative to the application folder.
        task.exe = GetStringOption(options, "exe", "");
        if (wine::isWindowsPath(task.exe))
            task.exe = pagePath(task.exe).string();
        task.dir = GetStringOption(options, "dir", "");
        if (wine::isWindowsPath(task.dir))
            task.dir = pagePath(task.dir).string();
        task.show = GetBoolOption(options, "show").value_or(true);
        task.stream = GetBoolOption(options, "stream").value_or(false);
        task.callback = GetFunctionOption(options, "callback");
        task.userdata = GetOption(options, "userdata");
        if (!task.userdata || jsc_value_is_undefined(task.userdata.get()))
            task.userdata = ScriptValue::adopt(jsc_value_new_object(call.context, nullptr, nullptr));
        startExecTask(std::move(task), modulePath().parent_path(), *this);
        return true;
    });

    RegisterMethod("arch", [](MethodCall& call) {
        call.result = numberValue(call.context, platform::systemBits());
        return true;
    });
    RegisterMethod("osVersion", [](MethodCall& call) {
        const platform::SystemVersion version = platform::systemVersion();
        call.result = MakeObject(call.context, { { "major", numberValue(call.context, version.major) }, { "minor", numberValue(call.context, version.minor) },
                                                   { "build", numberValue(call.context, version.build) }, { "platformId", numberValue(call.context, version.platformId) },
                                                   { "distribution", stringValue(call.context, platform::runningDistribution()) },
                                                   { "kernel", stringValue(call.context, platform::kernelRelease()) } });
        return true;
    });
    return object;
}

} // namespace tvn
