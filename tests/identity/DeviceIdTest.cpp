// The device id, its cache file and the hardware queries behind it, on prepared machine trees.
// Each test runs in a process of its own.
#include "identity/DeviceId.h"
#include "identity/HardwareQueries.h"
#include "util/MD5.h"

#include "tests/support/ServerFixture.h"

#include <cpuid.h>

using namespace tvn;
using test::TempDir;

namespace {

class DeviceIdTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir / "config" / "tvn");
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }

    void useMachine(const std::string& uuid)
    {
        test::writeFakeMachine(dir / "machine", uuid);
        platform::setHardwareFactsRoot(dir / "machine");
    }

    std::filesystem::path cache() const { return dir / "config" / "tvn" / "uid"; }

    TempDir dir;
};

std::string cpuProcessorId()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    return platform::processorId(eax, edx);
}

} // namespace

TEST(DeviceIdRules, PlaceholderUuids)
{
    EXPECT_TRUE(isInvalidUuid(""));
    EXPECT_TRUE(isInvalidUuid("FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"));
    EXPECT_TRUE(isInvalidUuid("03000200-0400-0500-0006-000700080009"));
    EXPECT_TRUE(isInvalidUuid("fefefefe-fefe-fefe-fefe-fefefefefefe"));
    EXPECT_TRUE(isInvalidUuid("00000000-0000-0000-0000-000000000000"));
    EXPECT_FALSE(isInvalidUuid("4C4C4544-0042-3510-8051-B4C04F4E3732"));
    EXPECT_FALSE(isInvalidUuid(" 00000000-0000-0000-0000-000000000000"));
}

TEST(DeviceIdRules, WmicOutput)
{
    EXPECT_EQ(parseWmicOutput("UUID  \r\r\nABCD-1234  \r\r\n\r\r\n", "UUID"), (std::vector<std::string> { "ABCD-1234" }));
    EXPECT_EQ(parseWmicOutput("noise\r\nProcessorId\r\nBFEBFBFF000906EA\r\n  \r\nSECOND\r\n", "processorid"),
        (std::vector<std::string> { "BFEBFBFF000906EA", "SECOND" }));
    EXPECT_EQ(parseWmicOutput("no header at all\r\nvalue\r\n", "Name"), (std::vector<std::string> {}));
    EXPECT_EQ(platform::processorId(0x000906EA, 0xBFEBFBFF), "BFEBFBFF000906EA");
}

TEST(DeviceIdRules, FixedDiskSize)
{
    const uint64_t gigabyte = 1ull << 30;
    EXPECT_EQ(totalFixedDiskSize({ { true, 500 * gigabyte }, { false, 1 * gigabyte }, { true, 100 * gigabyte } }), "500GB");
    EXPECT_EQ(totalFixedDiskSize({ { false, 500 * gigabyte }, { true, 100 * gigabyte } }), "0GB");
    EXPECT_EQ(totalFixedDiskSize({ { true, 476 * gigabyte + gigabyte / 2 } }), "477GB");
    EXPECT_EQ(totalFixedDiskSize({}), "0GB");
    EXPECT_EQ(leadingInteger(" 12\\Partition2"), 12);
    EXPECT_EQ(leadingInteger("x1"), 0);
}

TEST_F(DeviceIdTest, ValidUuidIsHashedAsWmiGivesIt)
{
    useMachine("4c4c4544-0042-3510-8051-b4c04f4e3732");
    EXPECT_EQ(wmiQueryJoined("Win32_ComputerSystemProduct", "UUID"), "4C4C4544-0042-3510-8051-B4C04F4E3732");
    const std::string id = MD5("4C4C4544-0042-3510-8051-B4C04F4E3732").hexdigest();
    EXPECT_EQ(computeDeviceId(), id);
    EXPECT_EQ(deviceId(), id);
    EXPECT_EQ(test::readFile(cache()), id + "," + deviceIdChecksum(id));
}

TEST_F(DeviceIdTest, PlaceholderUuidTakesTheWmicPath)
{
    useMachine("03000200-0400-0500-0006-000700080009");
    const std::string fingerprint = cpuProcessorId() + ",BIOS-1,Test CPU 3000,,466GB";
    EXPECT_EQ(wmicFingerprint(), fingerprint);
    EXPECT_EQ(computeDeviceId(), MD5(fingerprint).hexdigest());
}

TEST_F(DeviceIdTest, CacheIsCheckedAndRewritten)
{
    useMachine("4c4c4544-0042-3510-8051-b4c04f4e3732");
    const std::string computed = computeDeviceId();

    test::writeFile(cache(), computed + ",00000000000000000000000000000000");
    EXPECT_EQ(deviceId(), computed);
    EXPECT_EQ(test::readFile(cache()), computed + "," + deviceIdChecksum(computed));

    test::writeFile(cache(), "a,b,c");
    EXPECT_EQ(deviceId(), computed);

    // A cache whose checksum holds is believed, whatever its id looks like.
    test::writeFile(cache(), "odd-id," + deviceIdChecksum("odd-id"));
    EXPECT_EQ(deviceId(), "odd-id");
    test::writeFile(cache(), ",,odd-id,," + deviceIdChecksum("odd-id"));
    EXPECT_EQ(deviceId(), "odd-id");
}

TEST_F(DeviceIdTest, UnwritableCacheStillGivesTheId)
{
    useMachine("4c4c4544-0042-3510-8051-b4c04f4e3732");
    setenv("XDG_CONFIG_HOME", (dir / "missing").c_str(), 1);
    EXPECT_EQ(deviceId(), computeDeviceId());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(DeviceIdTest, DeviceInformationDocument)
{
    useMachine("4c4c4544-0042-3510-8051-b4c04f4e3732");
    EXPECT_EQ(deviceInfoJson(), R"({"CPUID": ")" + cpuProcessorId()
            + R"(", "DiskSerialNumber": "DISK-SERIAL-A", "MainBoardSN": "BOARD-1", "MainBoardUUID": "4C4C4544-0042-3510-8051-B4C04F4E3732"})");
}

TEST_F(DeviceIdTest, SystemDiskIsTheOneHoldingTheRoot)
{
    test::writeFakeMachine(dir / "machine");
    const auto root = dir / "machine";
    std::filesystem::create_directories(root / "sys/block/sdb/device");
    std::filesystem::create_directories(root / "sys/block/loop0");
    std::filesystem::create_directories(root / "sys/block/sdc");
    test::writeFile(root / "sys/block/sdb/device/serial", "DISK-SERIAL-B\n");
    test::writeFile(root / "proc/self/mountinfo", "25 1 8:18 / / rw - ext4 /dev/sdb2 rw\n");
    platform::setHardwareFactsRoot(root);

    WmiSession session;
    EXPECT_FALSE(session.firstValue("Win32_OperatingSystem", "Name"));
    ASSERT_EQ(session.connect(), 0);
    EXPECT_EQ(session.firstValue("Win32_OperatingSystem", "Name"), "Linux|/|\\Device\\Harddisk1\\Partition2");
    EXPECT_EQ(systemDiskIndex(session), 1);
    EXPECT_EQ(diskSerialNumber(session), "DISK-SERIAL-B");

    // The root on a disk without a serial: no row matches, no serial.
    test::writeFile(root / "proc/self/mountinfo", "25 1 8:33 / / rw - ext4 /dev/sdc1 rw\n");
    platform::setHardwareFactsRoot(root);
    WmiSession again;
    again.connect();
    EXPECT_EQ(diskSerialNumber(again), std::nullopt);
}
