// tvn-server: the reference server as a process of its own, for the demo and for trying the
// program by hand.
//
//     tvn-server --state DIR --catalog DIR [--port N] [--mirrors N] [--record FILE] [--token TEXT] [--control-token TEXT]
//
// Prints the address and the authority file to trust (config.ini: [server] api, report, ca), then
// serves until interrupted.

#include "tools/server/ReferenceServer.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    CLI::App app { "tvn reference server", "tvn-server" };
    tvn::server::ReferenceServerOptions options;
    int port = 0;
    app.add_option("--state", options.stateFolder, "folder for the certificates (made on first start)")->required();
    app.add_option("--catalog", options.catalogFolder, "folder of the files offered for download")->required();
    app.add_option("--record", options.recordFile, "file to append one JSON line per request to");
    app.add_option("--token", options.token, "the token the heartbeat hands out");
    app.add_option("--port", port, "port on 127.0.0.1 (0: any free one)");
    app.add_option("--mirrors", options.mirrors, "mirror addresses to list beside each download address")->check(CLI::Range(0, 999));
    app.add_option("--control-token", options.controlToken,
        "enables POST /_control/behaviour for requests with this X-Control-Token header (tests only)");
    CLI11_PARSE(app, argc, argv);

    // Stop cleanly on SIGINT or SIGTERM: block them here and wait for one on this thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    tvn::server::ReferenceServer server(options);
    try {
        if (!server.start(port)) {
            std::fprintf(stderr, "tvn-server: cannot listen on 127.0.0.1:%d\n", port);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tvn-server: %s\n", error.what());
        return 1;
    }
    std::printf("listening on %s\nauthority %s\n", server.address().c_str(), server.authorityFile().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
