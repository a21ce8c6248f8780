// One HTTPS GET through the request layer against the same GET made directly with a fresh libcurl
// easy handle (a new connection each time, certificates verified the same way), both to the
// reference server on loopback. The goal: the layer takes at most 1.2 times as long.

#include "bench/Ratios.h"
#include "net/HttpRequest.h"
#include "tools/server/ReferenceServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unistd.h>

namespace {

struct Fixture {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tvn-bench-http-" + std::to_string(getpid()));
    std::unique_ptr<tvn::server::ReferenceServer> server;

    Fixture()
    {
        std::filesystem::create_directories(folder / "catalog");
        server = std::make_unique<tvn::server::ReferenceServer>(tvn::server::ReferenceServerOptions { folder / "state", folder / "catalog", {}, "t", {} });
        server->start();
    }
    ~Fixture()
    {
        server->stop();
        std::filesystem::remove_all(folder);
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

size_t discard(char*, size_t size, size_t count, void* body)
{
    static_cast<std::string*>(body)->append(size * count, ' ');
    return size * count;
}

void getThroughTheLayer(benchmark::State& state)
{
    const tvn::HttpConnection connection { "127.0.0.1", static_cast<uint16_t>(fixture().server->port()), fixture().server->authorityFile() };
    for (auto _ : state) {
        tvn::HttpGetRequest request;
        request.addParam("fileName", "x.dll");
        request.open(connection, "/v3/software/downloadUrl");
        request.addHeader("token", "t");
        request.send();
        if (request.wait().status != 404)
            state.SkipWithError("unexpected answer");
    }
    state.counters["requests_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void getWithCurlDirectly(benchmark::State& state)
{
    const std::string url = "https://" + fixture().server->address() + "/v3/software/downloadUrl?fileName=x.dll";
    const std::string authority = fixture().server->authorityFile().string();
    for (auto _ : state) {
        CURL* handle = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "token: t");
        std::string body;
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_CAINFO, authority.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
        long status = 0;
        if (curl_easy_perform(handle) != CURLE_OK || curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 404)
            state.SkipWithError("unexpected answer");
        curl_slist_free_all(headers);
        curl_easy_cleanup(handle);
    }
    state.counters["requests_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(getThroughTheLayer)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2);
BENCHMARK(getWithCurlDirectly)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2);
// Requests per second direct / through the layer = the layer's time / the direct time.
TVN_BENCH_RATIO("https get time, layer / direct libcurl", "getWithCurlDirectly/min_time:2.000/real_time",
    "getThroughTheLayer/min_time:2.000/real_time", "requests_per_second");
