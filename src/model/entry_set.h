// One entry a name: how a variable stands after several assignments to it.
#pragma once

#include "model/rc_entry.h"

#include <vector>

// Entries laid over each other in the order sh reads their assignments.
// Each name keeps the place and the comment of its first entry and takes
// the kind and the state or value of its last one.
struct entry_set {
	rc_lists lists;                 // the entries of both kinds; grown as needed, the new room not zeroed
	std::vector<int> places;        // hash table of names: 0 for none, else 2 * index + 1 + (1 for a knob)
	int named;                      // places in use
	std::vector<int> moved_knobs;   // places emptied by a change of kind,
	std::vector<int> moved_strings; // dropped by close_entry_set
};

// Lays entry over the set. Returns 0, or -1 when memory runs out (the set
// is then as it was). Throws nothing.
int lay_over(entry_set &set, const rc_entry &entry);

// Drops the places that moves emptied, keeping the order of the rest, and
// zero-fills them; the set's lists are then its result.
void close_entry_set(entry_set &set);
