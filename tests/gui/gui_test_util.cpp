// Answers message dialogs from inside the nested loop of gtk_dialog_run.
#include "gui_test_util.h"

#include <deque>

namespace {

std::deque<gint> pending_responses; // answers for the dialogs still to come
std::vector<seen_dialog> seen;      // the dialogs answered so far
guint watch_id;                     // the timeout that looks for dialogs

GtkMessageDialog *find_shown_dialog()
{
	GtkMessageDialog *found = nullptr;
	GList *windows = gtk_window_list_toplevels();
	for (GList *l = windows; l != nullptr; l = l->next) {
		if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
			found = GTK_MESSAGE_DIALOG(l->data);
	}
	g_list_free(windows);
	return found;
}

// GtkMessageDialog keeps the buttons type write-only: read it off the buttons.
GtkButtonsType buttons_of(GtkDialog *dialog)
{
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_YES) != nullptr)
		return GTK_BUTTONS_YES_NO;
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_CLOSE) != nullptr)
		return GTK_BUTTONS_CLOSE;
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_OK) != nullptr)
		return GTK_BUTTONS_OK;
	return GTK_BUTTONS_NONE;
}

gboolean on_watch_timeout(gpointer)
{
	GtkMessageDialog *dialog = find_shown_dialog();
	if (dialog == nullptr || pending_responses.empty())
		return !pending_responses.empty();
	gchar *text = nullptr;
	GtkMessageType type;
	g_object_get(dialog, "text", &text, "message-type", &type, nullptr);
	seen.push_back({text != nullptr ? text : "", type, buttons_of(GTK_DIALOG(dialog))});
	g_free(text);
	gint response = pending_responses.front();
	pending_responses.pop_front();
	gtk_dialog_response(GTK_DIALOG(dialog), response);
	if (pending_responses.empty()) {
		watch_id = 0;
		return FALSE;
	}
	return TRUE;
}

} // namespace

void answer_dialogs(std::vector<gint> responses)
{
	seen.clear();
	pending_responses.assign(responses.begin(), responses.end());
	if (watch_id == 0 && !pending_responses.empty())
		watch_id = g_timeout_add(5, on_watch_timeout, nullptr);
}

const std::vector<seen_dialog> &answered_dialogs()
{
	return seen;
}

void process_events()
{
	while (gtk_events_pending())
		gtk_main_iteration_do(FALSE);
}
