// libFuzzer targets for encoded data from outside, one binary per reader:
//
//   base64_fuzz         Base64 text and the device information decoder: decoding never fails
//                       outright, and encoding what was decoded decodes to the same bytes
//   uri_list_fuzz       a drag's text/uri-list: every path is absolute
//   window_message_fuzz the window channel's requests (answered once each, with JSON) and the
//                       draggable regions the page reports
//   report_fuzz         the reference server's query and report decoding

#include "tests/fuzz/FuzzInput.h"

#if defined(TVN_FUZZ_BASE64)
#include "identity/DeviceInfoCipher.h"
#include "util/Base64.h"
#elif defined(TVN_FUZZ_URI_LIST)
#include "browser/UriList.h"
#elif defined(TVN_FUZZ_WINDOW_MESSAGE)
#include "window/WindowCommands.h"
#include "window/WindowRules.h"
#include <nlohmann/json.hpp>
#elif defined(TVN_FUZZ_REPORT)
#include "tools/server/ReferenceServer.h"
#endif

#include <string>

using namespace tvn;

#if defined(TVN_FUZZ_WINDOW_MESSAGE)
namespace {

// A window that does what it is told and remembers nothing.
class NoWindow final : public WindowControl {
public:
    int64_t windowId() const override { return 7; }
    State state() const override { return { false, true, false, 800, 600 }; }
    void setTopmost(bool) override { }
    void OnSetResizeable(bool) override { }
    void closeWindow() override { }
    void showWindow(Show) override { }
    void setWindowPos(bool, int, int, bool, int, int) override { }
    void centerWindow(std::optional<int>, std::optional<int>) override { }
    void bringToFront() override { }
    void flash() override { }
    void setIcon(const std::vector<uint8_t>&) override { }
    void setBackground(const std::string&) override { }
    void showMessageBox(const MessageBoxRequest&, std::function<void(int)> answered) override { answered(1); }
    void readClipboardText(std::function<void(std::optional<std::string>)> answered) override { answered("text"); }
    bool writeClipboardText(const std::string&) override { return true; }
};

} // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input = fuzz::text(data, size);
#if defined(TVN_FUZZ_BASE64)
    const std::vector<uint8_t> decoded = base64Decode(input);
    const std::string encoded = base64Encode(decoded.data(), decoded.size());
    fuzz::require(base64Decode(encoded) == decoded, "encoded bytes decode to themselves");
    decodeDeviceInfo(input);
#elif defined(TVN_FUZZ_URI_LIST)
    for (const std::string& path : filesFromUriList(input))
        fuzz::require(!path.empty() && path[0] == '/', "a dropped file's path is absolute");
#elif defined(TVN_FUZZ_WINDOW_MESSAGE)
    NoWindow window;
    int replies = 0;
    answerWindowRequest(window, input, [&](std::string reply) {
        ++replies;
        fuzz::require(!nlohmann::json::parse(reply, nullptr, false).is_discarded(), "a reply is JSON");
    });
    fuzz::require(replies == 1, "each request is answered once");
    const nlohmann::json regions = nlohmann::json::parse(input, nullptr, false);
    if (!regions.is_discarded())
        inDraggableRegion(draggableRegionsFromJson(regions), 10, 10, 1.0);
#elif defined(TVN_FUZZ_REPORT)
    server::ReferenceServer::decodeReport(std::string(input));
#endif
    return 0;
}
