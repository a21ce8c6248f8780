// HardwareFacts: answers the hardware questions the system asks WMI and wmic on Windows, from
// Linux's own sources under a root folder ("/" normally; a prepared tree in tests).
//
//   Win32_ComputerSystemProduct  UUID          sys/class/dmi/id/product_uuid (upper case, as WMI)
//   Win32_BaseBoard              SerialNumber  sys/class/dmi/id/board_serial
//   Win32_BIOS                   SerialNumber  sys/class/dmi/id/product_serial
//   Win32_Processor              ProcessorId   CPUID leaf 1: EDX then EAX, 16 hex digits
//                                Name          proc/cpuinfo "model name", one row per package
//   Win32_VideoController        Name          sys/bus/pci/devices/* of display class, named from
//                                              usr/share/misc/pci.ids when it is there
//   Win32_OperatingSystem        Name          "Linux|/|\Device\Harddisk<n>\Partition<p>" for the
//                                              disk holding "/" (proc/self/mountinfo)
//   Win32_DiskDrive              DeviceId      "\\.\PHYSICALDRIVE<n>", n the disk's place in
//                                SerialNumber  sys/block (sorted); sys/block/<disk>/device/serial
//
// A fact that cannot be read is absent from its row, as a null property is. Reads only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::platform {

// One object's properties, by name; unreadable properties are absent.
using WmiRow = std::map<std::string, std::string>;

// What a drive root of the file system would report: fixed or not, and its size.
struct LogicalDrive {
    bool fixed = false;
    uint64_t totalBytes = 0;
};

class HardwareFacts {
public:
    explicit HardwareFacts(std::filesystem::path root = "/");

    // The objects of a WMI class, in a stable order; an unknown class has none.
    std::vector<WmiRow> query(std::string_view wmiClass) const;

    // The disks as drive roots, in order: fixed unless removable.
    std::vector<LogicalDrive> logicalDrives() const;

private:
    struct Disk {
        std::string name; // e.g. "sda", "nvme0n1"
        bool removable = false;
        uint64_t bytes = 0;
        std::string serial;
    };
    std::vector<Disk> disks() const;
    std::string read(const std::filesystem::path& relative) const;

    std::filesystem::path m_root;
};

// The process's facts: from "/" unless a test pointed them elsewhere.
std::shared_ptr<const HardwareFacts> hardwareFacts();
void setHardwareFactsRoot(std::filesystem::path root);

// ProcessorId as Windows forms it from CPUID leaf 1: EDX then EAX, as 16 upper-case hex digits.
std::string processorId(uint32_t eax, uint32_t edx);

} // namespace tvn::platform
