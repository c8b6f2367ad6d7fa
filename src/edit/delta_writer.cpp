// Appending the changed entries to the machine's rc.conf as one dated block.
#include "edit/delta_writer.h"

#include "boot/sources.h"
#include "files/file_state.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "shell/reader.h"
#include "shell/shell_check.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t date_size = 256;   // room for ctime_r's text
constexpr std::size_t header_limit = 255; // header bytes, terminator included
constexpr mode_t new_file_mode = 0644;    // root's boot file: others may read it, none but its owner write it

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

// While alive, a file size limit makes a write fail with EFBIG instead of
// killing the program with SIGXFSZ half way through a block.
struct sigxfsz_ignored {
	struct sigaction previous {};
	bool changed = false;

	sigxfsz_ignored()
	{
		struct sigaction ignore {};
		ignore.sa_handler = SIG_IGN;
		sigemptyset(&ignore.sa_mask);
		changed = sigaction(SIGXFSZ, &ignore, &previous) == 0;
	}
	~sigxfsz_ignored()
	{
		if (changed)
			sigaction(SIGXFSZ, &previous, nullptr);
	}
	sigxfsz_ignored(const sigxfsz_ignored &) = delete;
	sigxfsz_ignored &operator=(const sigxfsz_ignored &) = delete;
};

// Other saves wait for ours; a file system that cannot lock still gets the save.
int lock_file(int fd)
{
	while (flock(fd, LOCK_EX) == -1) {
		if (errno != EINTR)
			return errno == EOPNOTSUPP || errno == ENOLCK ? 0 : -1;
	}
	return 0;
}

// Writes as much of data as it can, at the end of the file, or at offset
// when one is given, going on after short writes and interrupted calls;
// returns how many bytes went out. At the end of the file, *landed (when
// given) gets the offset where the first bytes went: another program may
// have appended since the file was read.
std::size_t write_all(int fd, std::string_view data, off_t offset = -1, off_t *landed = nullptr)
{
	std::size_t sent = 0;
	while (sent < data.size()) {
		const char *next = data.data() + sent;
		std::size_t left = data.size() - sent;
		ssize_t done = offset < 0 ? write(fd, next, left)
					  : pwrite(fd, next, left, offset + static_cast<off_t>(sent));
		if (done < 0 && errno == EINTR)
			continue;
		if (done <= 0)
			break;
		if (sent == 0 && landed != nullptr) {
			off_t end = lseek(fd, 0, SEEK_CUR);
			*landed = end == -1 ? -1 : end - done;
		}
		sent += static_cast<std::size_t>(done);
	}
	return sent;
}

// A device that cannot be synced (/dev/null) has nothing to lose.
int sync_file(int fd)
{
	if (fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
		return 0;
	return -1;
}

int cut_back(int fd, off_t length)
{
	while (ftruncate(fd, length) == -1) {
		if (errno != EINTR)
			return -1;
	}
	return 0;
}

// Bytes another writer put behind ours must stay, so ours become one comment
// line where they are: the block starts with "\n#", its inner newlines turn
// into blanks and its last byte ends the line.
int comment_out(int fd, off_t start, std::string_view written)
{
	std::string line(written);
	for (std::size_t i = 1; i + 1 < line.size(); i++) {
		if (line[i] == '\n')
			line[i] = ' ';
	}
	line.back() = '\n';
	// pwrite on a descriptor opened with O_APPEND would append.
	int flags = fcntl(fd, F_GETFL);
	if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_APPEND) == -1)
		return -1;
	return write_all(fd, line, start) == line.size() ? 0 : -1;
}

// Up to size bytes of the file from offset, read through fd; 0 or -1.
int read_text(int fd, off_t size, std::string &text, off_t offset = 0)
{
	text.resize(static_cast<std::size_t>(size));
	std::size_t got = 0;
	while (got < text.size()) {
		ssize_t done = pread(fd, &text[got], text.size() - got, offset + static_cast<off_t>(got));
		if (done < 0 && errno == EINTR)
			continue;
		if (done < 0)
			return -1;
		if (done == 0)
			break;
		got += static_cast<std::size_t>(done);
	}
	text.resize(got);
	return 0;
}

// Whether the file holds bytes at offset, read through fd.
bool holds_at(int fd, off_t offset, std::string_view bytes)
{
	std::string found;
	return offset >= 0 && read_text(fd, static_cast<off_t>(bytes.size()), found, offset) == 0 && found == bytes;
}

// The whole file open on fd; 0 or -1.
int read_whole(int fd, std::string &text)
{
	struct stat now;
	return fstat(fd, &now) == -1 ? -1 : read_text(fd, now.st_size, text);
}

// Whether path, resolved again, still leads to the file open on fd.
bool path_leads_to(const char *path, int fd)
{
	struct stat at_path, opened;
	return stat_system_file(path, at_path) == 0 && fstat(fd, &opened) == 0 && at_path.st_dev == opened.st_dev &&
	       at_path.st_ino == opened.st_ino;
}

// The line of text that holds offset, from 1.
int line_at(const std::string &text, std::size_t offset)
{
	auto end = text.begin() + static_cast<std::ptrdiff_t>(std::min(offset, text.size()));
	return static_cast<int>(std::min<std::ptrdiff_t>(std::count(text.begin(), end, '\n') + 1, INT_MAX));
}

// What a check that did not pass makes of the save.
int refusal(int check)
{
	switch (check) {
	case shell_refuses:
		return deltas_file_broken;
	case ends_inside:
		return deltas_ends_inside;
	case shell_not_started:
		return deltas_no_shell;
	case shell_unsound:
		return deltas_shell_unsound;
	default:
		return deltas_shell_silent;
	}
}

// What a save needs besides the file.
struct save_context {
	const char *path;
	void (*while_waiting)();
	deltas_outcome &outcome;
	const char *shell;
};

// Whether lines added behind text, the file's beginning, are read at boot
// as commands of their own: deltas_written, or why not.
int judge(const std::string &text, save_context &save)
{
	int check = check_top_level(text, save.shell, shell_time_limit_ms, save.outcome.shell_words, save.while_waiting);
	if (check != ends_at_top_level)
		return refusal(check);
	save.outcome.end_line = early_end_line(text, save.while_waiting);
	return save.outcome.end_line == 0 ? deltas_written : deltas_ends_early;
}

// With the block written at start: the file must begin with the bytes
// judged and hold the block right behind them, and pass the check as the boot
// reads it whole. Then, since the shell takes its time, the path must still
// lead to this file and the file still begin with those bytes: a program that
// writes without the lock may have done anything meanwhile.
int judge_result(int fd, const std::string &text, off_t start, const std::string &block, save_context &save)
{
	std::string ours = text + block;
	std::string after;
	if (read_whole(fd, after) == -1)
		return deltas_write_failed;
	if (start != static_cast<off_t>(text.size()) || after.compare(0, ours.size(), ours) != 0)
		return deltas_changed_during;
	int check = check_top_level(after, save.shell, shell_time_limit_ms, save.outcome.shell_words, save.while_waiting);
	// The file passed before the block went in.
	if (check != ends_at_top_level)
		return after.size() == ours.size() ? refusal(check) : deltas_changed_during;
	if (!path_leads_to(save.path, fd))
		return deltas_replaced;
	return holds_at(fd, 0, ours) ? deltas_written : deltas_changed_during;
}

// A save taken back leaves the file as it was read, only newer: that is no
// change made behind the window's back.
void remember_taken_back(int fd, const std::string &text, const char *path)
{
	struct stat now;
	std::string after;
	if (fstat(fd, &now) == 0 && read_text(fd, now.st_size, after) == 0 && after == text)
		remember_state(path, state_of(now, hash_text(text)));
}

// Where written, the save's bytes, stand in text, the file at the path now:
// at offset when they are there, else anywhere; the outcome says where.
void find_left_block(const std::string &text, off_t offset, std::string_view written, deltas_outcome &outcome)
{
	std::size_t at = offset >= 0 && static_cast<std::size_t>(offset) <= text.size() &&
				 text.compare(static_cast<std::size_t>(offset), written.size(), written) == 0
				 ? static_cast<std::size_t>(offset)
				 : text.find(written);
	if (at == std::string::npos)
		outcome.fate = block_fate::none;
	else
		outcome.block_line = line_at(text, at + written.find('#'));
}

// A save that failed once it had written: takes its bytes back, cutting the
// file only when no other program is known to write it, and tells what is
// left of them in the file at the path. Bytes not where the save put them, or
// others behind them, are another program's doing.
int give_back(int fd, off_t start, std::string_view written, int result, save_context &save)
{
	// Empty lines alone read as nothing at boot.
	if (written.find_first_not_of('\n') == std::string_view::npos)
		return result;
	struct stat now;
	bool others = !holds_at(fd, start, written) || fstat(fd, &now) == -1 ||
		      now.st_size != start + static_cast<off_t>(written.size());
	if (others && result != deltas_replaced)
		result = deltas_changed_during;
	deltas_outcome &outcome = save.outcome;
	outcome.fate = take_back(fd, start, written, result != deltas_changed_during);
	std::string text;
	if (result == deltas_replaced) {
		// The file now at the path may hold a copy of the block that the other program made.
		outcome.fate = block_fate::none;
		int at_path = open_system_file(save.path, O_RDONLY);
		struct stat info;
		if (at_path != -1 && fstat(at_path, &info) == 0 && S_ISREG(info.st_mode) && read_whole(at_path, text) == 0) {
			outcome.fate = block_fate::left_in_file;
			find_left_block(text, -1, written, outcome);
		}
		if (at_path != -1)
			close(at_path);
	} else if (outcome.fate != block_fate::none && read_whole(fd, text) == 0) {
		if (outcome.fate == block_fate::commented_out)
			outcome.block_line = line_at(text, static_cast<std::size_t>(start) + written.find('#'));
		else
			find_left_block(text, start, written, outcome);
	}
	return result;
}

// Judges the file, appends the block, syncs it, judges the result, and takes
// the block back when anything fails, all under the lock so that another save
// cannot append in between. made: the save created the file.
int append_block(int fd, bool made, std::string block, save_context &save)
{
	if (lock_file(fd) == -1)
		return deltas_write_failed;
	struct stat before;
	if (fstat(fd, &before) == -1)
		return deltas_write_failed;
	// A file too large to read was passed over at load: what the window shows is not based on it.
	if (static_cast<std::uintmax_t>(before.st_size) > file_size_bound)
		return deltas_too_large;
	// Never on top of a change the window has not shown: the block is based on
	// what it shows. Another kind of file in the place of the one read is not read.
	const file_state *seen = remembered_state(save.path);
	if (seen != nullptr && !made && seen->type != (before.st_mode & S_IFMT))
		return deltas_changed_outside;
	std::string text;
	if (read_text(fd, before.st_size, text) == -1)
		return deltas_write_failed;
	file_state found = made ? file_state{} : state_of(before, hash_text(text));
	if (seen != nullptr && !same_state(*seen, found))
		return deltas_changed_outside;
	int judged = judge(text, save);
	if (judged != deltas_written)
		return judged;
	// The shell took its time: nothing goes to a file another program has put
	// aside or appended to meanwhile.
	struct stat judged_state;
	if (!path_leads_to(save.path, fd) || fstat(fd, &judged_state) == -1 || judged_state.st_size != before.st_size)
		return deltas_changed_outside;
	// An empty line parts the block from the file's last line, also when that has no newline.
	if (!text.empty() && text.back() != '\n')
		block.insert(0, 1, '\n');
	// The first assignment follows the empty line and the header.
	std::size_t header_end = block.find('\n', block.find('#'));
	std::size_t lines_before = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
				   static_cast<std::size_t>(std::count(block.begin(), block.begin() + header_end + 1, '\n'));
	save.outcome.first_line = static_cast<int>(std::min<std::size_t>(lines_before + 1, INT_MAX));
	// Once a byte of the block may be on disk, nothing else runs until the
	// entries are marked saved or the block is taken back: a handler that ends
	// the program and keeps the changes not saved must never keep one whose
	// block stays in the file, nor find a block not yet judged.
	save.while_waiting = nullptr;
	sigxfsz_ignored guard;
	off_t start = -1;
	std::size_t sent = write_all(fd, block, -1, &start);
	int result = deltas_write_failed;
	if (sent == block.size() && sync_file(fd) == 0)
		result = judge_result(fd, text, start, block, save);
	if (result != deltas_written) {
		// A half-written block could leave an unterminated quote that stops the
		// boot scripts. A program that writes without the lock could append
		// between a look at the length and a cut, so then the block only
		// becomes a comment.
		result = give_back(fd, start < 0 ? before.st_size : start, std::string_view(block).substr(0, sent), result,
				   save);
		if (seen != nullptr && result != deltas_replaced)
			remember_taken_back(fd, text, save.path);
		return result;
	}
	// What the window knows now is the bytes judged and its block: bytes
	// another program put in between still count as a change.
	struct stat now;
	if (seen != nullptr && fstat(fd, &now) == 0)
		remember_state(save.path, state_of(now, hash_text(block, hash_text(text))));
	return deltas_written;
}

// Opens path to read and append only when it leads to a regular file, looked
// at before it is opened (a FIFO opened for writing wakes its reader, a device
// may act on being opened) and again through the descriptor; makes it when it
// is missing and may_make. deltas_written with fd set, or why not.
int open_rc_file(const char *path, const file_state *seen, bool may_make, bool &made, int &fd)
{
	made = false;
	for (int tries = 0; tries < 3; tries++) {
		struct stat info;
		if (stat_system_file(path, info) == 0) {
			// Another kind of file in the place of the one read is a change first.
			if (!S_ISREG(info.st_mode))
				return seen != nullptr && seen->exists && seen->type != (info.st_mode & S_IFMT)
					       ? deltas_changed_outside
					       : deltas_not_regular;
			// Read as well as appended to: the shell judges the bytes this descriptor sees.
			fd = open_system_file(path, O_RDWR | O_APPEND);
			if (fd == -1 && errno == ENOENT)
				continue;
			if (fd == -1)
				return deltas_open_failed;
			if (fstat(fd, &info) == -1 || !S_ISREG(info.st_mode)) {
				close(fd);
				return deltas_not_regular;
			}
			return deltas_written;
		}
		if (errno != ENOENT)
			return deltas_open_failed;
		// A file that was read and is gone now is a change, not one to make anew.
		if (!may_make)
			return deltas_changed_outside;
		// Never made through a link, nor over a file made meanwhile.
		fd = open_system_file(path, O_RDWR | O_APPEND | O_CREAT | O_EXCL, new_file_mode);
		if (fd != -1) {
			// The umask may have taken bits away, or, at 000, left others' write.
			fchmod(fd, new_file_mode);
			made = true;
			return deltas_written;
		}
		if (errno != EEXIST)
			return deltas_open_failed;
	}
	return deltas_open_failed;
}

// A written entry is as if just read from the machine's file, from the line
// the block gave it: saved state = current state.
void mark_saved(rc_entry *entries, int count, bool knobs, int source, int &line)
{
	for (int i = 0; i < count; i++) {
		rc_entry &entry = entries[i];
		if (entry.modified != 1)
			continue;
		entry.modified = 0;
		entry.has_comment = 0;
		entry.is_new = 0;
		entry.source = source;
		entry.line = line < INT_MAX ? line++ : line;
		if (knobs)
			entry.saved_knob_on = entry.knob_on;
		else
			std::memcpy(entry.saved_value, entry.value, field_size);
	}
}

} // namespace

std::string_view written_value(const rc_entry &entry)
{
	if (entry.is_knob != 0)
		return entry.knob_on == 1 ? "\"YES\"" : "\"NO\"";
	return field_text(entry.value);
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
			append_line(block, knobs[i], written_value(knobs[i]));
	}
	for (int i = 0; i < string_count; i++) {
		if (strings[i].modified == 1)
			append_line(block, strings[i], written_value(strings[i]));
	}
	return block;
}

block_fate take_back(int fd, off_t start, std::string_view written, bool may_cut)
{
	if (written.empty())
		return block_fate::none;
	// Bytes another program put there since, after a cut or in a file it wrote
	// anew, are its own: they are never written over.
	struct stat now;
	if (!holds_at(fd, start, written) || fstat(fd, &now) == -1)
		return block_fate::left_in_file;
	if (may_cut && now.st_size == start + static_cast<off_t>(written.size()))
		return cut_back(fd, start) == 0 && sync_file(fd) == 0 ? block_fate::none : block_fate::left_in_file;
	return comment_out(fd, start, written) == 0 && sync_file(fd) == 0 ? block_fate::commented_out
									  : block_fate::left_in_file;
}

int write_deltas(rc_entry *knobs, int knob_count, rc_entry *strings, int string_count, deltas_outcome *outcome,
		 void (*while_waiting)(), const char *shell)
{
	char date[date_size];
	std::time_t now = std::time(nullptr);
	if (ctime_r(&now, date) == nullptr)
		date[0] = '\0';
	std::string block = format_deltas(knobs, knob_count, strings, string_count, date);

	const char *path = local_rc_path();
	const file_state *seen = remembered_state(path);
	bool may_make = seen == nullptr || !seen->exists;
	bool made = false;
	int fd = -1;
	int opened = open_rc_file(path, seen, may_make, made, fd);
	if (opened != deltas_written)
		return opened;
	deltas_outcome said;
	save_context save = {path, while_waiting, said, shell};
	int appended = append_block(fd, made, block, save);
	// A synced block is whole on disk, so close's result cannot undo the save;
	// the descriptor, and with it the lock, is gone whatever close returns.
	close(fd);
	if (outcome != nullptr)
		*outcome = said;
	if (appended != deltas_written)
		return appended;
	int source = 0;
	for (std::size_t i = 0; i < sources().size(); i++)
		if (sources()[i].kind == source_kind::machine && sources()[i].path == path)
			source = static_cast<int>(i + 1);
	int line = said.first_line;
	mark_saved(knobs, knob_count, true, source, line);
	mark_saved(strings, string_count, false, source, line);
	return deltas_written;
}
