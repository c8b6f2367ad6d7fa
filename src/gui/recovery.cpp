// Writing the changes pending to ~/.kelvane-pending when a signal or a lost display ends Kelvane, and the dialog that brings them back.
#include "gui/recovery.h"

#include "edit/delta_writer.h"
#include "edit/pending_changes.h"
#include "edit/recovery_file.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "gui/save_quit.h"

#include <X11/Xlib.h>
#include <glib-unix.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// A signal that came while a save ran, 0 for none.
int signal_during_save;

// The most names a message lists.
constexpr std::size_t names_shown = 8;

// TRANSLATORS: %s is the local rc.conf's path.
constexpr const char *kept_text = N_("Changes to '%s' were not saved when Kelvane was last ended");
// TRANSLATORS: the changes follow, one a line.
constexpr const char *kept_list = N_("These were kept:");
constexpr const char *kept_choice = N_(
	"Bring them back to show them in the window as changes not yet saved; nothing is written to the file "
	"before you press Save. Drop them to start from the file as it is.");
// TRANSLATORS: %s is the local rc.conf's path.
constexpr const char *none_taken_text = N_("Changes kept for '%s' were not brought back");
// TRANSLATORS: %s lists variables' names.
constexpr const char *left_out_detail = N_(
	"Left out: %s. Kelvane would refuse them typed in the window, or a file read later sets them.");

// Why the file was not read, indexed by kept_state; %s is its path.
constexpr const char *distrusted[] = {
	nullptr,
	nullptr,
	N_("'%s' was not read: it is a link, no regular file, or a file with a second name"),
	N_("'%s' was not read: it belongs to another user"),
	N_("'%s' was not read: its mode is not 0600"),
	N_("'%s' was not read: other users may write the folder it is in"),
	N_("'%s' was not read: it is too large or not in the form Kelvane writes"),
};

// Writes the changes pending to the recovery file, saying on standard error what became of them.
void keep_changes(const char *why)
{
	std::vector<rc_entry> changes = pending_entries(gui_knobs, gui_knob_count, gui_strings, gui_string_count);
	if (changes.empty())
		return;
	std::string path = recovery_path();
	if (!path.empty() && write_recovery_file(path, recovery_key(local_rc_path()), changes) == 0)
		std::fprintf(stderr, "kelvane: %s: the changes not saved are kept in %s\n", why, path.c_str());
	else
		std::fprintf(stderr, "kelvane: %s: the changes not saved could not be kept\n", why);
}

// Ends as the signal would have ended the program, so that whoever waits sees it.
[[noreturn]] void end_by(int number)
{
	keep_changes(strsignal(number));
	std::signal(number, SIG_DFL);
	std::raise(number);
	_exit(128 + number);
}

gboolean on_end_signal(gpointer number)
{
	if (save_running()) {
		signal_during_save = GPOINTER_TO_INT(number);
		return TRUE;
	}
	end_by(GPOINTER_TO_INT(number));
}

// Xlib ends the program itself when this returns; the toolkit can do nothing more.
int on_display_lost(Display *)
{
	keep_changes("the display was lost");
	_exit(1);
}

std::string listed_names(const std::vector<std::string> &names)
{
	std::string list;
	for (std::size_t i = 0; i < names.size() && i < names_shown; i++)
		list += (i == 0 ? "" : ", ") + display_text(names[i]);
	return names.size() > names_shown ? list + ", \xE2\x80\xA6" : list;
}

// Says in the status bar why the file was not read.
void tell_distrusted(kept_state state, const std::string &path)
{
	GtkStatusbar *bar = GTK_STATUSBAR(status_bar);
	std::string text = format_text(_(distrusted[static_cast<int>(state)]), display_text(path).c_str());
	gtk_statusbar_push(bar, gtk_statusbar_get_context_id(bar, "Kept"), text.c_str());
}

// Asks whether to bring back taken, which there are: the answer.
gint ask_bring_back(const char *rc_path, const std::vector<rc_entry> &taken, const std::vector<std::string> &left_out)
{
	std::string detail = std::string(_(kept_list)) + "\n" + listed_changes(taken) + "\n\n";
	if (!left_out.empty())
		detail += format_text(_(left_out_detail), listed_names(left_out).c_str()) + "\n\n";
	detail += _(kept_choice);
	return run_message(GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, format_text(_(kept_text), display_text(rc_path).c_str()),
			   detail, {{_("_Drop"), GTK_RESPONSE_REJECT}, {_("_Bring Back"), GTK_RESPONSE_ACCEPT}});
}

} // namespace

void keep_changes_when_ended()
{
	for (int number : {SIGHUP, SIGINT, SIGTERM})
		g_unix_signal_add(number, on_end_signal, GINT_TO_POINTER(number));
	XSetIOErrorHandler(on_display_lost);
}

void end_if_signalled()
{
	if (signal_during_save != 0)
		end_by(signal_during_save);
}

void offer_recovery()
{
	const char *rc_path = local_rc_path();
	std::string path = recovery_path();
	std::string key = recovery_key(rc_path);
	std::vector<rc_entry> kept;
	// A window that cannot save leaves them for a run that can.
	if (path.empty() || read_only)
		return;
	kept_state state = read_recovery_file(path, key, kept);
	if (state != kept_state::kept) {
		if (state != kept_state::none)
			tell_distrusted(state, path);
		return;
	}
	rc_lists lists = *gui_lists;
	lists.knob_count = gui_knob_count;
	lists.string_count = gui_string_count;
	std::vector<rc_entry> taken;
	std::vector<std::string> left_out;
	take_kept_changes(lists, kept, taken, left_out);
	// Changes equal to the file as it is now are no changes: dropped unasked.
	gint answer = GTK_RESPONSE_REJECT;
	if (!taken.empty())
		answer = ask_bring_back(rc_path, taken, left_out);
	else if (!left_out.empty())
		run_message(GTK_MESSAGE_WARNING, GTK_BUTTONS_CLOSE,
			    format_text(_(none_taken_text), display_text(rc_path).c_str()),
			    format_text(_(left_out_detail), listed_names(left_out).c_str()));
	if (answer == GTK_RESPONSE_ACCEPT) {
		// A command is kept only as typing it is: when the user says so.
		std::vector<rc_entry> chosen;
		for (const rc_entry &change : taken) {
			std::string value(written_value(change));
			if (may_run_at_boot(main_window, change.name, value))
				chosen.push_back(change);
		}
		if (!bring_back_changes(chosen))
			return;
	}
	// Closing the dialog decides nothing: they are offered again at the next start.
	if (answer == GTK_RESPONSE_ACCEPT || answer == GTK_RESPONSE_REJECT)
		write_recovery_file(path, key, {});
}
