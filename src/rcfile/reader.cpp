// Reading one rc.conf file: records from the token sequence, then the knob and string arrays.
#include "rcfile/reader.h"

#include "rcfile/tokenizer.h"

#include <algorithm>
#include <climits>
#include <cctype>
#include <cstdlib>
#include <cstring>

constexpr const char *string_valued_names[36] = {
	"swapfile", "pccard_ifconfig", "nisdomainname", "ip_portrange_first",
	"ip_portrange_last", "gif_interfaces", "defaultrouter", "ipv6_defaultrouter",
	"keymap", "keyrate", "keybell", "keychange",
	"cursor", "scrnmap", "font8x16", "font8x14",
	"font8x8", "saver", "mousechar_start", "dumpdev",
	"rand_irqs", "ipv6_default_interface", "ipv6_faith_prefix", "isdn_fsdev",
	"isdn_screenflags", "amd_map_program", "gbde_devices", "extra_netfs_types",
	"pcvt_keymap", "pcvt_keydel", "pcvt_keyrate", "pcvt_lines",
	"pcvt_blanktime", "pcvt_cursorh", "pcvt_cursorl", "sendmail_enable",
};

namespace {

[[noreturn]] void out_of_memory()
{
	std::perror("read_rc_file()");
	std::exit(1);
}

// A NUL inside a token ends what the reader takes from it.
std::string_view up_to_nul(std::string_view text)
{
	return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::string_view up_to_any(std::string_view text, std::string_view stops)
{
	return text.substr(0, std::min(text.find_first_of(stops), text.size()));
}

bool is_string_valued(const char (&name)[field_size])
{
	for (const char *listed : string_valued_names)
		if (names_equal(name, listed))
			return true;
	return false;
}

bool starts_with(std::string_view text, std::string_view prefix)
{
	return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A string's value: the token's first byte, what follows up to a quote,
// newline or NUL, then a closing quote. A value too long for its field keeps
// its beginning and is marked cut, so that it is never written back.
void set_string_value(rc_entry *record, std::string_view text)
{
	std::size_t body = 1 + up_to_any(up_to_nul(text.substr(1)), "\"\n").size();
	// Whatever lies beyond field_size bytes is cut away anyway.
	if (body > field_size)
		body = field_size;
	char quoted[field_size + 1];
	std::memcpy(quoted, text.data(), body);
	quoted[body] = '"';
	record->value_cut = copy_field(record->value, std::string_view(quoted, body + 1)) != 0;
	std::memcpy(record->saved_value, record->value, field_size);
}

void classify(rc_entry *record, std::string_view text, bool string_valued)
{
	if (starts_with(text, "\"YES\"")) {
		record->is_knob = 1;
		record->knob_on = record->saved_knob_on = 1;
	} else if (starts_with(text, "\"NO\"") && !string_valued) {
		record->is_knob = 1;
	} else {
		set_string_value(record, text);
	}
	record->modified = 0;
}

// Only names that start with an ASCII letter or digit are kept: bytes from
// 0x80 on are negative as signed chars and fail like "_", "\"" and "#".
bool is_retained(const rc_entry &record)
{
	int first = static_cast<signed char>(record.name[0]);
	return first >= 0 && std::isalnum(first);
}

// The retained records of one kind, in file order. Each record is written
// into its array once, as soon as it is complete: records are about 1 KB, and
// copying them again would cost as much as reading them.
struct growing_array {
	rc_entry *entries;
	int count;
	int capacity;
};

void append(growing_array &array, const rc_entry &record)
{
	if (array.count == array.capacity) {
		if (array.capacity > INT_MAX / 2)
			out_of_memory();
		int wanted = array.capacity < 64 ? 64 : 2 * array.capacity;
		void *grown = std::realloc(array.entries, static_cast<std::size_t>(wanted) * sizeof(rc_entry));
		if (grown == nullptr)
			out_of_memory();
		array.entries = static_cast<rc_entry *>(grown);
		array.capacity = wanted;
	}
	array.entries[array.count++] = record;
}

// Files a finished record into the array of its kind, or drops it.
void file_record(const rc_entry &record, growing_array &knobs, growing_array &strings)
{
	if (is_retained(record))
		append(record.is_knob ? knobs : strings, record);
}

// Hands the array over with room for its records and never for fewer than
// one; the room behind the records is zero-filled.
void finish(growing_array &array, rc_entry **entries, int *count, int *capacity)
{
	int room = array.count > 0 ? array.count : 1;
	void *fitted = std::realloc(array.entries, static_cast<std::size_t>(room) * sizeof(rc_entry));
	if (fitted != nullptr) {
		array.entries = static_cast<rc_entry *>(fitted);
		array.capacity = room;
	} else if (array.entries == nullptr) {
		out_of_memory();
	}
	std::memset(array.entries + array.count, 0,
		    static_cast<std::size_t>(array.capacity - array.count) * sizeof(rc_entry));
	*entries = array.entries;
	*count = array.count;
	*capacity = array.capacity;
}

} // namespace

int read_rc_stream(FILE *in, rc_lists *lists)
{
	growing_array knobs = {};
	growing_array strings = {};
	rc_entry current = {};
	bool push_back = false;
	set_tokenizer_input(in);
	for (;;) {
		if (push_back)
			push_back = false;
		else if (next_token() == 0)
			break;
		copy_field(current.name, up_to_any(up_to_nul(token_text()), "="));
		bool string_valued = is_string_valued(current.name);

		if (next_token() == 0)
			break;
		classify(&current, token_text(), string_valued);

		if (next_token() == 0)
			break;
		std::string_view text = token_text();
		if (text[0] == '#')
			copy_field(current.comment, up_to_any(up_to_nul(text.substr(1)), "\n"));
		else
			push_back = true;
		file_record(current, knobs, strings);
		current = rc_entry{};
	}
	file_record(current, knobs, strings);
	finish(knobs, &lists->knobs, &lists->knob_count, &lists->knob_capacity);
	finish(strings, &lists->strings, &lists->string_count, &lists->string_capacity);
	return 0;
}

int read_rc_file(const char *path, rc_lists *lists)
{
	FILE *in = std::fopen(path, "r");
	if (in == nullptr) {
		growing_array no_knobs = {};
		growing_array no_strings = {};
		finish(no_knobs, &lists->knobs, &lists->knob_count, &lists->knob_capacity);
		finish(no_strings, &lists->strings, &lists->string_count, &lists->string_capacity);
		return 0;
	}
	read_rc_stream(in, lists);
	std::fclose(in);
	return 0;
}
