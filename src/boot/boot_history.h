// What the top-level commands of the files the boot reads do to variables, in the boot's order.
#pragma once

#include "model/rc_entry.h"
#include "shell/reader.h"

#include <string>
#include <vector>

// One thing that sets variables for sure where it stands: what the load's
// observer saw a file run at its top level, first in its and-or list, or what
// a service's script or rc.conf.d file gives one of its variables.
struct history_step {
	enum kind {
		assignment, // name=word
		expansion,  // a word of ": ..." expanded for what its ${v:=w} and ${v=w} assign
		lost,       // a command too long to keep: it may have set anything
		left_unset, // a service's rcvar that nothing sets: the boot leaves it unset
	} what;
	std::string name; // assignment, left_unset: the variable
	std::string word; // as written, quotes included
	bool cut;         // word holds only its beginning
	int source;       // as rc_entry::source
	int line;
	int order;        // a service's value: the line of its script where it is given
};

// A top-level command of a file that may set variables in ways no row
// shows: a loop, if, case or braces holding such commands, a for loop, eval,
// read, ".", export and the like, a call of a function the files define, a
// word holding ${v:=w} or ${v=w}, an assignment that may not run (after &&
// or ||) or one before a special built-in.
struct setting_command {
	int source;
	int line;         // where it begins
	std::string what; // the keyword, the command's name, or "=" for an assignment
};

// Forgets what the last load noted.
void clear_history();

// Notes a command that the file of the source given runs at its top level,
// as the load's observer sees it.
void note_command(int source, const top_command &command);

// Notes a compound command that the file of the source given runs, as the
// load's observer sees it.
void note_compound(int source, const top_compound &compound);

// Notes what gives entry, whose source is a service's script or rc.conf.d
// file, its value when its service starts. Throws std::bad_alloc when
// memory runs out, as the two above do inside the reader.
void note_service_value(const rc_entry &entry);

// What the files and services set, in the boot's order: the files' steps,
// then the services' in the order of each one's script.
const std::vector<history_step> &history();

// The commands of every file read that may set variables in ways no row shows.
const std::vector<setting_command> &setting_commands();

// The lines of those commands in the machine's file, in order (those found
// before memory ran out, if it did).
std::vector<int> machine_setting_lines();
