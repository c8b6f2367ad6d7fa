// Reading an rc.d script without running it: its service's name, rcvar and description, and the defaults it gives.
#pragma once

#include "model/rc_entry.h"

#include <cstdio>
#include <string>
#include <vector>

// A default as rc.conf would hold it: what an entry read from
// "variable=text" holds, kept small, as a script may give thousands.
struct script_value {
	bool knob;
	bool on;          // knob: YES
	std::string text; // string: the value, quotes included
	int value_lock;   // string: value_lock bits
};

// What the script does to a variable rc.conf may set, or the reading of
// rc.conf.d files, in the order the script does it at its top level.
struct script_step {
	enum kind { give_default, read_config } what;
	std::string variable; // give_default: the variable
	script_value value;   // give_default: the default
	bool when_empty;      // give_default: also when the variable is set to "" (":=", ":-", [ -z ])
	std::string config;   // read_config: the name load_rc_config seeks rc.conf.d files by
	int line;
};

// A variable's entry in the script's header: "# NAME (TYPE): TEXT", with
// the comment lines that go on with it.
struct script_note {
	std::string variable;
	std::string type; // as written: bool, str, int, ...
	std::string text;
};

struct service_script {
	std::string path;
	std::string name;  // the service's name
	std::string rcvar; // the variable that enables it, "" when it has none
	int rcvar_line;    // where the script sets it
	std::string desc;  // its description, "" when it gives none
	bool provides;     // a line begins with "# PROVIDE:", as rc looks for in local folders
	std::vector<script_step> steps;
	std::vector<script_note> notes;
};

// Reads the script at path, never running it. Returns 0, or -1 when it
// cannot be read, is larger than script_size_bound (open_file.h notes
// why), or its name or rcvar cannot be known without running it.
int read_service_script(const char *path, service_script &script);

// read_service_script for the script at path, read from in, which stays open.
int read_service_stream(FILE *in, const char *path, service_script &script);

// The entry rc.conf would hold for the default of a give_default step, at its line.
rc_entry default_entry(const script_step &step);

// The header note of variable, nullptr when the script gives none.
const script_note *note_of(const service_script &script, const std::string &variable);
