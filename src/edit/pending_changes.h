// The changes a window holds before they are saved, the lines that list them, and laying them over the files as read again.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <string_view>
#include <vector>

// Copies of the entries in use whose modified is 1, knobs first.
std::vector<rc_entry> pending_entries(const rc_entry *knobs, int knob_count, const rc_entry *strings,
				      int string_count);

// Lays each change over lists as freshly read: the entry of its name takes
// the change and is marked modified, with what was read as its saved state;
// a change that equals what was read is dropped; a name no file sets any
// more comes back as the add window makes an entry of its name, value and
// comment (the comment only when has_comment is set). A change that cannot
// be made here any more (the name is set by a later file, or its value kept
// as written) is dropped and its name added to lost. A knob's change over a
// string, or a string's over a knob, takes the kind its value makes.
// Linear in the entries and the changes. Returns 0, or -1 when memory runs
// out (the changes from that one on are not laid over).
int lay_changes_over(rc_lists *lists, const std::vector<rc_entry> &changes, std::vector<std::string> &lost);

// Of changes kept by another run, takes those the window would take typed:
// the value quoted by typed_value and passing check_value, a comment without
// a line break, a name no file sets passing check_entry_text with them.
// taken gets each as its entry would stand once laid over lists, saved
// state as read now; a change equal to what is read is no change and is
// passed over. left_out gets the names of the others, of a second change of
// one name, and of changes lay_changes_over would lose. Linear.
void take_kept_changes(const rc_lists &lists, const std::vector<rc_entry> &changes, std::vector<rc_entry> &taken,
		       std::vector<std::string> &left_out);

// One line for each change, as name: "old" -> "new", a knob's state given as
// "YES" or "NO" and an added entry's old value as not_set.
std::vector<std::string> change_lines(const std::vector<rc_entry> &changes, std::string_view not_set);
