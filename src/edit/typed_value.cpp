// Turning the text a user types for a value into the value rc.conf holds.
#include "edit/typed_value.h"

std::string typed_value(std::string_view typed)
{
	if (!typed.empty() && typed.front() == '"')
		return std::string(typed);
	std::string value = "\"";
	for (char c : typed) {
		if (c == '"' || c == '\\')
			value += '\\';
		value += c;
	}
	value += '"';
	return value;
}
