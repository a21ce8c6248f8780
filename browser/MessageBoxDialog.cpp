// Message box dialog on GTK.

#include "browser/MessageBoxDialog.h"

#include "core/Log.h"
#include "platform/GRef.h"

#include <memory>

namespace tvn {

namespace {

struct OpenDialog {
    MessageBoxRequest request;
    std::function<void(int)> answered;

    void answer(int id)
    {
        if (auto done = std::exchange(answered, nullptr))
            done(id);
    }
};

void onResponse(GtkDialog* dialog, int response, gpointer data)
{
    auto* open = static_cast<OpenDialog*>(data);
    if (response > 0) {
        open->answer(response);
    } else if (const std::optional<int> dismissed = dismissResult(open->request)) {
        open->answer(*dismissed);
    } else {
        return; // Escape, or the window's close button, with no Cancel to stand for: stays open
    }
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

// Closing the window asks through a response; it never destroys the dialog by itself.
gboolean onDeleteEvent(GtkWidget* dialog, GdkEvent*, gpointer)
{
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    return TRUE;
}

GtkWidget* textLabel(const std::string& text, bool primary)
{
    GtkWidget* label = gtk_label_new(nullptr);
    if (primary) {
        GUnique<char> markup(g_markup_printf_escaped("<span weight=\"bold\" size=\"larger\">%s</span>", text.c_str()));
        gtk_label_set_markup(GTK_LABEL(label), markup.get());
    } else {
        gtk_label_set_text(GTK_LABEL(label), text.c_str());
    }
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
    gtk_label_set_selectable(GTK_LABEL(label), FALSE);
    return label;
}

} // namespace

void showMessageBox(GtkWindow* owner, const MessageBoxRequest& request, std::function<void(int id)> answered)
{
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), request.title.c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    if (owner) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), owner);
        gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    } else {
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    }

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 12);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    if (const char* icon = iconName(request.icon); *icon) {
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_widget_set_valign(image, GTK_ALIGN_START);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    }
    GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    if (!request.main.empty())
        gtk_box_pack_start(GTK_BOX(texts), textLabel(request.main, true), FALSE, FALSE, 0);
    if (!request.text.empty())
        gtk_box_pack_start(GTK_BOX(texts), textLabel(request.text, false), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), texts, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(content), row, TRUE, TRUE, 0);

    const std::vector<ShownButton> buttons = shownButtons(request);
    std::string labels;
    for (const ShownButton& button : buttons) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), button.label.c_str(), button.id);
        labels += (labels.empty() ? "" : ", ") + button.label;
    }
    LOG_DEBUG << "message box buttons: " << labels;
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.front().id); // Enter presses the first

    auto open = std::make_unique<OpenDialog>(OpenDialog { request, std::move(answered) });
    g_signal_connect(dialog, "response", G_CALLBACK(onResponse), open.get());
    g_signal_connect(dialog, "delete-event", G_CALLBACK(onDeleteEvent), nullptr);
    // Destroyed unanswered (its owner went first): the caller still hears, with 0.
    g_signal_connect_data(dialog, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) { static_cast<OpenDialog*>(data)->answer(0); }),
        open.release(), [](gpointer data, GClosure*) { std::unique_ptr<OpenDialog>(static_cast<OpenDialog*>(data)); }, GConnectFlags(0));
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
}

} // namespace tvn
