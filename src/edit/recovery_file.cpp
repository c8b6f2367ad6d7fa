// The recovery file ~/.kelvane-pending: changes not saved, kept for each machine's file when Kelvane is ended from outside.
//
// Text form: a first line "kelvane-pending 2", then a section for each
// machine's file: a line "file<TAB>KEY", KEY being the file's absolute
// path, followed by one line a change:
// "knob<TAB>NAME<TAB>0 or 1<TAB>FLAGS<TAB>COMMENT" or
// "string<TAB>NAME<TAB>VALUE<TAB>FLAGS<TAB>COMMENT", FLAGS being "-" or any
// of "n" (added, never saved) and "c" (the comment goes beside it). In every
// field a backslash is written "\\" and a tab, a newline and every other
// byte below 0x20, and 0x7f, as "\xHH".
//
// The earlier form "kelvane-pending 1" is the same with one section, and is
// read as well. A run reads its own section strictly and writes every other
// one back byte for byte; a run that knows only the earlier form finds no
// changes of its own in this one and leaves it alone. A file in neither
// form, or not to be trusted, is replaced whole when a run keeps its changes:
// nothing from it is carried into a file that will be trusted.
#include "edit/recovery_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char *file_name = ".kelvane-pending";
constexpr std::string_view form_line = "kelvane-pending 2";
constexpr std::string_view one_section_form_line = "kelvane-pending 1";
constexpr std::string_view section_start = "file\t";
constexpr const char *hex_digits = "0123456789abcdef";

void append_field(std::string &text, std::string_view field)
{
	for (char c : field) {
		unsigned char byte = static_cast<unsigned char>(c);
		if (c == '\\') {
			text += "\\\\";
		} else if (byte < 0x20 || byte == 0x7f) {
			text += "\\x";
			text += hex_digits[byte >> 4];
			text += hex_digits[byte & 0xf];
		} else {
			text += c;
		}
	}
}

int hex_value(char c)
{
	const char *at = c != '\0' ? std::strchr(hex_digits, c) : nullptr;
	return at != nullptr ? static_cast<int>(at - hex_digits) : -1;
}

// Undoes append_field; false for a field not in that form or too long for an rc_entry field.
bool take_field(std::string_view written, char (&field)[field_size])
{
	std::string text;
	for (std::size_t i = 0; i < written.size(); i++) {
		if (written[i] != '\\') {
			text += written[i];
			continue;
		}
		if (i + 1 < written.size() && written[i + 1] == '\\') {
			text += '\\';
			i++;
			continue;
		}
		int high = i + 3 < written.size() && written[i + 1] == 'x' ? hex_value(written[i + 2]) : -1;
		int low = high >= 0 ? hex_value(written[i + 3]) : -1;
		if (low < 0)
			return false;
		text += static_cast<char>(high << 4 | low);
		i += 3;
	}
	return copy_field(field, text) == 0;
}

std::string change_line(const rc_entry &change)
{
	std::string line = change.is_knob != 0 ? "knob\t" : "string\t";
	append_field(line, field_text(change.name));
	line += '\t';
	if (change.is_knob != 0)
		line += change.knob_on == 1 ? '1' : '0';
	else
		append_field(line, field_text(change.value));
	line += '\t';
	std::string flags = std::string(change.is_new != 0 ? "n" : "") + (change.has_comment != 0 ? "c" : "");
	line += flags.empty() ? "-" : flags;
	line += '\t';
	append_field(line, field_text(change.comment));
	line += '\n';
	return line;
}

// The tab-separated fields of line.
std::vector<std::string_view> fields_of(std::string_view line)
{
	std::vector<std::string_view> fields;
	for (std::size_t at = 0;;) {
		std::size_t tab = line.find('\t', at);
		fields.push_back(line.substr(at, tab == std::string_view::npos ? tab : tab - at));
		if (tab == std::string_view::npos)
			return fields;
		at = tab + 1;
	}
}

bool parse_change(std::string_view line, rc_entry &change)
{
	std::vector<std::string_view> f = fields_of(line);
	if (f.size() != 5 || (f[0] != "knob" && f[0] != "string") || f[1].empty())
		return false;
	change = rc_entry{};
	change.modified = 1;
	change.is_knob = f[0] == "knob";
	if (change.is_knob != 0) {
		if (f[2] != "0" && f[2] != "1")
			return false;
		change.knob_on = f[2] == "1";
	} else if (!take_field(f[2], change.value)) {
		return false;
	}
	if (f[3].empty() || f[3].find_first_not_of(f[3] == "-" ? "-" : "nc") != std::string_view::npos)
		return false;
	change.is_new = f[3].find('n') != std::string_view::npos;
	change.has_comment = f[3].find('c') != std::string_view::npos;
	return take_field(f[1], change.name) && take_field(f[4], change.comment);
}

// The line that begins the section of the machine's file key.
std::string section_line(const std::string &key)
{
	std::string line(section_start);
	append_field(line, key);
	return line;
}

// One machine's file's part of the text: its "file" line and its changes, each line with its newline.
struct section {
	std::string_view first_line;
	std::string_view text;
};

// The sections of text, a file in a form written; -1 for text in no such
// form. An empty text, as a write leaves while it holds the lock, has none.
int split_sections(std::string_view text, std::vector<section> &sections)
{
	if (text.empty())
		return 0;
	if (text.back() != '\n')
		return -1;
	std::size_t end = text.find('\n');
	std::string_view first = text.substr(0, end);
	if (first != form_line && first != one_section_form_line)
		return -1;
	for (std::size_t at = end + 1; at < text.size(); at = end + 1) {
		end = text.find('\n', at);
		std::string_view line = text.substr(at, end - at);
		if (line.substr(0, section_start.size()) == section_start)
			sections.push_back({line, {}});
		else if (sections.empty())
			return -1;
		// The section runs from its first line to the end of this one.
		section &last = sections.back();
		last.text = std::string_view(last.first_line.data(), text.data() + end + 1 - last.first_line.data());
	}
	return 0;
}

// The folder of path, "/" for one at the top.
std::string folder_of(const std::string &path)
{
	std::size_t slash = path.rfind('/');
	return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_in_folder(const std::string &path)
{
	std::size_t slash = path.rfind('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens the folder (through links, as HOME is used) and tells whether a
// file in it may be trusted: no one but its owner, the user or root, may
// put another file in its place.
int open_folder(const std::string &path, bool &trusted)
{
	int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	struct stat info;
	trusted = fd != -1 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) &&
		  (info.st_uid == geteuid() || info.st_uid == 0) && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
	return fd;
}

// kept_state::kept for the open file when it may be trusted, else why not.
kept_state judge_file(int fd, struct stat &info)
{
	if (fstat(fd, &info) == -1)
		return kept_state::unreadable;
	if (!S_ISREG(info.st_mode) || info.st_nlink != 1)
		return kept_state::not_plain;
	if (info.st_uid != geteuid())
		return kept_state::not_own;
	if ((info.st_mode & 07777) != 0600)
		return kept_state::open_mode;
	if (info.st_size > static_cast<off_t>(recovery_limit))
		return kept_state::unreadable;
	return kept_state::kept;
}

// The whole text of the open regular file, size bytes long when it was looked at.
int read_text(int fd, off_t size, std::string &text)
{
	text.resize(static_cast<std::size_t>(size));
	std::size_t got = 0;
	while (got < text.size()) {
		ssize_t n = pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
		if (n == -1 && errno == EINTR)
			continue;
		if (n <= 0)
			return -1;
		got += static_cast<std::size_t>(n);
	}
	return 0;
}

// Waits for the lock every run takes before it reads the file to write it anew.
int lock_whole(int fd)
{
	while (flock(fd, LOCK_EX) == -1) {
		if (errno != EINTR)
			return errno == EOPNOTSUPP || errno == ENOLCK ? 0 : -1;
	}
	return 0;
}

// Whether the path name in folder names the open file fd. While a rename
// replaces it, the name may still lead to the file it no longer counts as
// a link: that one is being replaced too.
bool still_named(int folder, const std::string &name, int fd)
{
	struct stat named, open;
	return fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(fd, &open) == 0 &&
	       named.st_dev == open.st_dev && named.st_ino == open.st_ino && open.st_nlink > 0;
}

// The most times a file may be found replaced by another run's once it is opened.
constexpr int lock_tries = 1000;

// The text of the file name in folder, read under its lock, which the
// descriptor returned holds; "" and -1 when there is no file to be trusted
// there, which is then replaced whole, or -2 when other runs kept replacing
// it. An empty file is made to hold the lock when there is none, so that
// two runs ending at once both keep theirs.
int lock_and_read(int folder, const std::string &name, std::string &text)
{
	for (int tries = 0; tries < lock_tries; tries++) {
		int fd = openat(folder, name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
				0600);
		if (fd == -1)
			return -1;
		struct stat info;
		bool trusted = judge_file(fd, info) == kept_state::kept && lock_whole(fd) == 0;
		// A run that wrote meanwhile has put a new file in place of the one
		// opened, which may then have no name left: look again.
		if (still_named(folder, name, fd)) {
			if (trusted && fstat(fd, &info) == 0 && read_text(fd, info.st_size, text) == 0)
				return fd;
			close(fd);
			return -1;
		}
		text.clear();
		close(fd);
	}
	return -2;
}

// Writes text to the new file fd and syncs it; closes fd.
int write_synced(int fd, const std::string &text)
{
	std::FILE *out = fdopen(fd, "w");
	if (out == nullptr) {
		close(fd);
		return -1;
	}
	bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0 &&
		       fsync(fd) == 0;
	return std::fclose(out) == 0 && written ? 0 : -1;
}

// Puts text in place of the file at path, whole or not at all.
int replace_file(const std::string &path, const std::string &text)
{
	// mkstemp makes a file of its own, 0600: never one a link points at.
	std::string made = path + ".XXXXXX";
	int fd = mkstemp(made.data());
	if (fd == -1)
		return -1;
	if (fchmod(fd, 0600) == -1) {
		close(fd);
		unlink(made.c_str());
		return -1;
	}
	// rename replaces a link at path, never what it points at.
	if (write_synced(fd, text) == 0 && rename(made.c_str(), path.c_str()) == 0)
		return 0;
	unlink(made.c_str());
	return -1;
}

} // namespace

std::string recovery_path()
{
	const char *home = std::getenv("HOME");
	return home != nullptr && home[0] != '\0' ? std::string(home) + "/" + file_name : "";
}

std::string recovery_key(const char *rc_path)
{
	if (rc_path[0] == '/')
		return rc_path;
	char folder[4096];
	return getcwd(folder, sizeof folder) != nullptr ? std::string(folder) + "/" + rc_path : rc_path;
}

int write_recovery_file(const std::string &path, const std::string &key, const std::vector<rc_entry> &changes)
{
	bool trusted = false;
	int folder = open_folder(path, trusted);
	if (!trusted) {
		if (folder != -1)
			close(folder);
		return -1;
	}
	std::string name = name_in_folder(path);
	std::string old;
	int locked = lock_and_read(folder, name, old);
	if (locked == -2) {
		close(folder);
		return -1;
	}
	std::vector<section> sections;
	if (split_sections(old, sections) == -1)
		sections.clear();
	std::string ours = section_line(key);
	std::string text(form_line);
	text += '\n';
	bool any = !changes.empty();
	for (const section &s : sections) {
		if (s.first_line != ours) {
			text += s.text;
			any = true;
		}
	}
	if (!changes.empty()) {
		text += ours + '\n';
		for (const rc_entry &change : changes)
			text += change_line(change);
	}
	int result = -1;
	if (!any)
		result = unlinkat(folder, name.c_str(), 0) == 0 || errno == ENOENT ? 0 : -1;
	else if (text.size() <= recovery_limit)
		result = replace_file(path, text);
	if (locked >= 0)
		close(locked);
	close(folder);
	return result;
}

kept_state read_recovery_file(const std::string &path, const std::string &key, std::vector<rc_entry> &changes)
{
	bool trusted = false;
	int folder = open_folder(path, trusted);
	std::string name = name_in_folder(path);
	struct stat seen;
	if (folder == -1 || fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) == -1) {
		int error = errno;
		if (folder != -1)
			close(folder);
		return error == ENOENT ? kept_state::none : kept_state::unreadable;
	}
	// Nothing but a regular file is opened: a device may act on being opened.
	kept_state state = !trusted ? kept_state::home_open : !S_ISREG(seen.st_mode) ? kept_state::not_plain : kept_state::kept;
	int fd = state == kept_state::kept
			 ? openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)
			 : -1;
	// FreeBSD says EMLINK where others say ELOOP: a link was put in its place.
	bool link = fd == -1 && (errno == ELOOP || errno == EMLINK);
	close(folder);
	struct stat info;
	std::string text;
	if (state == kept_state::kept && fd == -1)
		state = link ? kept_state::not_plain : kept_state::unreadable;
	else if (state == kept_state::kept)
		state = judge_file(fd, info);
	if (state == kept_state::kept && read_text(fd, info.st_size, text) == -1)
		state = kept_state::unreadable;
	if (fd != -1)
		close(fd);
	std::vector<section> sections;
	if (state == kept_state::kept && split_sections(text, sections) == -1)
		state = kept_state::unreadable;
	if (state != kept_state::kept)
		return state;
	std::string ours = section_line(key);
	std::vector<rc_entry> read;
	for (const section &s : sections) {
		if (s.first_line != ours)
			continue;
		std::string_view lines = s.text.substr(s.first_line.size() + 1);
		while (!lines.empty()) {
			std::size_t end = lines.find('\n');
			rc_entry change;
			if (!parse_change(lines.substr(0, end), change))
				return kept_state::unreadable;
			read.push_back(change);
			lines.remove_prefix(end + 1);
		}
	}
	if (read.empty())
		return kept_state::none;
	changes = std::move(read);
	return kept_state::kept;
}
