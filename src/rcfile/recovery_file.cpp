// The recovery file ~/.kelvane-pending: changes not saved, kept when Kelvane is ended from outside.
//
// Text form: a first line "kelvane-pending 1"; a line "file<TAB>KEY", KEY
// being the absolute path of the machine's file; then one line a change:
// "knob<TAB>NAME<TAB>0 or 1<TAB>FLAGS<TAB>COMMENT" or
// "string<TAB>NAME<TAB>VALUE<TAB>FLAGS<TAB>COMMENT", FLAGS being "-" or any
// of "n" (added, never saved) and "c" (the comment goes beside it). In every
// field a backslash is written "\\" and a tab, a newline and every other byte
// below 0x20, and 0x7f, as "\xHH".
#include "rcfile/recovery_file.h"

#include "rcfile/open_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *file_name = ".kelvane-pending";
constexpr std::string_view first_line = "kelvane-pending 1";
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

// The whole text of the user's own file at path, at most recovery_limit bytes.
int read_own_file(const std::string &path, std::string &text)
{
	int fd = open_own_file(path.c_str(), O_RDONLY);
	std::FILE *in = fd != -1 ? fdopen(fd, "r") : nullptr;
	if (in == nullptr) {
		if (fd != -1)
			close(fd);
		return -1;
	}
	struct stat info;
	bool whole = fstat(fd, &info) == 0 && info.st_size <= static_cast<off_t>(recovery_limit);
	if (whole) {
		text.resize(static_cast<std::size_t>(info.st_size));
		whole = std::fread(text.data(), 1, text.size(), in) == text.size();
	}
	std::fclose(in);
	return whole ? 0 : -1;
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

} // namespace

std::string recovery_path()
{
	const char *home = std::getenv("HOME");
	return home != nullptr ? std::string(home) + "/" + file_name : "";
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
	std::string text(first_line);
	text += "\nfile\t";
	append_field(text, key);
	text += '\n';
	for (const rc_entry &change : changes)
		text += change_line(change);
	if (text.size() > recovery_limit)
		return -1;
	// mkstemp makes a file of its own, 0600: never one a link points at.
	std::string made = path + ".XXXXXX";
	int fd = mkstemp(made.data());
	if (fd == -1)
		return -1;
	bool kept = fchmod(fd, 0600) == 0;
	if (!kept)
		close(fd);
	// rename replaces a link at path, never what it points at.
	if (kept && write_synced(fd, text) == 0 && rename(made.c_str(), path.c_str()) == 0)
		return 0;
	unlink(made.c_str());
	return -1;
}

int read_recovery_file(const std::string &path, const std::string &key, std::vector<rc_entry> &changes)
{
	std::string text;
	if (read_own_file(path, text) == -1 || text.empty() || text.back() != '\n')
		return -1;
	std::vector<std::string_view> lines;
	std::string_view rest(text);
	while (!rest.empty()) {
		std::size_t end = rest.find('\n');
		lines.push_back(rest.substr(0, end));
		rest.remove_prefix(end + 1);
	}
	std::string written_key = "file\t";
	append_field(written_key, key);
	if (lines.size() < 2 || lines[0] != first_line || lines[1] != written_key)
		return -1;
	std::vector<rc_entry> read;
	for (std::size_t i = 2; i < lines.size(); i++) {
		rc_entry change;
		if (!parse_change(lines[i], change))
			return -1;
		read.push_back(change);
	}
	changes = read;
	return 0;
}
