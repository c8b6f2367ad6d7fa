// The Save button, the Quit button, the window manager's close, and their message dialogs.
#include "gui/save_quit.h"

#include "gui/editing.h"
#include "gui/geometry.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "rcfile/delta_writer.h"

#include <string>

namespace {

// Once it is being destroyed the window no longer reports the size it had
// on screen, so that size is taken while the close request is granted.
gint closing_width;
gint closing_height;
bool closing_size_taken;

// The message dialogs of this file.
enum message_id { nothing_to_save, changes_saved, cannot_open, cannot_write, quit_anyway };

struct message {
	GtkMessageType type;
	GtkButtonsType buttons;
	const char *format; // the only conversion, if any, takes the local rc.conf path
};

constexpr message messages[] = {
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("There are no unsaved changes")},
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("Changes saved")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("Can't open '%s' for writing. Changes not saved")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("Can't write '%s'. Changes not saved")},
	{GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, N_("There are unsaved changes, quit anyway?")},
};

gint ask(message_id id, const std::string &path)
{
	const message &m = messages[id];
	return run_message(m.type, m.buttons, _(m.format), path.c_str());
}

void clear_marks(GtkListStore *store)
{
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter))
		gtk_list_store_set(store, &iter, column_mark, "", -1);
}

void reset_counter()
{
	pending_changes = 0;
	gtk_widget_set_sensitive(save_button, FALSE);
}

// Only a Yes lets changes go: No, Escape and closing the question all keep
// them. A value still being typed counts first; a refused one keeps the window.
bool may_discard_changes()
{
	if (!finish_value_edit())
		return false;
	return pending_changes <= 0 || ask(quit_anyway, "") == GTK_RESPONSE_YES;
}

} // namespace

void on_save_clicked(GtkButton *, gpointer)
{
	if (!finish_value_edit())
		return;
	std::string path = local_rc_path();
	if (pending_changes <= 0) {
		ask(nothing_to_save, path);
		reset_counter();
		return;
	}
	switch (write_deltas(gui_knobs, gui_knob_count, gui_strings, gui_string_count)) {
	case deltas_open_failed:
		ask(cannot_open, path);
		return;
	case deltas_write_failed:
		ask(cannot_write, path);
		return;
	default:
		break;
	}
	clear_marks(knob_store);
	clear_marks(string_store);
	ask(changes_saved, path);
	reset_counter();
}

void on_quit_clicked(GtkButton *, gpointer)
{
	if (!may_discard_changes())
		return;
	save_geometry();
	gtk_main_quit();
}

gboolean on_delete_event(GtkWidget *, GdkEvent *, gpointer)
{
	if (!may_discard_changes())
		return TRUE;
	gtk_window_get_size(GTK_WINDOW(main_window), &closing_width, &closing_height);
	closing_size_taken = true;
	return FALSE;
}

void on_destroy(GtkWidget *, gpointer)
{
	if (closing_size_taken)
		store_geometry(closing_width, closing_height);
	else
		save_geometry();
	gtk_main_quit();
}
