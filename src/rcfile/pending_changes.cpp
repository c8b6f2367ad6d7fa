// Collecting the changes a window holds, listing them, and laying them over the files as read again.
#include "rcfile/pending_changes.h"

#include "rcfile/delta_writer.h"
#include "rcfile/sources.h"

#include <cstring>

namespace {

constexpr const char *yes_text = "\"YES\"";
constexpr const char *no_text = "\"NO\"";

void copy_modified(std::vector<rc_entry> &changes, const rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++) {
		if (entries[i].modified == 1)
			changes.push_back(entries[i]);
	}
}

// The value the entry had when it was last read or saved.
std::string_view saved_text(const rc_entry &entry)
{
	if (entry.is_knob != 0)
		return entry.saved_knob_on == 1 ? yes_text : no_text;
	return field_text(entry.saved_value);
}

int append_entry(rc_entry **entries, int *capacity, int *count, const rc_entry &entry)
{
	if (grow_entries(entries, capacity, *count) != 0)
		return -1;
	(*entries)[(*count)++] = entry;
	return 0;
}

// A knob read whose change is a value no knob holds goes over to the strings.
rc_entry *make_string(rc_lists *lists, int knob)
{
	rc_entry moved = lists->knobs[knob];
	copy_field(moved.saved_value, saved_text(moved));
	moved.is_knob = 0;
	if (append_entry(&lists->strings, &lists->string_capacity, &lists->string_count, moved) != 0)
		return nullptr;
	remove_entry(lists->knobs, &lists->knob_count, knob);
	return &lists->strings[lists->string_count - 1];
}

// A change whose name no file sets any more is written as an added entry is.
int add_as_new(rc_lists *lists, const rc_entry &change)
{
	rc_entry added = change;
	added.is_new = 1;
	added.source = 0;
	added.saved_knob_on = added.knob_on;
	std::memcpy(added.saved_value, added.value, field_size);
	if (added.is_knob != 0)
		return append_entry(&lists->knobs, &lists->knob_capacity, &lists->knob_count, added);
	return append_entry(&lists->strings, &lists->string_capacity, &lists->string_count, added);
}

// Sets entry, as read, to the value the change writes; returns whether that differs from what was read.
bool take_value(rc_entry &entry, std::string_view value)
{
	if (entry.is_knob != 0) {
		entry.knob_on = equal_ignoring_case(value, yes_text) ? 1 : 0;
		return entry.knob_on != entry.saved_knob_on;
	}
	copy_field(entry.value, value);
	return !names_equal(entry.value, entry.saved_value);
}

} // namespace

std::vector<rc_entry> pending_entries(const rc_entry *knobs, int knob_count, const rc_entry *strings,
				      int string_count)
{
	std::vector<rc_entry> changes;
	copy_modified(changes, knobs, knob_count);
	copy_modified(changes, strings, string_count);
	return changes;
}

std::vector<std::string> change_lines(const std::vector<rc_entry> &changes, std::string_view not_set)
{
	std::vector<std::string> lines;
	for (const rc_entry &change : changes) {
		std::string line(field_text(change.name));
		line += ": ";
		line += change.is_new != 0 ? not_set : saved_text(change);
		line += " -> ";
		line += written_value(change);
		lines.push_back(std::move(line));
	}
	return lines;
}

int lay_changes_over(rc_lists *lists, const std::vector<rc_entry> &changes, std::vector<std::string> &lost)
{
	for (const rc_entry &change : changes) {
		int knob = find_entry(lists->knobs, lists->knob_count, change.name);
		int string = knob < 0 ? find_entry(lists->strings, lists->string_count, change.name) : -1;
		if (knob < 0 && string < 0) {
			if (add_as_new(lists, change) != 0)
				return -1;
			continue;
		}
		rc_entry *entry = knob >= 0 ? &lists->knobs[knob] : &lists->strings[string];
		if (set_later(*entry) || entry->value_lock != 0) {
			lost.emplace_back(field_text(change.name));
			continue;
		}
		std::string_view value = written_value(change);
		if (knob >= 0 && !equal_ignoring_case(value, yes_text) && !equal_ignoring_case(value, no_text)) {
			entry = make_string(lists, knob);
			if (entry == nullptr)
				return -1;
		}
		if (!take_value(*entry, value))
			continue;
		entry->modified = 1;
		if (change.has_comment != 0) {
			entry->has_comment = 1;
			std::memcpy(entry->comment, change.comment, field_size);
		}
	}
	return 0;
}
