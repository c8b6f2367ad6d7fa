// The per-user file ~/.kelvane-pending that keeps changes not saved when Kelvane is ended from outside.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <vector>

// $HOME/.kelvane-pending, or "" when HOME is not set.
std::string recovery_path();

// The name the changes are kept under for the machine's file at rc_path:
// absolute, so that a start from another folder finds the same file.
std::string recovery_key(const char *rc_path);

// Writes the changes for the file key names to path, whole or not at all
// (a new file renamed into place), mode 0600, never through a link. Returns
// 0, or -1 (nothing written) when it fails or the text would pass
// recovery_limit.
int write_recovery_file(const std::string &path, const std::string &key, const std::vector<rc_entry> &changes);

// Reads the changes kept at path for the file key names: 0 with them, or -1
// when the file is missing, not the user's own regular file, larger than
// recovery_limit, not in the form written, or kept for another file.
int read_recovery_file(const std::string &path, const std::string &key, std::vector<rc_entry> &changes);

// The most bytes the file may hold.
constexpr std::size_t recovery_limit = 16u << 20;
