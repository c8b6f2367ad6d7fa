// The Save button, the Quit button, the window manager's close, and their message dialogs.
#include "gui/save_quit.h"

#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/geometry.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "rcfile/delta_writer.h"
#include "rcfile/shell_check.h"

#include <string>

namespace {

// Once it is being destroyed the window no longer reports the size it had
// on screen, so that size is taken while the close request is granted.
gint closing_width;
gint closing_height;
bool closing_size_taken;

// The message dialogs of this file.
enum message_id {
	nothing_to_save,
	changes_saved,
	cannot_open,
	cannot_write,
	must_repair,
	ends_open,
	shell_missing,
	shell_no_answer,
	quit_anyway
};

struct message {
	GtkMessageType type;
	GtkButtonsType buttons;
	const char *text;   // a %s takes the local rc.conf path
	const char *detail; // what to do; a %s takes the detail argument of ask
};

constexpr const char *repair_first = N_("'%s' must be repaired first. Changes not saved.");
constexpr const char *cannot_check = N_("Can't check '%s'. Changes not saved.");

constexpr message messages[] = {
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("There are no unsaved changes"), ""},
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("Changes saved"),
	 // TRANSLATORS: %s is the local rc.conf's path.
	 N_("They were added at the end of '%s'.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("Can't open '%s' for writing. Changes not saved."),
	 N_("Check that its folder exists and that you may write it: the system's rc.conf takes root's rights. "
	    "Your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("Can't write '%s'. Changes not saved."),
	 N_("The disk may be full; the file was left as it was. Your changes stay in the window: free some "
	    "space, then press Save again.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, repair_first,
	 // TRANSLATORS: %s is the shell's own message, untranslated, which names the line.
	 N_("The shell reports \"%s\". Until the file is repaired, the boot would not read lines added at its end. "
	    "Repair it with a text editor, then press Save again; your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, repair_first,
	 N_("It ends inside a here-document or a continued line, so sh would read the saved lines as part of "
	    "it. Repair it with a text editor, then press Save again; your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, cannot_check,
	 // TRANSLATORS: %s is the shell's path, /bin/sh.
	 N_("%s could not be started. Kelvane saves a change only when the shell that runs rc.conf at boot "
	    "can read it.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, cannot_check,
	 // TRANSLATORS: %s is the shell's path, /bin/sh.
	 N_("%s did not answer in time. Press Save to try again.")},
	{GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, N_("There are unsaved changes, quit anyway?"),
	 N_("If you quit now, they are lost. Choose No, then Save, to keep them.")},
};

gint ask(message_id id, const std::string &path, const std::string &detail = "")
{
	const message &m = messages[id];
	std::string more = m.detail[0] != '\0' ? format_text(_(m.detail), detail.c_str()) : "";
	return run_message(m.type, m.buttons, format_text(_(m.text), path.c_str()), more);
}

// Only change marks go: a row set by a later file keeps its own.
void clear_marks(GtkListStore *store)
{
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter)) {
		gchar *mark = nullptr;
		gtk_tree_model_get(model, &iter, column_mark, &mark, -1);
		if (g_strcmp0(mark, change_mark) == 0)
			gtk_list_store_set(store, &iter, column_mark, "", -1);
		g_free(mark);
	}
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
	std::string path = display_text(local_rc_path());
	if (pending_changes <= 0) {
		ask(nothing_to_save, path);
		reset_counter();
		return;
	}
	std::string words;
	switch (write_deltas(gui_knobs, gui_knob_count, gui_strings, gui_string_count, &words)) {
	case deltas_open_failed:
		ask(cannot_open, path);
		return;
	case deltas_write_failed:
		ask(cannot_write, path);
		return;
	case deltas_file_broken:
		ask(must_repair, path, display_text(words));
		return;
	case deltas_ends_inside:
		ask(ends_open, path);
		return;
	case deltas_no_shell:
		ask(shell_missing, path, boot_shell);
		return;
	case deltas_shell_silent:
		ask(shell_no_answer, path, boot_shell);
		return;
	default:
		break;
	}
	clear_marks(knob_store);
	clear_marks(string_store);
	ask(changes_saved, path, path);
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
