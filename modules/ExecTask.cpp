// The exec thread: spawn, read, post.

#include "modules/ExecTask.h"

#include "core/Log.h"
#include "util/ExecOutput.h"
#include "modules/ScriptCallback.h"
#include "platform/Launcher.h"
#include "platform/StopEvent.h"
#include "util/Strings.h"

#include <cerrno>
#include <cstring>
#include <csignal>
#include <memory>
#include <optional>
#include <utility>
#include <unistd.h>

namespace tvn {

namespace {

// Strings as one script string. The engine joins them as a rope, without one more conversion of
// the whole (its own conversion of a large text goes through a buffer twice its size).
ScriptValue joined(JSCContext* context, const std::vector<ScriptValue>& strings)
{
    if (strings.empty())
        return ScriptValue::adopt(jsc_value_new_string(context, ""));
    if (strings.size() == 1)
        return strings[0];
    GUnique<GPtrArray> values(g_ptr_array_new_full(static_cast<guint>(strings.size()), g_object_unref));
    for (const ScriptValue& string : strings)
        g_ptr_array_add(values.get(), g_object_ref(string.get()));
    const ScriptValue array = ScriptValue::adopt(jsc_value_new_array_from_garray(context, values.get()));
    const ScriptValue join = ScriptValue::adopt(jsc_context_evaluate(context,
        "(function (parts) { var text = ''; for (var i = 0; i < parts.length; ++i) text += parts[i]; return text; })", -1));
    return ScriptValue::adopt(jsc_value_function_call(join.get(), JSC_TYPE_VALUE, array.get(), G_TYPE_NONE));
}

// Posts the page's callback calls: callback(done, text, userdata[, exit status]).
class OutputCallback {
public:
    explicit OutputCallback(ScriptCallback callback)
        : m_callback(std::move(callback))
    {
    }

    // Stream mode: one call per piece.
    void postPiece(std::string text)
    {
        m_callback.post([text = std::move(text)](const ScriptCallback::Target& target) {
            JSCContext* context = target.context();
            const ScriptValue done = ScriptValue::adopt(jsc_value_new_boolean(context, FALSE));
            const ScriptValue textValue = ScriptValue::adopt(jsc_value_new_string(context, text.c_str()));
            target.call({ done.get(), textValue.get(), target.kept[0].get() });
        });
    }

    // Whole mode: a part of the text, made a script string while the child still writes and kept
    // for the final call.
    void postPart(WholeOutput::Part part)
    {
        m_callback.post([part = std::move(part)](ScriptCallback::Target& target) {
            target.gathered.push_back(ScriptValue::adopt(jsc_value_new_string(target.context(), part->c_str())));
        });
    }

    // The final call: the text is the parts posted, joined, or `replacement` instead of them.
    void postEnd(std::optional<std::string> replacement, int exitStatus)
    {
        m_callback.post([replacement = std::move(replacement), exitStatus](ScriptCallback::Target& target) {
            JSCContext* context = target.context();
            const std::vector<ScriptValue> parts = std::exchange(target.gathered, {});
            const ScriptValue done = ScriptValue::adopt(jsc_value_new_boolean(context, TRUE));
            const ScriptValue text = replacement ? ScriptValue::adopt(jsc_value_new_string(context, replacement->c_str())) : joined(context, parts);
            const ScriptValue status = ScriptValue::adopt(jsc_value_new_number(context, exitStatus));
            target.call({ done.get(), text.get(), target.kept[0].get(), status.get() });
        });
    }

private:
    ScriptCallback m_callback;
};

void readOutput(int fd, bool stream, OutputCallback& callback, WholeOutput& whole, const std::stop_token& stop)
{
    const platform::StopEvent stopEvent(stop);
    OutputPieces pieces;
    // Whole output has no piece boundaries to keep: read it in larger steps.
    std::string buffer(stream ? kExecPieceBytes : 256 * 1024, '\0');
    while (platform::waitReadable(fd, stopEvent, stop)) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const std::string_view piece = upToFirstNul(std::string_view(buffer.data(), static_cast<size_t>(n)));
        if (stream) {
            if (std::string text = pieces.next(piece); !text.empty())
                callback.postPiece(std::move(text));
        } else if (WholeOutput::Part part = whole.append(piece)) {
            callback.postPart(std::move(part));
        }
    }
    if (stream) {
        if (std::string rest = pieces.finish(); !rest.empty())
            callback.postPiece(std::move(rest));
    }
}

// A stop (the page went) ends the child: it is killed, then waited for as if it had ended.
void runChild(platform::PipedChild child, bool stream, OutputCallback callback, const std::stop_token& stop)
{
    WholeOutput whole;
    readOutput(child.output, stream, callback, whole, stop);
    ::close(child.output);
    if (stop.stop_requested())
        ::kill(child.pid, SIGKILL);
    const int status = platform::waitForExit(child.pid);
    callback.postEnd(whole.finish(), status);
}

} // namespace

void startExecTask(ExecTask task, const std::filesystem::path& applicationFolder, const ModuleBase& owner)
{
    OutputCallback callback(ScriptCallback(std::move(task.callback), { std::move(task.userdata) }));
    if (utf16Length(task.command) > kExecMaxCommand) {
        LOG_ERROR << "exec command too long: " << task.command.size() << " bytes";
        return;
    }
    const std::optional<std::vector<std::string>> arguments = platform::splitCommandLine(task.command);
    if (!arguments) {
        LOG_ERROR << "exec command not parsed: " << task.command;
        return;
    }
    std::optional<std::filesystem::path> program;
    if (!task.exe.empty())
        program = applicationFolder / task.exe; // an absolute exe stands as it is
    const std::filesystem::path folder = task.dir.empty() ? applicationFolder : std::filesystem::path(task.dir);
    owner.startPageThread([arguments = *arguments, program, folder, stream = task.stream, callback = std::move(callback)](std::stop_token stop) mutable {
        if (const std::optional<platform::PipedChild> child = platform::startWithOutputPipe(program, arguments, folder)) {
            runChild(*child, stream, std::move(callback), stop);
        } else {
            LOG_ERROR << "exec start failed: " << std::strerror(errno) << ", " << (program ? program->string() : arguments.empty() ? "" : arguments[0]);
            OutputCallback released = std::move(callback); // its release is posted before the thread ends
        }
    });
}

} // namespace tvn
