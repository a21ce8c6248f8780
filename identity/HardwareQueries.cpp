// WMI queries and wmic output over the platform's hardware facts.

#include "identity/HardwareQueries.h"

#include "identity/DeviceId.h"
#include "platform/HardwareFacts.h"
#include "util/JsonText.h"
#include "util/Strings.h"
#include "util/TextConvert.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace tvn {

namespace {

std::string join(const std::vector<std::string>& pieces, std::string_view separator)
{
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i)
            joined += separator;
        joined += pieces[i];
    }
    return joined;
}

// A property of a row, its name in any letter case (WMI and wmic do not care).
const std::string* property(const platform::WmiRow& row, std::string_view name)
{
    const std::string wanted = asciiUpper(name);
    for (const auto& [key, value] : row) {
        if (asciiUpper(key) == wanted)
            return &value;
    }
    return nullptr;
}

// wmic's aliases, as the class each stands for.
std::string classOfAlias(std::string_view alias)
{
    static const std::map<std::string, std::string, std::less<>> aliases = {
        { "csproduct", "Win32_ComputerSystemProduct" },
        { "cpu", "Win32_Processor" },
        { "bios", "Win32_BIOS" },
        { "baseboard", "Win32_BaseBoard" },
        { "diskdrive", "Win32_DiskDrive" },
        { "os", "Win32_OperatingSystem" },
    };
    constexpr std::string_view pathPrefix = "path ";
    if (alias.starts_with(pathPrefix))
        alias.remove_prefix(pathPrefix.size());
    for (const auto& [name, wmiClass] : aliases) {
        if (asciiUpper(name) == asciiUpper(alias))
            return wmiClass;
    }
    for (const char* wmiClass : { "Win32_VideoController", "Win32_ComputerSystemProduct", "Win32_Processor", "Win32_BIOS",
             "Win32_BaseBoard", "Win32_DiskDrive", "Win32_OperatingSystem" }) {
        if (asciiUpper(wmiClass) == asciiUpper(alias))
            return wmiClass;
    }
    return {};
}

} // namespace

std::vector<std::string> wmiQuery(std::string_view wmiClass, const std::vector<std::string>& properties)
{
    std::vector<std::string> texts;
    for (const platform::WmiRow& row : platform::hardwareFacts()->query(wmiClass)) {
        std::string text;
        for (size_t i = 0; i < properties.size(); ++i) {
            if (const std::string* value = property(row, properties[i])) {
                if (i > 0)
                    text += ',';
                text += *value;
            }
        }
        if (!text.empty())
            texts.push_back(std::move(text));
    }
    return texts;
}

std::string wmiQueryJoined(std::string_view wmiClass, std::string_view name)
{
    return join(wmiQuery(wmiClass, { std::string(name) }), ",");
}

WmiSession::WmiSession() = default;
WmiSession::~WmiSession() = default;

int WmiSession::connect()
{
    m_facts = platform::hardwareFacts();
    return 0;
}

std::optional<std::vector<std::vector<std::string>>> WmiSession::queryRows(std::string_view wmiClass,
    const std::vector<std::string>& properties) const
{
    if (!m_facts)
        return std::nullopt;
    std::vector<std::vector<std::string>> rows;
    for (const platform::WmiRow& object : m_facts->query(wmiClass)) {
        std::vector<std::string> row;
        for (const std::string& name : properties) {
            if (const std::string* value = property(object, name))
                row.push_back(*value);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<std::string> WmiSession::firstValue(std::string_view wmiClass, std::string_view name) const
{
    const auto rows = queryRows(wmiClass, { std::string(name) });
    if (!rows)
        return std::nullopt;
    for (const auto& row : *rows) {
        if (!row.empty())
            return row.front();
    }
    return std::nullopt;
}

int leadingInteger(std::string_view text)
{
    const std::string copy(text);
    return static_cast<int>(std::strtol(copy.c_str(), nullptr, 10));
}

int systemDiskIndex(const WmiSession& session)
{
    const auto name = session.firstValue("Win32_OperatingSystem", "Name");
    if (!name)
        return 0;
    const size_t at = name->find("Harddisk");
    return leadingInteger(at == std::string::npos ? std::string_view(*name) : std::string_view(*name).substr(at + 8));
}

std::optional<std::string> diskSerialNumber(const WmiSession& session)
{
    const int index = systemDiskIndex(session);
    const auto rows = session.queryRows("Win32_DiskDrive", { "DeviceId", "SerialNumber" });
    if (!rows)
        return std::nullopt;
    std::map<int, std::string> serials;
    for (const auto& row : *rows) {
        if (row.size() != 2)
            continue;
        const size_t at = row[0].find("PHYSICALDRIVE");
        const int drive = leadingInteger(at == std::string::npos ? std::string_view(row[0]) : std::string_view(row[0]).substr(at + 13));
        serials[drive] = row[1];
    }
    const auto found = serials.find(index);
    return found == serials.end() ? std::nullopt : std::optional(found->second);
}

std::string deviceInfoJson()
{
    WmiSession session;
    session.connect();
    const std::string uuid = session.firstValue("Win32_ComputerSystemProduct", "UUID").value_or("");
    const std::string disk = diskSerialNumber(session).value_or("");
    const std::string cpu = session.firstValue("Win32_Processor", "ProcessorId").value_or("");
    const std::string board = session.firstValue("Win32_BaseBoard", "SerialNumber").value_or("");
    return json11Object({ { "CPUID", cpu }, { "DiskSerialNumber", disk }, { "MainBoardSN", board }, { "MainBoardUUID", uuid } });
}

std::vector<std::string> parseWmicOutput(std::string_view output, std::string_view propertyNames)
{
    const std::vector<std::string> names = splitNonEmpty(propertyNames, ',');
    const std::string header = names.empty() ? std::string() : asciiUpper(trim(names.front()));
    std::vector<std::string> values;
    bool headerSeen = false;
    for (const std::string& rawLine : splitNonEmpty(output, '\n')) {
        const std::string line = wideToUtf8(ansiToWide(rawLine));
        if (asciiUpper(line).find(header) != std::string::npos) {
            headerSeen = true;
            continue;
        }
        if (!headerSeen)
            continue;
        if (const std::string_view value = trim(line); !value.empty())
            values.emplace_back(value);
    }
    return values;
}

std::string wmicOutput(std::string_view alias, std::string_view propertyNames)
{
    const std::string wmiClass = classOfAlias(alias);
    if (wmiClass.empty())
        return "Invalid alias verb.\r\r\n";
    const std::vector<std::string> names = splitNonEmpty(propertyNames, ',');
    std::string output = join(names, "  ") + "  \r\r\n";
    for (const platform::WmiRow& row : platform::hardwareFacts()->query(wmiClass)) {
        std::string line;
        for (const std::string& name : names) {
            const std::string* value = property(row, name);
            line += (value ? *value : std::string()) + "  ";
        }
        output += wideToAnsi(utf8ToWide(line)) + "\r\r\n";
    }
    return output + "\r\r\n";
}

std::vector<std::string> runWmic(std::string_view alias, std::string_view propertyNames, std::string_view)
{
    return parseWmicOutput(wmicOutput(alias, propertyNames), propertyNames);
}

std::string wmicValue(std::string_view alias, std::string_view name)
{
    return join(runWmic(alias, name), ",");
}

std::string wmicCpuNames(std::string_view separator)
{
    std::vector<std::string> names = runWmic("cpu", "Name");
    std::sort(names.begin(), names.end());
    return join(names, separator);
}

std::string wmicGpuNames()
{
    std::vector<std::string> names = runWmic("path win32_VideoController", "Name");
    std::sort(names.begin(), names.end());
    return join(names, ";");
}

std::string totalFixedDiskSize(const std::vector<std::pair<bool, uint64_t>>& drives)
{
    double gigabytes = 0;
    for (const auto& [fixed, bytes] : drives) {
        if (!fixed)
            break;
        gigabytes += static_cast<double>(bytes) / 1024 / 1024 / 1024;
    }
    return std::to_string(static_cast<long long>(std::llround(gigabytes))) + "GB";
}

std::string totalFixedDiskSize()
{
    std::vector<std::pair<bool, uint64_t>> drives;
    for (const platform::LogicalDrive& drive : platform::hardwareFacts()->logicalDrives())
        drives.emplace_back(drive.fixed, drive.totalBytes);
    return totalFixedDiskSize(drives);
}

std::string wmicFingerprint()
{
    const std::string uuid = wmicValue("csproduct", "UUID");
    if (!isInvalidUuid(uuid))
        return uuid;
    return join({ wmicValue("cpu", "processorid"), wmicValue("bios", "serialnumber"), wmicCpuNames(","), wmicGpuNames(),
                    totalFixedDiskSize() },
        ",");
}

} // namespace tvn
