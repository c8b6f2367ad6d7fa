// Writing the changes pending to ~/.kelvane-pending when a signal or a lost display ends Kelvane, and the dialog that brings them back.
#include "gui/recovery.h"

#include "gui/display_text.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "gui/save_quit.h"
#include "rcfile/delta_writer.h"
#include "rcfile/pending_changes.h"
#include "rcfile/recovery_file.h"

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

// The most names the dialog lists.
constexpr std::size_t names_shown = 8;

// TRANSLATORS: %s is the local rc.conf's path.
constexpr const char *kept_text = N_("Changes to '%s' were not saved when Kelvane was last ended");
// TRANSLATORS: %s lists variables' names.
constexpr const char *kept_detail = N_(
	"They were kept for: %s. Bring them back to show them in the window as changes not yet saved; nothing "
	"is written to the file before you press Save. Drop them to start from the file as it is.");

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

std::string kept_names(const std::vector<rc_entry> &changes)
{
	std::string names;
	for (std::size_t i = 0; i < changes.size() && i < names_shown; i++)
		names += (i == 0 ? "" : ", ") + display_text(field_text(changes[i].name));
	return changes.size() > names_shown ? names + ", \xE2\x80\xA6" : names;
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
	std::vector<rc_entry> changes;
	// A window that cannot save leaves them for a run that can.
	if (path.empty() || read_only || read_recovery_file(path, recovery_key(rc_path), changes) != 0)
		return;
	gint answer = GTK_RESPONSE_REJECT;
	if (!changes.empty()) {
		answer = run_message(GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
				     format_text(_(kept_text), display_text(rc_path).c_str()),
				     format_text(_(kept_detail), kept_names(changes).c_str()),
				     {{_("_Drop"), GTK_RESPONSE_REJECT}, {_("_Bring Back"), GTK_RESPONSE_ACCEPT}});
	}
	// Closing the dialog decides nothing: they are offered again at the next start.
	if (answer == GTK_RESPONSE_ACCEPT ? bring_back_changes(changes) : answer == GTK_RESPONSE_REJECT)
		unlink(path.c_str());
}
