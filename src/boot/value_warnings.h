// How rc.subr reads a value at boot: its yes/no test, and the values the boot will not read as meant.
#pragma once

#include "model/rc_entry.h"
#include "shell/shell_word.h"

#include <string_view>

enum class yes_no { yes, no, neither };

// rc.subr's checkyesno: YES, TRUE, ON or 1 is yes, NO, FALSE, OFF or 0 is
// no, in any case; anything else is neither, which rc.subr warns of at
// boot and takes as no.
yes_no read_yes_no(std::string_view value);

enum class value_warning {
	none,
	not_yes_no, // a yes/no variable whose value rc.subr's test rejects, or that nothing sets
	not_number, // an int that is not a number, empty, or NO
};

// Whether the boot will not read a variable's value as meant: name ends in
// "_enable" or type (as rc.conf(5) gives it, "" for none) is "bool", and
// at_boot is not yes or no; or type is "int" and at_boot is no number. A
// value that cannot be worked out, or comes from a command, gets none.
value_warning warning_of(std::string_view name, std::string_view type, const shell_value &at_boot);

// warning_of entry as it stands, with its value at boot.
value_warning entry_warning(const rc_entry &entry, std::string_view type);
