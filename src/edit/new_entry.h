// What a new entry's typed name, value and comment must be, and the entry they make.
#pragma once

#include "model/rc_entry.h"

// Why a new entry is refused, in the order of the tests.
enum add_fault {
	add_ok = -1,
	fault_empty = 0,  // no name
	fault_duplicate,  // name already in use, in either array
	fault_line_break, // CR or LF in name or comment
	fault_name,       // name not a shell variable name
	fault_too_long,   // name or comment longer than a field holds
	fault_value,      // check_value refuses the value, with a message of its own
	fault_no_memory,  // the array could not grow
};

// The three texts of a new entry, the value as typed_value makes it.
struct new_entry_text {
	const char *name;
	const char *value;
	const char *comment;
};

// The first fault of text, or add_ok; duplicates are sought among the
// entries in use of both arrays.
add_fault check_new_entry(const new_entry_text &text, const rc_entry *knobs, int knob_count,
                          const rc_entry *strings, int string_count);

// check_new_entry but for duplicates, which the caller has ruled out.
add_fault check_entry_text(const new_entry_text &text);

// Whether text holds a CR or an LF.
bool has_line_break(const char *text);

// Whether value makes a knob: "YES" or "NO" in double quotes, case ignored.
bool is_knob_value(const char *value);

// Overwrites entry with the new, modified entry that text describes.
void fill_new_entry(rc_entry *entry, const new_entry_text &text);
