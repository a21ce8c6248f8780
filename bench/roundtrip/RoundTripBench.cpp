// The round trip of a thenable through the browser process (script call, "call" message, the
// browser's method, "result" message, the success function) against one bare user message and
// its reply, both timed by the page. Prints the thenable's median in microseconds and the ratio
// of the two medians. Needs a display: run it under xvfb-run.

#include "bench/Ratios.h"
#include "browser/Client.h"
#include "ipc/InitData.h"
#include "window/StartPage.h"
#include "tests/support/PageServer.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

namespace {

constexpr int kBatches = 21;
constexpr int kPerBatch = 400;

struct Medians {
    double thenableUs = 0;
    double messageUs = 0;
};

// The page's clock is coarse (WebKit rounds performance.now()), so calls are timed in batches of
// kPerBatch and the median is taken over the batches' per-call averages. The two kinds take turns,
// batch by batch, so that both meet the same machine; a first batch of each warms up and is not
// counted.
const char* kPage = R"(<!doctype html><script>
function median(list) { list.sort(function (a, b) { return a - b; }); return list[Math.floor(list.length / 2)]; }
var bench = module('bench'), batches = %d, perBatch = %d, thenable = [], message = [];
function batch(call, times, done) {
    var i = 0, start = performance.now();
    function next() {
        if (i === perBatch) {
            times.push((performance.now() - start) / perBatch);
            return done();
        }
        ++i;
        call(next);
    }
    next();
}
function thenableCall(next) { bench.echo(1).then(next); }
function messageCall(next) { bench.ping(next); }
function round(left) {
    if (left === 0) {
        thenable.shift();
        message.shift();
        fetch('/report?' + median(thenable) * 1000 + ',' + median(message) * 1000).then(function () { window.close(); });
        return;
    }
    batch(thenableCall, thenable, function () { batch(messageCall, message, function () { round(left - 1); }); });
}
round(batches + 1);
</script>)";

gboolean onPing(WebKitWebView*, WebKitUserMessage* message, gpointer)
{
    if (g_strcmp0(webkit_user_message_get_name(message), "ping"))
        return FALSE;
    webkit_user_message_send_reply(message, webkit_user_message_new("pong", nullptr));
    return TRUE;
}

// One browser session measuring both; run once, reported by both benchmarks.
const Medians& measure()
{
    static const Medians medians = [] {
        tvn::test::PageServer server;
        char page[2048];
        std::snprintf(page, sizeof(page), kPage, kBatches, kPerBatch);
        server.addPage("index.html", page);

        int argc = 0;
        gtk_init(&argc, nullptr);
        tvn::GRef<WebKitWebContext> context = tvn::GRef<WebKitWebContext>::adopt(webkit_web_context_new());
        tvn::InitData init;
        init.startOrigin = tvn::startOriginOf(server.url());
        webkit_web_context_set_web_extensions_directory(context.get(), TVN_BENCH_EXTENSIONS);
        webkit_web_context_set_web_extensions_initialization_user_data(context.get(), tvn::toVariant(init));

        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), nullptr));
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
        {
            // The client goes before the window: destroying the window disposes the view, which
            // drops every handler the client would then disconnect.
            tvn::Client client(tvn::GRef<WebKitWebView>::retain(view), [] { gtk_main_quit(); });
            client.addMethod("echo", [](const nlohmann::json& arguments, std::function<void(nlohmann::json)> reply) {
                reply({ { "value", arguments.empty() ? nlohmann::json() : arguments[0] } });
            });
            g_signal_connect(view, "user-message-received", G_CALLBACK(onPing), nullptr);
            webkit_web_view_load_uri(view, (server.url() + "/index.html").c_str());
            gtk_widget_show_all(window);
            gtk_main();
        }
        gtk_widget_destroy(window);

        Medians result;
        const auto reports = server.reports();
        if (!reports.empty())
            std::sscanf(reports[0].c_str(), "%lf,%lf", &result.thenableUs, &result.messageUs);
        return result;
    }();
    return medians;
}

void report(benchmark::State& state, double microseconds)
{
    for (auto _ : state) {
        if (microseconds <= 0) {
            state.SkipWithError("the page reported nothing");
            return;
        }
        state.SetIterationTime(microseconds / 1e6);
    }
    state.counters["median_us"] = microseconds;
}

void thenableRoundTrip(benchmark::State& state) { report(state, measure().thenableUs); }
void userMessageRoundTrip(benchmark::State& state) { report(state, measure().messageUs); }

} // namespace

BENCHMARK(thenableRoundTrip)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(userMessageRoundTrip)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
TVN_BENCH_RATIO("thenable round trip / user message round trip (medians)", "thenableRoundTrip/iterations:1/manual_time",
    "userMessageRoundTrip/iterations:1/manual_time", "median_us");
