// The files the last load read, in the order the boot reads them, and which of them gave an entry its value.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <vector>

// What a file is to the boot.
enum class source_kind {
	defaults,     // /etc/defaults/rc.conf
	vendor,       // /etc/defaults/vendor.conf, read at the defaults' end
	machine,      // the machine's rc.conf, which Save appends to
	later,        // a file rc_conf_files lists after the machine's
	script,       // an rc.d script giving a default to a variable of its own
	service_file, // an rc.conf.d file, read when its service starts
};

struct source_file {
	std::string path;
	source_kind kind;
	std::string service; // script and service_file: the service's name
};

// The files read, in order; an entry's source is 1 + its index here.
const std::vector<source_file> &sources();

// Records a file read and returns what an entry read from it holds as its source.
int add_source(std::string path, source_kind kind, std::string service = "");

// Forgets every file, before the files are read again.
void clear_sources();

// Marks every entry of lists as read from source.
void mark_source(rc_lists &lists, int source);

// The file that source stands for, nullptr for none.
const source_file *source_at(int source);

// Whether source is a service's: its script or one of its rc.conf.d files.
bool is_service_source(int source);

// The file that gives entry its value, nullptr for one added in the window.
const source_file *source_of(const rc_entry &entry);

// Whether the boot reads the file that gives entry its value after the
// machine's file, so that a change appended to the machine's would not count.
bool set_later(const rc_entry &entry);
