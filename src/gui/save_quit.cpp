// The Save button, the Quit button, the window manager's close, and their message dialogs.
#include "gui/save_quit.h"

#include "gui/details_pane.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/geometry.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "gui/recovery.h"
#include "rcfile/delta_writer.h"
#include "rcfile/shell_check.h"

#include <string>
#include <vector>

namespace {

// Once it is being destroyed the window no longer reports the size it had
// on screen, so that size is taken while the close request is granted.
gint closing_width;
gint closing_height;
int closing_details;
bool closing_size_taken;

// A save is under way: nothing may change the entries it writes, nor end the program.
bool saving;
gint64 save_started;              // when, in the monotonic clock's microseconds
bool frozen;                      // the windows were made insensitive while the shell works
std::vector<GtkWidget *> thawed;  // the windows to make sensitive again, one reference each

// A check that ends sooner leaves the windows as they were, in microseconds.
constexpr gint64 freeze_after = 100000;

// The message dialogs of this file.
enum message_id {
	nothing_to_save,
	changes_saved,
	cannot_open,
	cannot_write,
	must_repair,
	ends_open,
	ends_early,
	shell_missing,
	shell_no_answer,
	shell_unsound_here,
	changed_meanwhile,
	changed_elsewhere,
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
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, repair_first,
	 // TRANSLATORS: %s is a line number.
	 N_("Its line %s holds a return or exit that ends the boot's reading of the file, so lines added at its "
	    "end would not be read. Repair it with a text editor, then press Save again; your changes stay in the "
	    "window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, cannot_check,
	 // TRANSLATORS: %s is the shell's path, /bin/sh.
	 N_("%s could not be started. Kelvane saves a change only when the shell that runs rc.conf at boot "
	    "can read it.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, cannot_check,
	 // TRANSLATORS: %s is the shell's path, /bin/sh.
	 N_("%s did not answer in time. Press Save to try again.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, cannot_check,
	 // TRANSLATORS: %s is the shell's path, /bin/sh.
	 N_("%s could not judge the file: it fails on an empty script too, so the fault is in the shell, not in "
	    "the file. Repair the shell, then press Save again; your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("Another program changed '%s' during the save. Changes not saved"),
	 N_("What Kelvane wrote was taken back, or left as a comment where the other program wrote behind it. "
	    "Look the file over, then press Save again; your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("'%s' was changed by another program. Changes not saved"),
	 N_("Press Save again to read the files again first; your changes stay in the window.")},
	{GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, N_("There are unsaved changes, quit anyway?"),
	 N_("If you quit now, they are lost. Choose No, then Save, to keep them.")},
};

gint ask(message_id id, const std::string &path, const std::string &detail = "")
{
	const message &m = messages[id];
	std::string more = m.detail[0] != '\0' ? format_text(_(m.detail), detail.c_str()) : "";
	return run_message(m.type, m.buttons, format_text(_(m.text), path.c_str()), more);
}

void reset_counter()
{
	pending_changes = 0;
	gtk_widget_set_sensitive(save_button, FALSE);
}

// While the shell judges the file: once the check has taken longer than
// freeze_after, every window goes insensitive and the main loop runs, so the
// window keeps drawing while nothing in it can change an entry being written.
void keep_window_drawing()
{
	if (!frozen) {
		if (g_get_monotonic_time() - save_started < freeze_after)
			return;
		frozen = true;
		GList *windows = gtk_window_list_toplevels();
		for (GList *l = windows; l != nullptr; l = l->next) {
			GtkWidget *window = GTK_WIDGET(l->data);
			if (gtk_widget_get_sensitive(window)) {
				gtk_widget_set_sensitive(window, FALSE);
				thawed.push_back(GTK_WIDGET(g_object_ref(window)));
			}
		}
		g_list_free(windows);
	}
	while (gtk_events_pending())
		gtk_main_iteration_do(FALSE);
}

// write_deltas with the window's entries, the window kept drawing while the shell works.
int run_save(deltas_outcome &outcome)
{
	saving = true;
	frozen = false;
	save_started = g_get_monotonic_time();
	int result = write_deltas(gui_knobs, gui_knob_count, gui_strings, gui_string_count, &outcome,
				  keep_window_drawing);
	for (GtkWidget *window : thawed) {
		gtk_widget_set_sensitive(window, TRUE);
		g_object_unref(window);
	}
	thawed.clear();
	saving = false;
	return result;
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

bool save_running()
{
	return saving;
}

void on_save_clicked(GtkButton *, gpointer)
{
	if (saving || !finish_value_edit())
		return;
	std::string path = display_text(local_rc_path());
	if (pending_changes <= 0) {
		ask(nothing_to_save, path);
		reset_counter();
		return;
	}
	if (!files_unchanged(true))
		return;
	deltas_outcome outcome;
	int result = run_save(outcome);
	end_if_signalled();
	switch (result) {
	case deltas_open_failed:
		ask(cannot_open, path);
		return;
	case deltas_write_failed:
		ask(cannot_write, path);
		return;
	case deltas_changed_outside:
		// Changed between the look before and the save: the look now sees it.
		if (files_unchanged(true))
			ask(changed_elsewhere, path);
		return;
	case deltas_changed_during:
		ask(changed_meanwhile, path);
		return;
	case deltas_file_broken:
		ask(must_repair, path, display_text(outcome.shell_words));
		return;
	case deltas_ends_inside:
		ask(ends_open, path);
		return;
	case deltas_ends_early:
		ask(ends_early, path, std::to_string(outcome.end_line));
		return;
	case deltas_no_shell:
		ask(shell_missing, path, boot_shell);
		return;
	case deltas_shell_silent:
		ask(shell_no_answer, path, boot_shell);
		return;
	case deltas_shell_unsound:
		ask(shell_unsound_here, path, boot_shell);
		return;
	default:
		break;
	}
	// Saved rows lose their change marks and are the machine's own now.
	refresh_rows();
	ask(changes_saved, path, path);
	reset_counter();
}

void on_quit_clicked(GtkButton *, gpointer)
{
	if (saving || !may_discard_changes())
		return;
	save_geometry();
	gtk_main_quit();
}

gboolean on_delete_event(GtkWidget *, GdkEvent *, gpointer)
{
	if (saving || !may_discard_changes())
		return TRUE;
	gtk_window_get_size(GTK_WINDOW(main_window), &closing_width, &closing_height);
	closing_details = details_shown();
	closing_size_taken = true;
	return FALSE;
}

void on_destroy(GtkWidget *, gpointer)
{
	if (closing_size_taken)
		store_geometry(closing_width, closing_height, closing_details);
	else
		save_geometry();
	gtk_main_quit();
}
