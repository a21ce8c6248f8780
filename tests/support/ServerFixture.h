// A reference server on 127.0.0.1 with its own certificates and catalog, and a configuration
// (XDG_CONFIG_HOME) that points the program's API and report calls at it and trusts its authority.
// Set up before the first use of the configuration in the test's process.
#pragma once

#include "net/HttpRequest.h"
#include "platform/HardwareFacts.h"
#include "tests/support/TempDir.h"
#include "tools/server/ReferenceServer.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tvn::test {

// A small machine: a DMI UUID, board and BIOS serials, one CPU, one disk.
inline void writeFakeMachine(const std::filesystem::path& root, const std::string& uuid = "4c4c4544-0042-3510-8051-b4c04f4e3732")
{
    std::filesystem::create_directories(root / "sys/class/dmi/id");
    std::filesystem::create_directories(root / "proc/self");
    std::filesystem::create_directories(root / "sys/block/sda/device");
    writeFile(root / "sys/class/dmi/id/product_uuid", uuid + "\n");
    writeFile(root / "sys/class/dmi/id/board_serial", "BOARD-1\n");
    writeFile(root / "sys/class/dmi/id/product_serial", "BIOS-1\n");
    writeFile(root / "proc/cpuinfo", "processor\t: 0\nmodel name\t: Test CPU 3000\nphysical id\t: 0\n\n");
    writeFile(root / "proc/self/mountinfo", "25 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n");
    writeFile(root / "sys/block/sda/removable", "0\n");
    writeFile(root / "sys/block/sda/size", "976773168\n");
    writeFile(root / "sys/block/sda/device/serial", "DISK-SERIAL-A\n");
}

class ServerFixture : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir / "catalog");
        writeFile(dir / "catalog" / "x.dll", "MZ library bytes");
        server = std::make_unique<server::ReferenceServer>(
            server::ReferenceServerOptions { dir / "state", dir / "catalog", {}, "reference-token", {} });
        ASSERT_TRUE(server->start());

        std::filesystem::create_directories(dir / "config" / "tvn");
        writeFile(dir / "config" / "tvn" / "config.ini",
            "[system]\nwineprefix = none\n" // the test machine's own ~/.wine is not the one to repair
            "[download]\nretryPause = 10\n"   // failures are tried again without the user's pause
            "[server]\napi = " + server->address() + "\nreport = " + server->address() + "\nca = " + server->authorityFile().string() + "\n");
        // Downloads go to the user's Downloads folder: the test's own.
        writeFile(dir / "config" / "user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + (dir / "Downloads").string() + "\"\n");
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        writeFakeMachine(dir / "machine");
        platform::setHardwareFactsRoot(dir / "machine");
    }

    HttpConnection connection() const { return { "127.0.0.1", static_cast<uint16_t>(server->port()), server->authorityFile() }; }

    TempDir dir;
    std::unique_ptr<server::ReferenceServer> server;
};

} // namespace tvn::test
