// Appending the changed entries to the machine's rc.conf.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <string_view>
#include <sys/types.h>

// Results of write_deltas. From deltas_file_broken on, the save stopped at
// the boot shell's check: nothing written, nothing changed.
enum {
	deltas_written = 0,
	deltas_open_failed = -1,   // nothing written, nothing changed
	deltas_write_failed = -2,  // what the save wrote taken back, nothing changed
	deltas_file_broken = -3,   // the shell stops at an error in the file
	deltas_ends_inside = -4,   // the file ends inside a here-document or a continued line
	deltas_no_shell = -5,      // the shell could not be started
	deltas_shell_silent = -6,  // the shell did not answer in time
};

// The machine's rc.conf.
constexpr const char *default_rc_path = "/etc/rc.conf";

// The path saves go to: KELVANE_RC when set (even empty), else default_rc_path
// under the system root.
const char *local_rc_path();

// Whether this user may save to path: read and append to it, or make it.
bool may_append(const char *path);

// The block that a save appends: the dated header, then one line for each
// modified knob and each modified string.
std::string format_deltas(const rc_entry *knobs, int knob_count, const rc_entry *strings,
			  int string_count, const char *date_text);

// Under an exclusive lock, has the boot shell check that the block will be
// read at the file's top level, appends it in one write, syncs it to disk,
// and marks each written entry saved. Returns one of the results above; on
// deltas_file_broken, *shell_words (when given) holds what the shell said.
int write_deltas(rc_entry *knobs, int knob_count, rc_entry *strings, int string_count,
		 std::string *shell_words = nullptr);

// Takes back what a failed save wrote at start, sparing bytes appended behind it; 0 or -1.
int take_back(int fd, off_t start, std::string_view written);
