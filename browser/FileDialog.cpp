// The file dialog.

#include "browser/FileDialog.h"

#include "platform/GRef.h"
#include "util/Strings.h"
#include "util/Translate.h"

#include <cstdlib>
#include <filesystem>

namespace tvn {

std::optional<FileDialogRequest> fileDialogRequest(const nlohmann::json& arguments)
{
    if (!arguments.is_array() || arguments.size() != 1)
        return std::nullopt;
    FileDialogRequest request;
    const nlohmann::json& options = arguments[0];
    if (!options.is_object())
        return request;
    if (const auto mode = options.find("mode"); mode != options.end()) {
        if (mode->is_number_integer())
            request.mode = mode->get<int>();
        else if (mode->is_string())
            request.mode = std::atoi(mode->get_ref<const std::string&>().c_str());
    }
    const auto text = [&options](const char* key, std::string& field) {
        if (const auto value = options.find(key); value != options.end() && value->is_string())
            field = value->get<std::string>();
    };
    text("title", request.title);
    text("default_path", request.defaultPath);
    std::string filters;
    text("accept_filters", filters);
    request.filters = splitNonEmpty(filters, ',');
    return request;
}

namespace {

// "*.zip" that also matches ".ZIP": the chooser's patterns are case-sensitive.
std::string caseFreePattern(const std::string& extension)
{
    std::string pattern = "*";
    for (const char c : extension) {
        const char lower = g_ascii_tolower(c), upper = g_ascii_toupper(c);
        if (lower != upper)
            pattern += std::string("[") + lower + upper + "]";
        else if (c == '*' || c == '?' || c == '[' || c == ']')
            pattern += std::string("[") + c + "]";
        else
            pattern += c;
    }
    return pattern;
}

void addPiece(FileFilterSpec& spec, const std::string& piece)
{
    const std::string item(trim(piece));
    if (item.empty())
        return;
    if (item[0] == '.')
        spec.patterns.push_back(caseFreePattern(item));
    else if (item.find('/') != std::string::npos)
        spec.mimeTypes.push_back(item);
}

} // namespace

FileFilterSpec fileFilterSpec(const std::string& filter)
{
    FileFilterSpec spec;
    const size_t bar = filter.find('|');
    if (bar == std::string::npos) {
        spec.name = filter;
        addPiece(spec, filter);
        return spec;
    }
    spec.name = filter.substr(0, bar);
    for (const std::string& piece : splitNonEmpty(filter.substr(bar + 1), ';'))
        addPiece(spec, piece);
    return spec;
}

namespace {

struct PendingDialog {
    std::function<void(std::vector<std::string>)> chosen;
};

// The pending request goes with the dialog's signal handler, answered or not.
void onResponse(GtkDialog* dialog, int response, gpointer data)
{
    auto chosen = std::exchange(static_cast<PendingDialog*>(data)->chosen, nullptr);
    std::vector<std::string> paths;
    if (response == GTK_RESPONSE_ACCEPT) {
        GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
        for (GSList* file = files; file; file = file->next) {
            paths.emplace_back(static_cast<char*>(file->data));
            g_free(file->data);
        }
        g_slist_free(files);
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
    if (!paths.empty() && chosen)
        chosen(std::move(paths));
}

void applyDefaultPath(GtkFileChooser* chooser, const std::string& path, bool save)
{
    if (path.empty())
        return;
    std::error_code error;
    const std::filesystem::path target(path);
    if (std::filesystem::is_directory(target, error)) {
        gtk_file_chooser_set_current_folder(chooser, target.c_str());
        return;
    }
    if (std::filesystem::is_directory(target.parent_path(), error))
        gtk_file_chooser_set_current_folder(chooser, target.parent_path().c_str());
    if (save)
        gtk_file_chooser_set_current_name(chooser, target.filename().c_str());
    else if (std::filesystem::exists(target, error))
        gtk_file_chooser_select_filename(chooser, target.c_str());
}

} // namespace

void runFileDialog(GtkWindow* owner, const FileDialogRequest& request, std::function<void(std::vector<std::string>)> chosen)
{
    const int type = request.mode & kFileDialogTypeMask;
    const GtkFileChooserAction action = type == kFileOpenFolder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
        : type == kFileSave                                      ? GTK_FILE_CHOOSER_ACTION_SAVE
                                                                 : GTK_FILE_CHOOSER_ACTION_OPEN;
    const char* accept = translate(type == kFileSave ? N_("_Save") : type == kFileOpenFolder ? N_("_Select") : N_("_Open"));
    GtkWidget* dialog = gtk_file_chooser_dialog_new(request.title.c_str(), owner, action, translate("_Cancel"), GTK_RESPONSE_CANCEL, accept,
        GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_select_multiple(chooser, type == kFileOpenMultiple);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, type == kFileSave && (request.mode & kFileDialogOverwritePrompt));
    applyDefaultPath(chooser, request.defaultPath, type == kFileSave);
    for (const std::string& filter : request.filters) {
        const FileFilterSpec spec = fileFilterSpec(filter);
        if (spec.patterns.empty() && spec.mimeTypes.empty())
            continue;
        GtkFileFilter* chooserFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(chooserFilter, spec.name.c_str());
        for (const std::string& pattern : spec.patterns)
            gtk_file_filter_add_pattern(chooserFilter, pattern.c_str());
        for (const std::string& mimeType : spec.mimeTypes)
            gtk_file_filter_add_mime_type(chooserFilter, mimeType.c_str());
        gtk_file_chooser_add_filter(chooser, chooserFilter); // the chooser takes the floating filter
    }
    g_signal_connect_data(dialog, "response", G_CALLBACK(onResponse), std::make_unique<PendingDialog>(PendingDialog { std::move(chosen) }).release(),
        [](gpointer data, GClosure*) { std::unique_ptr<PendingDialog>(static_cast<PendingDialog*>(data)); }, GConnectFlags(0));
    gtk_widget_show(dialog);
}

} // namespace tvn
