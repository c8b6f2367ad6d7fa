// Opening the files Kelvane reads without blocking on a FIFO or a device, and the notes on the ones passed over.
#include "files/open_file.h"

#include "files/system_root.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Marks a text for the message catalogue; the window translates it when it shows it.
#define N_(text) text

namespace {

// The notes since the last clear.
std::vector<read_note> notes;

constexpr const char *note_formats[] = {
	N_("'%s' is a folder, not a file: passed over"),
	N_("'%s' is a FIFO, not a file: passed over"),
	N_("'%s' is a device, not a file: passed over"),
	N_("'%s' is not a regular file: passed over"),
	// TRANSLATORS: the second %s is the system's reason, such as "Permission denied".
	N_("Can't read '%s' (%s): passed over"),
	N_("'%s' is too large to read: passed over"),
};

passed_over kind_of(mode_t mode)
{
	if (S_ISDIR(mode))
		return passed_over::folder;
	if (S_ISFIFO(mode))
		return passed_over::fifo;
	if (S_ISCHR(mode) || S_ISBLK(mode))
		return passed_over::device;
	return passed_over::not_regular;
}

FILE *pass_over(const char *path, passed_over why, int error = 0)
{
	notes.push_back({path, why, error});
	return nullptr;
}

} // namespace

FILE *open_for_reading(const char *path, std::size_t bound)
{
	// Looked at before it is opened: opening some devices does something
	// (a tape rewinds when closed), and a FIFO would wait for a writer.
	struct stat info;
	if (stat_system_file(path, info) == -1) {
		if (errno == ENOENT || errno == ENOTDIR)
			return nullptr;
		return pass_over(path, passed_over::unreadable, errno);
	}
	if (!S_ISREG(info.st_mode))
		return pass_over(path, kind_of(info.st_mode));
	// It may have been replaced since: O_NONBLOCK keeps a FIFO in its place from waiting.
	int fd = open_system_file(path, O_RDONLY);
	if (fd == -1)
		return pass_over(path, passed_over::unreadable, errno);
	if (fstat(fd, &info) == -1) {
		int error = errno;
		close(fd);
		return pass_over(path, passed_over::unreadable, error);
	}
	if (!S_ISREG(info.st_mode)) {
		close(fd);
		return pass_over(path, kind_of(info.st_mode));
	}
	// Looked at before a byte is read: a sparse file may say it holds terabytes.
	if (static_cast<std::uintmax_t>(info.st_size) > bound) {
		close(fd);
		return pass_over(path, passed_over::too_large);
	}
	FILE *in = fdopen(fd, "r");
	if (in == nullptr) {
		int error = errno;
		close(fd);
		return pass_over(path, passed_over::unreadable, error);
	}
	return in;
}

const std::vector<read_note> &read_notes()
{
	return notes;
}

void clear_read_notes()
{
	notes.clear();
}

void note_passed_over(const std::string &path, passed_over why)
{
	notes.push_back({path, why, 0});
}

passed_over reason_for_mode(mode_t mode)
{
	return kind_of(mode);
}

const char *note_format(passed_over why)
{
	return note_formats[static_cast<int>(why)];
}

std::string note_line(const read_note &note)
{
	std::string line = note_format(note.why);
	std::string reason = note.why == passed_over::unreadable ? std::strerror(note.error) : "";
	// Each %s is looked for behind what the last one became: a path may hold "%s".
	std::size_t from = 0;
	for (const std::string *part : {&note.path, static_cast<const std::string *>(&reason)}) {
		std::size_t at = line.find("%s", from);
		if (at == std::string::npos)
			break;
		line.replace(at, 2, *part);
		from = at + part->size();
	}
	return line;
}

int open_own_file(const char *path, int flags, mode_t mode)
{
	int fd = open(path, flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, mode);
	if (fd == -1)
		return -1;
	struct stat info;
	if (fstat(fd, &info) == -1 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() || info.st_nlink != 1) {
		close(fd);
		return -1;
	}
	return fd;
}
