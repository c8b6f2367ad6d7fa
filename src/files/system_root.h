// The root folder under which Kelvane finds the system's files, "/" or the one given with -R, and opening the files through it.
#pragma once

#include <dirent.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

// Takes dir as the root of every system path from now on; "" or "/" is the
// machine's own root. Returns 0, or -1 with errno set when dir is no folder.
int set_system_root(const char *dir);

// The root in force, without a trailing "/": "" for the machine's own.
const std::string &system_root();

// A system path as it is named under the root: the root, then the path as
// the system sees it, relative to its "/" when it is relative, with empty and
// "." components and ".." at the system's "/" left out.
std::string under_root(std::string_view path);

// The open, stat and access below resolve a path that names a file under the
// root (it begins with the root and a "/") inside the root, as a chroot into
// it would (root_path.h), and any other path as this machine resolves it.

// Opens path with flags and O_NOCTTY, O_NONBLOCK and O_CLOEXEC. A descriptor, or -1 with errno set.
int open_system_file(const char *path, int flags, mode_t mode = 0);

// The status of the file path leads to, without opening it. 0, or -1 with errno set.
int stat_system_file(const char *path, struct stat &info);

// Whether this user, with the effective ids, may access path as mode asks. 0, or -1 with errno set.
int access_system_file(const char *path, int mode);

// The folder path, opened for listing; nullptr with errno set.
DIR *open_system_folder(const char *path);
