// The per-user file ~/.kelvane-pending that keeps, for each machine's file, the changes not saved when Kelvane is ended from outside.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <vector>

// What reading the file found.
enum class kept_state {
	none,       // no file, or no changes kept for this machine's file
	kept,       // changes kept for it, read
	not_plain,  // a link, no regular file, or a file with other names
	not_own,    // another user's file
	open_mode,  // its mode is not 0600
	home_open,  // its folder is not one of the user's or root's that only its owner may write
	unreadable, // larger than recovery_limit, not in a form written, or not readable
};

// $HOME/.kelvane-pending, or "" when HOME is not set or empty.
std::string recovery_path();

// The name the changes are kept under for the machine's file at rc_path:
// absolute, so that a start from another folder finds the same file.
std::string recovery_key(const char *rc_path);

// Keeps changes in the file at path as the section of the machine's file
// key names, in place of the one it held: the other files' sections stay
// byte for byte, unless the file was not to be trusted (read_recovery_file),
// whose sections go. With no changes, removes key's section, and the file
// when no other is left. Whole or not at all (a new file of mode 0600
// renamed into place, never through a link), under a lock that other runs
// take too. Returns 0, or -1 (nothing changed) when it fails, when the
// folder is not to be trusted, or the text would pass recovery_limit.
int write_recovery_file(const std::string &path, const std::string &key, const std::vector<rc_entry> &changes);

// Reads the changes kept at path for the file key names, only from the
// user's own regular file with one name and mode 0600, opened without
// following a link, in a folder owned by the user or root that others may
// not write; kept_state::kept with them, or what was found.
kept_state read_recovery_file(const std::string &path, const std::string &key, std::vector<rc_entry> &changes);

// The most bytes the file may hold.
constexpr std::size_t recovery_limit = 16u << 20;
