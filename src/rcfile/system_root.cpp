// The root folder of the system being edited: a jail or a mounted disk is edited through its own paths.
#include "rcfile/system_root.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

// Absolute and without symbolic links, so that the title names the files Save changes.
std::string root;

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
	root = resolved;
	std::free(resolved);
	if (root == "/")
		root.clear();
	return 0;
}

const std::string &system_root()
{
	return root;
}

std::string under_root(std::string_view path)
{
	return root + std::string(path);
}
