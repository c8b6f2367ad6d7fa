// One entry a name: a later assignment replaces the state or value of an earlier one, or its kind.
#include "rcfile/entry_set.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// What a later assignment of the same kind brings: the state or the value,
// and where that was read.
void carry(rc_entry &to, const rc_entry &from)
{
	if (from.is_knob != 0) {
		to.knob_on = from.knob_on;
		to.saved_knob_on = from.saved_knob_on;
	} else {
		// Whole fields, zero bytes behind the text included.
		std::memcpy(to.value, from.value, field_size);
		std::memcpy(to.saved_value, from.saved_value, field_size);
		to.value_lock = from.value_lock;
	}
	to.later_file = from.later_file;
}

void drop_moved(rc_entry *entries, int *count, std::vector<int> &moved)
{
	if (moved.empty())
		return;
	std::sort(moved.begin(), moved.end());
	int kept = 0;
	std::size_t next_moved = 0;
	for (int i = 0; i < *count; i++) {
		if (next_moved < moved.size() && moved[next_moved] == i) {
			next_moved++;
			continue;
		}
		if (kept != i)
			entries[kept] = entries[i];
		kept++;
	}
	std::memset(entries + kept, 0, static_cast<std::size_t>(*count - kept) * sizeof(rc_entry));
	*count = kept;
	moved.clear();
}

} // namespace

int lay_over(entry_set &set, const rc_entry &entry)
{
	rc_lists &l = set.lists;
	bool knob = entry.is_knob != 0;
	rc_entry **entries = knob ? &l.knobs : &l.strings;
	int *count = knob ? &l.knob_count : &l.string_count;
	int *capacity = knob ? &l.knob_capacity : &l.string_capacity;
	try {
		auto [found, added] = set.names.try_emplace(std::string(field_text(entry.name)), entry_set::slot{knob, *count});
		entry_set::slot &slot = found->second;
		if (!added && slot.knob == knob) {
			carry((*entries)[slot.index], entry);
			return 0;
		}
		if (grow_entries(entries, capacity, *count) != 0) {
			if (added)
				set.names.erase(found);
			return -1;
		}
		if (!added)
			(knob ? set.moved_strings : set.moved_knobs).push_back(slot.index);
		rc_entry &placed = (*entries)[*count] = entry;
		if (!added) {
			// The other kind now: the entry moves, keeping its comment.
			const rc_entry &old = (knob ? l.strings : l.knobs)[slot.index];
			std::memcpy(placed.comment, old.comment, field_size);
			placed.has_comment = old.has_comment;
			slot = {knob, *count};
		}
		++*count;
		return 0;
	} catch (const std::bad_alloc &) {
		return -1;
	}
}

void close_entry_set(entry_set &set)
{
	drop_moved(set.lists.knobs, &set.lists.knob_count, set.moved_knobs);
	drop_moved(set.lists.strings, &set.lists.string_count, set.moved_strings);
	set.names.clear();
}
