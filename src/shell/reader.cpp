// Reading one rc.conf file as /bin/sh reads it: the assignments it makes at the top level.
#include "shell/reader.h"

#include "files/file_state.h"
#include "files/open_file.h"
#include "model/entry_set.h"
#include "shell/tokenizer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <vector>

constexpr const char *string_valued_names[36] = {
	"swapfile", "pccard_ifconfig", "nisdomainname", "ip_portrange_first",
	"ip_portrange_last", "gif_interfaces", "defaultrouter", "ipv6_defaultrouter",
	"keymap", "keyrate", "keybell", "keychange",
	"cursor", "scrnmap", "font8x16", "font8x14",
	"font8x8", "saver", "mousechar_start", "dumpdev",
	"rand_irqs", "ipv6_default_interface", "ipv6_faith_prefix", "isdn_fsdev",
	"isdn_screenflags", "amd_map_program", "gbde_devices", "extra_netfs_types",
	"pcvt_keymap", "pcvt_keydel", "pcvt_keyrate", "pcvt_lines",
	"pcvt_blanktime", "pcvt_cursorh", "pcvt_cursorl", "sendmail_enable",
};

// The reader follows sh's grammar far enough to know three things of every
// word: whether it is an assignment in a simple command that sets the
// variable in the shell itself (no command name but the special built-in
// ":", no redirection, not in a
// pipeline of several, not after && or ||, not run in the background); whether
// it stands at the top level, outside every compound command and function
// body; and whether sh would stop at a syntax error before it. An entry is
// made only for the first two, and only once the complete command holding it
// has been read: sh reads a complete command whole before it runs any of it,
// and at a syntax error it stops reading the file.
//
// The boot reads the file with "." inside a function, so a return or exit
// that the file's own shell runs ends its reading there: one outside every
// function body and subshell, alone in its pipeline and not in the
// background. One that only may run (in an if, after && or ||) counts too,
// as what follows it may not be read. Its complete command is the last one read.

namespace {

[[noreturn]] void out_of_memory()
{
	std::perror("read_rc_file()");
	std::exit(1);
}

// What may come next.
enum class expect {
	list,               // a command, or the end of a list
	command,            // a command: after |, &&, || or !
	simple,             // more of a simple command, or its end
	redirect_target,    // the word a redirection names
	after_compound,     // redirections, or the end of the command
	function_close,     // the ")" of "name ("
	function_body,      // the compound command of a function
	for_name,           // for NAME
	for_in_or_do,       // in, or do
	for_words,          // the words after in
	for_do,             // do
	case_subject,       // case WORD
	case_in,            // in
	case_pattern_start, // a pattern, with "(" before it, or esac
	case_pattern,       // a pattern after "(" or "|"
	case_pattern_next,  // "|" or ")"
};

// An open compound command, and the part of it being read.
enum class part { braces, parentheses, if_condition, if_body, else_body, loop_condition, loop_body, for_header, case_items };

struct frame {
	part what;
	bool has_command; // the part holds a command, which sh requires of most
	bool apart;       // in a function body or a subshell, here or further out
	std::size_t record; // its place among the parser's pending_compounds, or no_record
	std::size_t list_first_compound; // the parser's, when it opened
};

// A compound command no observer is shown.
constexpr std::size_t no_record = static_cast<std::size_t>(-1);

struct parser {
	std::vector<frame> open;
	expect next = expect::list;
	expect after_redirect = expect::simple;
	bool failed = false;
	// The simple command being read.
	bool fresh = false;           // nothing of it read yet
	bool named = false;           // it has a command name
	bool sets = true;             // it may set variables: nothing but assignments
	bool may_define = false;      // one command name and nothing else: "name (" defines a function
	bool in_pipeline = false;     // after |: run in a subshell
	bool conditional = false;     // after && or ||: may not run at all
	bool after_and = false;       // the last && or || was &&
	int list_commands = 0;        // commands of the and-or list read so far
	bool body_next = false;       // the compound command that comes is a function's body
	int ending_line = 0;          // the simple command is a return or exit of the file's shell, on this line
	int list_end_line = 0;        // the and-or list holds one, unless it goes to the background
	int end_line = 0;             // the line where the boot stops reading the file, 0 for none
	bool stopped = false;         // the complete command holding it has been read
	std::size_t command_first = 0;
	std::size_t list_first = 0;   // first entry of the and-or list, dropped by &
	// Entries of the complete command, filed once it is read whole.
	std::vector<rc_entry> pending;
	std::size_t line_first = 0;   // first pending entry of the current line
	entry_set read = {};
	bool keeps_entries = true;    // false: only where the reading ends, or the commands, are wanted
	bool lays_entries = true;     // the entries go into read, for lists
	void (*while_waiting)() = nullptr; // called every waiting_tokens tokens, when set
	// Only while a script is read: its simple commands, filed as entries are.
	const script_observer *observer = nullptr;
	top_command command;
	std::vector<top_command> pending_commands;
	std::size_t list_first_command = 0;
	// Only when the observer wants them: the compound commands, each with the
	// number of pending_commands before it.
	std::vector<std::pair<std::size_t, top_compound>> pending_compounds;
	std::size_t list_first_compound = 0;
	std::size_t last_closed = no_record; // the record of the compound command just closed
};

// Words of a command kept for a script's reader; no command a script
// gives a default with comes near it.
constexpr std::size_t command_word_limit = 64;

// Tokens read between two calls of while_waiting: a millisecond's work or so.
constexpr unsigned waiting_tokens = 1u << 16;

bool is_string_valued(const char (&name)[field_size])
{
	for (const char *listed : string_valued_names)
		if (names_equal(name, listed))
			return true;
	return false;
}

// A string's value: one double-quoted text, or the file's own text when none
// reads as the value. A value too long for its field keeps its beginning
// and is marked, so that it is never written back.
void set_string_value(rc_entry &entry, const word_token &word)
{
	if (word.as_written) {
		entry.value_lock = value_as_written;
		if (copy_field(entry.value, word.value_text) != 0 || word.text_cut)
			entry.value_lock |= value_too_long;
	} else {
		char quoted[field_size + 2];
		std::size_t body = word.shown.size() < field_size ? word.shown.size() : field_size;
		quoted[0] = '"';
		word.shown.copy(quoted + 1, body);
		quoted[body + 1] = '"';
		std::string_view text(quoted, body + 2);
		if (word.shown_cut || text.size() > field_size - 1) {
			copy_field(entry.value, text.substr(0, text.size() - 1));
			entry.value_lock = value_too_long;
		} else {
			copy_field(entry.value, text);
		}
	}
	std::memcpy(entry.saved_value, entry.value, field_size);
}

// YES or NO, in any case and however quoted, makes a knob; NO does not for
// the names whose value is a word that may be NO.
void classify(rc_entry &entry, const word_token &word)
{
	bool yes = !word.expands && equal_ignoring_case(word.literal, "YES");
	bool no = !word.expands && equal_ignoring_case(word.literal, "NO");
	if (yes || (no && !is_string_valued(entry.name))) {
		entry.is_knob = 1;
		entry.knob_on = entry.saved_knob_on = yes;
	} else {
		set_string_value(entry, word);
	}
}

void fail(parser &p)
{
	p.failed = true;
}

int current_line()
{
	std::size_t line = token_line();
	return line < INT_MAX ? static_cast<int>(line) : INT_MAX;
}

void add_entry(parser &p, const word_token &word)
{
	if (!p.open.empty() || p.end_line != 0 || !p.keeps_entries)
		return;
	rc_entry entry{};
	copy_field(entry.name, word.text.substr(0, word.name_length));
	entry.line = current_line();
	classify(entry, word);
	p.pending.push_back(entry);
}

void drop_pending(parser &p, std::size_t from)
{
	p.pending.resize(from);
	if (p.line_first > from)
		p.line_first = from;
}

// The complete command is read: its entries count. Names that begin with
// "_" are the scripts' own.
void file_pending(parser &p)
{
	for (const rc_entry &entry : p.pending) {
		if (entry.name[0] == '_')
			continue;
		if (p.observer != nullptr && p.observer->entry)
			p.observer->entry(entry);
		if (p.lays_entries && lay_over(p.read, entry) != 0)
			out_of_memory();
	}
	p.pending.clear();
	p.command_first = p.list_first = p.line_first = 0;
	if (p.observer != nullptr) {
		std::size_t next = 0;
		std::size_t count = p.pending_commands.size();
		for (std::size_t i = 0; i <= count; i++) {
			for (; next < p.pending_compounds.size() && (p.pending_compounds[next].first <= i || i == count); next++)
				p.observer->compound(p.pending_compounds[next].second);
			if (i < count)
				p.observer->command(p.pending_commands[i]);
		}
	}
	p.pending_commands.clear();
	p.list_first_command = 0;
	p.pending_compounds.clear();
	p.list_first_compound = 0;
	p.last_closed = no_record;
	p.stopped = p.end_line != 0;
}

void mark_command(parser &p)
{
	if (!p.open.empty())
		p.open.back().has_command = true;
}

void start_simple_command(parser &p)
{
	mark_command(p);
	p.next = expect::simple;
	p.fresh = true;
	p.named = false;
	p.sets = true;
	p.may_define = false;
	p.ending_line = 0;
	p.command_first = p.pending.size();
	if (p.observer != nullptr) {
		p.command = top_command{};
		p.command.line = current_line();
		p.command.list_position = p.list_commands;
		p.command.after_and = p.after_and;
	}
}

// Inside a function body, or a subshell: not run in the shell reading the file, or not when it reads it.
bool runs_elsewhere(const parser &p)
{
	return !p.open.empty() && p.open.back().apart;
}

// A script's reader sees the words of each simple command that sh may run
// in the shell itself while it reads the file.
void observe_word(parser &p, const word_token &word)
{
	if (p.observer == nullptr || runs_elsewhere(p))
		return;
	if (p.command.words.size() >= command_word_limit) {
		p.command.words_cut = true;
		return;
	}
	p.command.words.push_back({std::string(word.text), word.name_length, word.text_cut, current_line()});
}

// A command ends. Its assignments stay only when they set the variables in
// this shell: a simple command of nothing but assignments, alone in its
// pipeline, at the start of its and-or list.
void end_command(parser &p, bool pipe_follows)
{
	if (p.next == expect::simple && !(p.sets && !p.in_pipeline && !pipe_follows && !p.conditional))
		drop_pending(p, p.command_first);
	if (p.next == expect::simple && p.ending_line != 0 && !p.in_pipeline && !pipe_follows && p.list_end_line == 0)
		p.list_end_line = p.ending_line;
	p.ending_line = 0;
	if (p.next == expect::simple && p.observer != nullptr && !runs_elsewhere(p) && !p.in_pipeline && !pipe_follows &&
	    p.end_line == 0 && !p.command.words.empty()) {
		p.command.nested = !p.open.empty();
		p.pending_commands.push_back(std::move(p.command));
	}
	p.list_commands++;
	p.next = expect::list;
}

void end_list(parser &p)
{
	p.in_pipeline = p.conditional = p.after_and = false;
	p.list_first = p.pending.size();
	p.list_commands = 0;
	p.list_first_command = p.pending_commands.size();
	p.list_first_compound = p.pending_compounds.size();
	if (p.end_line == 0)
		p.end_line = p.list_end_line;
	p.list_end_line = 0;
}

bool ends_command(expect next)
{
	return next == expect::simple || next == expect::after_compound;
}

// Keeps a compound command, or the definition whose body it is, for an observer that wants them.
std::size_t record_compound(parser &p, std::string_view keyword, bool defines)
{
	if (p.observer == nullptr || !p.observer->compound || runs_elsewhere(p) || (keyword == "(" && !defines))
		return no_record;
	top_compound compound{};
	compound.keyword = defines ? "()" : std::string(keyword);
	if (defines && p.command.words.size() == 1)
		compound.function = p.command.words[0].text;
	compound.nested = !p.open.empty();
	compound.piped = p.in_pipeline;
	compound.line = compound.end_line = current_line();
	p.pending_compounds.emplace_back(p.pending_commands.size(), std::move(compound));
	return p.pending_compounds.size() - 1;
}

void open_compound(parser &p, part what, expect next, std::string_view keyword)
{
	mark_command(p);
	bool defines = p.body_next;
	std::size_t record = record_compound(p, keyword, defines);
	bool apart = defines || what == part::parentheses || runs_elsewhere(p);
	p.open.push_back({what, false, apart, record, p.list_first_compound});
	p.body_next = false;
	p.next = next;
}

// A reserved word that moves from one part of a compound command to the next.
void next_part(parser &p, std::initializer_list<part> from, part to)
{
	if (p.open.empty() || !p.open.back().has_command) {
		fail(p);
		return;
	}
	for (part f : from) {
		if (p.open.back().what == f) {
			p.open.back().what = to;
			p.open.back().has_command = false;
			p.next = expect::list;
			return;
		}
	}
	fail(p);
}

// A reserved word or ")" that closes a compound command.
void close_compound(parser &p, std::initializer_list<part> closable, bool needs_command)
{
	if (p.open.empty() || (needs_command && !p.open.back().has_command)) {
		fail(p);
		return;
	}
	for (part c : closable) {
		if (p.open.back().what == c) {
			p.last_closed = p.open.back().record;
			if (p.last_closed != no_record)
				p.pending_compounds[p.last_closed].second.end_line = current_line();
			p.list_first_compound = p.open.back().list_first_compound;
			p.open.pop_back();
			p.next = expect::after_compound;
			return;
		}
	}
	fail(p);
}

// Reserved words are recognized where a command may start. Returns whether
// word was one.
bool reserved_word(parser &p, std::string_view word)
{
	bool closes = word == "then" || word == "elif" || word == "else" || word == "fi" || word == "do" ||
		      word == "done" || word == "esac" || word == "}" || word == "in";
	if (closes && p.next == expect::command) {
		fail(p);
		return true;
	}
	if (word == "if")
		open_compound(p, part::if_condition, expect::list, word);
	else if (word == "while" || word == "until")
		open_compound(p, part::loop_condition, expect::list, word);
	else if (word == "for")
		open_compound(p, part::for_header, expect::for_name, word);
	else if (word == "case")
		open_compound(p, part::case_items, expect::case_subject, word);
	else if (word == "{")
		open_compound(p, part::braces, expect::list, word);
	else if (word == "!")
		p.next = expect::command;
	else if (word == "then")
		next_part(p, {part::if_condition}, part::if_body);
	else if (word == "elif")
		next_part(p, {part::if_body}, part::if_condition);
	else if (word == "else")
		next_part(p, {part::if_body}, part::else_body);
	else if (word == "do")
		next_part(p, {part::loop_condition}, part::loop_body);
	else if (word == "fi")
		close_compound(p, {part::if_body, part::else_body}, true);
	else if (word == "done")
		close_compound(p, {part::loop_body}, true);
	else if (word == "esac")
		close_compound(p, {part::case_items}, false);
	else if (word == "}")
		close_compound(p, {part::braces}, true);
	else if (word == "in")
		fail(p);
	else
		return false;
	return true;
}

void enter_loop_body(parser &p)
{
	p.open.back().what = part::loop_body;
	p.open.back().has_command = false;
	p.next = expect::list;
}

void on_word(parser &p)
{
	const word_token &word = last_word();
	if (word.unterminated) {
		fail(p);
		return;
	}
	std::string_view text = word.text;
	switch (p.next) {
	case expect::function_body:
		if (text != "{" && text != "if" && text != "while" && text != "until" && text != "for" && text != "case") {
			fail(p);
			return;
		}
		[[fallthrough]];
	case expect::list:
	case expect::command:
		if (reserved_word(p, text))
			return;
		start_simple_command(p);
		[[fallthrough]];
	case expect::simple:
		if (!word.io_number)
			observe_word(p, word);
		if (word.io_number) {
			p.sets = p.may_define = false;
		} else if (!p.named && word.name_length > 0) {
			add_entry(p, word);
			p.may_define = false;
		} else {
			bool apart = runs_elsewhere(p);
			bool surely = p.open.empty() && !p.conditional;
			bool counts = p.observer == nullptr || !p.observer->sure_ends_only || surely;
			if (!p.named && !apart && counts && (text == "return" || text == "exit"))
				p.ending_line = current_line();
			// Assignments before the special built-in ":" stay set in the shell.
			if (!p.named)
				p.sets = p.sets && text == ":";
			p.may_define = p.fresh;
			p.named = true;
		}
		p.fresh = false;
		return;
	case expect::redirect_target:
		p.next = p.after_redirect;
		return;
	case expect::for_name:
		if (!is_variable_name(text))
			fail(p);
		p.next = expect::for_in_or_do;
		return;
	case expect::for_in_or_do:
		if (text == "in")
			p.next = expect::for_words;
		else if (text == "do")
			enter_loop_body(p);
		else
			fail(p);
		return;
	case expect::for_words:
		return;
	case expect::for_do:
		if (text == "do")
			enter_loop_body(p);
		else
			fail(p);
		return;
	case expect::case_subject:
		p.next = expect::case_in;
		return;
	case expect::case_in:
		if (text == "in")
			p.next = expect::case_pattern_start;
		else
			fail(p);
		return;
	case expect::case_pattern_start:
		if (text == "esac") {
			close_compound(p, {part::case_items}, false);
			return;
		}
		[[fallthrough]];
	case expect::case_pattern:
		p.next = expect::case_pattern_next;
		return;
	default:
		fail(p);
	}
}

void on_newline(parser &p)
{
	p.line_first = p.pending.size();
	switch (p.next) {
	case expect::simple:
	case expect::after_compound:
		end_command(p, false);
		end_list(p);
		break;
	case expect::list:
	case expect::command:
	case expect::function_body:
	case expect::for_in_or_do:
	case expect::for_do:
	case expect::case_in:
	case expect::case_pattern_start:
		break;
	case expect::for_words:
		p.next = expect::for_do;
		break;
	default:
		fail(p);
		return;
	}
	if (p.next == expect::list && p.open.empty())
		file_pending(p);
}

void on_operator(parser &p, token_kind kind)
{
	bool in_command = ends_command(p.next);
	switch (kind) {
	case token_semicolon:
		if (p.next == expect::for_in_or_do || p.next == expect::for_words) {
			p.next = expect::for_do;
			return;
		}
		if (!in_command)
			break;
		end_command(p, false);
		end_list(p);
		return;
	case token_ampersand:
		if (!in_command)
			break;
		end_command(p, false);
		drop_pending(p, p.list_first);
		p.pending_commands.resize(p.list_first_command);
		p.pending_compounds.resize(std::min(p.list_first_compound, p.pending_compounds.size()));
		p.list_end_line = 0;
		end_list(p);
		return;
	case token_and_if:
	case token_or_if:
		if (!in_command)
			break;
		end_command(p, false);
		p.in_pipeline = false;
		p.conditional = true;
		p.after_and = kind == token_and_if;
		p.next = expect::command;
		return;
	case token_pipe:
		if (p.next == expect::case_pattern_next) {
			p.next = expect::case_pattern;
			return;
		}
		if (!in_command)
			break;
		if (p.next == expect::after_compound && p.last_closed != no_record)
			p.pending_compounds[p.last_closed].second.piped = true;
		end_command(p, true);
		p.in_pipeline = true;
		p.next = expect::command;
		return;
	case token_double_semicolon:
		if (in_command)
			end_command(p, false);
		if (p.next != expect::list || p.open.empty() || p.open.back().what != part::case_items)
			break;
		end_list(p);
		p.next = expect::case_pattern_start;
		return;
	case token_open_paren:
		if (p.next == expect::list || p.next == expect::command || p.next == expect::function_body) {
			open_compound(p, part::parentheses, expect::list, "(");
			return;
		}
		if (p.next == expect::case_pattern_start) {
			p.next = expect::case_pattern;
			return;
		}
		if (p.next == expect::simple && p.may_define) {
			p.next = expect::function_close;
			return;
		}
		break;
	case token_close_paren:
		if (p.next == expect::case_pattern_next) {
			p.next = expect::list;
			return;
		}
		if (p.next == expect::function_close) {
			p.next = expect::function_body;
			p.body_next = true;
			return;
		}
		if (in_command)
			end_command(p, false);
		if (p.next != expect::list)
			break;
		end_list(p);
		close_compound(p, {part::parentheses}, true);
		return;
	case token_redirect:
		if (p.next == expect::list || p.next == expect::command)
			start_simple_command(p);
		if (!ends_command(p.next))
			break;
		p.sets = p.may_define = p.fresh = false;
		p.after_redirect = p.next;
		p.next = expect::redirect_target;
		return;
	default:
		break;
	}
	fail(p);
}

// The end of the file: whatever is open there is a syntax error.
void on_end(parser &p)
{
	if (ends_command(p.next))
		end_command(p, false);
	if (p.next != expect::list || !p.open.empty())
		fail(p);
	else
		file_pending(p);
}

void read_tokens(parser &p)
{
	bool line_begun = false; // a token other than a comment stands on the line before this one
	for (unsigned tokens = 1; !p.failed && !p.stopped; tokens++) {
		if (p.while_waiting != nullptr && tokens % waiting_tokens == 0)
			p.while_waiting();
		token_kind kind = next_token();
		bool first_on_line = !line_begun;
		line_begun = kind != token_newline;
		switch (kind) {
		case token_end:
			on_end(p);
			return;
		case token_word:
			on_word(p);
			break;
		case token_newline:
			on_newline(p);
			break;
		case token_comment:
			if (p.pending.size() > p.line_first && p.pending.back().comment[0] == '\0')
				copy_field(p.pending.back().comment, token_text());
			if (p.observer != nullptr)
				p.observer->comment(token_text(), {current_line(), token_starts_line(), first_on_line});
			break;
		default:
			on_operator(p, kind);
		}
	}
}

// Hands the lists over with room for their entries and never for fewer than
// one; the room behind the entries is zero-filled.
void finish(rc_entry *&entries, int count, int capacity, rc_entry **to, int *to_count, int *to_capacity)
{
	int room = count > 0 ? count : 1;
	if (room != capacity) {
		void *fitted = std::realloc(entries, static_cast<std::size_t>(room) * sizeof(rc_entry));
		if (fitted != nullptr) {
			entries = static_cast<rc_entry *>(fitted);
			capacity = room;
		} else if (entries == nullptr) {
			out_of_memory();
		}
	}
	std::memset(entries + count, 0, static_cast<std::size_t>(capacity - count) * sizeof(rc_entry));
	*to = entries;
	*to_count = count;
	*to_capacity = capacity;
}

void hand_over(entry_set &read, rc_lists *lists)
{
	close_entry_set(read);
	rc_lists &l = read.lists;
	finish(l.knobs, l.knob_count, l.knob_capacity, &lists->knobs, &lists->knob_count, &lists->knob_capacity);
	finish(l.strings, l.string_count, l.string_capacity, &lists->strings, &lists->string_count,
	       &lists->string_capacity);
}

} // namespace

int read_observed_stream(FILE *in, rc_lists *lists, const script_observer *observer, std::size_t limit)
{
	bool over = false;
	try {
		parser p;
		p.observer = observer;
		p.keeps_entries = lists != nullptr || (observer != nullptr && observer->entry);
		p.lays_entries = lists != nullptr;
		set_tokenizer_input(in, limit);
		read_tokens(p);
		over = input_over_limit();
		if (over) {
			free_lists(p.read.lists);
			p.read = entry_set{};
		}
		if (lists != nullptr)
			hand_over(p.read, lists);
	} catch (const std::bad_alloc &) {
		out_of_memory();
	}
	return over ? -1 : 0;
}

int read_rc_stream(FILE *in, rc_lists *lists)
{
	return read_observed_stream(in, lists, nullptr);
}

int early_end_line(std::string_view text, void (*while_waiting)())
{
	// A memory stream of no bytes is refused by some systems; an empty text reads to its end.
	if (text.empty())
		return 0;
	FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
	if (in == nullptr)
		out_of_memory();
	int line = 0;
	try {
		parser p;
		p.keeps_entries = false;
		p.while_waiting = while_waiting;
		set_tokenizer_input(in);
		read_tokens(p);
		line = p.end_line;
	} catch (const std::bad_alloc &) {
		out_of_memory();
	}
	std::fclose(in);
	flush_tokenizer();
	return line;
}

namespace {

// Reads in, the file at path or a text when path is nullptr, and closes it.
int read_opened(FILE *in, const char *path, rc_lists *lists, const script_observer *observer)
{
	if (in == nullptr) {
		entry_set none{};
		if (lists != nullptr)
			hand_over(none, lists);
		return 0;
	}
	// The file may have grown past its bound since it was opened.
	if (read_observed_stream(in, lists, observer, path != nullptr ? file_size_bound : SIZE_MAX) != 0)
		note_passed_over(path, passed_over::too_large);
	std::fclose(in);
	return 0;
}

} // namespace

int read_rc_file(const char *path, rc_lists *lists, const script_observer *observer)
{
	return read_opened(open_for_reading(path, file_size_bound), path, lists, observer);
}

int read_rc_text(std::string_view text, rc_lists *lists, const script_observer *observer)
{
	// A memory stream of no bytes is refused by some systems; no bytes hold no entries.
	FILE *in = text.empty() ? nullptr : fmemopen(const_cast<char *>(text.data()), text.size(), "r");
	return read_opened(in, nullptr, lists, observer);
}

int read_remembered_file(const char *path, rc_lists *lists, const script_observer *observer)
{
	FILE *in = open_for_reading(path, file_size_bound);
	remember_file(path, in != nullptr ? descriptor_state(fileno(in)) : take_file_state(path));
	return read_opened(in, path, lists, observer);
}
