// Opening a file to read: only a regular file is read, and a FIFO or a device never holds up the open.
#include "rcfile/open_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *open_for_reading(const char *path)
{
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (fd == -1)
		return nullptr;
	struct stat st;
	int flags = fcntl(fd, F_GETFL);
	if (fstat(fd, &st) == -1 || !S_ISREG(st.st_mode) || flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
		close(fd);
		return nullptr;
	}
	FILE *in = fdopen(fd, "r");
	if (in == nullptr)
		close(fd);
	return in;
}
