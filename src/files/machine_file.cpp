// Where the machine's rc.conf is, under the system root or where KELVANE_RC names it, and whether this user may append to it.
#include "files/machine_file.h"

#include "files/system_root.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

const char *local_rc_path()
{
	static std::string rooted;
	if (const char *path = std::getenv("KELVANE_RC"))
		return path;
	rooted = under_root(default_rc_path);
	return rooted.c_str();
}

bool may_append(const char *path)
{
	// Nothing is opened: a device may act on it, a FIFO opened for writing wakes its reader.
	struct stat info;
	if (stat_system_file(path, info) == 0)
		return S_ISREG(info.st_mode) && access_system_file(path, R_OK | W_OK) == 0;
	if (errno != ENOENT)
		return false;
	// A file that does not exist yet is made in its folder.
	std::string folder = path;
	std::size_t slash = folder.rfind('/');
	folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
	return access_system_file(folder.c_str(), W_OK | X_OK) == 0;
}
