// Reading one rc.conf file into knob and string arrays.
#pragma once

#include "model/rc_entry.h"

#include <cstdio>
#include <string_view>

// The names whose value "NO" makes a string, not a knob.
extern const char *const string_valued_names[36];

// Reads the file at path into lists, replacing all its fields. A file that
// is missing or no regular file gives two empty arrays (open_for_reading
// notes why). Always returns 0.
int read_rc_file(const char *path, rc_lists *lists);

// Reads an open stream into lists, as read_rc_file does with its file.
int read_rc_stream(FILE *in, rc_lists *lists);

// The line of the first return or exit at the top level of text, where the
// boot's reading of the file ends; 0 when it reads the text to its end.
// while_waiting, when given, is called now and then on a long text.
int early_end_line(std::string_view text, void (*while_waiting)() = nullptr);
