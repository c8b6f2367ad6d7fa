// Checking a value before it reaches rc.conf, which root's /bin/sh runs at every boot.
//
// A value is accepted only in a form that sh and the reader agree on:
//
//   value    = '"' body '"'       no line break, at most 254 bytes
//   body     = { plain | '\' byte | dollar | '$(' commands ')' | '`' commands '`' }
//              a '"' only as '\"' there, never inside commands or ${...}
//   dollar   = '$' name | '$' special | '${' param '}'
//   special  = '$' | '?' | '!' | '#' | '-' | '@' | '*' | digit     one byte: $10 is $1, then 0
//   param    = ['#'] name | special | name op { word byte | blank | '#' | dollar }
//   op       = ':-' | '-' | ':=' | '=' | ':+' | '+' | '%' | '%%' | '#' | '##'
//   commands = [ command { '|' command } ]   words of word bytes, dollars and '...' quotes;
//              the first word of a command is no reserved word
//
// A "$" is read with all that sh reads with it, so "$$(" is $$ and a plain "(".
// bash parses that "(" or a "{" after $$ as the start of "$(...)" or "${...}"
// all the same, so what follows $$ there must pass as one too; its "$[...]"
// arithmetic is refused.
//
// Everything outside this form is refused, even where sh would cope: a value
// that sh cannot parse, or whose expansion fails ($((1/0)), ${x?}, ${1a}),
// makes sh stop reading rc.conf and the boot goes on without the rest of it.
//
// A pattern (the word after % %% # ##) and a command word (matched against
// file names) hold at most one '*' outside quotes: sh tries every way to share
// the text among the stars, so each further star multiplies the time by the
// length of the text. Against 254 bytes, the slowest patterns measured take
// dash 0.02 s with one star, 0.3 s with two, 1 s with three, over 20 s with four.
#include "shell/value_check.h"

#include "model/rc_entry.h"

#include <algorithm>
#include <iterator>

// Marks a text for the message catalogue; the window translates it when it shows it.
#define N_(text) text

namespace {

// The replacement character stands for bytes that could not be shown: a
// value holding it would write the stand-in, not the bytes.
constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// The most '*' a pattern or a command word may hold.
constexpr std::size_t most_stars = 1;

// Parameters that sh reads as "$" and one byte.
constexpr std::string_view special_parameters = "$?!#-@*0123456789";

constexpr std::string_view reserved_words[] = {"!",  "{",    "}",    "case", "do", "done",  "elif", "else",
					       "esac", "fi", "for", "if", "in", "then", "until", "while"};

bool is_special(char c)
{
	return c != '\0' && special_parameters.find(c) != std::string_view::npos;
}

bool is_blank(char c)
{
	return c == ' ' || c == '\t';
}

// Bytes that sh takes as part of a plain word in a command: they quote,
// redirect, separate and start nothing.
bool is_word_byte(char c)
{
	return is_name_char(c) || std::string_view("./,:=+@%^~*?[]!-").find(c) != std::string_view::npos;
}

bool is_reserved(std::string_view word)
{
	for (std::string_view reserved : reserved_words)
		if (word == reserved)
			return true;
	return false;
}

// A position in the text being checked.
struct scanner {
	std::string_view text;
	std::size_t at;

	bool done() const { return at >= text.size(); }
	char peek(std::size_t ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : '\0'; }
	bool next_is(char c) const { return !done() && text[at] == c; }
};

void skip_name(scanner &s)
{
	while (!s.done() && is_name_char(s.peek()))
		s.at++;
}

value_fault scan_parameter(scanner &s);

std::size_t count_stars(std::string_view text)
{
	return static_cast<std::size_t>(std::count(text.begin(), text.end(), '*'));
}

// A "$" with what sh reads with it: a name, a special parameter or ${...}.
// Anything else after the "$" gives otherwise.
value_fault scan_dollar(scanner &s, value_fault otherwise)
{
	char c = s.peek(1);
	if (c == '{') {
		s.at += 2;
		return scan_parameter(s);
	}
	s.at++;
	if (is_name_start(c))
		skip_name(s);
	else if (is_special(c))
		s.at++;
	else
		return otherwise;
	return value_fault::none;
}

// The operator of ${name op word}. "?" and ":?" are refused: they end sh
// when the variable is unset.
value_fault scan_operator(scanner &s)
{
	char c = s.peek();
	if (c == ':') {
		s.at++;
		c = s.peek();
		if (s.done())
			return value_fault::unclosed;
		if (c != '-' && c != '=' && c != '+')
			return value_fault::bad_expansion;
		s.at++;
	} else if (c == '-' || c == '=' || c == '+') {
		s.at++;
	} else if (c == '%' || c == '#') {
		s.at++;
		if (s.next_is(c))
			s.at++;
	} else {
		return value_fault::bad_expansion;
	}
	return value_fault::none;
}

// ${...}, from just after "${" through its "}".
value_fault scan_parameter(scanner &s)
{
	// A special parameter only alone: shells differ on ${#?} and ${#-}, and
	// ${1=x} stops sh.
	if (is_special(s.peek()) && s.peek(1) == '}') {
		s.at += 2;
		return value_fault::none;
	}
	bool length = s.next_is('#') && is_name_start(s.peek(1));
	if (length)
		s.at++;
	if (!is_name_start(s.peek()))
		return s.done() ? value_fault::unclosed : value_fault::bad_expansion;
	skip_name(s);
	if (s.done())
		return value_fault::unclosed;
	if (!s.next_is('}')) {
		if (length)
			return value_fault::bad_expansion;
		bool pattern = s.next_is('%') || s.next_is('#');
		if (value_fault fault = scan_operator(s); fault != value_fault::none)
			return fault;
		std::size_t word = s.at;
		while (!s.done() && !s.next_is('}')) {
			char c = s.peek();
			if (c == '$') {
				if (value_fault fault = scan_dollar(s, value_fault::bad_expansion);
				    fault != value_fault::none)
					return fault;
			} else if (is_word_byte(c) || is_blank(c) || c == '#') {
				s.at++;
			} else {
				return value_fault::bad_expansion;
			}
		}
		if (s.done())
			return value_fault::unclosed;
		// Nested words count too: what ${y:-**} gives is matched as a pattern.
		if (pattern && count_stars(s.text.substr(word, s.at - word)) > most_stars)
			return value_fault::slow_pattern;
	}
	s.at++;
	return value_fault::none;
}

// One word of a command. Sets plain when it holds only word bytes, so that
// it could be a reserved word.
value_fault scan_word(scanner &s, bool in_parentheses, bool *plain)
{
	*plain = true;
	std::size_t stars = 0;
	while (!s.done() && !is_blank(s.peek()) && s.peek() != '|' && !(in_parentheses && s.peek() == ')')) {
		char c = s.peek();
		if (c == '\'') {
			std::size_t end = s.text.find('\'', s.at + 1);
			if (end == std::string_view::npos)
				return value_fault::unclosed;
			// Only an escaped '"' gets here, and in '...' the backslash stays.
			if (s.text.substr(s.at, end - s.at).find('"') != std::string_view::npos)
				return value_fault::inner_quote;
			s.at = end + 1;
			*plain = false;
		} else if (c == '$') {
			std::size_t start = s.at;
			if (value_fault fault = scan_dollar(s, value_fault::bad_command); fault != value_fault::none)
				return fault;
			stars += count_stars(s.text.substr(start, s.at - start));
			*plain = false;
		} else if (is_word_byte(c)) {
			stars += c == '*';
			s.at++;
		} else {
			return value_fault::bad_command;
		}
	}
	return stars > most_stars ? value_fault::slow_pattern : value_fault::none;
}

// The commands of $(...) up to its ")" (not consumed), or of `...` to the end.
value_fault scan_commands(scanner &s, bool in_parentheses)
{
	bool command_has_word = false;
	bool after_pipe = false;
	while (!s.done() && !(in_parentheses && s.next_is(')'))) {
		char c = s.peek();
		if (is_blank(c)) {
			s.at++;
		} else if (c == '|') {
			if (!command_has_word)
				return value_fault::bad_command;
			command_has_word = false;
			after_pipe = true;
			s.at++;
		} else {
			std::size_t start = s.at;
			bool plain = false;
			if (value_fault fault = scan_word(s, in_parentheses, &plain); fault != value_fault::none)
				return fault;
			if (!command_has_word && plain && is_reserved(s.text.substr(start, s.at - start)))
				return value_fault::bad_command;
			command_has_word = true;
		}
	}
	if (in_parentheses && s.done())
		return value_fault::unclosed;
	return after_pipe && !command_has_word ? value_fault::bad_command : value_fault::none;
}

// `...`: sh ends it at the next backquote, whatever lies between.
value_fault scan_backquotes(scanner &s)
{
	std::size_t end = s.text.find('`', s.at + 1);
	if (end == std::string_view::npos)
		return value_fault::unclosed;
	std::string_view inside = s.text.substr(s.at + 1, end - s.at - 1);
	// A backslash there is taken away before the commands are read.
	if (inside.find('\\') != std::string_view::npos)
		return value_fault::bad_command;
	scanner commands = {inside, 0};
	s.at = end + 1;
	return scan_commands(commands, false);
}

// A "$" in the body. bash parses the "(" or "{" after $$ as it would after a
// lone "$", though it then expands $$ and plain text as sh does: that reading
// must pass too. It also reads "$[" as arithmetic.
value_fault scan_body_dollar(scanner &s)
{
	if (s.peek(1) == '[')
		return value_fault::arithmetic;
	if (s.peek(1) == '(') {
		if (s.peek(2) == '(')
			return value_fault::arithmetic;
		s.at += 2;
		value_fault fault = scan_commands(s, true);
		s.at++;
		return fault;
	}
	if (s.peek(1) == '$' && (s.peek(2) == '(' || s.peek(2) == '{')) {
		scanner parsed = {s.text, s.at + 1};
		if (value_fault fault = scan_body_dollar(parsed); fault != value_fault::none)
			return fault;
	}
	return scan_dollar(s, value_fault::none);
}

// The text between the enclosing double quotes.
value_fault scan_body(std::string_view body)
{
	scanner s = {body, 0};
	while (!s.done()) {
		value_fault fault = value_fault::none;
		char c = s.peek();
		if (c == '\\') {
			if (s.at + 1 == body.size())
				return value_fault::escaped_end;
			s.at += 2;
		} else if (c == '`') {
			fault = scan_backquotes(s);
		} else if (c == '$') {
			fault = scan_body_dollar(s);
		} else {
			s.at++;
		}
		if (fault != value_fault::none)
			return fault;
	}
	return value_fault::none;
}

// Whether body holds a '"' that no backslash escapes: it would end the quoting.
bool has_bare_quote(std::string_view body)
{
	for (std::size_t at = 0; at < body.size(); at++) {
		if (body[at] == '\\')
			at++;
		else if (body[at] == '"')
			return true;
	}
	return false;
}

// Indexed by value_fault.
constexpr const char *fault_texts[] = {
	"",
	N_("The value must fit on one line."),
	N_("A value that begins with \" must end with \" too. Type it without both, and they are added."),
	N_("The value holds a \" that would end it early: type the value without its enclosing quotes, and "
	   "every \" in it is kept."),
	N_("The value is too long: at most 254 bytes are allowed."),
	N_("The value holds characters that could not be shown (\xEF\xBF\xBD): type them again."),
	N_("The value must not end with a backslash: it would escape the closing \"."),
	N_("Every $(, ${, ` and ' in the value must be closed."),
	N_("The value must not use arithmetic with $((...))."),
	// xgettext:no-c-format
	N_("Inside ${...} there must be a variable name, alone or followed by one of :- - := = :+ + % %% # ## "
	   "and plain text."),
	N_("A command in $(...) or `...` may hold only words, '...' quotes and | between commands, and must not "
	   "begin with a shell keyword."),
	// xgettext:no-c-format
	N_("A pattern after % %% # ## in ${...}, and a word of a command, may hold only one *: sh could take "
	   "minutes to match more."),
};
static_assert(std::size(fault_texts) == static_cast<std::size_t>(value_fault::slow_pattern) + 1);

} // namespace

value_fault check_value(std::string_view value)
{
	if (value.find_first_of("\r\n") != std::string_view::npos)
		return value_fault::line_break;
	if (value.size() < 2 || value.front() != '"' || value.back() != '"')
		return value_fault::not_quoted;
	std::string_view body = value.substr(1, value.size() - 2);
	if (has_bare_quote(body))
		return value_fault::inner_quote;
	if (value.size() > field_size - 1)
		return value_fault::too_long;
	if (body.find('\0') != std::string_view::npos || body.find(replacement_character) != std::string_view::npos)
		return value_fault::unreadable;
	return scan_body(body);
}

bool runs_command(std::string_view value)
{
	for (std::size_t at = 0; at < value.size(); at++) {
		if (value[at] == '\\') {
			at++;
		} else if (value[at] == '`') {
			return true;
		} else if (value[at] == '$') {
			// $$ is a parameter of its own: only an odd run opens $(.
			std::size_t run = std::min(value.find_first_not_of('$', at), value.size()) - at;
			at += run - 1;
			if (run % 2 == 1 && at + 1 < value.size() && value[at + 1] == '(')
				return true;
		}
	}
	return false;
}

const char *value_fault_text(value_fault fault)
{
	return fault_texts[static_cast<int>(fault)];
}
