// The Save button and its tip, the Quit button, the window manager's close, and their message dialogs.
#include "gui/save_quit.h"

#include "edit/delta_writer.h"
#include "edit/pending_changes.h"
#include "gui/details_pane.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/geometry.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "gui/recovery.h"
#include "shell/shell_check.h"

#include <algorithm>
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

// The most changes a tip or a message lists one by one.
constexpr std::size_t changes_listed = 10;

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
	not_regular,
	too_large,
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

// A save that another program undid, and what is left of the block it wrote.
constexpr const char *changed_meanwhile = N_("Another program changed '%s' during the save. Changes not saved");
constexpr const char *replaced_meanwhile =
	N_("Another program put another file in the place of '%s' during the save. Changes not saved");
constexpr const char *nothing_left = N_("Nothing Kelvane wrote is left in the file.");
// TRANSLATORS: %s is a line number.
constexpr const char *left_as_comment =
	N_("What Kelvane wrote is left in the file as one comment line, line %s, which the boot passes over.");
// TRANSLATORS: %s is a line number.
constexpr const char *left_as_block =
	N_("What Kelvane wrote could not be taken back: the block is still in the file from line %s, and the boot "
	   "will run it. Look at it with a text editor before the next boot.");
constexpr const char *changes_stay = N_("Your changes stay in the window.");

constexpr message messages[] = {
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("There are no unsaved changes"), ""},
	{GTK_MESSAGE_INFO, GTK_BUTTONS_OK, N_("Changes saved"),
	 // TRANSLATORS: %s is the local rc.conf's path; the lines added follow, one a line.
	 N_("These were added at the end of '%s':")},
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
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("'%s' is not a regular file. Changes not saved."),
	 N_("Kelvane appends only to a regular file, and wrote nothing: at that place there is a FIFO, a device or "
	    "a folder, or a link to one. Look at what it is, then press Save again; your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("'%s' is too large to read. Changes not saved."),
	 N_("Kelvane reads files of up to 16 MiB, so the window does not show this one, and it wrote nothing to it. "
	    "Your changes stay in the window.")},
	{GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, N_("'%s' was changed by another program. Changes not saved"),
	 N_("Press Save again to read the files again first; your changes stay in the window.")},
	{GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, N_("There are unsaved changes, quit anyway?"),
	 // TRANSLATORS: the changes follow, one a line.
	 N_("Choose Save to save them and quit, or No to stay. If you quit now, these changes are lost:")},
};

// list, unless empty, follows the detail on lines of its own; choices come after the buttons.
gint ask(message_id id, const std::string &path, const std::string &detail = "", const std::string &list = "",
	 std::initializer_list<dialog_choice> choices = {})
{
	const message &m = messages[id];
	std::string more = m.detail[0] != '\0' ? format_text(_(m.detail), detail.c_str()) : "";
	if (!list.empty())
		more += "\n" + list;
	return run_message(m.type, m.buttons, format_text(_(m.text), path.c_str()), more, choices);
}

// The changes pending, one a line as Save writes them.
std::string pending_list()
{
	return listed_changes(pending_entries(gui_knobs, gui_knob_count, gui_strings, gui_string_count));
}

// What is left in the file of a save that failed once it had written.
std::string block_left(const deltas_outcome &outcome)
{
	std::string line = std::to_string(outcome.block_line);
	switch (outcome.fate) {
	case block_fate::commented_out:
		return format_text(_(left_as_comment), line.c_str());
	case block_fate::left_in_file:
		return format_text(_(left_as_block), line.c_str());
	default:
		return _(nothing_left);
	}
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

// Saves the changes pending, which there are, and says why when that fails;
// with tell_saved, also what was written. Returns whether they were saved.
bool save_changes(bool tell_saved)
{
	std::string path = display_text(local_rc_path());
	if (!files_unchanged(true))
		return false;
	// Worked out first: once written, the entries hold the new values as saved.
	std::string written = pending_list();
	deltas_outcome outcome;
	int result = run_save(outcome);
	end_if_signalled();
	bool undone_outside = result == deltas_changed_during || result == deltas_replaced;
	if (result != deltas_written && !undone_outside && outcome.fate != block_fate::none) {
		// The block could not be taken back after its write or the check failed.
		run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, format_text(_(messages[cannot_write].text), path.c_str()),
			    block_left(outcome) + " " + _(changes_stay));
		return false;
	}
	switch (result) {
	case deltas_open_failed:
		ask(cannot_open, path);
		return false;
	case deltas_write_failed:
		ask(cannot_write, path);
		return false;
	case deltas_changed_outside:
		// Changed between the look before and the save: the look now sees it.
		if (files_unchanged(true))
			ask(changed_elsewhere, path);
		return false;
	case deltas_changed_during:
	case deltas_replaced:
		offer_reload(format_text(_(result == deltas_replaced ? replaced_meanwhile : changed_meanwhile), path.c_str()),
			     block_left(outcome));
		return false;
	case deltas_not_regular:
		ask(not_regular, path);
		return false;
	case deltas_too_large:
		ask(too_large, path);
		return false;
	case deltas_file_broken:
		ask(must_repair, path, display_text(outcome.shell_words));
		return false;
	case deltas_ends_inside:
		ask(ends_open, path);
		return false;
	case deltas_ends_early:
		ask(ends_early, path, std::to_string(outcome.end_line));
		return false;
	case deltas_no_shell:
		ask(shell_missing, path, boot_shell);
		return false;
	case deltas_shell_silent:
		ask(shell_no_answer, path, boot_shell);
		return false;
	case deltas_shell_unsound:
		ask(shell_unsound_here, path, boot_shell);
		return false;
	default:
		break;
	}
	// Saved rows lose their change marks and are the machine's own now.
	refresh_rows();
	if (tell_saved)
		ask(changes_saved, path, path, written);
	reset_counter();
	return true;
}

// Only a Yes lets changes go, and a Save that succeeds: No, Escape and
// closing the question keep them. A value still being typed counts first; a
// refused one keeps the window.
bool may_quit()
{
	if (!finish_value_edit())
		return false;
	if (pending_changes <= 0)
		return true;
	gint answer = ask(quit_anyway, "", "", pending_list(), {{GTK_STOCK_SAVE, GTK_RESPONSE_ACCEPT}});
	return answer == GTK_RESPONSE_ACCEPT ? save_changes(false) : answer == GTK_RESPONSE_YES;
}

} // namespace

std::string listed_changes(const std::vector<rc_entry> &changes)
{
	// TRANSLATORS: stands for the old value of a variable added in the window.
	std::vector<std::string> lines = change_lines(changes, _("(not set)"));
	std::string list;
	for (std::size_t i = 0; i < std::min(lines.size(), changes_listed); i++)
		list += (i == 0 ? "" : "\n") + display_text(lines[i]);
	if (lines.size() > changes_listed) {
		unsigned long more = lines.size() - changes_listed;
		// TRANSLATORS: ends a list of changes; %lu is how many more there are.
		list += "\n" + format_text(ngettext("and %lu more", "and %lu more", more), more);
	}
	return list;
}

bool save_running()
{
	return saving;
}

gboolean on_save_button_query_tooltip(GtkWidget *, gint, gint, gboolean, GtkTooltip *tooltip, gpointer)
{
	std::string tip = pending_changes > 0 ? std::string(_("Save these changes:")) + "\n" + pending_list()
					      : _("Save changes");
	gtk_tooltip_set_text(tooltip, tip.c_str());
	return TRUE;
}

void on_save_clicked(GtkButton *, gpointer)
{
	if (saving || !finish_value_edit())
		return;
	if (pending_changes <= 0) {
		ask(nothing_to_save, display_text(local_rc_path()));
		reset_counter();
		return;
	}
	save_changes(true);
}

void on_quit_clicked(GtkButton *, gpointer)
{
	if (saving || !may_quit())
		return;
	save_geometry();
	gtk_main_quit();
}

gboolean on_delete_event(GtkWidget *, GdkEvent *, gpointer)
{
	if (saving || !may_quit())
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
