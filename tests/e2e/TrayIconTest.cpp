// End to end: the trayicon module with a status notifier watcher on a private session bus. The
// page's add registers an item showing the page's image; the host's Activate reaches the page's
// callback as a left click at its position; modify changes the image, hide makes the item passive,
// and the item goes when tvn exits.
#include "tests/e2e/Desktop.h"

#include <cstring>

using namespace tvn;
using test::eventually;
using test::output;

namespace {

// 2 x 1: opaque red, half-transparent blue; 3 x 1: green.
constexpr const char* kRedBlue = "iVBORw0KGgoAAAANSUhEUgAAAAIAAAABCAYAAAD0In+KAAAADklEQVR4nGP4z8AAQg0AD3oDfnfpf5cAAAAASUVORK5CYII=";
constexpr const char* kGreen = "iVBORw0KGgoAAAANSUhEUgAAAAMAAAABCAYAAAAb4BS0AAAADElEQVR4nGNg+I+AACPpBfvSiPlTAAAAAElFTkSuQmCC";

class TrayIcon : public test::Window {
protected:
    void beforeStart() override
    {
        bus = std::make_unique<test::PrivateSessionBus>();
        watcher = bus->startService({ TVN_TEST_TRAY_WATCHER }, installation.dir / "watcher.txt");
    }

    // The item's service name once registered with the watcher; empty before.
    std::string item()
    {
        const std::string text = test::readFile(watcher);
        const size_t at = text.find("registered ");
        return at == std::string::npos ? "" : text.substr(at + 11, text.find('\n', at) - at - 11);
    }
    std::string property(const std::string& name)
    {
        return output("gdbus call --session --dest " + item() + " --object-path /StatusNotifierItem --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "
            + name);
    }

    std::unique_ptr<test::PrivateSessionBus> bus;
    std::filesystem::path watcher;
};

} // namespace

TEST_F(TrayIcon, StatusNotifierItem)
{
    ASSERT_FALSE(watcher.empty()) << "no watcher on the bus";
    run("var tray = module('trayicon'), events = []; tray.add({ icon: '" + std::string(kRedBlue) + "', callback: function (e) { events.push(e.msg + '@' + e.x + ',' + e.y); } })");
    ASSERT_TRUE(eventually([&] { return !item().empty(); }));
    EXPECT_NE(property("IconPixmap").find("(2, 1, [byte 0xff, 0xff, 0x00, 0x00, 0x80, 0x00, 0x00, 0xff])"), std::string::npos) << property("IconPixmap");
    EXPECT_NE(property("Status").find("'Active'"), std::string::npos) << property("Status");

    output("gdbus call --session --dest " + item() + " --object-path /StatusNotifierItem --method org.kde.StatusNotifierItem.Activate 100 200");
    EXPECT_TRUE(eventually([&] { return run("events.join('|')") == "513@100,200|514@100,200|1024@100,200"; })) << run("events.join('|')");

    run("tray.modify({ icon: '" + std::string(kGreen) + "' })");
    EXPECT_NE(property("IconPixmap").find("(3, 1, [byte 0xff, 0x00, 0xff, 0x00"), std::string::npos) << property("IconPixmap");
    run("tray.modify({ icon: 'bm90IGFuIGltYWdl' })"); // no image: the icon keeps its own
    EXPECT_NE(property("IconPixmap").find("(3, 1,"), std::string::npos);
    run("tray.hide()");
    EXPECT_NE(property("Status").find("'Passive'"), std::string::npos) << property("Status");

    const std::string name = item();
    server.addCommand("window.close()");
    EXPECT_EQ(test::Installation::wait(tvn), 0);
    tvn = 0;
    EXPECT_NE(output("gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner " + name)
                  .find("false"),
        std::string::npos); // the item went with tvn
}

namespace {

// Without a watcher, an embedded icon in an XEmbed tray (trayer, at the bottom right).
class EmbeddedTrayIcon : public test::Window {
protected:
    void beforeStart() override
    {
        bus = std::make_unique<test::PrivateSessionBus>(); // one without a watcher
        trayer = test::startProgram({ "/usr/bin/trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100", "--heighttype",
                                        "pixel", "--height", "32", "--expand", "false" },
            installation.dir / "config");
        ASSERT_TRUE(eventually([&] { return !trayWindow().empty(); })) << "no tray";
    }
    void TearDown() override
    {
        test::Window::TearDown();
        if (trayer > 0) {
            kill(trayer, SIGTERM);
            waitpid(trayer, nullptr, 0);
        }
    }

    // The tray's own window (100 x 32), and the windows embedded in it.
    std::string trayWindow()
    {
        std::istringstream windows(output("xdotool search --class trayer"));
        for (std::string window; std::getline(windows, window);) {
            if (output("xdotool getwindowgeometry " + window).find("Geometry: 100x32") != std::string::npos)
                return window;
        }
        return "";
    }
    // The first embedded window's centre on the screen; nullopt before an icon is embedded.
    std::optional<std::pair<int, int>> iconCentre()
    {
        std::istringstream lines(output("xwininfo -children -id " + trayWindow()));
        for (std::string line; std::getline(lines, line);) {
            const size_t id = line.find_first_not_of(' ');
            if (id == std::string::npos || line.compare(id, 2, "0x") != 0) // the children's lines begin with their ids
                continue;
            std::istringstream info(output("xwininfo -id " + line.substr(id, line.find(' ', id) - id)));
            std::map<std::string, int> values;
            for (std::string field; std::getline(info, field);) {
                for (const char* key : { "Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:" }) {
                    if (const size_t at = field.find(key); at != std::string::npos)
                        values[key] = std::atoi(field.c_str() + at + std::strlen(key));
                }
            }
            if (values["Width:"] > 1)
                return std::make_pair(values["Absolute upper-left X:"] + values["Width:"] / 2, values["Absolute upper-left Y:"] + values["Height:"] / 2);
        }
        return std::nullopt;
    }

    std::unique_ptr<test::PrivateSessionBus> bus;
    pid_t trayer = 0;
};

} // namespace

TEST_F(EmbeddedTrayIcon, ClickReachesThePageWithItsPosition)
{
    run("var events = []; module('trayicon').add({ callback: function (e) { if (e.msg !== 512) events.push(e.msg + '@' + e.x + ',' + e.y); } })");
    std::optional<std::pair<int, int>> centre;
    ASSERT_TRUE(eventually([&] { return (centre = iconCentre()).has_value(); })) << output("xwininfo -children -id " + trayWindow());
    const std::string at = std::to_string(centre->first) + "," + std::to_string(centre->second);
    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(centre->first) + " " + std::to_string(centre->second) + " sleep 0.3 click 1").c_str()), 0);
    EXPECT_TRUE(eventually([&] { return run("events.join('|')") == "513@" + at + "|514@" + at + "|1024@" + at; })) << run("events.join('|')");
}
