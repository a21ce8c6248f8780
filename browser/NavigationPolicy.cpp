// The navigation verdicts and their glue to the view's policy decisions.

#include "browser/NavigationPolicy.h"

#include "core/Log.h"
#include "window/StartPage.h"
#include "ipc/Url.h"
#include "platform/GRef.h"
#include "platform/ProcessEnvironment.h"

#include <algorithm>
#include <gio/gio.h>
#include <memory>

namespace tvn {

NavigationVerdict navigationVerdict(std::string_view url, std::string_view startOrigin, bool droppedFile)
{
    if (droppedFile)
        return NavigationVerdict::Refuse;
    if (inStartOrigin(url, startOrigin))
        return NavigationVerdict::Stay;
    const auto parts = parseUrl(url);
    if (parts && !parts->host.empty() && (parts->scheme == "http" || parts->scheme == "https"))
        return NavigationVerdict::OpenOutside;
    return NavigationVerdict::Refuse;
}

namespace {

constexpr char kGuardKey[] = "tvn-navigation-guard";

struct NavigationGuard {
    std::string startOrigin;
    std::vector<std::string> draggedFiles;

    bool isDroppedFile(const char* uri) const
    {
        GUnique<char> path(g_filename_from_uri(uri, nullptr, nullptr));
        return path && std::find(draggedFiles.begin(), draggedFiles.end(), path.get()) != draggedFiles.end();
    }
};

void openOutside(const char* uri)
{
    GError* rawError = nullptr;
    if (!g_app_info_launch_default_for_uri(uri, platform::programLaunchContext().get(), &rawError)) {
        GUnique<GError> error(rawError);
        LOG_ERROR << "open in the default browser failed: " << uri << ", " << error->message;
        return;
    }
    LOG_INFO << "open in the default browser: " << uri;
}

// What happens instead of a navigation that does not stay: the desktop's browser, or nothing.
void carryOut(NavigationVerdict verdict, const char* uri, std::string_view refused)
{
    if (verdict == NavigationVerdict::OpenOutside)
        openOutside(uri);
    else
        LOG_INFO << refused << uri;
}

// Navigation decisions come for every frame alike (WebKitGTK does not say which frame), so only
// what holds for any frame is decided on them: a dropped file is never loaded, a link the user
// follows (or a form sent) to elsewhere goes to the desktop's browser in whatever frame it was,
// and no new window opens. Such a navigation is refused before it starts, so the page loses none
// of its requests in flight. Whatever else the main frame loads (a script's navigation, a
// redirect) is judged when its response comes, before anything of it is shown.
gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data)
{
    const auto* guard = static_cast<NavigationGuard*>(data);
    std::string uri;
    bool followed = false;
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_main_frame_main_resource(response))
            return FALSE;
        uri = webkit_uri_response_get_uri(webkit_response_policy_decision_get_response(response));
    } else if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION || type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        const WebKitNavigationType kind = webkit_navigation_action_get_navigation_type(action);
        followed = kind == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED || kind == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED;
    } else {
        return FALSE;
    }
    const bool dropped = guard->isDroppedFile(uri.c_str());
    const NavigationVerdict verdict = navigationVerdict(uri, guard->startOrigin, dropped);
    // A navigation of some frame that nobody followed is left alone; the main frame's document is
    // judged at its response. A new window is never made.
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && !dropped && !followed)
        return FALSE;
    if (verdict == NavigationVerdict::Stay && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    webkit_policy_decision_ignore(decision);
    carryOut(verdict, uri.c_str(), "navigation refused: ");
    return TRUE;
}

// window.open and links that ask for a new window: the page has one window, so none is made; one
// for elsewhere goes to the desktop's browser.
GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data)
{
    const auto* guard = static_cast<NavigationGuard*>(data);
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    carryOut(navigationVerdict(uri, guard->startOrigin, guard->isDroppedFile(uri)), uri, "new window refused: ");
    return nullptr;
}

NavigationGuard* guardOf(WebKitWebView* view)
{
    return static_cast<NavigationGuard*>(g_object_get_data(G_OBJECT(view), kGuardKey));
}

} // namespace

void guardNavigation(WebKitWebView* view, std::string startOrigin)
{
    auto guard = std::make_unique<NavigationGuard>();
    guard->startOrigin = std::move(startOrigin);
    NavigationGuard* raw = guard.get();
    g_object_set_data_full(G_OBJECT(view), kGuardKey, guard.release(), [](gpointer data) { std::unique_ptr<NavigationGuard>(static_cast<NavigationGuard*>(data)); });
    g_signal_connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), raw);
    g_signal_connect(view, "create", G_CALLBACK(onCreate), raw);
}

void noteDraggedFiles(WebKitWebView* view, std::vector<std::string> files)
{
    if (NavigationGuard* guard = guardOf(view))
        guard->draggedFiles = std::move(files);
}

} // namespace tvn
