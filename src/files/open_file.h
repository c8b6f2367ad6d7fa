// Opening the files Kelvane reads without blocking, and the notes on the files passed over.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// The most bytes Kelvane reads of an rc.d script, and of each file read as
// rc.conf (the defaults, the machine's file, the files read after it and
// rc.conf.d files): many times any real one, yet a file a jail has made
// huge is passed over at once instead of read for seconds.
constexpr std::size_t script_size_bound = std::size_t{1} << 20;
constexpr std::size_t file_size_bound = std::size_t{16} << 20;

// Why a file that exists was passed over.
enum class passed_over { folder, fifo, device, not_regular, unreadable, too_large };

// One file passed over.
struct read_note {
	std::string path;
	passed_over why;
	int error; // for unreadable: the errno of the failed open
};

// Opens path for reading without blocking on a FIFO or a device, and hands back a stream only
// for a regular file of at most bound bytes; anything else that exists (a folder, a FIFO, a
// device, a larger file, a file that cannot be opened) is noted, naming the file, and gives
// nullptr. A missing file gives nullptr, unnoted. The reader must read no more than bound bytes:
// the file may grow. A path under the system root is resolved inside it (system_root.h).
FILE *open_for_reading(const char *path, std::size_t bound);

// Notes path, which exists, as passed over for the reason given.
void note_passed_over(const std::string &path, passed_over why);

// Why a file of this mode, which is not a regular file, is passed over.
passed_over reason_for_mode(mode_t mode);

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
