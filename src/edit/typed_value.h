// Turning the text a user types for a value into the value rc.conf holds.
#pragma once

#include <string>
#include <string_view>

// The value for a typed text, as sysrc makes it: a text that begins with '"'
// is taken as written; any other is put between double quotes, each '"' and
// '\' in it escaped so that it stays a plain character, while $ and ` keep
// their meaning. Whether the value may be written is check_value's to say.
std::string typed_value(std::string_view typed);
