// End to end: the trayicon module with a status notifier watcher on a private session bus. The
// page's add registers an item showing the page's image; the host's Activate reaches the page's
// callback as a left click at its position; modify changes the image, hide makes the item passive,
// and the item goes when tvn exits.
#include "tests/e2e/Desktop.h"

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
