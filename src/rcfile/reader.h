// Reading one rc.conf file into knob and string arrays.
#pragma once

#include "model/rc_entry.h"

#include <cstdio>

// The names whose value "NO" makes a string, not a knob.
extern const char *const string_valued_names[36];

// Reads the file at path into lists, replacing all its fields. A file that
// cannot be opened gives two empty arrays. Always returns 0.
int read_rc_file(const char *path, rc_lists *lists);

// Reads an open stream into lists, as read_rc_file does with its file.
int read_rc_stream(FILE *in, rc_lists *lists);
