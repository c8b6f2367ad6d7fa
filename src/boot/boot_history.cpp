// Sorting the commands the load's observer sees into steps that set variables for sure and commands that may.
#include "boot/boot_history.h"

#include "boot/services.h"
#include "boot/sources.h"

#include <new>
#include <string_view>
#include <unordered_set>

namespace {

// What the files set, in order.
std::vector<history_step> steps;
// The commands that may set variables, in order.
std::vector<setting_command> settings;
// The functions the files define, wherever a definition stands.
std::unordered_set<std::string> functions;

// The top-level compound command whose commands are being seen.
struct open_compound {
	bool live = false; // a compound command is open, run in the shell itself
	bool noted = false;
	int source = 0;
	int line = 0;
	int end_line = 0;
	std::string keyword;
};
open_compound current;

// Built-ins that set the variables their words name, or run text that may.
constexpr std::string_view setting_builtins[] = {".", "source", "eval", "read", "export", "readonly",
						 "getopts", "local", "unset"};

// sh keeps the assignments before these for the rest of the file.
constexpr std::string_view special_builtins[] = {":",    ".",      "break", "continue", "eval",  "exec",
						 "exit", "export", "readonly", "return", "set", "shift",
						 "times", "trap",  "unset"};

template <std::size_t N> bool listed(std::string_view word, const std::string_view (&list)[N])
{
	for (std::string_view entry : list)
		if (word == entry)
			return true;
	return false;
}

// Whether word holds ${v=w} or ${v:=w}, which assign v wherever they are expanded.
bool assigns_in_word(std::string_view word)
{
	for (std::size_t at = word.find("${"); at != std::string_view::npos; at = word.find("${", at + 2)) {
		std::size_t end = at + 2;
		while (end < word.size() && is_name_char(word[end]))
			end++;
		if (end > at + 2 && end < word.size() &&
		    (word[end] == '=' || (word[end] == ':' && end + 1 < word.size() && word[end + 1] == '=')))
			return true;
	}
	return false;
}

std::size_t assignment_count(const top_command &command)
{
	std::size_t count = 0;
	while (count < command.words.size() && command.words[count].name_length > 0)
		count++;
	return count;
}

// What makes a command other than a plain assignment set variables, or "" when nothing does.
std::string setting_part(const top_command &command, std::size_t assignments)
{
	const std::vector<command_word> &words = command.words;
	if (assignments == words.size())
		return "=";
	std::size_t at = assignments;
	if (words[at].text == "command" && at + 1 < words.size())
		at++;
	const std::string &name = words[at].text;
	if (listed(name, setting_builtins) || functions.count(name) > 0)
		return name;
	if (assignments > 0 && listed(name, special_builtins))
		return "=";
	for (const command_word &word : words)
		if (assigns_in_word(word.text))
			return name;
	return "";
}

void note_setting(int source, int line, std::string what)
{
	settings.push_back({source, line, std::move(what)});
}

void add_step(history_step::kind what, const command_word *word, int source, int line)
{
	history_step step{what, "", "", false, source, line, 0};
	if (word != nullptr) {
		std::size_t value = what == history_step::assignment ? word->name_length + 1 : 0;
		step.line = word->line;
		// A name cut short names no variable that can be known.
		if (value > word->text.size()) {
			step.what = history_step::lost;
		} else {
			step.name = word->text.substr(0, word->name_length);
			step.word = word->text.substr(value);
			step.cut = word->cut;
		}
	}
	steps.push_back(std::move(step));
}

// The steps of a command that runs for sure at the top level: its
// assignments, or those of ":" after its words, which sh expands first.
void add_steps(int source, const top_command &command, std::size_t assignments)
{
	const std::vector<command_word> &words = command.words;
	if (assignments < words.size()) {
		for (std::size_t i = assignments + 1; i < words.size(); i++)
			add_step(history_step::expansion, &words[i], source, command.line);
	}
	for (std::size_t i = 0; i < assignments; i++)
		add_step(history_step::assignment, &words[i], source, command.line);
	if (command.words_cut)
		add_step(history_step::lost, nullptr, source, command.line);
}

bool gives_default(const service_script &service, const std::string &variable, int line)
{
	for (const script_step &s : service.steps)
		if (s.what == script_step::give_default && s.variable == variable && s.line == line)
			return true;
	return false;
}

} // namespace

void clear_history()
{
	steps.clear();
	settings.clear();
	functions.clear();
	current = open_compound{};
}

void note_command(int source, const top_command &command)
{
	if (command.words.empty())
		return;
	std::size_t assignments = assignment_count(command);
	if (command.nested) {
		bool inside = current.live && current.source == source && command.line >= current.line &&
			      command.line <= current.end_line;
		if (inside && !current.noted && !setting_part(command, assignments).empty()) {
			note_setting(source, current.line, current.keyword);
			current.noted = true;
		}
		return;
	}
	current.live = false;
	bool plain = assignments == command.words.size() || command.words[assignments].text == ":";
	if (plain && command.list_position == 0) {
		add_steps(source, command, assignments);
		if (assignments == command.words.size())
			return;
	}
	std::string what = setting_part(command, assignments);
	if (!what.empty())
		note_setting(source, command.line, what);
}

void note_compound(int source, const top_compound &compound)
{
	if (compound.keyword == "()" && !compound.piped)
		functions.insert(compound.function);
	if (compound.nested) {
		bool inside = current.live && current.source == source && compound.line <= current.end_line;
		if (inside && !current.noted && compound.keyword == "for" && !compound.piped) {
			note_setting(source, current.line, current.keyword);
			current.noted = true;
		}
		return;
	}
	current = open_compound{};
	if (compound.piped || compound.keyword == "()")
		return;
	current = {true, false, source, compound.line, compound.end_line, compound.keyword};
	// A for loop sets its variable.
	if (compound.keyword == "for") {
		note_setting(source, compound.line, compound.keyword);
		current.noted = true;
	}
}

void note_service_value(const rc_entry &entry)
{
	const source_file *file = source_of(entry);
	if (file == nullptr)
		return;
	const service_script *service = service_named(file->service);
	history_step step{history_step::assignment, entry.name, "", false, entry.source, entry.line, entry.line};
	if (service != nullptr && file->kind == source_kind::service_file) {
		// rc.conf.d files are read where the script calls load_rc_config.
		for (const script_step &s : service->steps) {
			if (s.what == script_step::read_config) {
				step.order = s.line;
				break;
			}
		}
	}
	if (entry.is_knob != 0) {
		step.word = entry.knob_on != 0 ? "YES" : "NO";
		// The knob load makes of an rcvar that nothing sets, at the rcvar's line.
		if (service != nullptr && file->kind == source_kind::script && entry.knob_on == 0 &&
		    step.name == service->rcvar && !gives_default(*service, step.name, entry.line))
			step.what = history_step::left_unset;
	} else {
		step.word = std::string(field_text(entry.value));
		step.cut = (entry.value_lock & value_too_long) != 0;
	}
	steps.push_back(std::move(step));
}

const std::vector<history_step> &history()
{
	return steps;
}

const std::vector<setting_command> &setting_commands()
{
	return settings;
}

std::vector<int> machine_setting_lines()
{
	std::vector<int> lines;
	try {
		for (const setting_command &command : settings) {
			const source_file *file = source_at(command.source);
			if (file != nullptr && file->kind == source_kind::machine)
				lines.push_back(command.line);
		}
	} catch (const std::bad_alloc &) {
		// The lines found so far are still worth naming.
	}
	return lines;
}
