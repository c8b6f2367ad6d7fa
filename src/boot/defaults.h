// What each variable holds at boot when the machine's own files set nothing: its default.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <string_view>

// A default, as the defaults file, vendor.conf or a service's script gives it.
struct default_value {
	bool knob;
	bool on;          // a knob's state
	std::string text; // a string's value, quotes included, as a row shows it
	int source;       // as rc_entry::source
	int line;
};

// A default's value as rc.conf writes it: a knob's is "YES" or "NO" in quotes.
std::string default_text(const default_value &d);

// Forgets every default, before the files are read again.
void clear_defaults();

// Takes entry's state or value as its name's default, replacing one taken before.
void set_default(const rc_entry &entry);

// name's default, nullptr when nothing but the machine's files sets it.
const default_value *default_of(std::string_view name);

// Whether entry holds what its default gives, kind and all.
bool holds_default(const rc_entry &entry);
