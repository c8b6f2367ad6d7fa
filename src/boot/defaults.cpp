// The defaults of the last load, one a name, and the test of an entry against its own.
#include "boot/defaults.h"

#include <unordered_map>

namespace {

std::unordered_map<std::string, default_value> defaults;

} // namespace

void clear_defaults()
{
	defaults.clear();
}

void set_default(const rc_entry &entry)
{
	defaults[std::string(field_text(entry.name))] = {entry.is_knob != 0, entry.knob_on != 0,
							  entry.is_knob != 0 ? "" : std::string(field_text(entry.value)),
							  entry.source, entry.line};
}

const default_value *default_of(std::string_view name)
{
	auto at = defaults.find(std::string(name));
	return at == defaults.end() ? nullptr : &at->second;
}

bool holds_default(const rc_entry &entry)
{
	const default_value *d = default_of(field_text(entry.name));
	if (d == nullptr || d->knob != (entry.is_knob != 0))
		return false;
	return d->knob ? d->on == (entry.knob_on != 0) : d->text == field_text(entry.value);
}

std::string default_text(const default_value &d)
{
	return d.knob ? (d.on ? "\"YES\"" : "\"NO\"") : d.text;
}
