// The root folder under which Kelvane finds the system's files: "/" or the one given with -R.
#pragma once

#include <string>
#include <string_view>

// Takes dir as the root of every system path from now on; "" or "/" is the
// machine's own root. Returns 0, or -1 with errno set when dir is no folder.
int set_system_root(const char *dir);

// The root in force, without a trailing "/": "" for the machine's own.
const std::string &system_root();

// An absolute system path as it is seen under the root.
std::string under_root(std::string_view path);
