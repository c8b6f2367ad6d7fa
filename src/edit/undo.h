// What undoing and resetting need: the order in which entries were changed, and what a reset gives an entry.
#pragma once

#include "model/rc_entry.h"

#include <functional>
#include <string>
#include <string_view>

// Forgets the order of changes, for lists filled anew from the start.
void forget_change_order();

// Puts name last in the order of changes: its entry was changed just now.
void note_change(std::string_view name);

// Puts name last unless the order holds it: a change laid back over the
// files read again keeps its place.
void note_pending(std::string_view name);

// Takes out of the order the latest name for which still_changed holds and
// the names after it, and returns that name; "" when none holds.
std::string take_last_change(const std::function<bool(const std::string &)> &still_changed);

// Whether entry may be reset to its default, and the entry as the reset
// leaves it in *reset: there is a default that entry does not hold, a
// knob's default on a string is its word in quotes, a string's default is
// never a knob's, and the value may be written.
bool with_default(const rc_entry &entry, rc_entry *reset);
