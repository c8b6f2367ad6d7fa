// Noticing files changed behind the window's back, the Reload dialog, and reading every file again.
#include "gui/outside_changes.h"

#include "boot/load.h"
#include "edit/pending_changes.h"
#include "files/file_state.h"
#include "files/open_file.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/save_quit.h"

#include <cstdlib>
#include <string>

namespace {

// Changes the user chose not to reload for, as they stood then.
std::vector<changed_file> declined;
// The Reload dialog is up.
bool asking;
// The look that a focus-in asked for, 0 when none waits.
guint look_id;

// TRANSLATORS: %s is a file's path.
constexpr const char *one_changed = N_("'%s' was changed by another program");
// TRANSLATORS: %s lists the files' paths.
constexpr const char *some_changed = N_("Files were changed by another program: %s");
constexpr const char *not_saved_detail = N_(
	"Nothing was saved: Kelvane does not write over changes it has not shown you. Reload reads the files "
	"again and lays your changes over what they hold now, still marked as changes; look them over, then "
	"press Save. Cancel leaves the window as it is.");
constexpr const char *reload_detail = N_(
	"Reload reads the files again and lays your changes over what they hold now, still marked as "
	"changes. Cancel leaves the window as it is; Save will ask again.");
// TRANSLATORS: %s lists variables' names.
constexpr const char *changes_dropped = N_("Changes to %s were dropped");
constexpr const char *dropped_detail = N_(
	"A file read after the machine's rc.conf now sets them, or holds a value Kelvane cannot edit. "
	"Change them in that file with a text editor.");
constexpr const char *no_memory = N_("Kelvane ran out of memory");
constexpr const char *reload_no_memory_detail = N_("The files were not read again; the window shows them as before.");
constexpr const char *bring_back_no_memory_detail = N_("Not every change could be brought back.");

bool is_declined(const changed_file &file)
{
	for (const changed_file &d : declined) {
		if (d.path == file.path && same_state(d.now, file.now))
			return true;
	}
	return false;
}

std::string quoted_paths(const std::vector<changed_file> &files)
{
	std::string list;
	for (const changed_file &file : files)
		list += (list.empty() ? "'" : ", '") + display_text(file.path) + "'";
	return list;
}

// Makes lists the window's, in place of the arrays it showed.
void show_lists(const rc_lists &lists)
{
	std::free(gui_lists->knobs);
	std::free(gui_lists->strings);
	*gui_lists = lists;
	gui_knobs = lists.knobs;
	gui_knob_count = lists.knob_count;
	gui_strings = lists.strings;
	gui_string_count = lists.string_count;
	fill_lists();
}

void tell_lost(const std::vector<std::string> &lost)
{
	if (lost.empty())
		return;
	std::string names;
	for (const std::string &name : lost)
		names += (names.empty() ? "" : ", ") + display_text(name);
	run_message(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE, format_text(_(changes_dropped), names.c_str()),
		    _(dropped_detail));
}

// The Reload dialog: Reload reads every file again; Cancel leaves the window,
// and the focus asks no more about changed.
void ask_reload(GtkMessageType type, const std::string &text, const std::string &detail,
		std::vector<changed_file> changed)
{
	asking = true;
	gint answer = run_message(type, GTK_BUTTONS_NONE, text, detail,
				  {{GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL}, {_("_Reload"), GTK_RESPONSE_ACCEPT}});
	asking = false;
	if (answer == GTK_RESPONSE_ACCEPT)
		reload_files();
	else
		declined = std::move(changed);
}

gboolean on_look_idle(gpointer)
{
	look_id = 0;
	// Not while a save runs or a dialog waits for its answer.
	if (!save_running() && !asking && gtk_grab_get_current() == nullptr)
		files_unchanged(false);
	return FALSE;
}

} // namespace

bool files_unchanged(bool on_save)
{
	std::vector<changed_file> changed;
	for (const changed_file &file : changed_files()) {
		if (on_save || !is_declined(file))
			changed.push_back(file);
	}
	if (changed.empty())
		return true;
	std::string text = changed.size() == 1 ? format_text(_(one_changed), display_text(changed[0].path).c_str())
					       : format_text(_(some_changed), quoted_paths(changed).c_str());
	ask_reload(GTK_MESSAGE_WARNING, text, _(on_save ? not_saved_detail : reload_detail), changed);
	return false;
}

void offer_reload(const std::string &text, const std::string &happened)
{
	ask_reload(GTK_MESSAGE_ERROR, text, happened + " " + _(reload_detail), changed_files());
}

void reload_files()
{
	if (!finish_value_edit())
		return;
	std::vector<rc_entry> changes = pending_entries(gui_knobs, gui_knob_count, gui_strings, gui_string_count);
	rc_lists fresh = {};
	std::vector<std::string> lost;
	if (load_again(&fresh) != 0 || lay_changes_over(&fresh, changes, lost) != 0) {
		free_lists(fresh);
		run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, _(no_memory), _(reload_no_memory_detail));
		return;
	}
	declined.clear();
	show_lists(fresh);
	show_read_notes();
	tell_lost(lost);
}

bool bring_back_changes(const std::vector<rc_entry> &changes)
{
	rc_lists lists = *gui_lists;
	// The add dialog counts what it adds here only.
	lists.knob_count = gui_knob_count;
	lists.string_count = gui_string_count;
	std::vector<std::string> lost;
	int laid = lay_changes_over(&lists, changes, lost);
	*gui_lists = {};
	show_lists(lists);
	tell_lost(lost);
	if (laid != 0)
		run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, _(no_memory), _(bring_back_no_memory_detail));
	return laid == 0;
}

void show_read_notes()
{
	GtkStatusbar *bar = GTK_STATUSBAR(status_bar);
	guint context = gtk_statusbar_get_context_id(bar, "Files");
	gtk_statusbar_remove_all(bar, context);
	std::string text;
	for (const read_note &note : read_notes()) {
		std::string path = display_text(note.path);
		std::string line = format_text(_(note_format(note.why)), path.c_str(), g_strerror(note.error));
		text += (text.empty() ? "" : "; ") + line;
	}
	if (!text.empty())
		gtk_statusbar_push(bar, context, text.c_str());
}

gboolean on_main_window_focus_in_event(GtkWidget *, GdkEventFocus *, gpointer)
{
	if (look_id == 0)
		look_id = g_idle_add(on_look_idle, nullptr);
	return FALSE;
}
