// Finding the scripts the boot runs, and what they and their rc.conf.d files give the variables they own.
#include "boot/services.h"

#include "boot/defaults.h"
#include "boot/merge.h"
#include "boot/sources.h"
#include "files/file_state.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "shell/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace {

std::vector<service_script> read_scripts;

bool ends_with(const std::string &text, std::string_view end)
{
	return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What rc passes over in a folder of scripts: a package's samples and
// leftovers, an editor's scratch files, and in /etc/rc.d old *.sh scripts.
bool passed_over_name(const std::string &name, bool base)
{
	for (std::string_view end : {".sample", ".pkgsave", "~", "#", ".OLD", ".bak", ".orig", ",v"})
		if (ends_with(name, end))
			return true;
	return base && ends_with(name, ".sh");
}

// The names of a folder's entries in name order; none when it cannot be read.
std::vector<std::string> folder_names(const std::string &folder)
{
	std::vector<std::string> names;
	DIR *dir = open_system_folder(folder.c_str());
	if (dir == nullptr)
		return names;
	while (const dirent *entry = readdir(dir)) {
		if (entry->d_name[0] != '.')
			names.emplace_back(entry->d_name);
	}
	closedir(dir);
	std::sort(names.begin(), names.end());
	return names;
}

// What sh's -f and -x see: the file a link leads to.
bool is_executable_file(const std::string &path)
{
	struct stat st;
	if (stat_system_file(path.c_str(), st) == -1 || !S_ISREG(st.st_mode))
		return false;
	return (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

void read_folder(const std::string &folder, bool base, std::vector<service_script> &found)
{
	for (const std::string &name : folder_names(folder)) {
		if (passed_over_name(name, base))
			continue;
		std::string path = folder + "/" + name;
		if (!is_executable_file(path))
			continue;
		service_script script;
		if (read_service_script(path.c_str(), script) == 0 && (base || script.provides))
			found.push_back(std::move(script));
	}
}

// Where a variable stands while a service starts: what gives it its value.
struct standing {
	bool set;
	rc_entry entry;
};

bool is_empty(const standing &s)
{
	return s.set && s.entry.is_knob == 0 && field_text(s.entry.value) == "\"\"";
}

// A default as an entry named variable, to stand as the value before a script's defaults.
rc_entry as_entry(const std::string &variable, const default_value &d)
{
	rc_entry entry{};
	copy_field(entry.name, variable);
	entry.is_knob = d.knob;
	entry.knob_on = entry.saved_knob_on = d.on;
	copy_field(entry.value, d.text);
	copy_field(entry.saved_value, d.text);
	entry.source = d.source;
	entry.line = d.line;
	return entry;
}

// An rc.conf.d file's assignments.
struct service_file_entries {
	std::string path;
	rc_lists lists;
};

// An rc.conf.d folder that load_rc_config looks in, and the names it holds, sorted.
struct service_file_folder {
	std::string path;
	std::vector<std::string> names;
};

// The rc.conf.d folders of dirs (/etc, then the local_startup folders), in
// load_rc_config's order: each dir without its "/rc.d", and rc.conf.d.
std::vector<service_file_folder> service_file_folders(const std::vector<std::string> &dirs)
{
	std::vector<service_file_folder> folders;
	for (std::string dir : dirs) {
		if (ends_with(dir, "/rc.d"))
			dir.resize(dir.size() - 5);
		dir += "/rc.conf.d";
		// /etc/rc.d in local_startup would have /etc's files read twice, to the same end.
		bool again = false;
		for (const service_file_folder &folder : folders)
			again = again || folder.path == dir;
		if (!again)
			folders.push_back({dir, folder_names(dir)});
	}
	return folders;
}

// The rc.conf.d files load_rc_config reads for config, in its order: in each
// folder, the file config, or every file of the folder config in name order.
// What stands there and is not a regular file is passed over with a note.
std::vector<std::string> service_files(const std::string &config, const std::vector<service_file_folder> &folders)
{
	std::vector<std::string> files;
	auto take = [&files](const std::string &path, const struct stat &st) {
		if (S_ISREG(st.st_mode))
			files.push_back(path);
		else
			note_passed_over(path, reason_for_mode(st.st_mode));
	};
	for (const service_file_folder &folder : folders) {
		if (!std::binary_search(folder.names.begin(), folder.names.end(), config))
			continue;
		std::string path = folder.path + "/" + config;
		struct stat st;
		if (stat_system_file(path.c_str(), st) == -1)
			continue;
		if (!S_ISDIR(st.st_mode)) {
			take(path, st);
			continue;
		}
		for (const std::string &name : folder_names(path)) {
			std::string file = path + "/" + name;
			if (stat_system_file(file.c_str(), st) == 0)
				take(file, st);
		}
	}
	return files;
}

// Whether variable is one of the service's own: its rcvar, or a longer name
// that begins with the service's name (nginx_flags, nginxlimits_enable).
bool is_own_variable(const service_script &service, const std::string &variable)
{
	const std::string &name = service.name;
	return variable == service.rcvar || (variable.size() > name.size() && variable.compare(0, name.size(), name) == 0);
}

// The variables a service owns that its script or its files touch, in their first order.
std::vector<std::string> own_variables(const service_script &service,
				       const std::vector<const service_file_entries *> &files)
{
	std::vector<std::string> names;
	std::unordered_set<std::string> added;
	auto add = [&](const std::string &name) {
		if (is_own_variable(service, name) && added.insert(name).second)
			names.push_back(name);
	};
	if (!service.rcvar.empty())
		add(service.rcvar);
	for (const script_step &step : service.steps)
		if (step.what == script_step::give_default)
			add(step.variable);
	for (const service_file_entries *file : files) {
		for (int i = 0; i < file->lists.knob_count; i++)
			add(file->lists.knobs[i].name);
		for (int i = 0; i < file->lists.string_count; i++)
			add(file->lists.strings[i].name);
	}
	return names;
}

// The rc.conf.d entry a service reads last for one of its variables, at the
// step given and the file's place among that step's files: it replaces
// whatever the steps before gave the variable.
struct file_reading {
	const rc_entry *entry = nullptr;
	std::size_t step = 0;
	std::size_t place = 0;
};

// For each variable of index, the rc.conf.d entry the service reads last,
// each file looked at once, at the last step that reads it.
std::vector<file_reading> last_file_entries(const std::vector<std::vector<const service_file_entries *>> &step_files,
					    const std::unordered_map<std::string_view, std::size_t> &index)
{
	std::unordered_map<const service_file_entries *, file_reading> last_read;
	std::vector<const service_file_entries *> files;
	for (std::size_t s = 0; s < step_files.size(); s++) {
		for (std::size_t place = 0; place < step_files[s].size(); place++) {
			auto [at, fresh] = last_read.insert_or_assign(step_files[s][place], file_reading{nullptr, s, place});
			if (fresh)
				files.push_back(at->first);
		}
	}
	std::vector<file_reading> last(index.size());
	for (const service_file_entries *file : files) {
		file_reading read = last_read[file];
		// A knob first: the one entry_named finds.
		for (const rc_entry *entries : {file->lists.knobs, file->lists.strings}) {
			int count = entries == file->lists.knobs ? file->lists.knob_count : file->lists.string_count;
			for (int i = 0; i < count; i++) {
				auto found = index.find(field_text(entries[i].name));
				if (found == index.end())
					continue;
				file_reading &l = last[found->second];
				if (l.entry == nullptr || std::make_pair(read.step, read.place) > std::make_pair(l.step, l.place))
					l = {&entries[i], read.step, read.place};
			}
		}
	}
	return last;
}

} // namespace

std::vector<service_script> read_services(const std::string &base_dir, const std::vector<std::string> &local_dirs)
{
	std::vector<service_script> found;
	read_folder(base_dir, true, found);
	// rc runs each script once, though local_startup may name /etc/rc.d again.
	for (const std::string &dir : local_dirs)
		if (dir != base_dir)
			read_folder(dir, false, found);
	return found;
}

int lay_services(rc_lists *merged, std::vector<service_script> services, const std::vector<std::string> &dirs)
{
	read_scripts = std::move(services);
	std::vector<service_file_folder> folders = service_file_folders(dirs);
	std::unordered_map<std::string_view, const rc_entry *> held;
	for (int i = 0; i < merged->knob_count; i++)
		held.emplace(field_text(merged->knobs[i].name), &merged->knobs[i]);
	for (int i = 0; i < merged->string_count; i++)
		held.emplace(field_text(merged->strings[i].name), &merged->strings[i]);
	// Each rc.conf.d file is read once, whichever services read it, and each
	// name's files are looked for once.
	std::unordered_map<std::string, service_file_entries> read_files;
	std::unordered_map<std::string, std::vector<std::string>> config_files;
	std::unordered_set<std::string> claimed;
	rc_lists layer = {};
	int result = 0;
	for (const service_script &service : read_scripts) {
		int script_source = add_source(service.path, source_kind::script, service.name);
		// The files each read_config step reads, in step order.
		std::vector<std::vector<const service_file_entries *>> step_files(service.steps.size());
		std::vector<const service_file_entries *> all_files;
		std::unordered_set<const service_file_entries *> seen_files;
		for (std::size_t s = 0; s < service.steps.size(); s++) {
			if (service.steps[s].what != script_step::read_config)
				continue;
			auto [found, fresh_config] = config_files.try_emplace(service.steps[s].config);
			if (fresh_config)
				found->second = service_files(service.steps[s].config, folders);
			for (const std::string &path : found->second) {
				auto [at, fresh] = read_files.try_emplace(path);
				if (fresh) {
					at->second.path = path;
					// What the service starts with: a change behind the window's back counts.
					read_remembered_file(path.c_str(), &at->second.lists);
					mark_source(at->second.lists, add_source(path, source_kind::service_file, service.name));
				}
				step_files[s].push_back(&at->second);
				if (seen_files.insert(&at->second).second)
					all_files.push_back(&at->second);
			}
		}
		// A variable two services own takes what the first one gives it.
		std::vector<std::string> variables;
		std::unordered_map<std::string_view, std::size_t> index;
		for (std::string &variable : own_variables(service, all_files))
			if (claimed.insert(variable).second)
				variables.push_back(std::move(variable));
		std::vector<std::vector<std::size_t>> default_steps(variables.size());
		for (std::size_t v = 0; v < variables.size(); v++)
			index.emplace(variables[v], v);
		for (std::size_t s = 0; s < service.steps.size(); s++) {
			const script_step &step = service.steps[s];
			auto found = step.what == script_step::give_default ? index.find(step.variable) : index.end();
			if (found != index.end())
				default_steps[found->second].push_back(s);
		}
		std::vector<file_reading> from_files = last_file_entries(step_files, index);
		for (std::size_t v = 0; v < variables.size(); v++) {
			const std::string &variable = variables[v];
			auto found = held.find(variable);
			standing now = {found != held.end(), found != held.end() ? *found->second : rc_entry{}};
			// Its default: as it stands when only the defaults set it, and no rc.conf.d file is read.
			const default_value *before = default_of(variable);
			standing fallback = {before != nullptr, rc_entry{}};
			if (before != nullptr)
				fallback.entry = as_entry(variable, *before);
			bool changed = false, default_changed = false;
			const file_reading &file = from_files[v];
			bool file_read = false;
			for (std::size_t s : default_steps[v]) {
				const script_step &step = service.steps[s];
				rc_entry given = default_entry(step);
				given.source = script_source;
				if (!fallback.set || (step.when_empty && is_empty(fallback))) {
					fallback = {true, given};
					default_changed = true;
				}
				if (file.entry != nullptr && !file_read && file.step < s) {
					now = {true, *file.entry};
					changed = file_read = true;
				}
				if (!now.set || (step.when_empty && is_empty(now))) {
					now = {true, given};
					changed = true;
				}
			}
			if (file.entry != nullptr && !file_read) {
				now = {true, *file.entry};
				changed = true;
			}
			// rc.subr takes an rcvar that nothing sets as NO.
			if (variable == service.rcvar) {
				for (standing *s : {&now, &fallback}) {
					if (s->set)
						continue;
					*s = {true, rc_entry{}};
					copy_field(s->entry.name, variable);
					s->entry.is_knob = 1;
					s->entry.source = script_source;
					s->entry.line = service.rcvar_line;
					(s == &now ? changed : default_changed) = true;
				}
			}
			if (default_changed)
				set_default(fallback.entry);
			if (!changed)
				continue;
			rc_entry **entries = now.entry.is_knob != 0 ? &layer.knobs : &layer.strings;
			int *count = now.entry.is_knob != 0 ? &layer.knob_count : &layer.string_count;
			int *capacity = now.entry.is_knob != 0 ? &layer.knob_capacity : &layer.string_capacity;
			if (make_room(entries, capacity, *count) != 0) {
				result = -1;
				break;
			}
			(*entries)[(*count)++] = now.entry;
		}
		if (result != 0)
			break;
	}
	if (result != 0)
		errno = ENOMEM;
	else if (layer.knob_count + layer.string_count > 0)
		result = merge_lists(merged, &layer);
	for (auto &[path, file] : read_files) {
		free_lists(file.lists);
	}
	free_lists(layer);
	return result;
}

const std::vector<service_script> &loaded_services()
{
	return read_scripts;
}

const service_script *service_named(const std::string &name)
{
	for (const service_script &service : read_scripts)
		if (service.name == name)
			return &service;
	return nullptr;
}

std::string describe_variable(const std::string &service, const std::string &variable)
{
	const service_script *script = service_named(service);
	if (script == nullptr)
		return "";
	const script_note *note = note_of(*script, variable);
	std::string noted = note != nullptr ? note->text : "";
	if (variable == script->rcvar)
		return script->desc.empty() ? noted : script->desc;
	return noted.empty() ? script->desc : noted;
}
