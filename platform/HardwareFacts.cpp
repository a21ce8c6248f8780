// Hardware facts from sysfs, procfs, the CPUID instruction and the PCI id database.

#include "platform/HardwareFacts.h"

#include "util/Strings.h"

#include <algorithm>
#include <cpuid.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

namespace tvn::platform {

namespace {

std::string trimmed(std::string_view text)
{
    return std::string(trim(text));
}

bool isWholeDisk(const std::string& name)
{
    for (const char* virtualPrefix : { "loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd" }) {
        if (name.starts_with(virtualPrefix))
            return false;
    }
    return true;
}

// "sda2" -> "sda", "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0".
std::string diskOfPartition(std::string device)
{
    if (device.starts_with("nvme") || device.starts_with("mmcblk")) {
        const size_t p = device.rfind('p');
        if (p != std::string::npos && p + 1 < device.size() && std::isdigit(static_cast<unsigned char>(device[p + 1])))
            return device.substr(0, p);
        return device;
    }
    while (!device.empty() && std::isdigit(static_cast<unsigned char>(device.back())))
        device.pop_back();
    return device;
}

std::string partitionNumber(const std::string& device)
{
    size_t end = device.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(device[end - 1])))
        --end;
    return end == device.size() ? "0" : device.substr(end);
}

std::string pciName(const std::string& database, const std::string& vendor, const std::string& device)
{
    std::istringstream lines(database);
    bool inVendor = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] != '\t') {
            inVendor = line.rfind(vendor, 0) == 0;
        } else if (inVendor && line.size() > 1 && line[1] != '\t' && line.compare(1, device.size(), device) == 0) {
            return trimmed(line.substr(1 + device.size()));
        }
    }
    return {};
}

} // namespace

std::string processorId(uint32_t eax, uint32_t edx)
{
    char text[17];
    std::snprintf(text, sizeof(text), "%08X%08X", edx, eax);
    return text;
}

HardwareFacts::HardwareFacts(std::filesystem::path root)
    : m_root(std::move(root))
{
}

std::string HardwareFacts::read(const std::filesystem::path& relative) const
{
    std::ifstream file(m_root / relative, std::ios::binary);
    if (!file)
        return {};
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

std::vector<HardwareFacts::Disk> HardwareFacts::disks() const
{
    std::vector<Disk> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_root / "sys/block", error)) {
        const std::string name = entry.path().filename().string();
        if (!isWholeDisk(name))
            continue;
        Disk disk;
        disk.name = name;
        disk.removable = trimmed(read("sys/block/" + name + "/removable")) == "1";
        disk.bytes = std::strtoull(trimmed(read("sys/block/" + name + "/size")).c_str(), nullptr, 10) * 512;
        disk.serial = trimmed(read("sys/block/" + name + "/device/serial"));
        found.push_back(std::move(disk));
    }
    std::sort(found.begin(), found.end(), [](const Disk& a, const Disk& b) { return a.name < b.name; });
    return found;
}

std::vector<WmiRow> HardwareFacts::query(std::string_view wmiClass) const
{
    const auto single = [](const char* property, std::string value) {
        WmiRow row;
        if (!value.empty())
            row[property] = std::move(value);
        return std::vector<WmiRow> { row };
    };

    if (wmiClass == "Win32_ComputerSystemProduct")
        return single("UUID", asciiUpper(trimmed(read("sys/class/dmi/id/product_uuid"))));
    if (wmiClass == "Win32_BaseBoard")
        return single("SerialNumber", trimmed(read("sys/class/dmi/id/board_serial")));
    if (wmiClass == "Win32_BIOS")
        return single("SerialNumber", trimmed(read("sys/class/dmi/id/product_serial")));

    if (wmiClass == "Win32_Processor") {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        const bool haveCpuid = __get_cpuid(1, &eax, &ebx, &ecx, &edx);
        // One row per physical package, named by its first "model name".
        std::map<std::string, std::string> packages;
        std::string name, package = "0";
        std::istringstream lines(read("proc/cpuinfo"));
        for (std::string line; std::getline(lines, line);) {
            const size_t colon = line.find(':');
            const std::string key = trimmed(line.substr(0, colon));
            const std::string value = colon == std::string::npos ? "" : trimmed(line.substr(colon + 1));
            if (key == "model name")
                name = value;
            else if (key == "physical id")
                package = value;
            else if (line.empty() && !name.empty())
                packages.emplace(package, name);
        }
        if (!name.empty())
            packages.emplace(package, name);
        std::vector<WmiRow> rows;
        for (const auto& [id, model] : packages)
            rows.push_back({ { "Name", model } });
        if (rows.empty())
            rows.emplace_back();
        for (WmiRow& row : rows) {
            if (haveCpuid)
                row["ProcessorId"] = processorId(eax, edx);
        }
        return rows;
    }

    if (wmiClass == "Win32_VideoController") {
        std::vector<WmiRow> rows;
        std::error_code error;
        std::set<std::filesystem::path> devices;
        for (const auto& entry : std::filesystem::directory_iterator(m_root / "sys/bus/pci/devices", error))
            devices.insert(entry.path().filename());
        const std::string database = read("usr/share/misc/pci.ids");
        for (const auto& device : devices) {
            const std::filesystem::path base = "sys/bus/pci/devices" / device;
            if (!trimmed(read(base / "class")).starts_with("0x03"))
                continue;
            const auto hexId = [&](const char* file) {
                const std::string value = trimmed(read(base / file));
                return value.starts_with("0x") ? value.substr(2) : value;
            };
            const std::string vendorId = hexId("vendor"), deviceId = hexId("device");
            const std::string name = pciName(database, vendorId, deviceId);
            rows.push_back({ { "Name", name.empty() ? "PCI " + vendorId + ":" + deviceId : name } });
        }
        return rows;
    }

    if (wmiClass == "Win32_OperatingSystem") {
        // The device mounted at "/" names the system disk, when it is a disk.
        std::string name = "Linux|/";
        std::istringstream lines(read("proc/self/mountinfo"));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string id, parent, numbers, root, mountPoint;
            fields >> id >> parent >> numbers >> root >> mountPoint;
            if (mountPoint != "/")
                continue;
            std::string field, source;
            while (fields >> field && field != "-") { }
            fields >> field >> source;
            if (!source.starts_with("/dev/"))
                break;
            const std::string device = source.substr(5);
            const std::vector<Disk> all = disks();
            for (size_t i = 0; i < all.size(); ++i) {
                if (all[i].name == diskOfPartition(device))
                    name += "|\\Device\\Harddisk" + std::to_string(i) + "\\Partition" + partitionNumber(device);
            }
            break;
        }
        return single("Name", name);
    }

    if (wmiClass == "Win32_DiskDrive") {
        std::vector<WmiRow> rows;
        const std::vector<Disk> all = disks();
        for (size_t i = 0; i < all.size(); ++i) {
            WmiRow row { { "DeviceId", "\\\\.\\PHYSICALDRIVE" + std::to_string(i) } };
            if (!all[i].serial.empty())
                row["SerialNumber"] = all[i].serial;
            rows.push_back(std::move(row));
        }
        return rows;
    }
    return {};
}

std::vector<LogicalDrive> HardwareFacts::logicalDrives() const
{
    std::vector<LogicalDrive> drives;
    for (const Disk& disk : disks())
        drives.push_back({ !disk.removable, disk.bytes });
    return drives;
}

namespace {
std::mutex g_factsMutex;
std::shared_ptr<const HardwareFacts> g_facts;
}

std::shared_ptr<const HardwareFacts> hardwareFacts()
{
    std::lock_guard lock(g_factsMutex);
    if (!g_facts)
        g_facts = std::make_shared<const HardwareFacts>();
    return g_facts;
}

void setHardwareFactsRoot(std::filesystem::path root)
{
    std::lock_guard lock(g_factsMutex);
    g_facts = std::make_shared<const HardwareFacts>(std::move(root));
}

} // namespace tvn::platform
