// What a string's value must be before it is written to rc.conf.
#pragma once

#include <string_view>

// Why a value is refused, in the order the checks run.
enum class value_fault {
	none,
	line_break,        // CR or LF: the assignment would not stay on its line
	not_quoted,        // does not begin and end with its own double quote
	inner_quote,       // a '"' inside, unless escaped outside commands and ${...}, ends the quoting early
	too_long,          // does not fit in a field
	unreadable,        // NUL, or U+FFFD standing for bytes that could not be shown
	escaped_end,       // a backslash escapes the closing quote
	unclosed,          // a $(, ${, ` or ' inside is left open
	arithmetic,        // $((...)), or $[...] to bash, whose errors stop sh
	bad_expansion,     // ${...} in a form that can stop sh
	bad_command,       // $(...) or `...` holding more than words, quotes and pipes
	slow_pattern,      // more than one '*' in a pattern or a command word
};

// Whether value, written as name=value, is read back by the reader as the
// same text and by sh as one assignment of one word that leaves nothing open
// and cannot stop sh reading the rest of the file.
value_fault check_value(std::string_view value);

// Whether sh runs a command when it reads value, one check_value accepts:
// it holds $(...) or `...`.
bool runs_command(std::string_view value);

// The message that tells the user what to change.
const char *value_fault_text(value_fault fault);
