// The hardware questions behind the device id and the device information document, asked as the
// system asks them on Windows: WMI queries (a one-shot query, or a session for several) and the
// `wmic` command's printed output, parsed line by line. The answers come from the platform's
// hardware facts; every failure degrades to an empty value, silently.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

namespace platform {
class HardwareFacts;
}

// One text per object of the class: its non-empty property values in order, joined with ",";
// objects with no value give no text.
std::vector<std::string> wmiQuery(std::string_view wmiClass, const std::vector<std::string>& properties);

// The texts of wmiQuery for one property, joined with ","; empty when there are none.
std::string wmiQueryJoined(std::string_view wmiClass, std::string_view property);

// A WMI connection held for several queries.
class WmiSession {
public:
    WmiSession();
    ~WmiSession();

    // 0 once connected.
    int connect();

    // One row per object: the listed properties that have values, in order (a row may be empty).
    // nullopt when the session is not connected.
    std::optional<std::vector<std::vector<std::string>>> queryRows(std::string_view wmiClass,
        const std::vector<std::string>& properties) const;

    // The first value of the first row that has one.
    std::optional<std::string> firstValue(std::string_view wmiClass, std::string_view property) const;

private:
    std::shared_ptr<const platform::HardwareFacts> m_facts;
};

// The number at the start of `text`, as strtol reads it (blanks, sign, digits); 0 when none.
int leadingInteger(std::string_view text);

// The system disk's index: the number after "Harddisk" in the operating system's Name.
int systemDiskIndex(const WmiSession&);

// The serial number of the system disk, from the disk drives' DeviceId and SerialNumber.
std::optional<std::string> diskSerialNumber(const WmiSession&);

// {"CPUID": "...", "DiskSerialNumber": "...", "MainBoardSN": "...", "MainBoardUUID": "..."}
std::string deviceInfoJson();

// The values in `wmic ... get <properties>` output: every non-empty trimmed line after the first
// header line (a line holding the first property name, in any letter case). Lines are in the
// locale's code page; the values come back as UTF-8.
std::vector<std::string> parseWmicOutput(std::string_view output, std::string_view propertyNames);

// What `wmic <alias> get <properties>` prints for this machine (header, one line per object, every
// line ending in "\r\r\n"), in the locale's code page.
std::string wmicOutput(std::string_view alias, std::string_view propertyNames);

// Runs the query as `wmic <alias> get <properties> <extra>` would and parses its output.
std::vector<std::string> runWmic(std::string_view alias, std::string_view propertyNames, std::string_view extra = {});

std::string wmicValue(std::string_view alias, std::string_view property);
std::string wmicCpuNames(std::string_view separator);
std::string wmicGpuNames();

// The fixed drives' total size in whole gigabytes and "GB", counting drives in order up to the
// first one that is not fixed.
std::string totalFixedDiskSize();
std::string totalFixedDiskSize(const std::vector<std::pair<bool, uint64_t>>& drives);

// The identity text when the system UUID is unusable: the wmic UUID if it is usable, else the
// processor id, BIOS serial, CPU names, GPU names and disk size, joined with ",".
std::string wmicFingerprint();

} // namespace tvn
