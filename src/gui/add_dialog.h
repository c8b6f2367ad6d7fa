// The "Add new entry" window.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

extern gboolean add_window_open; // set while the add window exists; there is only ever one

// Why Apply refuses an entry, in the order of the tests.
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

// The three texts of the add window, the value as typed_value makes it.
struct new_entry_text {
	const char *name;
	const char *value;
	const char *comment;
};

// Builds and shows the add window, or brings the one open to the front.
void on_add_clicked(GtkButton *button, gpointer data);

// The first fault of text, or add_ok; duplicates are sought among the
// entries in use of both arrays.
add_fault check_new_entry(const new_entry_text &text, const rc_entry *knobs, int knob_count,
                          const rc_entry *strings, int string_count);

// Whether value makes a knob: "YES" or "NO" in double quotes, case ignored.
bool is_knob_value(const char *value);

// Overwrites entry with the new, modified entry that text describes.
void fill_new_entry(rc_entry *entry, const new_entry_text &text);
