// Reading an rc.d script as the boot's shell would take it, without running it.
//
// The script is cut by the project's tokenizer and reader; what counts is
// the simple commands sh runs in the shell itself at the script's top level,
// in their order:
//
//   name="nginx"   rcvar=nginx_enable   rcvar="${name}_enable"   rcvar=`set_rcvar`
//   desc="..."     load_rc_config $name
//   : ${v:="x"}    : ${v="x"}    v=${v:-"x"}    v=${v-"x"}    [ -z "$v" ] && v="x"
//   eval ": \${${name}_v:=\"x\"}"  (the text eval runs is read the same way)
//
// ${name} and $name stand for the name the script has given itself there;
// a name computed from the script's path (name=${0##*/}, name="${name##*/}")
// is its file's name. What a function, a subshell, case, if or a loop holds
// gives no default. A script that sets rcvar only in such a block, always to
// the same text, has that rcvar; otherwise an rcvar or a name that cannot be
// known without running the script makes it unreadable.
#include "boot/service_script.h"

#include "files/open_file.h"
#include "shell/reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

// Bytes of a header note kept; real notes hold a few lines.
constexpr std::size_t note_limit = 1024;

std::string_view trimmed(std::string_view text)
{
	std::size_t first = text.find_first_not_of(" \t");
	if (first == std::string_view::npos)
		return {};
	std::size_t last = text.find_last_not_of(" \t\r");
	return text.substr(first, last - first + 1);
}

// raw with each $name and ${name} that sh expands replaced by name; nullopt
// when the word holds one and the name is not known.
std::optional<std::string> with_name(std::string_view raw, const std::optional<std::string> &name)
{
	std::string out;
	char quote = 0;
	for (std::size_t i = 0; i < raw.size(); i++) {
		char c = raw[i];
		if (quote == '\'') {
			out += c;
			quote = c == '\'' ? 0 : quote;
			continue;
		}
		if (c == '\\' && i + 1 < raw.size()) {
			out.append(raw.substr(i, 2));
			i++;
			continue;
		}
		if ((c == '\'' && quote == 0) || c == '"') {
			quote = c == '"' && quote == '"' ? 0 : c;
			out += c;
			continue;
		}
		std::string_view rest = raw.substr(i + 1);
		std::size_t length = 0;
		if (c == '$' && rest.substr(0, 6) == "{name}")
			length = 6;
		else if (c == '$' && rest.substr(0, 4) == "name" && (rest.size() == 4 || !is_name_char(rest[4])))
			length = 4;
		if (length == 0) {
			out += c;
			continue;
		}
		if (!name)
			return std::nullopt;
		out += *name;
		i += length;
	}
	return out;
}

// The text sh makes of a word that expands nothing: its quotes removed.
std::optional<std::string> literal(std::string_view raw)
{
	std::string out;
	char quote = 0;
	for (std::size_t i = 0; i < raw.size(); i++) {
		char c = raw[i];
		if (quote == '\'') {
			if (c == '\'')
				quote = 0;
			else
				out += c;
		} else if (c == '$' || c == '`' || (c == '~' && quote == 0 && i == 0)) {
			return std::nullopt;
		} else if (c == '\\' && i + 1 < raw.size()) {
			char next = raw[++i];
			if (quote == '"' && std::strchr("$`\"\\", next) == nullptr)
				out += c;
			out += next;
		} else if (c == '"' || (c == '\'' && quote == 0)) {
			quote = quote == c ? 0 : c;
		} else {
			out += c;
		}
	}
	if (quote != 0)
		return std::nullopt;
	return out;
}

// Walks text from at as sh reads a word, open holding what is open there:
// '{' for ${, '"' and '\'' for quotes. top is asked of each byte outside all
// of them and stops the walk by answering false. Returns where the walk
// stopped: at such a byte, just past the close of what was open at the
// start, or at the end; npos when the text ends with something still open.
template <typename Top> std::size_t walk(std::string_view text, std::size_t at, std::vector<char> open, Top top)
{
	bool closing = !open.empty();
	for (; at < text.size(); at++) {
		char c = text[at];
		char in = open.empty() ? 0 : open.back();
		if (in == '\'') {
			if (c == '\'')
				open.pop_back();
			continue;
		}
		if (c == '\\') {
			at++;
			continue;
		}
		if (c == '"' && in == '"')
			open.pop_back();
		else if (c == '"' || (c == '\'' && in != '"'))
			open.push_back(c);
		else if (c == '$' && at + 1 < text.size() && text[at + 1] == '{')
			open.push_back('{'), at++;
		else if (c == '}' && in == '{')
			open.pop_back();
		else if (open.empty() && !top(at))
			return at;
		if (closing && open.empty())
			return at + 1;
	}
	return open.empty() && !closing ? text.size() : std::string_view::npos;
}

// ${VARIABLE OP WORD}, the whole of a word or of its double quotes.
struct parameter {
	std::string variable;
	char op;        // '-' or '='
	bool colon;     // ":-", ":=": also when the variable is empty
	std::string word;
	bool quoted;    // the word stands inside double quotes
};

std::optional<parameter> parameter_of(std::string_view raw)
{
	parameter p{};
	p.quoted = raw.size() >= 2 && raw.front() == '"' && raw.back() == '"';
	std::string_view inner = p.quoted ? raw.substr(1, raw.size() - 2) : raw;
	if (inner.substr(0, 2) != "${")
		return std::nullopt;
	std::size_t at = 2;
	while (at < inner.size() && is_name_char(inner[at]))
		at++;
	p.variable = std::string(inner.substr(2, at - 2));
	if (!is_variable_name(p.variable) || at >= inner.size())
		return std::nullopt;
	p.colon = inner[at] == ':';
	at += p.colon ? 1 : 0;
	if (at >= inner.size() || (inner[at] != '-' && inner[at] != '='))
		return std::nullopt;
	p.op = inner[at++];
	std::size_t end = walk(inner, at, {'{'}, [](std::size_t) { return true; });
	if (end != inner.size())
		return std::nullopt;
	p.word = std::string(inner.substr(at, end - 1 - at));
	return p;
}

// Whether "v=" and word read back as one assignment of word: nothing in it
// would end the word or the line outside quotes and expansions.
bool stays_one_word(std::string_view word)
{
	auto plain = [word](std::size_t at) { return std::strchr(" \t\n;&|<>()", word[at]) == nullptr; };
	return walk(word, 0, {}, plain) == word.size();
}

// The variable a "-z" test names: $v, ${v}, "$v" or "${v}".
std::string tested_variable(std::string_view raw)
{
	if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
		raw = raw.substr(1, raw.size() - 2);
	if (raw.substr(0, 2) == "${" && raw.back() == '}')
		raw = raw.substr(2, raw.size() - 3);
	else if (!raw.empty() && raw[0] == '$')
		raw.remove_prefix(1);
	else
		return "";
	return is_variable_name(raw) ? std::string(raw) : "";
}

std::string file_name_of(std::string_view path)
{
	std::size_t slash = path.rfind('/');
	return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// A default waiting to be read as rc.conf would hold it: "variable=text".
struct default_text {
	std::size_t step;
	std::string text;
};

// The reading of one script, or of one text it hands to eval.
struct script_reading {
	service_script &script;
	std::optional<std::string> name;
	std::optional<std::string> rcvar; // at the top level
	bool rcvar_at_top = false;
	std::vector<std::string> nested_rcvars;
	bool nested_rcvar_unknown = false;
	std::vector<default_text> pending_defaults;
	struct eval_text {
		std::size_t step; // the steps it goes before
		std::string text;
		int line;
	};
	std::vector<eval_text> evals;
	std::string tested;  // the variable of a "[ -z ... ]" that ended the last command
	std::unordered_set<std::string> noted; // the variables of script.notes
	bool note_open = false; // the note at note_index may go on below
	std::size_t note_index = 0;
	int note_line = 0;
	bool in_eval = false;

	explicit script_reading(service_script &into) : script(into) {}

	void give_default(const std::string &variable, std::string text, bool when_empty, int line)
	{
		if (!is_variable_name(variable))
			return;
		script_step step{};
		step.what = script_step::give_default;
		step.variable = variable;
		step.when_empty = when_empty;
		step.line = line;
		pending_defaults.push_back({script.steps.size(), variable + "=" + text});
		script.steps.push_back(std::move(step));
	}

	// A ${v OP word} whose word is given to v as a default.
	void give_parameter(const parameter &p, int line)
	{
		std::optional<std::string> word = with_name(p.word, name);
		if (!word)
			return;
		// An assignment does not split its word: one without quotes means
		// the same between double quotes.
		bool unquoted = word->find_first_of("\"'\\") == std::string::npos;
		if (!p.quoted && stays_one_word(*word))
			give_default(p.variable, *word, p.colon, line);
		else if (p.quoted ? word->find('"') == std::string::npos : unquoted)
			give_default(p.variable, "\"" + *word + "\"", p.colon, line);
	}

	std::optional<std::string> evaluated(std::string_view raw) const
	{
		std::optional<std::string> named = with_name(raw, name);
		return named ? literal(*named) : std::nullopt;
	}

	void assign_name(std::string_view raw, bool nested)
	{
		if (nested)
			return;
		for (std::string_view computed : {"${0##*/}", "\"${0##*/}\"", "${name##*/}", "\"${name##*/}\""}) {
			if (raw == computed) {
				name = file_name_of(script.path);
				return;
			}
		}
		std::optional<std::string> value = evaluated(raw);
		name = value && is_variable_name(*value) ? value : std::nullopt;
	}

	void assign_rcvar(std::string_view raw, bool nested, int line)
	{
		std::optional<std::string> value;
		if (raw == "`set_rcvar`" || raw == "$(set_rcvar)" || raw == "\"`set_rcvar`\"" || raw == "\"$(set_rcvar)\"")
			value = name ? std::optional<std::string>(*name + "_enable") : std::nullopt;
		else
			value = evaluated(raw);
		if (value && !value->empty() && !is_variable_name(*value))
			value = std::nullopt;
		if (nested) {
			if (value)
				nested_rcvars.push_back(*value);
			else
				nested_rcvar_unknown = true;
			if (!rcvar_at_top && script.rcvar_line == 0)
				script.rcvar_line = line;
			return;
		}
		rcvar = value;
		rcvar_at_top = true;
		script.rcvar_line = line;
	}

	void assignments(const top_command &command)
	{
		std::size_t count = 0;
		while (count < command.words.size() && command.words[count].name_length > 0)
			count++;
		// With a command name they only set that command's environment.
		if (count < command.words.size())
			return;
		for (const command_word &word : command.words) {
			std::string variable = word.text.substr(0, word.name_length);
			std::string_view raw = std::string_view(word.text).substr(word.name_length + 1);
			if (variable == "name") {
				assign_name(raw, command.nested);
			} else if (variable == "rcvar") {
				assign_rcvar(raw, command.nested, command.line);
			} else if (variable == "desc" && !command.nested) {
				if (std::optional<std::string> value = evaluated(raw))
					script.desc = *value;
			}
			if (command.nested)
				continue;
			if (std::optional<parameter> p = parameter_of(raw)) {
				// v=${v:-x} and v=${v-x} give v a default; ${w:=x} gives one to w wherever it stands.
				if (p->op == '=' || p->variable == variable)
					give_parameter(*p, command.line);
			} else if (command.list_position == 1 && command.after_and && command.words.size() == 1 &&
				   tested == variable) {
				if (std::optional<std::string> text = with_name(raw, name); text && stays_one_word(*text))
					give_default(variable, *text, true, command.line);
			}
		}
	}

	void on_command(const top_command &command)
	{
		std::string was_tested;
		was_tested.swap(tested);
		if (command.words_cut || command.words.empty())
			return;
		for (const command_word &word : command.words)
			if (word.cut)
				return;
		const std::vector<command_word> &words = command.words;
		if (words[0].name_length > 0) {
			tested = was_tested;
			assignments(command);
			tested.clear();
			return;
		}
		if (command.nested)
			return;
		const std::string &first = words[0].text;
		if (first == ":") {
			for (std::size_t i = 1; i < words.size(); i++) {
				std::optional<parameter> p = parameter_of(words[i].text);
				if (p && p->op == '=')
					give_parameter(*p, command.line);
			}
		} else if (first == "eval" && !in_eval && words.size() > 1) {
			std::string text;
			for (std::size_t i = 1; i < words.size(); i++) {
				std::optional<std::string> arg = evaluated(words[i].text);
				if (!arg)
					return;
				text += (i > 1 ? " " : "") + *arg;
			}
			evals.push_back({script.steps.size(), text, command.line});
		} else if (first == "load_rc_config") {
			std::size_t at = words.size() > 1 && (words[1].text == "-s" || words[1].text == "--safe") ? 2 : 1;
			if (at < words.size()) {
				if (std::optional<std::string> config = evaluated(words[at].text); config && !config->empty()) {
					script_step step{};
					step.what = script_step::read_config;
					step.config = *config;
					step.line = command.line;
					script.steps.push_back(std::move(step));
				}
			}
		} else if ((first == "[" && words.size() == 4 && words[1].text == "-z" && words[3].text == "]") ||
			   (first == "test" && words.size() == 3 && words[1].text == "-z")) {
			if (command.list_position == 0)
				tested = tested_variable(words[2].text);
		}
	}

	void on_comment(std::string_view text, comment_place place)
	{
		int line = place.line;
		if (place.starts_line && text.substr(0, 9) == " PROVIDE:")
			script.provides = true;
		std::string_view body = trimmed(text);
		std::size_t end = 0;
		while (end < body.size() && is_name_char(body[end]))
			end++;
		std::string_view variable = body.substr(0, end);
		std::string_view rest = trimmed(body.substr(end));
		std::size_t close = rest.find(')');
		if (is_variable_name(variable) && !rest.empty() && rest[0] == '(' && close != std::string_view::npos &&
		    is_variable_name(rest.substr(1, close - 1))) {
			note_open = false;
			if (!noted.insert(std::string(variable)).second)
				return;
			std::string_view note = trimmed(rest.substr(close + 1));
			if (!note.empty() && note[0] == ':')
				note = trimmed(note.substr(1));
			script.notes.push_back({std::string(variable), std::string(rest.substr(1, close - 1)),
						std::string(note.substr(0, note_limit))});
			note_index = script.notes.size() - 1;
			note_open = true;
			note_line = line;
			return;
		}
		// A note goes on over the comment lines right below it that are indented.
		bool goes_on = note_open && line == note_line + 1 && !body.empty() && place.alone &&
			       (text[0] == '\t' || text.substr(0, 2) == "  ");
		if (!goes_on) {
			note_open = false;
			return;
		}
		std::string &note = script.notes[note_index].text;
		if (note.size() < note_limit)
			note += (note.empty() ? "" : " ") + std::string(body.substr(0, note_limit - note.size()));
		note_line = line;
	}
};

// Each text eval runs is read as the script's own lines, in the eval's
// place. The steps are put together in one pass: inserting each eval's in
// turn would move every step behind it, once per eval.
void read_evals(script_reading &reading)
{
	if (reading.evals.empty())
		return;
	std::vector<service_script> parts(reading.evals.size());
	std::vector<std::vector<default_text>> part_defaults(reading.evals.size());
	std::vector<script_step> &outer = reading.script.steps;
	std::size_t total = outer.size();
	for (std::size_t e = 0; e < reading.evals.size(); e++) {
		parts[e].path = reading.script.path;
		script_reading inner{parts[e]};
		inner.name = reading.name;
		inner.in_eval = true;
		script_observer watch{[&inner](const top_command &c) { inner.on_command(c); },
				      [](std::string_view, comment_place) {}, true};
		read_rc_text(reading.evals[e].text + "\n", nullptr, &watch);
		part_defaults[e] = std::move(inner.pending_defaults);
		total += parts[e].steps.size();
	}
	std::vector<script_step> steps;
	steps.reserve(total);
	std::vector<std::size_t> moved_to(outer.size() + 1);
	std::vector<default_text> defaults;
	std::size_t e = 0;
	for (std::size_t i = 0; i <= outer.size(); i++) {
		for (; e < reading.evals.size() && reading.evals[e].step == i; e++) {
			for (default_text &d : part_defaults[e])
				defaults.push_back({steps.size() + d.step, std::move(d.text)});
			for (script_step &step : parts[e].steps) {
				step.line = reading.evals[e].line;
				steps.push_back(std::move(step));
			}
		}
		moved_to[i] = steps.size();
		if (i < outer.size())
			steps.push_back(std::move(outer[i]));
	}
	for (default_text &d : reading.pending_defaults)
		defaults.push_back({moved_to[d.step], std::move(d.text)});
	outer = std::move(steps);
	reading.pending_defaults = std::move(defaults);
}

// Reads every default as rc.conf would hold it, all of them in one pass
// when their variables differ (the k-th default of each variable in pass
// k), and drops those that do not read as one.
void read_defaults(script_reading &reading)
{
	std::vector<script_step> &steps = reading.script.steps;
	std::vector<bool> found(steps.size(), false);
	std::vector<std::vector<const default_text *>> passes;
	std::unordered_map<std::string_view, std::size_t> given;
	for (const default_text &d : reading.pending_defaults) {
		std::size_t pass = given[steps[d.step].variable]++;
		if (pass == passes.size())
			passes.emplace_back();
		passes[pass].push_back(&d);
	}
	for (const std::vector<const default_text *> &pass : passes) {
		std::string text;
		std::unordered_map<std::string_view, std::size_t> wanted;
		for (const default_text *d : pass) {
			text += d->text + "\n";
			wanted.emplace(steps[d->step].variable, d->step);
		}
		// Each entry as it is read, instead of into lists of a thousand bytes
		// an entry; a later entry of a name gives its value, as in lists.
		script_observer watch{[](const top_command &) {}, [](std::string_view, comment_place) {}};
		watch.entry = [&](const rc_entry &entry) {
			auto at = wanted.find(field_text(entry.name));
			if (at == wanted.end())
				return;
			steps[at->second].value = {entry.is_knob != 0, entry.knob_on != 0, std::string(field_text(entry.value)),
						   entry.value_lock};
			found[at->second] = true;
		};
		read_rc_text(text, nullptr, &watch);
	}
	reading.pending_defaults.clear();
	std::size_t kept = 0;
	for (std::size_t i = 0; i < steps.size(); i++) {
		if (steps[i].what == script_step::give_default && !found[i])
			continue;
		if (kept != i)
			steps[kept] = std::move(steps[i]);
		kept++;
	}
	steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(kept), steps.end());
}

} // namespace

rc_entry default_entry(const script_step &step)
{
	rc_entry entry{};
	copy_field(entry.name, step.variable);
	entry.is_knob = step.value.knob ? 1 : 0;
	entry.knob_on = entry.saved_knob_on = step.value.on ? 1 : 0;
	copy_field(entry.value, step.value.text);
	copy_field(entry.saved_value, step.value.text);
	entry.value_lock = step.value.value_lock;
	entry.line = step.line;
	return entry;
}

const script_note *note_of(const service_script &script, const std::string &variable)
{
	for (const script_note &note : script.notes)
		if (note.variable == variable)
			return &note;
	return nullptr;
}

int read_service_stream(FILE *in, const char *path, service_script &script)
{
	script = service_script{};
	script.path = path;
	script_reading reading{script};
	script_observer watch{[&reading](const top_command &c) { reading.on_command(c); },
			      [&reading](std::string_view text, comment_place place) { reading.on_comment(text, place); },
			      true};
	// The script may have grown past its bound since it was opened.
	if (read_observed_stream(in, nullptr, &watch, script_size_bound) != 0) {
		note_passed_over(path, passed_over::too_large);
		return -1;
	}
	if (!reading.name)
		return -1;
	script.name = *reading.name;
	if (reading.rcvar_at_top) {
		if (!reading.rcvar)
			return -1;
		script.rcvar = *reading.rcvar;
	} else if (!reading.nested_rcvars.empty() || reading.nested_rcvar_unknown) {
		for (const std::string &r : reading.nested_rcvars)
			if (r != reading.nested_rcvars[0])
				return -1;
		if (reading.nested_rcvar_unknown)
			return -1;
		script.rcvar = reading.nested_rcvars[0];
	}
	read_evals(reading);
	read_defaults(reading);
	return 0;
}

int read_service_script(const char *path, service_script &script)
{
	script = service_script{};
	FILE *in = open_for_reading(path, script_size_bound);
	if (in == nullptr)
		return -1;
	int result = read_service_stream(in, path, script);
	std::fclose(in);
	return result;
}
