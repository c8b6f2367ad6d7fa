// The root folder of the system being edited: a jail or a mounted disk is edited through its own paths.
#include "files/system_root.h"

#include "files/root_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Absolute and without symbolic links, so that the title names the files Save changes.
std::string root;
// The root folder, open from the moment it was given: what a chroot would hold. -1 for the machine's own.
int root_fd = -1;

// The part of path that lies under the root, as the system sees it; false when path is not under it.
bool inside(const char *path, std::string_view &rest)
{
	std::string_view whole(path);
	if (root.empty() || whole.compare(0, root.size(), root) != 0)
		return false;
	rest = whole.substr(root.size());
	return rest.empty() || rest[0] == '/';
}

} // namespace

int set_system_root(const char *dir)
{
	struct stat st;
	if (stat(dir, &st) == -1)
		return -1;
	if (!S_ISDIR(st.st_mode)) {
		errno = ENOTDIR;
		return -1;
	}
	char *resolved = realpath(dir, nullptr);
	if (resolved == nullptr)
		return -1;
	std::string given = resolved;
	std::free(resolved);
	int fd = -1;
	if (given != "/") {
		fd = open(given.c_str(), O_RDONLY | O_DIRECTORY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
		if (fd == -1)
			return -1;
	}
	if (root_fd != -1)
		close(root_fd);
	root_fd = fd;
	root = given == "/" ? "" : given;
	return 0;
}

const std::string &system_root()
{
	return root;
}

std::string under_root(std::string_view path)
{
	if (root.empty())
		return std::string(path);
	// Only what means the same whatever links the root holds is tidied: past the
	// first real component a ".." depends on where that component leads.
	std::string tidy;
	bool raw = false;
	for (std::size_t at = 0; at <= path.size();) {
		std::size_t end = path.find('/', at);
		if (end == std::string_view::npos)
			end = path.size();
		std::string_view part = path.substr(at, end - at);
		at = end + 1;
		if (part.empty() || part == "." || (part == ".." && !raw))
			continue;
		raw = true;
		tidy += '/';
		tidy += part;
	}
	return root + (tidy.empty() ? "/" : tidy);
}

int open_system_file(const char *path, int flags, mode_t mode)
{
	std::string_view rest;
	if (inside(path, rest))
		return open_in_root(root_fd, rest, flags, mode);
	return open(path, flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, mode);
}

int stat_system_file(const char *path, struct stat &info)
{
	std::string_view rest;
	return inside(path, rest) ? stat_in_root(root_fd, rest, info) : stat(path, &info);
}

int access_system_file(const char *path, int mode)
{
	std::string_view rest;
	return inside(path, rest) ? access_in_root(root_fd, rest, mode) : faccessat(AT_FDCWD, path, mode, AT_EACCESS);
}

DIR *open_system_folder(const char *path)
{
	int fd = open_system_file(path, O_RDONLY | O_DIRECTORY);
	if (fd == -1)
		return nullptr;
	DIR *dir = fdopendir(fd);
	if (dir == nullptr) {
		int error = errno;
		close(fd);
		errno = error;
	}
	return dir;
}
