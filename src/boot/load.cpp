// Loading what the machine boots with: every file the boot reads, in its order, laid over each other.
#include "boot/load.h"

#include "boot/boot_history.h"
#include "boot/boot_value.h"
#include "boot/defaults.h"
#include "boot/descriptions.h"
#include "boot/merge.h"
#include "boot/samples.h"
#include "boot/services.h"
#include "boot/sources.h"
#include "files/file_state.h"
#include "files/machine_file.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "shell/reader.h"
#include "shell/tokenizer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

namespace {

constexpr const char *vendor_path = "/etc/defaults/vendor.conf";
constexpr const char *scripts_folder = "/etc/rc.d";
constexpr const char *etc_folder = "/etc";

// The two paths the last load was given.
std::string last_defaults_path;
std::string last_rc_path;

void clear_comment_flags(rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++)
		entries[i].has_comment = 0;
}

// The words of a value shown in double quotes, with ${name} and $name of
// the files' own variables put in; a word that expands anything else names
// no file that can be known here.
std::vector<std::string> plain_words(const rc_entry *entry, const std::map<std::string, std::string> &own)
{
	std::vector<std::string> words;
	if (entry == nullptr)
		return words;
	std::string_view text = field_text(entry->value);
	if (entry->is_knob != 0 || entry->value_lock != 0 || text.size() < 2)
		return words;
	std::string value(text.substr(1, text.size() - 2));
	for (const auto &[name, replacement] : own) {
		for (const std::string &form : {"${" + name + "}", "$" + name}) {
			for (std::size_t at; (at = value.find(form)) != std::string::npos;)
				value.replace(at, form.size(), replacement);
		}
	}
	for (std::size_t at = 0; at < value.size();) {
		std::size_t end = value.find_first_of(" \t\n", at);
		std::string word = value.substr(at, end == std::string::npos ? end : end - at);
		if (!word.empty() && word.find_first_of("$`\\\"'~") == std::string::npos)
			words.push_back(word);
		at = end == std::string::npos ? value.size() : end + 1;
	}
	return words;
}

// What the files give their own variables with ": ${_name:=value}", such as
// the defaults' _localbase, which names the local folders; and every
// command that sets variables, for the values at boot.
struct file_watch {
	std::map<std::string, std::string> own;
	bool defaults = false; // the defaults file: its comments describe, its commented-out settings are samples
	int source = 0;        // of the file being read
	script_observer observer;

	file_watch()
	{
		observer.command = [this](const top_command &command) {
			note_command(source, command);
			on_command(command);
		};
		observer.compound = [this](const top_compound &compound) { note_compound(source, compound); };
		observer.comment = [this](std::string_view text, comment_place place) {
			if (!defaults)
				return;
			if (place.starts_line)
				note_sample(text);
			note_comment(text, place);
		};
	}
	file_watch(const file_watch &) = delete;
	file_watch &operator=(const file_watch &) = delete;

	void on_command(const top_command &command)
	{
		bool assigns = std::all_of(command.words.begin(), command.words.end(),
					   [](const command_word &word) { return word.name_length > 0; });
		if (defaults && assigns && !command.nested && command.list_position == 0) {
			const command_word &last = command.words.back();
			note_assignment(std::string_view(last.text).substr(0, last.name_length), command.line);
		}
		if (command.nested || command.words.size() != 2 || command.words[0].text != ":")
			return;
		std::string_view word = command.words[1].text;
		std::size_t eq = word.find('=');
		if (word.substr(0, 3) != "${_" || eq == std::string_view::npos || word.back() != '}')
			return;
		bool colon = word[eq - 1] == ':';
		std::string name(word.substr(2, eq - 2 - (colon ? 1 : 0)));
		std::string_view value = word.substr(eq + 1, word.size() - eq - 2);
		if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
			value = value.substr(1, value.size() - 2);
		if (value.find_first_of("$`\\\"'") != std::string_view::npos)
			return;
		auto at = own.find(name);
		if (at == own.end() || (colon && at->second.empty()))
			own[name] = std::string(value);
	}
};

// What the services give their own variables, for the values at boot.
void note_service_values(const rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++) {
		if (is_service_source(entries[i].source))
			note_service_value(entries[i]);
	}
}

// Reads one file, records it as a source of the kind given and lays its
// entries over merged.
int lay_file(const std::string &path, source_kind kind, file_watch &watch, rc_lists *merged)
{
	rc_lists read = {};
	watch.source = add_source(path, kind);
	if (kind == source_kind::machine || kind == source_kind::later)
		read_remembered_file(path.c_str(), &read, &watch.observer);
	else
		read_rc_file(path.c_str(), &read, &watch.observer);
	mark_source(read, watch.source);
	int result = 0;
	if (merged->knobs == nullptr && merged->strings == nullptr)
		std::swap(*merged, read);
	else if (read.knob_count + read.string_count > 0)
		result = merge_lists(merged, &read);
	free_lists(read);
	return result;
}

// The folders of local_startup, under the system root; a folder named with
// a variable other than those of the files' own (as ${_localbase}) cannot
// be known and is left out.
std::vector<std::string> local_startup_folders(const rc_lists &merged, const std::map<std::string, std::string> &own)
{
	std::vector<std::string> folders;
	for (const std::string &word : plain_words(entry_named(merged, "local_startup"), own)) {
		std::string folder = under_root(word);
		if (word[0] == '/' && std::find(folders.begin(), folders.end(), folder) == folders.end())
			folders.push_back(folder);
	}
	return folders;
}

} // namespace

std::vector<std::string> files_read_after(const rc_lists &merged, const char *rc_path)
{
	std::vector<std::string> listed = plain_words(entry_named(merged, "rc_conf_files"), {});
	auto is_rc = [rc_path](const std::string &file) { return file == rc_path || under_root(file) == rc_path; };
	auto at = std::find_if(listed.begin(), listed.end(), is_rc);
	if (at == listed.end())
		at = std::find(listed.begin(), listed.end(), default_rc_path);
	std::vector<std::string> after;
	if (at == listed.end())
		return after;
	for (auto file = at + 1; file != listed.end(); ++file) {
		// The boot reads each file once.
		std::string path = under_root(*file);
		if (!is_rc(*file) && *file != default_rc_path && std::find(after.begin(), after.end(), path) == after.end())
			after.push_back(path);
	}
	return after;
}

int load_settings(const char *defaults_path, const char *rc_path, rc_lists *merged)
{
	last_defaults_path = defaults_path;
	last_rc_path = rc_path;
	clear_read_notes();
	forget_files();
	*merged = {};
	clear_sources();
	clear_samples();
	clear_descriptions();
	clear_defaults();
	clear_history();
	forget_boot_values();
	file_watch watch;
	watch.defaults = true;
	int result = lay_file(defaults_path, source_kind::defaults, watch, merged);
	watch.defaults = false;
	if (result == 0)
		result = lay_file(under_root(vendor_path), source_kind::vendor, watch, merged);
	for (int i = 0; i < merged->knob_count; i++)
		set_default(merged->knobs[i]);
	for (int i = 0; i < merged->string_count; i++)
		set_default(merged->strings[i]);
	if (result == 0)
		result = lay_file(rc_path, source_kind::machine, watch, merged);
	if (result == 0) {
		for (const std::string &path : files_read_after(*merged, rc_path)) {
			result = lay_file(path, source_kind::later, watch, merged);
			if (result != 0)
				break;
		}
	}
	if (result == 0) {
		std::vector<std::string> local = local_startup_folders(*merged, watch.own);
		std::vector<service_script> services = read_services(under_root(scripts_folder), local);
		local.insert(local.begin(), under_root(etc_folder));
		result = lay_services(merged, std::move(services), local);
	}
	flush_tokenizer();
	if (result != 0)
		return -1;
	sort_entries(merged->knobs, merged->knob_count);
	sort_entries(merged->strings, merged->string_count);
	clear_comment_flags(merged->knobs, merged->knob_count);
	clear_comment_flags(merged->strings, merged->string_count);
	try {
		note_service_values(merged->knobs, merged->knob_count);
		note_service_values(merged->strings, merged->string_count);
	} catch (const std::bad_alloc &) {
		errno = ENOMEM;
		return -1;
	}
	return 0;
}

int load_again(rc_lists *merged)
{
	std::string defaults_path = last_defaults_path;
	std::string rc_path = last_rc_path;
	return load_settings(defaults_path.c_str(), rc_path.c_str(), merged);
}
