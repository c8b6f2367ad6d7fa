// Bounded copying and comparison of the fixed text fields of rc_entry.
#include "model/rc_entry.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool is_continuation(char c)
{
	return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Length of the longest prefix of src of at most limit bytes that does not
// end inside a UTF-8 sequence. Text that is not UTF-8 is cut at the limit.
std::size_t cut_length(std::string_view src, std::size_t limit)
{
	if (src.size() <= limit)
		return src.size();
	std::size_t cut = limit;
	for (int back = 0; back < 3 && cut > 0 && is_continuation(src[cut]); back++)
		cut--;
	return is_continuation(src[cut]) ? limit : cut;
}

} // namespace

int copy_field(char (&dst)[field_size], std::string_view src)
{
	std::size_t len = cut_length(src, field_size - 1);
	src.copy(dst, len);
	std::memset(dst + len, 0, field_size - len);
	return len == src.size() ? 0 : -1;
}

std::string_view field_text(const char (&field)[field_size])
{
	return std::string_view(field, strnlen(field, field_size));
}

bool names_equal(const char *a, const char *b)
{
	return std::strncmp(a, b, field_size) == 0;
}

void free_lists(rc_lists &lists)
{
	std::free(lists.knobs);
	std::free(lists.strings);
	lists = {};
}

int find_entry(const rc_entry *entries, int count, const char *name)
{
	for (int i = 0; i < count; i++) {
		if (names_equal(entries[i].name, name))
			return i;
	}
	return -1;
}

const rc_entry *entry_named(const rc_lists &lists, const char *name)
{
	if (int i = find_entry(lists.knobs, lists.knob_count, name); i >= 0)
		return &lists.knobs[i];
	if (int i = find_entry(lists.strings, lists.string_count, name); i >= 0)
		return &lists.strings[i];
	return nullptr;
}

bool is_name_start(char c)
{
	return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool is_name_char(char c)
{
	return is_name_start(c) || (c >= '0' && c <= '9');
}

bool is_variable_name(std::string_view text)
{
	if (text.empty() || !is_name_start(text[0]))
		return false;
	for (char c : text)
		if (!is_name_char(c))
			return false;
	return true;
}

bool equal_ignoring_case(std::string_view text, std::string_view upper)
{
	if (text.size() != upper.size())
		return false;
	for (std::size_t i = 0; i < text.size(); i++) {
		char c = text[i];
		if (c >= 'a' && c <= 'z')
			c = static_cast<char>(c - 'a' + 'A');
		if (c != upper[i])
			return false;
	}
	return true;
}

int make_room(rc_entry **entries, int *capacity, int count)
{
	if (count < *capacity)
		return 0;
	if (*capacity > INT_MAX / 2)
		return -1;
	int wanted = *capacity < 16 ? 16 : 2 * *capacity;
	void *grown = std::realloc(*entries, static_cast<std::size_t>(wanted) * sizeof(rc_entry));
	if (grown == nullptr)
		return -1;
	*entries = static_cast<rc_entry *>(grown);
	*capacity = wanted;
	return 0;
}

int grow_entries(rc_entry **entries, int *capacity, int count)
{
	int before = *capacity;
	if (make_room(entries, capacity, count) != 0)
		return -1;
	std::memset(*entries + before, 0, static_cast<std::size_t>(*capacity - before) * sizeof(rc_entry));
	return 0;
}

void remove_entry(rc_entry *entries, int *count, int index)
{
	std::memmove(entries + index, entries + index + 1, static_cast<std::size_t>(*count - index - 1) * sizeof(rc_entry));
	entries[--*count] = rc_entry{};
}
