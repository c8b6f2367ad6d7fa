// Resolving a path under a root folder as a process chrooted into it would, never leaving that folder.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

// The most symbolic links one resolution follows before it fails with ELOOP, as FreeBSD's MAXSYMLINKS.
constexpr int root_link_limit = 32;

// Where a path leads under a root: the folder, held open, that holds its
// last component, and that component's name, which was no symbolic link when
// looked at ("." when the path ends at a folder, as the root itself does).
struct root_place {
	int folder = -1;
	std::string name;

	root_place() = default;
	~root_place();
	root_place(const root_place &) = delete;
	root_place &operator=(const root_place &) = delete;
};

// Walks path one component at a time down from the folder open on root,
// opening no component through a link: empty and "." components are passed
// over, ".." goes up but never above root, and a symbolic link is read and its
// target walked in its place, an absolute one from root again. The last
// component is followed when it is a link only when follow_last. A missing last
// component is found all the same. 0, or -1 with errno set: ELOOP after
// root_link_limit links, or what opening a folder on the way gave.
int find_in_root(int root, std::string_view path, bool follow_last, root_place &place);

// Opens path under root as find_in_root leads, with flags and O_NOFOLLOW,
// O_NOCTTY, O_NONBLOCK and O_CLOEXEC; with O_CREAT the last component is not
// followed, so nothing is made through a link. A descriptor, or -1 with errno set.
int open_in_root(int root, std::string_view path, int flags, mode_t mode = 0);

// The status of the file path leads to under root, without opening it. 0, or -1 with errno set.
int stat_in_root(int root, std::string_view path, struct stat &info);

// faccessat with the effective ids for the file path leads to under root. 0, or -1 with errno set.
int access_in_root(int root, std::string_view path, int mode);
