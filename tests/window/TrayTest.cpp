// The tray icon's rules: notification numbers for each host's actions, the requests carried out in
// order on a recording tray, images loaded from PNG and ICO bytes (and refused from garbage), and
// the status notifier's pixmap byte order.
#include "window/TrayCommands.h"
#include "browser/TrayIcon.h"
#include "util/Base64.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tvn;

namespace {

class RecordingTray final : public TrayControl {
public:
    void add(const TrayImage& image, int page) override { log.push_back("add " + describe(image) + " page " + std::to_string(page)); }
    void show() override { log.push_back("show"); }
    void modify(const TrayImage& image) override { log.push_back("modify " + describe(image)); }
    void hide() override { log.push_back("hide"); }
    bool hosted() const override { return isHosted; }

    bool isHosted = false;
    static std::string describe(const TrayImage& image) { return image.applicationIcon ? "app" : std::string(image.bytes.begin(), image.bytes.end()); }
    std::vector<std::string> log;
};

// A 2 x 1 image, red then half-transparent blue, in the given format.
std::vector<uint8_t> twoPixels(const char* format)
{
    GRef<GdkPixbuf> image = GRef<GdkPixbuf>::adopt(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 2, 1));
    guint8* pixels = gdk_pixbuf_get_pixels(image.get());
    const guint8 values[] = { 255, 0, 0, 255, 0, 0, 255, 128 };
    std::copy(std::begin(values), std::end(values), pixels);
    gchar* buffer = nullptr;
    gsize size = 0;
    EXPECT_TRUE(gdk_pixbuf_save_to_buffer(image.get(), &buffer, &size, format, nullptr, nullptr));
    std::vector<uint8_t> bytes(buffer, buffer + size);
    g_free(buffer);
    return bytes;
}

} // namespace

TEST(Tray, NotificationsOfEachHost)
{
    using V = std::vector<int>;
    // A status notifier host's calls.
    EXPECT_EQ(trayNotifications(TrayAction::Activate), (V { 513, 514, 1024 }));
    EXPECT_EQ(trayNotifications(TrayAction::ContextMenu), (V { 516, 517, 123 }));
    EXPECT_EQ(trayNotifications(TrayAction::SecondaryActivate), (V { 519, 520 }));
    // An embedded icon's buttons.
    EXPECT_EQ(trayNotifications(TrayAction::Press, 1), V { 513 });
    EXPECT_EQ(trayNotifications(TrayAction::Release, 1), (V { 514, 1024 }));
    EXPECT_EQ(trayNotifications(TrayAction::DoublePress, 1), V { 515 });
    EXPECT_EQ(trayNotifications(TrayAction::Press, 3), V { 516 });
    EXPECT_EQ(trayNotifications(TrayAction::Release, 3), (V { 517, 123 }));
    EXPECT_EQ(trayNotifications(TrayAction::Press, 2), V { 519 });
    EXPECT_EQ(trayNotifications(TrayAction::Release, 2), V { 520 });
    EXPECT_EQ(trayNotifications(TrayAction::Hover), V { 512 });
    EXPECT_EQ(trayNotifications(TrayAction::Press, 8), V {}); // a side button
}

TEST(Tray, RequestsInOrder)
{
    RecordingTray tray;
    for (const char* line : { R"({"command":"trayAdd","page":7})", R"({"command":"trayShow"})", R"({"command":"trayModify","image":"aGk="})",
             R"({"command":"trayModify"})", R"({"command":"trayHide"})", R"({"command":"trayAdd","image":"eA==","page":"x"})" })
        EXPECT_EQ(answerTrayRequest(tray, nlohmann::json::parse(line)), nlohmann::json::parse(R"({"ok":true})")) << line;
    EXPECT_EQ(answerTrayRequest(tray, nlohmann::json::parse(R"({"command":"close"})")), std::nullopt);
    EXPECT_EQ(answerTrayRequest(tray, nlohmann::json::parse(R"({"command":5})")), std::nullopt);
    EXPECT_EQ(tray.log, (std::vector<std::string> { "add app page 7", "show", "modify hi", "modify app", "hide", "add x page 0" }));
    // Whether a tray holds the icon is asked, never changed.
    EXPECT_EQ(answerTrayRequest(tray, nlohmann::json::parse(R"({"command":"trayState"})")), nlohmann::json::parse(R"({"ok":true,"hosted":false})"));
    tray.isHosted = true;
    EXPECT_EQ(answerTrayRequest(tray, nlohmann::json::parse(R"({"command":"trayState"})")), nlohmann::json::parse(R"({"ok":true,"hosted":true})"));
    EXPECT_EQ(tray.log.size(), 6u);
}

TEST(Tray, ImagesAndPixmaps)
{
    for (const char* format : { "png", "ico" }) {
        const GRef<GdkPixbuf> image = loadImage(twoPixels(format));
        ASSERT_TRUE(image) << format;
        EXPECT_EQ(gdk_pixbuf_get_width(image.get()), 2) << format;
        // ARGB, network order: opaque red, then blue at half alpha.
        EXPECT_EQ(notifierPixmap(image.get()), (std::vector<uint8_t> { 255, 255, 0, 0, 128, 0, 0, 255 })) << format;
    }
    EXPECT_FALSE(loadImage({ 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e' }));
    EXPECT_FALSE(loadImage({}));

    TrayIcon tray({}, {});
    EXPECT_EQ(tray.load({ false, twoPixels("png") })->size(), 1u);
    EXPECT_FALSE(tray.load({ false, { 1, 2, 3 } }));
    EXPECT_TRUE(tray.load({ true, {} })->empty()); // no application icon given: the application's own is none
}
