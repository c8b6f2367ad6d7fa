// Appending the changed entries to the machine's rc.conf as one dated block.
#include "rcfile/delta_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *default_rc_path = "/etc/rc.conf";
constexpr std::size_t date_size = 256;   // room for ctime_r's text
constexpr std::size_t header_limit = 255; // header bytes, terminator included

// One assignment line; the comment goes behind a tab only when asked for.
void append_line(std::string &block, const rc_entry &entry, std::string_view value)
{
	block.append(field_text(entry.name));
	block += '=';
	block.append(value);
	if (entry.has_comment != 0) {
		block.append("\t# ");
		block.append(field_text(entry.comment));
	}
	block += '\n';
}

// Writes all of data, going on after short writes and interrupted calls.
int write_all(int fd, const std::string &data)
{
	const char *next = data.data();
	std::size_t left = data.size();
	while (left > 0) {
		ssize_t done = write(fd, next, left);
		if (done < 0 && errno == EINTR)
			continue;
		if (done <= 0)
			return -1;
		next += done;
		left -= static_cast<std::size_t>(done);
	}
	return 0;
}

// A device that cannot be synced (/dev/null) has nothing to lose.
int sync_file(int fd)
{
	if (fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
		return 0;
	return -1;
}

// Cutting back can fail in turn (a device such as /dev/full cannot be
// cut); the save has failed either way, so there is nothing more to do.
void cut_back(int fd, off_t length)
{
	while (ftruncate(fd, length) == -1 && errno == EINTR)
		;
}

// A written entry is as if just read from disk: saved state = current state.
void mark_saved(rc_entry *entries, int count, bool knobs)
{
	for (int i = 0; i < count; i++) {
		rc_entry &entry = entries[i];
		if (entry.modified != 1)
			continue;
		entry.modified = 0;
		entry.has_comment = 0;
		entry.is_new = 0;
		if (knobs)
			entry.saved_knob_on = entry.knob_on;
		else
			copy_value(entry.saved_value, field_text(entry.value));
	}
}

} // namespace

const char *local_rc_path()
{
	const char *path = std::getenv("KELVANE_RC");
	return path != nullptr ? path : default_rc_path;
}

std::string format_deltas(const rc_entry *knobs, int knob_count, const rc_entry *strings,
			  int string_count, const char *date_text)
{
	char header[header_limit];
	std::snprintf(header, sizeof header, "\n# Kelvane generated deltas - %s", date_text);
	std::string block(header);
	// Without its newline the header would swallow the first assignment.
	if (block.back() != '\n')
		block += '\n';
	for (int i = 0; i < knob_count; i++) {
		if (knobs[i].modified == 1)
			append_line(block, knobs[i], knobs[i].knob_on == 1 ? "\"YES\"" : "\"NO\"");
	}
	for (int i = 0; i < string_count; i++) {
		if (strings[i].modified == 1)
			append_line(block, strings[i], field_text(strings[i].value));
	}
	return block;
}

int write_deltas(rc_entry *knobs, int knob_count, rc_entry *strings, int string_count)
{
	const char *path = local_rc_path();
	int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
	if (fd == -1)
		return deltas_open_failed;

	struct stat before;
	if (fstat(fd, &before) == -1) {
		close(fd);
		return deltas_write_failed;
	}
	char date[date_size];
	std::time_t now = std::time(nullptr);
	if (ctime_r(&now, date) == nullptr)
		date[0] = '\0';
	std::string block = format_deltas(knobs, knob_count, strings, string_count, date);

	// A half-written block could leave an unterminated quote that stops the
	// boot scripts: on any failure the file goes back to its old length.
	if (write_all(fd, block) == -1 || sync_file(fd) == -1) {
		cut_back(fd, before.st_size);
		close(fd);
		return deltas_write_failed;
	}
	// The descriptor is gone once close has returned, so cut back by path.
	if (close(fd) == -1) {
		while (truncate(path, before.st_size) == -1 && errno == EINTR)
			;
		return deltas_write_failed;
	}
	mark_saved(knobs, knob_count, true);
	mark_saved(strings, string_count, false);
	return deltas_written;
}
