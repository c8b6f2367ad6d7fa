// Laying the machine's settings over the defaults, and sorting entries by name.
#include "rcfile/merge.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using carry_fn = void (*)(rc_entry &to, const rc_entry &from);

void carry_knob(rc_entry &to, const rc_entry &from)
{
	to.knob_on = from.knob_on;
	to.saved_knob_on = from.saved_knob_on;
}

// Whole fields, zero bytes behind the text included.
void carry_string(rc_entry &to, const rc_entry &from)
{
	std::memcpy(to.value, from.value, field_size);
	std::memcpy(to.saved_value, from.saved_value, field_size);
	to.value_cut = from.value_cut;
}

// Two keys are equal exactly when names_equal holds for their fields.
std::string_view name_key(const rc_entry &entry)
{
	return field_text(entry.name);
}

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

// A zero-filled array for 2 x (a + b) entries; none at all when that is 0,
// so a null result then is no failure. Returns 0, or -1 when memory runs out.
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

// Where a name stands in the merge: the latest of its merged slots, which
// heads a chain through the others, and the machine entry whose fields they
// all take, or -1 for none.
struct name_slots {
	int head;
	int last_machine;
};

// Fills out (zero-filled, room for at least a + b) with the defaults' entries, then
// lays the machine's over them: every merged entry of an equal name takes the
// carried fields, a name not yet present is appended. A carry overwrites every
// carried field, so only the last machine entry of a name counts: the machine
// pass only notes it, and each merged entry takes its fields once, which keeps
// many copies of one name linear. Returns the merged count, or -1 when memory
// for the index runs out.
int merge_kind(const rc_entry *defaults, int a, const rc_entry *machine, int b, rc_entry *out,
	       carry_fn carry)
{
	if (a + b == 0)
		return 0;
	try {
		std::unordered_map<std::string_view, name_slots> names;
		std::vector<int> next(static_cast<std::size_t>(a) + static_cast<std::size_t>(b), -1);
		names.reserve(static_cast<std::size_t>(a) + static_cast<std::size_t>(b));
		int merged = a;
		if (a > 0)
			std::memcpy(out, defaults, static_cast<std::size_t>(a) * sizeof(rc_entry));
		for (int i = 0; i < a; i++) {
			auto [slot, added] = names.try_emplace(name_key(out[i]), name_slots{i, -1});
			if (!added) {
				next[i] = slot->second.head;
				slot->second.head = i;
			}
		}
		for (int i = 0; i < b; i++) {
			auto [slot, added] = names.try_emplace(name_key(machine[i]), name_slots{merged, -1});
			if (added)
				out[merged++] = machine[i];
			else
				slot->second.last_machine = i;
		}
		for (const auto &[name, slots] : names)
			if (slots.last_machine >= 0)
				for (int k = slots.head; k != -1; k = next[k])
					carry(out[k], machine[slots.last_machine]);
		return merged;
	} catch (const std::bad_alloc &) {
		return -1;
	}
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

} // namespace

int merge_lists(rc_lists *defaults, const rc_lists *machine)
{
	rc_entry *knobs = nullptr;
	rc_entry *strings = nullptr;
	int knob_capacity = 0;
	int string_capacity = 0;
	int knob_count = -1;
	int string_count = -1;
	if (allocate_merged(defaults->knob_count, machine->knob_count, &knobs, &knob_capacity) == 0 &&
	    allocate_merged(defaults->string_count, machine->string_count, &strings, &string_capacity) == 0) {
		knob_count = merge_kind(defaults->knobs, defaults->knob_count, machine->knobs,
					machine->knob_count, knobs, carry_knob);
		if (knob_count >= 0)
			string_count = merge_kind(defaults->strings, defaults->string_count,
						  machine->strings, machine->string_count, strings,
						  carry_string);
	}
	if (knob_count < 0 || string_count < 0) {
		std::free(knobs);
		std::free(strings);
		errno = ENOMEM;
		return -1;
	}

	std::free(defaults->knobs);
	std::free(defaults->strings);
	defaults->knobs = knobs;
	defaults->knob_count = knob_count;
	defaults->knob_capacity = knob_capacity;
	defaults->strings = strings;
	defaults->string_count = string_count;
	defaults->string_capacity = string_capacity;
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
