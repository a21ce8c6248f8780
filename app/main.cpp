// tvn's entry function: the start-up every process shares (command line, channel id, installation
// source, the "checkbdvid" event), then the role: the one-shot report run, or the browser with its
// window and the GTK main loop until the window closes.

#include "browser/Application.h"
#include "browser/MainWindow.h"
#include "core/CommandLine.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "startup/StartUp.h"
#include "core/Translation.h"
#include "startup/ProcessStart.h"
#include "net/Report.h"
#include "platform/ProcessEnvironment.h"
#include "platform/SingleInstance.h"

#include <clocale>
#include <gtk/gtk.h>
#include <iostream>

namespace {

// --command=report: one event from --scene, then exit 0 whether or not it reached the server.
int runReport(const tvn::StartOptions& options)
{
    const tvn::SceneEvent event = tvn::parseScene(options.scene);
    tvn::ReportParameters parameters;
    std::copy(event.parameters.begin(), event.parameters.end(), parameters.begin());
    tvn::postReport(tvn::buildReport(event.name, parameters));
    return 0;
}

// Every other role: the browser. (Sub-process roles are WebKit's own processes here; a --type
// other than empty names only the log file.)
int runBrowser(const tvn::StartOptions& options, int argc, char** argv)
{
    const std::vector<std::string> arguments(argv, argv + argc);
    gtk_init(&argc, &argv);
    tvn::Application application(options.type.empty() ? "main" : options.type);

    // One instance per executable path: a later start brings the first one's window forward.
    tvn::platform::SingleInstance instance(tvn::singleInstanceName(tvn::modulePath()));
    if (!instance.isFirst() && instance.activateFirst()) {
        LOG_INFO << "another instance activated";
        return 0;
    }

    tvn::MainWindow window([&application] { application.CloseAll(); });
    window.Create();
    const bool listening = instance.listen([&window] {
        LOG_INFO << "activated by another instance";
        window.present();
    });
    if (!listening) {
        LOG_ERROR << "single instance not listening";
    }
    application.setMainWindow(&window);
    application.OnContextInitialized(arguments);
    window.show();
    gtk_main();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts and before GTK: no OpenGL driver in tvn's own processes.
    tvn::platform::setDrawingEnvironment();
    // The texts people read (--help among them) in the desktop's language.
    std::setlocale(LC_ALL, "");
    tvn::startTranslation();
    const tvn::StartOptions options = tvn::parseCommandLine({ argv, argv + argc });
    if (options.help) {
        std::cout << tvn::commandLineUsage();
        return 0;
    }

    // The report run exits right after its reports: it sends them before it goes.
    const bool reportRun = options.command == "report";
    tvn::startProcess(reportRun ? tvn::StartReport::Wait : tvn::StartReport::InBackground);
    if (reportRun)
        return runReport(options);

    const int code = runBrowser(options, argc, argv);
    tvn::endProcess();
    return code;
}
