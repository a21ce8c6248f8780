// The app scheme's glue: WebKit's request in, the request rules' answer out.

#include "browser/AppSchemeHandler.h"

#include "browser/AppSchemeRequest.h"
#include "platform/GRef.h"
#include "platform/ThreadHandoff.h"

#include <gio/gio.h>
#include <memory>
#include <optional>

namespace tvn {

namespace {

struct Folders {
    std::filesystem::path app;
    std::filesystem::path dist;
};

struct SchemeJob {
    GRef<WebKitURISchemeRequest> request;
    std::string uri;
    Folders folders;
    std::optional<ResourceResponse> response;
};

void destroyFolders(gpointer folders) { std::unique_ptr<Folders>(static_cast<Folders*>(folders)); }
void destroyJob(gpointer job) { std::unique_ptr<SchemeJob>(static_cast<SchemeJob*>(job)); }

// Worker thread: the pack is opened, checked and the entry inflated here.
void answerOnWorker(GTask* task, gpointer, gpointer data, GCancellable*)
{
    auto* job = static_cast<SchemeJob*>(data);
    platform::takeOver(job);
    job->response = answerAppRequest(job->uri, job->folders.app, job->folders.dist);
    platform::handOff(job);
    g_task_return_boolean(task, TRUE);
}

// Main thread: hand the answer to WebKit.
void finishOnMain(GObject*, GAsyncResult* result, gpointer)
{
    auto* job = static_cast<SchemeJob*>(g_task_get_task_data(G_TASK(result)));
    platform::takeOver(job);
    if (!job->response) {
        GUnique<GError> error(g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such resource"));
        webkit_uri_scheme_request_finish_error(job->request.get(), error.get());
        return;
    }
    ResourceResponse& answer = *job->response;
    // The body moves into the bytes the stream reads (which free it); nothing is copied.
    auto body = std::make_unique<std::string>(std::move(answer.body));
    const auto length = static_cast<gint64>(body->size());
    const GUnique<GBytes> bytes(g_bytes_new_with_free_func(body->data(), body->size(),
        [](gpointer data) { std::unique_ptr<std::string>(static_cast<std::string*>(data)); }, body.get()));
    body.release();
    GRef<GInputStream> stream = GRef<GInputStream>::adopt(g_memory_input_stream_new_from_bytes(bytes.get()));
    GRef<WebKitURISchemeResponse> response = GRef<WebKitURISchemeResponse>::adopt(webkit_uri_scheme_response_new(stream.get(), length));
    webkit_uri_scheme_response_set_status(response.get(), static_cast<guint>(answer.status), nullptr);
    webkit_uri_scheme_response_set_content_type(response.get(), answer.mimeType.c_str());
    webkit_uri_scheme_request_finish_with_response(job->request.get(), response.get());
}

void onAppRequest(WebKitURISchemeRequest* request, gpointer folders)
{
    auto job = std::make_unique<SchemeJob>();
    job->request = GRef<WebKitURISchemeRequest>::retain(request);
    job->uri = webkit_uri_scheme_request_get_uri(request);
    job->folders = *static_cast<Folders*>(folders);
    GRef<GTask> task = GRef<GTask>::adopt(g_task_new(nullptr, nullptr, finishOnMain, nullptr));
    platform::handOff(job.get());
    g_task_set_task_data(task.get(), job.release(), destroyJob);
    g_task_run_in_thread(task.get(), answerOnWorker);
}

} // namespace

void registerAppScheme(WebKitWebContext* context, const std::filesystem::path& appFolder, const std::filesystem::path& distFolder)
{
    auto folders = std::make_unique<Folders>(Folders { appFolder, distFolder });
    webkit_web_context_register_uri_scheme(context, "app", onAppRequest, folders.release(), destroyFolders);
}

} // namespace tvn
