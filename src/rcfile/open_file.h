// Opening the files Kelvane reads without blocking, and the notes on the files passed over.
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// Why a file that exists was passed over.
enum class passed_over { folder, fifo, device, not_regular, unreadable };

// One file passed over.
struct read_note {
	std::string path;
	passed_over why;
	int error; // for unreadable: the errno of the failed open
};

// Opens path for reading without blocking on a FIFO or a device, and hands back a stream only
// for a regular file; anything else that exists (a folder, a FIFO, a device, a file that cannot
// be opened) is noted, naming the file, and gives nullptr. A missing file gives nullptr, unnoted.
// A path under the system root is resolved inside it (system_root.h).
FILE *open_for_reading(const char *path);

// The notes taken since the last clear_read_notes, oldest first.
const std::vector<read_note> &read_notes();

// Forgets the notes taken so far.
void clear_read_notes();

// The English printf format of a note: %s the path, and for unreadable a second %s the system's words.
const char *note_format(passed_over why);

// A note as one line of English, for standard error.
std::string note_line(const read_note &note);

// Opens path with flags (and mode, when they create it) only when it is this user's own regular
// file with no other name, never through a symbolic link and never blocking; -1 otherwise.
int open_own_file(const char *path, int flags, mode_t mode = 0666);
