// Names the boot knows that no file sets yet: what the add window offers as the user types a name.
#pragma once

#include "model/rc_entry.h"

#include <vector>

// The defaults file's commented-out samples (#kld_list="" gives kld_list,
// with its value and comment), then, when with_interfaces is set,
// ifconfig_IF for each network interface of this machine, without a value.
// One entry a name, sorted by name.
std::vector<rc_entry> addable_names(bool with_interfaces);
