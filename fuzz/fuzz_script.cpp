// Fuzz target: reads arbitrary bytes as an rc.d script, lays what it gives its variables over no files, and works out their values at boot.
#include "boot/boot_history.h"
#include "boot/boot_value.h"
#include "boot/defaults.h"
#include "boot/service_script.h"
#include "boot/services.h"
#include "boot/sources.h"
#include "files/open_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

bool terminated(const char (&field)[field_size])
{
	return std::memchr(field, '\0', field_size) != nullptr;
}

void check_script(const service_script &script)
{
	if (!is_variable_name(script.name) || (!script.rcvar.empty() && !is_variable_name(script.rcvar)))
		std::abort();
	for (const script_step &step : script.steps) {
		if (step.what == script_step::read_config && step.config.empty())
			std::abort();
		if (step.what == script_step::give_default &&
		    (!is_variable_name(step.variable) || step.value.text.size() >= field_size ||
		     (step.value.knob && !step.value.text.empty())))
			std::abort();
	}
}

// The entries a service gives: its own variables, each once, fields bounded.
void check_entries(const service_script &script, const rc_entry *entries, int count, int is_knob)
{
	for (int i = 0; i < count; i++) {
		const rc_entry &e = entries[i];
		if (!terminated(e.name) || !terminated(e.value) || !terminated(e.saved_value) || !terminated(e.comment))
			std::abort();
		std::string name(field_text(e.name));
		if (e.is_knob != is_knob || (name != script.rcvar && name.compare(0, script.name.size(), script.name) != 0))
			std::abort();
		note_service_value(e);
		describe_variable(script.name, name);
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	// Some systems refuse a memory stream of size 0.
	FILE *in = size == 0 ? std::fopen("/dev/null", "r") : fmemopen(const_cast<std::uint8_t *>(data), size, "r");
	if (in == nullptr)
		return 0;
	clear_read_notes();
	clear_sources();
	clear_defaults();
	clear_history();
	forget_boot_values();
	service_script script;
	int status = read_service_stream(in, "/etc/rc.d/fuzz", script);
	std::fclose(in);
	if (status != 0)
		return 0;
	check_script(script);
	std::vector<service_script> services;
	services.push_back(script);
	rc_lists merged = {};
	if (lay_services(&merged, std::move(services), {}) == 0) {
		check_entries(script, merged.knobs, merged.knob_count, 1);
		check_entries(script, merged.strings, merged.string_count, 0);
		for (int i = 0; i < merged.string_count; i++)
			if (entry_value_at_boot(merged.strings[i]).text.size() > (std::size_t{1} << 16))
				std::abort();
	}
	free_lists(merged);
	return 0;
}
