// Client: the browser-process side of one web view, the page that fills the main window.
//
// It closes its view on request and is the browser's end of the script bridge: a "call" message
// from the page is dispatched by method name and answered with a "result" message carrying the
// same call id. A method it does not know is logged and never answered. Its own methods are the
// file dialog ("openFileDialog") and dragging files out of the page ("doDragDrop"); files dragged
// over the page go to it as "drag". It keeps the page's draggable regions for hit-testing.
#pragma once

#include "window/WindowRules.h"
#include "platform/GRef.h"

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <webkit2/webkit2.h>

namespace tvn {

class Client {
public:
    // A method run in the browser process: its argument list in, its result dictionary out
    // through `reply` (which may be called later, once).
    using Method = std::function<void(const nlohmann::json& arguments, std::function<void(nlohmann::json)> reply)>;

    explicit Client(GRef<WebKitWebView>, std::function<void()> onPageClosed);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    WebKitWebView* view() const { return m_view.get(); }

    // Asks the page to close (its unload handlers run); the view goes when the page has closed.
    void Close();

    void addMethod(std::string name, Method);

    // A message to the page's web process: its argument list as JSON.
    void sendToPage(const char* name, const nlohmann::json& arguments);

    // The "call" message: [method, arguments, call id in decimal]. Answers by "result".
    void HandleCall(const std::string& method, const nlohmann::json& arguments, int64_t callId);

    // Whether (x, y), in pixels from the view's top-left corner, lies in one of the page's
    // draggable regions (which the page's web process reports as its layout changes).
    bool inDraggableRegion(int x, int y) const;

private:
    static gboolean onUserMessage(WebKitWebView*, WebKitUserMessage*, gpointer self);
    static void onClose(WebKitWebView*, gpointer self);
    void addFileMethods();

    GRef<WebKitWebView> m_view;
    std::function<void()> m_onPageClosed;
    std::map<std::string, Method> m_methods;
    std::vector<DraggableRegion> m_draggableRegions;
    gulong m_messageHandler = 0;
    gulong m_closeHandler = 0;
};

} // namespace tvn
