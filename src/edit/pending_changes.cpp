// Collecting the changes a window holds, listing them, and laying them over the files as read again.
#include "edit/pending_changes.h"

#include "boot/sources.h"
#include "edit/delta_writer.h"
#include "edit/new_entry.h"
#include "edit/typed_value.h"
#include "shell/value_check.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr const char *yes_text = "\"YES\"";
constexpr const char *no_text = "\"NO\"";

// Where each name's entry is, as find_entry finds it: the first knob of the
// name, else the first string. A search per change would make laying many
// changes over many entries quadratic.
struct name_index {
	std::unordered_map<std::string, int> knobs;
	std::unordered_map<std::string, int> strings;
};

name_index index_names(const rc_lists &lists)
{
	name_index at;
	for (int i = 0; i < lists.knob_count; i++)
		at.knobs.emplace(field_text(lists.knobs[i].name), i);
	for (int i = 0; i < lists.string_count; i++)
		at.strings.emplace(field_text(lists.strings[i].name), i);
	return at;
}

int index_of(const std::unordered_map<std::string, int> &index, const std::string &name)
{
	auto found = index.find(name);
	return found != index.end() ? found->second : -1;
}

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

// The entry the add window makes of change's name, value and comment.
rc_entry typed_entry(const rc_entry &change, const std::string &value)
{
	std::string name(field_text(change.name));
	std::string comment(change.has_comment != 0 ? field_text(change.comment) : "");
	rc_entry added;
	fill_new_entry(&added, {name.c_str(), value.c_str(), comment.c_str()});
	return added;
}

// entry as read, with value laid over it, into laid: a knob read whose
// value no knob holds goes over to the strings. Returns whether that
// differs from what was read.
bool lay_value(const rc_entry &entry, std::string_view value, const rc_entry &change, rc_entry &laid)
{
	laid = entry;
	if (entry.is_knob != 0 && !equal_ignoring_case(value, yes_text) && !equal_ignoring_case(value, no_text)) {
		copy_field(laid.saved_value, saved_text(entry));
		laid.is_knob = 0;
	}
	bool differs;
	if (laid.is_knob != 0) {
		laid.knob_on = equal_ignoring_case(value, yes_text) ? 1 : 0;
		differs = laid.knob_on != laid.saved_knob_on;
	} else {
		copy_field(laid.value, value);
		differs = !names_equal(laid.value, laid.saved_value);
	}
	laid.modified = 1;
	if (change.has_comment != 0) {
		laid.has_comment = 1;
		std::memcpy(laid.comment, change.comment, field_size);
	}
	return differs;
}

// Takes the entries at the sorted indices out of the count entries, the
// others keeping their order, in one pass; zero-fills the slots freed.
void remove_entries(rc_entry *entries, int *count, const std::vector<int> &sorted)
{
	int kept = 0;
	std::size_t next = 0;
	for (int i = 0; i < *count; i++) {
		if (next < sorted.size() && sorted[next] == i)
			next++;
		else
			entries[kept++] = entries[i];
	}
	std::fill(entries + kept, entries + *count, rc_entry{});
	*count = kept;
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
	name_index at = index_names(*lists);
	// Knobs gone over to the strings, taken out at the end so that no index moves meanwhile.
	std::vector<int> moved;
	int result = 0;
	for (const rc_entry &change : changes) {
		std::string name(field_text(change.name));
		int knob = index_of(at.knobs, name);
		int string = knob < 0 ? index_of(at.strings, name) : -1;
		std::string value(written_value(change));
		if (knob < 0 && string < 0) {
			rc_entry added = typed_entry(change, value);
			bool as_knob = added.is_knob != 0;
			int appended = as_knob ? append_entry(&lists->knobs, &lists->knob_capacity, &lists->knob_count, added)
					       : append_entry(&lists->strings, &lists->string_capacity,
							      &lists->string_count, added);
			if (appended != 0) {
				result = -1;
				break;
			}
			if (as_knob)
				at.knobs[name] = lists->knob_count - 1;
			else
				at.strings[name] = lists->string_count - 1;
			continue;
		}
		rc_entry &entry = knob >= 0 ? lists->knobs[knob] : lists->strings[string];
		if (set_later(entry) || entry.value_lock != 0) {
			lost.push_back(name);
			continue;
		}
		rc_entry laid;
		if (!lay_value(entry, value, change, laid))
			continue;
		if (knob < 0 || laid.is_knob != 0) {
			entry = laid;
			continue;
		}
		if (append_entry(&lists->strings, &lists->string_capacity, &lists->string_count, laid) != 0) {
			result = -1;
			break;
		}
		at.knobs.erase(name);
		at.strings[name] = lists->string_count - 1;
		moved.push_back(knob);
	}
	std::sort(moved.begin(), moved.end());
	remove_entries(lists->knobs, &lists->knob_count, moved);
	return result;
}

void take_kept_changes(const rc_lists &lists, const std::vector<rc_entry> &changes, std::vector<rc_entry> &taken,
		       std::vector<std::string> &left_out)
{
	name_index at = index_names(lists);
	std::unordered_set<std::string> seen;
	taken.reserve(taken.size() + changes.size());
	for (const rc_entry &change : changes) {
		std::string name(field_text(change.name));
		// Quoted as typed: a value written by Kelvane is quoted already and stays as it is.
		std::string value = change.is_knob != 0 ? std::string(written_value(change))
						  : typed_value(field_text(change.value));
		std::string comment(change.has_comment != 0 ? field_text(change.comment) : "");
		int knob = index_of(at.knobs, name);
		int string = knob < 0 ? index_of(at.strings, name) : -1;
		bool first = seen.insert(name).second;
		rc_entry laid;
		if (knob < 0 && string < 0) {
			laid = typed_entry(change, value);
			if (first && check_entry_text({name.c_str(), value.c_str(), comment.c_str()}) == add_ok)
				taken.push_back(laid);
			else
				left_out.push_back(name);
			continue;
		}
		// A name the files set: its value and comment are checked as a Value cell's and the add window's.
		const rc_entry &entry = knob >= 0 ? lists.knobs[knob] : lists.strings[string];
		if (!first || set_later(entry) || entry.value_lock != 0 || check_value(value) != value_fault::none ||
		    has_line_break(comment.c_str()))
			left_out.push_back(name);
		else if (lay_value(entry, value, change, laid))
			taken.push_back(laid);
	}
}
