// The checks a new entry's name, value and comment pass before they can reach rc.conf, and the entry they make.
#include "edit/new_entry.h"

#include "shell/value_check.h"

#include <cstring>
#include <strings.h>

namespace {

bool is_ascii_letter(char c)
{
	return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What /bin/sh takes as an assignment and the reader reads back, less a
// leading underscore.
bool is_new_name(const char *name)
{
	if (!is_ascii_letter(name[0]))
		return false;
	for (const char *c = name + 1; *c != '\0'; c++) {
		if (!is_ascii_letter(*c) && !(*c >= '0' && *c <= '9') && *c != '_')
			return false;
	}
	return true;
}

} // namespace

add_fault check_new_entry(const new_entry_text &text, const rc_entry *knobs, int knob_count,
                          const rc_entry *strings, int string_count)
{
	if (text.name[0] == '\0')
		return fault_empty;
	// Test the texts as they would be stored, cut to their fields.
	rc_entry candidate{};
	copy_field(candidate.name, text.name);
	if (find_entry(knobs, knob_count, candidate.name) >= 0 ||
	    find_entry(strings, string_count, candidate.name) >= 0)
		return fault_duplicate;
	return check_entry_text(text);
}

add_fault check_entry_text(const new_entry_text &text)
{
	if (text.name[0] == '\0')
		return fault_empty;
	// The value check speaks of the value's line breaks, as in a Value cell.
	if (has_line_break(text.name) || has_line_break(text.comment))
		return fault_line_break;
	if (!is_new_name(text.name))
		return fault_name;
	if (std::strlen(text.name) >= field_size || std::strlen(text.comment) >= field_size)
		return fault_too_long;
	if (check_value(text.value) != value_fault::none)
		return fault_value;
	return add_ok;
}

bool has_line_break(const char *text)
{
	return std::strpbrk(text, "\r\n") != nullptr;
}

bool is_knob_value(const char *value)
{
	return strncasecmp(value, "\"YES\"", field_size) == 0 || strncasecmp(value, "\"NO\"", field_size) == 0;
}

void fill_new_entry(rc_entry *entry, const new_entry_text &text)
{
	// Start from nothing: a knob's value fields stay empty.
	*entry = rc_entry{};
	copy_field(entry->name, text.name);
	copy_field(entry->comment, text.comment);
	entry->has_comment = text.comment[0] != '\0';
	entry->is_new = 238;
	entry->modified = 1;
	entry->is_knob = is_knob_value(text.value);
	if (entry->is_knob) {
		entry->knob_on = strncasecmp(text.value, "\"YES\"", field_size) == 0;
		entry->saved_knob_on = entry->knob_on;
	} else {
		copy_field(entry->value, text.value);
		copy_field(entry->saved_value, text.value);
	}
}
