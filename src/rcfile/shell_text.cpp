// Checking that a value written to rc.conf ends where its line ends, for sh.
#include "rcfile/shell_text.h"

bool shell_text_is_closed(std::string_view text)
{
	// Inside single quotes nothing is special but the closing quote; a
	// backquote inside double quotes must be closed before they are.
	enum { plain, in_double, in_single } state = plain;
	bool in_backquote = false;
	for (std::size_t i = 0; i < text.size(); i++) {
		char c = text[i];
		if (state == in_single) {
			if (c == '\'')
				state = plain;
			continue;
		}
		if (c == '\\') {
			if (++i == text.size())
				return false;
		} else if (c == '`') {
			in_backquote = !in_backquote;
		} else if (c == '"' && !in_backquote) {
			state = state == in_double ? plain : in_double;
		} else if (c == '\'' && state == plain && !in_backquote) {
			state = in_single;
		}
	}
	return state == plain && !in_backquote;
}
