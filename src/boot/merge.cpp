// Laying the machine's settings over the defaults, and sorting entries by name.
#include "boot/merge.h"

#include "model/entry_set.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool name_less(const rc_entry &a, const rc_entry &b)
{
	return std::strncmp(a.name, b.name, field_size) < 0;
}

// The first 16 bytes of a name, as two big-endian numbers with zeros after
// its end, and the entry's index. Comparing the numbers orders the names as
// strncmp does over those bytes; the keys sit side by side, so most
// comparisons stay in cache instead of touching records 1 KB apart.
struct sort_key {
	std::uint64_t head;
	std::uint64_t tail;
	int index;
};

constexpr std::size_t key_bytes = 16;

sort_key make_key(const rc_entry &entry, int index)
{
	unsigned char bytes[key_bytes] = {};
	for (std::size_t i = 0; i < key_bytes && entry.name[i] != '\0'; i++)
		bytes[i] = static_cast<unsigned char>(entry.name[i]);
	sort_key key = {0, 0, index};
	for (std::size_t i = 0; i < 8; i++) {
		key.head = key.head << 8 | bytes[i];
		key.tail = key.tail << 8 | bytes[i + 8];
	}
	return key;
}

// Equal keys whose 16th byte is not NUL belong to names that both go on.
bool key_less(const sort_key &a, const sort_key &b, const rc_entry *entries)
{
	if (a.head != b.head)
		return a.head < b.head;
	if (a.tail != b.tail)
		return a.tail < b.tail;
	if ((a.tail & 0xff) == 0)
		return false;
	return std::strncmp(entries[a.index].name + key_bytes, entries[b.index].name + key_bytes,
			    field_size - key_bytes) < 0;
}

// Moves each entry to the place the sorted keys give it: keys[p].index is the
// entry that belongs at p. Follows each cycle with one spare record, so every
// entry moves once; the keys are used up.
void permute(rc_entry *entries, sort_key *keys, int count)
{
	for (int start = 0; start < count; start++) {
		if (keys[start].index == start)
			continue;
		rc_entry held = entries[start];
		int at = start;
		while (keys[at].index != start) {
			int from = keys[at].index;
			entries[at] = entries[from];
			keys[at].index = at;
			at = from;
		}
		entries[at] = held;
		keys[at].index = at;
	}
}

// Room for twice the entries either file has of a kind, zero-filled: the
// merged count of a kind never exceeds the sum of both counts.
int allocate_merged(int a, int b, rc_entry **entries, int *capacity)
{
	std::size_t slots = 2 * (static_cast<std::size_t>(a) + static_cast<std::size_t>(b));
	*entries = nullptr;
	*capacity = 0;
	if (slots == 0)
		return 0;
	if (slots > static_cast<std::size_t>(INT_MAX))
		return -1;
	*entries = static_cast<rc_entry *>(std::calloc(slots, sizeof(rc_entry)));
	if (*entries == nullptr)
		return -1;
	*capacity = static_cast<int>(slots);
	return 0;
}

int lay_over_all(entry_set &set, const rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++) {
		if (lay_over(set, entries[i]) != 0)
			return -1;
	}
	return 0;
}

} // namespace

int merge_lists(rc_lists *defaults, const rc_lists *machine)
{
	entry_set merged{};
	rc_lists &l = merged.lists;
	int result = allocate_merged(defaults->knob_count, machine->knob_count, &l.knobs, &l.knob_capacity);
	if (result == 0)
		result = allocate_merged(defaults->string_count, machine->string_count, &l.strings, &l.string_capacity);
	if (result == 0)
		result = lay_over_all(merged, defaults->knobs, defaults->knob_count);
	if (result == 0)
		result = lay_over_all(merged, defaults->strings, defaults->string_count);
	if (result == 0)
		result = lay_over_all(merged, machine->knobs, machine->knob_count);
	if (result == 0)
		result = lay_over_all(merged, machine->strings, machine->string_count);
	if (result != 0) {
		std::free(l.knobs);
		std::free(l.strings);
		errno = ENOMEM;
		return -1;
	}
	close_entry_set(merged);
	std::free(defaults->knobs);
	std::free(defaults->strings);
	*defaults = l;
	return 0;
}

void sort_entries(rc_entry *entries, int count)
{
	if (count < 2)
		return;
	// Records are about 1 KB: sort small keys, then move each record once.
	sort_key *keys = new (std::nothrow) sort_key[static_cast<std::size_t>(count)];
	if (keys == nullptr) {
		std::stable_sort(entries, entries + count, name_less);
		return;
	}
	for (int i = 0; i < count; i++)
		keys[i] = make_key(entries[i], i);
	std::stable_sort(keys, keys + count,
			 [entries](const sort_key &a, const sort_key &b) { return key_less(a, b, entries); });
	permute(entries, keys, count);
	delete[] keys;
}

int insert_in_name_order(rc_entry **entries, int *capacity, int *count, const rc_entry &entry)
{
	if (grow_entries(entries, capacity, *count) != 0)
		return -1;
	rc_entry *end = *entries + *count;
	rc_entry *place = std::upper_bound(*entries, end, entry, name_less);
	std::memmove(place + 1, place, static_cast<std::size_t>(end - place) * sizeof(rc_entry));
	*place = entry;
	++*count;
	return static_cast<int>(place - *entries);
}
