// Laying the machine's settings over the defaults, and name order.
#pragma once

#include "model/rc_entry.h"

// Merges machine into defaults (changed in place), one entry a name: a name
// both have keeps the default's place and comment and takes the machine's
// kind and state or value; machine-only names are appended. The new arrays
// have room for twice the sum of both counts of their kind. Returns 0, or -1
// with errno set when memory runs out.
int merge_lists(rc_lists *defaults, const rc_lists *machine);

// Sorts the first count entries by name, stably, bytes compared unsigned.
void sort_entries(rc_entry *entries, int count);

// Puts entry among the first *count entries of *entries, sorted by name, at
// the place name order gives it: before the first whose name sorts after it.
// The array grows as grow_entries does. Returns the entry's index, or -1 when
// memory runs out (nothing changed then).
int insert_in_name_order(rc_entry **entries, int *capacity, int *count, const rc_entry &entry);
