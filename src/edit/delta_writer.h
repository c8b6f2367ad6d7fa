// Appending the changed entries to the machine's rc.conf.
#pragma once

#include "files/machine_file.h"
#include "model/rc_entry.h"
#include "shell/shell_check.h"

#include <string>
#include <string_view>
#include <sys/types.h>

// Results of write_deltas. Unless it is deltas_written, the boot reads
// nothing of the save and no entry is changed.
enum {
	deltas_written = 0,
	deltas_open_failed = -1,     // nothing written
	deltas_write_failed = -2,    // what the save wrote taken back
	deltas_changed_outside = -3, // the file is not as it was read: nothing written
	deltas_changed_during = -4,  // another program changed it during the save: the block taken back
	deltas_file_broken = -5,     // the shell stops at an error in the file
	deltas_ends_inside = -6,     // the file ends inside a here-document or a continued line
	deltas_ends_early = -7,      // a return or exit at the top level ends the boot's reading first
	deltas_no_shell = -8,        // the shell could not be started
	deltas_shell_silent = -9,    // the shell did not answer in time
	deltas_shell_unsound = -10,  // the shell fails on an empty script too: it cannot judge the file
	deltas_replaced = -11,       // another program put another file at the path during the save
	deltas_not_regular = -12,    // the path leads to a FIFO, a device, a folder: nothing written
	deltas_too_large = -13,      // the file is past the size Kelvane reads, so it was never shown: nothing written
};

// What is left of the bytes a save wrote once it has failed, in the file at the path.
enum class block_fate {
	none,          // nothing: never written, cut back, or gone with what another program did
	commented_out, // one comment line, at block_line, which the boot passes over
	left_in_file,  // the block, its header at block_line: it could not be taken back
};

// What a save that did not go through says besides its result.
struct deltas_outcome {
	std::string shell_words; // deltas_file_broken: what the shell said
	int end_line = 0;        // deltas_ends_early: the line of the return or exit
	int first_line = 0;      // deltas_written: the line of the block's first assignment
	block_fate fate = block_fate::none;
	int block_line = 0;
};

// The value a save writes of an entry: a knob's is "YES" or "NO" in quotes.
std::string_view written_value(const rc_entry &entry);

// The block that a save appends: the dated header, then one line for each
// modified knob and each modified string.
std::string format_deltas(const rc_entry *knobs, int knob_count, const rc_entry *strings,
			  int string_count, const char *date_text);

// Opens the path only when it leads to a regular file (under the system root,
// resolved inside it), and under an exclusive lock: checks that the file is
// as it was read (when load_settings remembered it), has the boot shell check
// that the block will be read at the file's top level, appends it in one
// write and syncs it. It is saved only when, after a last check by the
// shell, the path still leads to that file and the file begins with the bytes
// judged and the block right behind them; then each written entry is marked
// saved: set in the machine's file (its source in sources()), at the line the
// block gives it. Otherwise what it wrote is taken back where that can be done.
// A file it makes is 0644. while_waiting, when given, is called often while
// the shell judges the file before the block is written, never after. Returns
// one of the results above; outcome, when given, gets what goes with it.
// shell is the one that judges the file: the boot's own but in tests.
int write_deltas(rc_entry *knobs, int knob_count, rc_entry *strings, int string_count,
		 deltas_outcome *outcome = nullptr, void (*while_waiting)() = nullptr, const char *shell = boot_shell);

// Takes back what a failed save wrote at start, touching no byte but those:
// only when the file still holds them there (read under the caller's lock), it
// cuts the file back when they end it and may_cut, and otherwise turns them
// into one comment line. none when cut, commented_out, or left_in_file when
// the bytes there are not the ones written or the file could not be changed.
block_fate take_back(int fd, off_t start, std::string_view written, bool may_cut = true);
