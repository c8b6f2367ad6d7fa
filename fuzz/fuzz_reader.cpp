// Fuzz target: reads arbitrary bytes as an rc.conf file, checks the lists it gives, and works out the values at boot.
#include "boot/boot_history.h"
#include "boot/boot_value.h"
#include "shell/reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ascii_alnum(char c)
{
	return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// What sh takes as a variable's name, not beginning with "_".
bool shell_name(const char (&name)[field_size])
{
	if (!ascii_alnum(name[0]) || (name[0] >= '0' && name[0] <= '9'))
		return false;
	for (const char *c = name; *c != '\0'; c++) {
		if (!ascii_alnum(*c) && *c != '_')
			return false;
	}
	return true;
}

bool terminated(const char (&field)[field_size])
{
	return std::memchr(field, '\0', field_size) != nullptr;
}

void check_entries(const rc_entry *entries, int count, int capacity, int is_knob)
{
	if (entries == nullptr || count < 0 || capacity < (count > 0 ? count : 1))
		std::abort();
	for (int i = 0; i < count; i++) {
		const rc_entry &e = entries[i];
		if (!terminated(e.name) || !terminated(e.value) || !terminated(e.saved_value) || !terminated(e.comment))
			std::abort();
		if (!shell_name(e.name) || e.is_knob != is_knob || e.modified != 0 || e.has_comment != 0)
			std::abort();
		if (is_knob && (e.value[0] != '\0' || e.knob_on != e.saved_knob_on))
			std::abort();
		if (!is_knob && (e.knob_on != 0 || std::strcmp(e.value, e.saved_value) != 0))
			std::abort();
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	// Some systems refuse a memory stream of size 0.
	FILE *in = size == 0 ? std::fopen("/dev/null", "r")
	                     : fmemopen(const_cast<std::uint8_t *>(data), size, "r");
	if (in == nullptr)
		return 0;
	rc_lists lists = {};
	clear_history();
	forget_boot_values();
	script_observer watch;
	watch.command = [](const top_command &command) { note_command(1, command); };
	watch.comment = [](std::string_view, comment_place) {};
	watch.compound = [](const top_compound &compound) { note_compound(1, compound); };
	read_observed_stream(in, &lists, &watch);
	std::fclose(in);
	// Every value is worked out here, the first time one is asked for.
	if (value_at_boot("a").text.size() > (std::size_t{1} << 16))
		std::abort();
	check_entries(lists.knobs, lists.knob_count, lists.knob_capacity, 1);
	check_entries(lists.strings, lists.string_count, lists.string_capacity, 0);
	std::free(lists.knobs);
	std::free(lists.strings);
	return 0;
}
