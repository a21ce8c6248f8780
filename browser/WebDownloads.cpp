// Refusing WebKit's own downloads.

#include "browser/WebDownloads.h"

#include "core/Log.h"

namespace tvn {

namespace {

// Answered before any destination is chosen: nothing is written.
gboolean onDecideDestination(WebKitDownload* download, gchar*, gpointer)
{
    webkit_download_cancel(download);
    return TRUE;
}

void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer)
{
    WebKitURIRequest* request = webkit_download_get_request(download);
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    LOG_INFO << "web download refused: " << (uri ? uri : "");
    g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), nullptr);
    webkit_download_cancel(download);
}

} // namespace

void refuseWebDownloads(WebKitWebContext* context)
{
    g_signal_connect(context, "download-started", G_CALLBACK(onDownloadStarted), nullptr);
}

} // namespace tvn
