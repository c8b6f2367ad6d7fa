// Reading an rc.d script without running it: its service's name, rcvar and description, and the defaults it gives.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <vector>

// What the script does to a variable rc.conf may set, or the reading of
// rc.conf.d files, in the order the script does it at its top level.
struct script_step {
	enum kind { give_default, read_config } what;
	std::string variable; // give_default: the variable
	rc_entry value;       // give_default: the default, as rc.conf would hold it
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
// cannot be read or its name or rcvar cannot be known without running it.
int read_service_script(const char *path, service_script &script);

// The header note of variable, nullptr when the script gives none.
const script_note *note_of(const service_script &script, const std::string &variable);
