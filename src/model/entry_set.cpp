// One entry a name: a later assignment replaces the state or value of an earlier one, or its kind.
#include "model/entry_set.h"

#include <algorithm>
#include <cstdint>
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
	to.source = from.source;
	to.line = from.line;
}

int place_of(int index, bool knob)
{
	return 2 * index + 1 + (knob ? 1 : 0);
}

int place_index(int place)
{
	return (place - 1) / 2;
}

bool is_knob_place(int place)
{
	return (place - 1) % 2 == 1;
}

const rc_entry &entry_at(const entry_set &set, int place)
{
	return (is_knob_place(place) ? set.lists.knobs : set.lists.strings)[place_index(place)];
}

// FNV-1a over the name's bytes.
std::size_t name_hash(const char (&name)[field_size])
{
	std::uint64_t hash = 14695981039346656037u;
	for (char c : field_text(name))
		hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
	return static_cast<std::size_t>(hash);
}

// The place that holds name, or the empty one where it would go.
std::size_t find_place(const entry_set &set, const char (&name)[field_size])
{
	std::size_t mask = set.places.size() - 1;
	for (std::size_t at = name_hash(name) & mask;; at = (at + 1) & mask) {
		int place = set.places[at];
		if (place == 0 || names_equal(entry_at(set, place).name, name))
			return at;
	}
}

// Doubles the table, kept at most half full so that a search ends soon.
void grow_table(entry_set &set)
{
	std::vector<int> old(set.places.size() < 64 ? 128 : 2 * set.places.size(), 0);
	old.swap(set.places);
	for (int place : old) {
		if (place != 0)
			set.places[find_place(set, entry_at(set, place).name)] = place;
	}
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
		if (2 * (set.named + 1) > static_cast<int>(set.places.size()))
			grow_table(set);
		std::size_t at = find_place(set, entry.name);
		int held = set.places[at];
		if (held != 0 && is_knob_place(held) == knob) {
			carry((*entries)[place_index(held)], entry);
			return 0;
		}
		if (make_room(entries, capacity, *count) != 0)
			return -1;
		if (held != 0)
			(knob ? set.moved_strings : set.moved_knobs).push_back(place_index(held));
		rc_entry &placed = (*entries)[*count] = entry;
		if (held != 0) {
			// The other kind now: the entry moves, keeping its comment.
			const rc_entry &old = (knob ? l.strings : l.knobs)[place_index(held)];
			std::memcpy(placed.comment, old.comment, field_size);
			placed.has_comment = old.has_comment;
		} else {
			set.named++;
		}
		set.places[at] = place_of(*count, knob);
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
	set.places = std::vector<int>();
	set.named = 0;
}
