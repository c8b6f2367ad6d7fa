// Which rows each view of the window holds: those the machine's own files set, and those changed from their defaults.
#pragma once

#include "model/rc_entry.h"

// Whether the machine's own files (its rc.conf, the files read after it,
// rc.conf.d) set entry: what sysrc -a lists.
bool set_on_machine(const rc_entry &entry);

// Whether entry's value at boot differs from its default's, or it has none.
bool changed_from_default(const rc_entry &entry);
