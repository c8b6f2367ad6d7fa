// Appending the changed entries to the machine's rc.conf.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <string_view>
#include <sys/types.h>

// Results of write_deltas.
enum {
	deltas_written = 0,
	deltas_open_failed = -1,  // nothing written, nothing changed
	deltas_write_failed = -2, // what the save wrote taken back, nothing changed
};

// The path saves go to: KELVANE_RC when set (even empty), else /etc/rc.conf.
const char *local_rc_path();

// The block that a save appends: the dated header, then one line for each
// modified knob and each modified string.
std::string format_deltas(const rc_entry *knobs, int knob_count, const rc_entry *strings,
			  int string_count, const char *date_text);

// Appends the block in one write under an exclusive lock, syncs it to disk,
// and marks each written entry saved. Returns one of the results above.
int write_deltas(rc_entry *knobs, int knob_count, rc_entry *strings, int string_count);

// Takes back what a failed save wrote at start, sparing bytes appended behind it; 0 or -1.
int take_back(int fd, off_t start, std::string_view written);
