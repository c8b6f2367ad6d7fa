// Loading what the machine boots with: the defaults, the machine's file and the files read after it.
#include "rcfile/load.h"

#include "rcfile/delta_writer.h"
#include "rcfile/file_state.h"
#include "rcfile/merge.h"
#include "rcfile/open_file.h"
#include "rcfile/reader.h"
#include "rcfile/tokenizer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Files read after the machine's by the last load.
std::vector<std::string> read_after;

// The two paths the last load was given.
std::string last_defaults_path;
std::string last_rc_path;

// A file whose change the window must notice is remembered before it is read.
void read_watched_file(const char *path, rc_lists *lists)
{
	remember_file(path);
	read_rc_file(path, lists);
}

void free_lists(rc_lists &lists)
{
	std::free(lists.knobs);
	std::free(lists.strings);
	lists = {};
}

void clear_comment_flags(rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++)
		entries[i].has_comment = 0;
}

void mark_read_later(rc_entry *entries, int count, int file)
{
	for (int i = 0; i < count; i++)
		entries[i].later_file = file;
}

// The words of a value shown in double quotes; a word that expands
// something names no file that can be known here.
std::vector<std::string> plain_words(const rc_entry &entry)
{
	std::vector<std::string> words;
	std::string_view text = field_text(entry.value);
	if (entry.is_knob != 0 || entry.value_lock != 0 || text.size() < 2)
		return words;
	text = text.substr(1, text.size() - 2);
	for (std::size_t at = 0; at < text.size();) {
		std::size_t end = text.find_first_of(" \t\n", at);
		std::string_view word = text.substr(at, end == std::string_view::npos ? end : end - at);
		if (!word.empty() && word.find_first_of("$`\\\"'~") == std::string_view::npos)
			words.emplace_back(word);
		at = end == std::string_view::npos ? text.size() : end + 1;
	}
	return words;
}

} // namespace

std::vector<std::string> files_read_after(const rc_lists &merged, const char *rc_path)
{
	std::vector<std::string> listed;
	for (int i = 0; i < merged.string_count; i++) {
		if (names_equal(merged.strings[i].name, "rc_conf_files"))
			listed = plain_words(merged.strings[i]);
	}
	auto at = std::find(listed.begin(), listed.end(), rc_path);
	if (at == listed.end())
		at = std::find(listed.begin(), listed.end(), default_rc_path);
	std::vector<std::string> after;
	if (at == listed.end())
		return after;
	for (auto file = at + 1; file != listed.end(); ++file) {
		// The boot reads each file once.
		if (*file != rc_path && *file != default_rc_path && std::find(after.begin(), after.end(), *file) == after.end())
			after.push_back(*file);
	}
	return after;
}

int load_settings(const char *defaults_path, const char *rc_path, rc_lists *merged)
{
	last_defaults_path = defaults_path;
	last_rc_path = rc_path;
	clear_read_notes();
	forget_files();
	rc_lists machine = {};
	read_rc_file(defaults_path, merged);
	read_watched_file(rc_path, &machine);
	flush_tokenizer();
	int result = merge_lists(merged, &machine);
	free_lists(machine);
	read_after.clear();
	for (const std::string &path : files_read_after(*merged, rc_path)) {
		if (result != 0)
			break;
		rc_lists later = {};
		read_watched_file(path.c_str(), &later);
		flush_tokenizer();
		read_after.push_back(path);
		int file = static_cast<int>(read_after.size());
		mark_read_later(later.knobs, later.knob_count, file);
		mark_read_later(later.strings, later.string_count, file);
		result = merge_lists(merged, &later);
		free_lists(later);
	}
	if (result != 0)
		return -1;
	sort_entries(merged->knobs, merged->knob_count);
	sort_entries(merged->strings, merged->string_count);
	clear_comment_flags(merged->knobs, merged->knob_count);
	clear_comment_flags(merged->strings, merged->string_count);
	return 0;
}

int load_again(rc_lists *merged)
{
	std::string defaults_path = last_defaults_path;
	std::string rc_path = last_rc_path;
	return load_settings(defaults_path.c_str(), rc_path.c_str(), merged);
}

const std::vector<std::string> &later_files()
{
	return read_after;
}
