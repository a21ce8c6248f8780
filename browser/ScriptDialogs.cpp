// Script dialogs on GTK.

#include "browser/ScriptDialogs.h"

#include "platform/GRef.h"

namespace tvn {

std::string cutToCharacters(std::string_view text, size_t limit)
{
    const char* end = nullptr;
    g_utf8_validate(text.data(), static_cast<gssize>(text.size()), &end);
    const std::string_view valid(text.data(), static_cast<size_t>(end - text.data()));
    size_t bytes = 0;
    for (size_t characters = 0; bytes < valid.size() && characters < limit; ++characters)
        bytes = static_cast<size_t>(g_utf8_next_char(valid.data() + bytes) - valid.data());
    return std::string(valid.substr(0, bytes));
}

GtkWindow* dialogOwner(WebKitWebView* view)
{
    GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view));
    return gtk_widget_is_toplevel(toplevel) ? GTK_WINDOW(toplevel) : nullptr;
}

namespace {

// A message box: the message, no caption; its response.
int messageBox(GtkWindow* owner, const char* message, GtkButtonsType buttons)
{
    GtkWidget* dialog = gtk_message_dialog_new(owner, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_OTHER,
        buttons, "%s", message);
    gtk_window_set_title(GTK_WINDOW(dialog), "");
    if (buttons == GTK_BUTTONS_YES_NO)
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_YES);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response;
}

std::string promptDialog(const char* message, const std::string& initial)
{
    // No owner, centred on the screen.
    GtkWidget* dialog = gtk_dialog_new_with_buttons("", nullptr, GTK_DIALOG_MODAL, "确定", GTK_RESPONSE_OK, "取消", GTK_RESPONSE_CANCEL, nullptr);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 8);
    gtk_box_set_spacing(GTK_BOX(content), 8);

    GtkWidget* label = gtk_label_new(nullptr);
    GUnique<char> markup(g_markup_printf_escaped("<b>%s</b>", message));
    gtk_label_set_markup(GTK_LABEL(label), markup.get());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 0);

    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scroller, 360, 90);
    GtkWidget* field = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(field), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(field), FALSE); // Tab goes on to the buttons
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(field));
    gtk_text_buffer_set_text(buffer, initial.c_str(), -1);
    gtk_container_add(GTK_CONTAINER(scroller), field);
    gtk_box_pack_start(GTK_BOX(content), scroller, TRUE, TRUE, 0);
    gtk_widget_show_all(content);
    gtk_widget_grab_focus(field);

    gtk_dialog_run(GTK_DIALOG(dialog)); // either button, or Escape: the text is the answer
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    GUnique<char> text(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
    gtk_widget_destroy(dialog);
    return cutToCharacters(text.get(), kPromptLimit);
}

gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer)
{
    const char* message = webkit_script_dialog_get_message(dialog);
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        messageBox(dialogOwner(view), message, GTK_BUTTONS_OK);
        return TRUE;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, messageBox(dialogOwner(view), message, GTK_BUTTONS_YES_NO) == GTK_RESPONSE_YES);
        return TRUE;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: {
        const char* initial = webkit_script_dialog_prompt_get_default_text(dialog);
        webkit_script_dialog_prompt_set_text(dialog, promptDialog(message, cutToCharacters(initial ? initial : "", kPromptLimit)).c_str());
        return TRUE;
    }
    default:
        return FALSE; // leaving the page: the engine asks
    }
}

} // namespace

void setUpScriptDialogs(WebKitWebView* view)
{
    g_signal_connect(view, "script-dialog", G_CALLBACK(onScriptDialog), nullptr);
}

} // namespace tvn
