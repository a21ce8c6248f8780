// Copying with GIO.

#include "platform/FileCopy.h"

#include "platform/GRef.h"

#include <atomic>
#include <gio/gio.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

struct CopyRun {
    const CopyProgress& progress;
    GCancellable* cancellable;
    int64_t done = 0;  // bytes of the files finished before the current one
    int64_t total = 0; // bytes of every file to copy
};

std::filesystem::path besideTarget(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter { 0 };
    return target.parent_path() / ("." + target.filename().string() + ".copy." + std::to_string(::getpid()) + "." + std::to_string(counter++));
}

bool copyOneFile(const std::filesystem::path& from, const std::filesystem::path& to, CopyRun& run)
{
    const std::filesystem::path temporary = besideTarget(to);
    GRef<GFile> source = GRef<GFile>::adopt(g_file_new_for_path(from.c_str()));
    GRef<GFile> destination = GRef<GFile>::adopt(g_file_new_for_path(temporary.c_str()));
    GError* rawError = nullptr;
    const gboolean copied = g_file_copy(source.get(), destination.get(), GFileCopyFlags(G_FILE_COPY_OVERWRITE | G_FILE_COPY_NOFOLLOW_SYMLINKS), run.cancellable,
        [](goffset current, goffset, gpointer data) {
            auto* self = static_cast<CopyRun*>(data);
            if (self->progress)
                self->progress(self->done + current, self->total);
        },
        &run, &rawError);
    GUnique<GError> error(rawError);
    std::error_code ignored;
    if (!copied || ::rename(temporary.c_str(), to.c_str()) != 0) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    run.done += static_cast<int64_t>(std::filesystem::file_size(to, ignored));
    return true;
}

bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to, CopyRun& run)
{
    std::error_code error;
    std::filesystem::create_directories(to, error);
    if (error)
        return false;
    for (std::filesystem::recursive_directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
        const std::filesystem::path target = to / entry->path().lexically_relative(from);
        std::error_code failed;
        if (entry->is_directory(failed) && !entry->is_symlink(failed)) {
            std::filesystem::create_directories(target, failed);
            if (failed)
                return false;
        } else if (!copyOneFile(entry->path(), target, run)) {
            return false;
        }
    }
    return !error;
}

int64_t bytesIn(const std::filesystem::path& from)
{
    std::error_code error;
    if (!std::filesystem::is_directory(from, error))
        return static_cast<int64_t>(std::filesystem::file_size(from, error));
    int64_t total = 0;
    for (std::filesystem::recursive_directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_regular_file(ignored))
            total += static_cast<int64_t>(entry->file_size(ignored));
    }
    return total;
}

} // namespace

CopyDestination copyDestination(std::string_view from, std::string_view to)
{
    const bool folder = to.empty() || to.back() == '/' || to.back() == '\\';
    if (folder) {
        std::string_view trimmed = to;
        while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\'))
            trimmed.remove_suffix(1);
        std::filesystem::path source(from);
        while (!source.has_filename() && source.has_relative_path())
            source = source.parent_path();
        return { std::filesystem::path(trimmed), source.filename().string(), true };
    }
    const std::filesystem::path target(to);
    return { target.parent_path(), target.filename().string(), false };
}

bool copyWithProgress(const std::string& from, const std::string& to, const CopyProgress& progress, std::stop_token stop)
{
    const GRef<GCancellable> cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
    const std::stop_callback cancel(stop, [&cancellable] { g_cancellable_cancel(cancellable.get()); });
    const CopyDestination destination = copyDestination(from, to);
    std::error_code error;
    if (destination.createFolder)
        std::filesystem::create_directories(destination.folder, error); // errors show in the copy
    if (destination.name.empty() || !std::filesystem::is_directory(destination.folder.empty() ? "." : destination.folder, error))
        return false;
    const std::filesystem::path target = destination.folder / destination.name;
    CopyRun run { progress, cancellable.get(), 0, bytesIn(from) };
    if (std::filesystem::is_directory(from, error)) {
        // Never into itself: the copy would grow as it walks.
        const std::filesystem::path source = std::filesystem::weakly_canonical(from, error);
        const std::filesystem::path inside = std::filesystem::weakly_canonical(target, error).lexically_relative(source);
        if (!inside.empty() && *inside.begin() != "..")
            return false;
        return copyTree(from, target, run);
    }
    return std::filesystem::exists(from, error) && copyOneFile(from, target, run);
}

} // namespace tvn::platform
