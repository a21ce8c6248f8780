// The exec thread: spawn, read, post.

#include "modules/ExecTask.h"

#include "core/Log.h"
#include "util/ExecOutput.h"
#include "modules/ScriptCallback.h"
#include "platform/Launcher.h"
#include "platform/StopEvent.h"
#include "util/Strings.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <csignal>
#include <unistd.h>

namespace tvn {

namespace {

// Text in parts as one script string. The engine joins the parts as a rope, without one more
// conversion of the whole (its own conversion of a large text goes through a buffer twice its size).
ScriptValue scriptText(JSCContext* context, const std::vector<std::string>& parts)
{
    if (parts.size() <= 1)
        return ScriptValue::adopt(jsc_value_new_string(context, parts.empty() ? "" : parts[0].c_str()));
    GUnique<GPtrArray> values(g_ptr_array_new_with_free_func(g_object_unref));
    for (const std::string& part : parts)
        g_ptr_array_add(values.get(), jsc_value_new_string(context, part.c_str()));
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

    void post(bool done, std::vector<std::string> text, std::optional<int> exitStatus = std::nullopt)
    {
        m_callback.post([done, text = std::move(text), exitStatus](const ScriptCallback::Target& target) {
            JSCContext* context = target.context();
            const ScriptValue doneValue = ScriptValue::adopt(jsc_value_new_boolean(context, done));
            const ScriptValue textValue = scriptText(context, text);
            if (exitStatus) {
                const ScriptValue status = ScriptValue::adopt(jsc_value_new_number(context, *exitStatus));
                target.call({ doneValue.get(), textValue.get(), target.kept[0].get(), status.get() });
            } else {
                target.call({ doneValue.get(), textValue.get(), target.kept[0].get() });
            }
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
            std::string text = pieces.next(piece);
            if (!text.empty())
                callback.post(false, { std::move(text) });
        } else {
            whole.append(piece);
        }
    }
    if (stream) {
        if (std::string rest = pieces.finish(); !rest.empty())
            callback.post(false, { std::move(rest) });
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
    callback.post(true, whole.take(), status);
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
