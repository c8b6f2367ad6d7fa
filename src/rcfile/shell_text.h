// What a value must be for sh to read it without swallowing the lines after it.
#pragma once

#include <string_view>

// The message shown when an edited or added value fails shell_text_is_closed.
constexpr const char *open_quote_message = "value must close every quote it opens and not end with \\";

// Whether sh, reading text as the right side of an assignment, closes every
// quote and backquote it opens and finds no backslash at its end. A value
// that fails would make sh read the following lines of rc.conf into it.
bool shell_text_is_closed(std::string_view text);
