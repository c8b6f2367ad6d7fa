// What each variable holds at boot, worked out from what the files and services set, without running anything.
#pragma once

#include "model/rc_entry.h"
#include "shell/shell_word.h"

#include <string_view>

// What sh gives name at boot: the files' steps of history() in their order,
// and for a service's own variable its script's default and rc.conf.d
// files, taken in the script's order over the files' values (a name
// neither sets is unknown there: the script may set it). Worked out at the
// first call after a load.
shell_value value_at_boot(std::string_view name);

// What the boot gives entry as it stands: value_at_boot while entry holds
// what the files gave it (it is not changed, and its source and line are
// those of an assignment the files make, or of the service's value); else
// its own text (a knob's YES or NO) expanded against the values at boot.
shell_value entry_value_at_boot(const rc_entry &entry);

// What sh would give name at boot were the machine's own files (its
// rc.conf, the files after it, rc.conf.d) to set nothing: the defaults,
// vendor.conf and the services' scripts.
shell_value default_value_at_boot(std::string_view name);

// Forgets the values worked out: the next call works them out again.
void forget_boot_values();
