// Expanding a word as /bin/sh expands an assignment's value, given the variables set so far.
//
// The rules follow dash and FreeBSD's sh where the two agree, which is where
// this gives a value: inside double quotes the word of ${v-w} ${v=w} ${v+w}
// ${v?w} reads "..." only as grouping and ' as plain text, while the word of
// ${v%w} ${v#w} is read as if no double quotes were around it. A pattern
// treats the bytes of an unquoted expansion as pattern characters, a
// backslash among them included. Where the two shells differ ($'...',
// [^...], tilde) or the value depends on what only the running boot knows,
// the value is unknown; a form that can make sh fail stops the state, since
// sh would not read the rest of the file.
#include "shell/shell_word.h"

#include "model/rc_entry.h"

#include <algorithm>
#include <bitset>
#include <vector>

namespace {

// ${...} inside the word of another, at most; deeper nesting is unknown.
constexpr std::size_t depth_limit = 32;

// The longest value kept; a longer one is unknown.
constexpr std::size_t value_limit = 65536;

// Bytes a word's expansion may produce, and pattern steps it may take, for
// each byte of the word, before it draws on the state's budget: a word
// that would spend without end cannot spend what the words after it need.
constexpr std::size_t allowance_per_byte = 64;

bool is_special_parameter(char c)
{
	return (c >= '0' && c <= '9') || std::string_view("@*#?-$!").find(c) != std::string_view::npos;
}

// A name of rc.conf's own kind, which nothing before the files sets.
bool is_plain_name(std::string_view name)
{
	if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
		return false;
	for (char c : name)
		if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
			return false;
	return true;
}

shell_value unknown_value()
{
	return {shell_kind::unknown, ""};
}

// How much of a word is worked out.
enum class mode {
	run,   // expand, and assign what it assigns
	maybe, // expand, but what it assigns may not happen: those variables become unknown
	skip,  // sh does not expand it: only find where it ends
};

// A word's expansion so far. active, kept for patterns only, holds '1' for
// each byte a pattern reads as special and '0' for a quoted one.
struct piece {
	std::string text;
	std::string active;
	bool track = false;
	shell_kind kind = shell_kind::known;
};

void merge_kind(piece &out, shell_kind kind)
{
	out.kind = std::max(out.kind, kind);
}

struct expander {
	shell_state &state;
	std::string_view text;
	std::size_t allowance; // what the word may spend of its own
	std::size_t at = 0;
	std::size_t depth = 0;
	bool failed = false; // the word cannot be read further
	bool spent = false;  // it would spend more than it may: its value, and what it assigns, are unknown
};

// Spends what producing count bytes or steps costs, from the word's own
// allowance and then from the state's budget; false when they do not hold it.
bool spend(expander &e, std::size_t count)
{
	if (e.spent)
		return false;
	if (count <= e.allowance) {
		e.allowance -= count;
		return true;
	}
	count -= e.allowance;
	if (count > e.state.budget) {
		e.spent = true;
		return false;
	}
	e.allowance = 0;
	e.state.budget -= count;
	return true;
}

void add(expander &e, piece &out, std::string_view text, bool active, mode m)
{
	if (m == mode::skip || !spend(e, text.size()))
		return;
	out.text += text;
	if (out.track)
		out.active.append(text.size(), active ? '1' : '0');
}

void add_value(expander &e, piece &out, const shell_value &value, bool active, mode m)
{
	if (value.kind == shell_kind::known || value.kind == shell_kind::unset)
		add(e, out, value.text, active, m);
	else if (m != mode::skip)
		merge_kind(out, value.kind);
}

// The expansion of a ${...} word, whose bytes a pattern reads as they were
// quoted in it, unless the ${...} stands inside double quotes.
void add_piece(expander &e, piece &out, const piece &word, bool quoted, mode m)
{
	if (m == mode::skip)
		return;
	std::size_t from = out.text.size();
	add(e, out, word.text, !quoted, m);
	if (out.track && !quoted && word.track && out.text.size() == from + word.text.size())
		out.active.replace(from, word.active.size(), word.active);
	merge_kind(out, word.kind);
}

void set_in_word(expander &e, std::string_view name, shell_value value, mode m)
{
	if (m == mode::skip)
		return;
	set_variable(e.state, name, m == mode::maybe || e.spent ? unknown_value() : std::move(value));
}

void read_plain(expander &e, piece &out, mode m, bool in_braces);
void read_quoted(expander &e, piece &out, mode m, bool in_word);

// Finds the end of the $(...) that begins at e.at, passing over quotes and
// nested parentheses; a comment or case in it, whose ")" may end nothing,
// fails the word.
void pass_command(expander &e)
{
	std::size_t open = 0;
	std::string_view t = e.text;
	for (std::size_t i = e.at + 1; i < t.size(); i++) {
		char c = t[i];
		if (c == '\\') {
			i++;
		} else if (c == '\'' || c == '"' || c == '`') {
			for (i++; i < t.size() && t[i] != c; i++)
				if (c != '\'' && t[i] == '\\')
					i++;
			if (i >= t.size())
				break;
		} else if (c == '(') {
			open++;
		} else if (c == ')' && --open == 0) {
			e.at = i + 1;
			return;
		} else if (c == '#' || t.substr(i, 4) == "case") {
			break;
		}
	}
	e.failed = true;
}

void read_backquote(expander &e, piece &out, mode m)
{
	for (std::size_t i = e.at + 1; i < e.text.size(); i++) {
		if (e.text[i] == '\\') {
			i++;
		} else if (e.text[i] == '`') {
			e.at = i + 1;
			if (m != mode::skip)
				merge_kind(out, shell_kind::runs_command);
			return;
		}
	}
	e.failed = true;
}

// Whether sh uses the word of ${v OP w}: yes, no, or it depends on what is unknown.
enum class use { yes, no, maybe };

use uses_word(const shell_value &value, char op, bool colon)
{
	bool set = value.kind != shell_kind::unset;
	bool sure = value.kind == shell_kind::known || value.kind == shell_kind::unset ||
		    (!colon && value.kind == shell_kind::runs_command);
	if (!sure)
		return use::maybe;
	bool empty = !set || (colon && value.text.empty());
	bool has = set && !(colon && value.text.empty());
	if (op == '+')
		return has ? use::yes : use::no;
	return empty ? use::yes : use::no;
}

// A pattern of ${v%w} ${v#w}, in tokens.
struct pattern_token {
	enum { byte, any, star, set } kind;
	unsigned char c;
	std::bitset<256> bytes;
};

// Reads a bracket expression whose "[" is at i; false when it holds what is
// not read here (quoted bytes, classes, "^"). *end is past its "]", or i
// when it has none, and "[" is then a plain byte.
bool read_bracket(const piece &p, std::size_t i, pattern_token &token, std::size_t *end)
{
	const std::string &t = p.text;
	std::size_t j = i + 1;
	bool negate = j < t.size() && t[j] == '!' && p.active[j] == '1';
	if (negate)
		j++;
	if (j < t.size() && t[j] == '^' && p.active[j] == '1')
		return false;
	token = {pattern_token::set, 0, {}};
	for (std::size_t k = j; k < t.size(); k++) {
		if (p.active[k] != '1')
			return false;
		char c = t[k];
		if (c == ']' && k > j) {
			if (negate)
				token.bytes.flip();
			*end = k + 1;
			return true;
		}
		if (c == '\\' || (c == '[' && k + 1 < t.size() && std::string_view(":.=").find(t[k + 1]) != std::string_view::npos))
			return false;
		auto low = static_cast<unsigned char>(c);
		if (k + 2 < t.size() && t[k + 1] == '-' && t[k + 2] != ']') {
			auto high = static_cast<unsigned char>(t[k + 2]);
			for (unsigned b = low; b <= high; b++)
				token.bytes.set(b);
			k += 2;
		} else {
			token.bytes.set(low);
		}
	}
	*end = i;
	return true;
}

bool compile_pattern(const piece &p, std::vector<pattern_token> &tokens)
{
	const std::string &t = p.text;
	for (std::size_t i = 0; i < t.size(); i++) {
		char c = t[i];
		bool active = p.active[i] == '1';
		if (active && c == '*') {
			if (tokens.empty() || tokens.back().kind != pattern_token::star)
				tokens.push_back({pattern_token::star, 0, {}});
		} else if (active && c == '?') {
			tokens.push_back({pattern_token::any, 0, {}});
		} else if (active && c == '\\' && i + 1 < t.size()) {
			tokens.push_back({pattern_token::byte, static_cast<unsigned char>(t[++i]), {}});
		} else if (active && c == '[') {
			pattern_token token;
			std::size_t end;
			if (!read_bracket(p, i, token, &end))
				return false;
			if (end > i) {
				tokens.push_back(token);
				i = end - 1;
			} else {
				tokens.push_back({pattern_token::byte, static_cast<unsigned char>(c), {}});
			}
		} else {
			tokens.push_back({pattern_token::byte, static_cast<unsigned char>(c), {}});
		}
	}
	return true;
}

void close_over_stars(const std::vector<pattern_token> &tokens, std::vector<char> &states)
{
	for (std::size_t i = 0; i < tokens.size(); i++)
		if (states[i] && tokens[i].kind == pattern_token::star)
			states[i + 1] = 1;
}

// The length of the shortest or longest beginning of text that tokens
// match, -1 for none: the states of the pattern are followed byte by byte,
// so that time is the text's length times the pattern's.
long matched_prefix(const std::vector<pattern_token> &tokens, std::string_view text, bool longest)
{
	std::vector<char> states(tokens.size() + 1, 0), next(tokens.size() + 1, 0);
	states[0] = 1;
	close_over_stars(tokens, states);
	long found = states[tokens.size()] ? 0 : -1;
	for (std::size_t k = 0; k < text.size() && (longest || found < 0); k++) {
		auto c = static_cast<unsigned char>(text[k]);
		std::fill(next.begin(), next.end(), 0);
		bool alive = false;
		for (std::size_t i = 0; i < tokens.size(); i++) {
			if (!states[i])
				continue;
			const pattern_token &t = tokens[i];
			if (t.kind == pattern_token::star)
				next[i] = 1;
			else if (t.kind == pattern_token::any || (t.kind == pattern_token::byte && t.c == c) ||
				 (t.kind == pattern_token::set && t.bytes.test(c)))
				next[i + 1] = 1;
			else
				continue;
			alive = true;
		}
		if (!alive)
			break;
		states.swap(next);
		close_over_stars(tokens, states);
		if (states[tokens.size()])
			found = static_cast<long>(k + 1);
	}
	return found;
}

// ${v%w} ${v%%w} ${v#w} ${v##w} of a known value.
void remove_pattern(expander &e, piece &out, const std::string &value, const piece &pattern, char op, bool twice,
		    bool active, mode m)
{
	std::vector<pattern_token> tokens;
	if (!compile_pattern(pattern, tokens)) {
		merge_kind(out, shell_kind::unknown);
		return;
	}
	if (!spend(e, (value.size() + 1) * (tokens.size() + 1)))
		return;
	if (op == '#') {
		long k = matched_prefix(tokens, value, twice);
		add(e, out, std::string_view(value).substr(k < 0 ? 0 : static_cast<std::size_t>(k)), active, m);
		return;
	}
	std::reverse(tokens.begin(), tokens.end());
	std::string reversed(value.rbegin(), value.rend());
	long k = matched_prefix(tokens, reversed, twice);
	add(e, out, std::string_view(value).substr(0, value.size() - (k < 0 ? 0 : static_cast<std::size_t>(k))), active,
	    m);
}

// ${...}, with e.at on its "$".
void read_braces(expander &e, piece &out, mode m, bool quoted)
{
	std::string_view t = e.text;
	e.at += 2;
	if (++e.depth > depth_limit) {
		e.failed = true;
		return;
	}
	bool length = e.at + 1 < t.size() && t[e.at] == '#' && t[e.at + 1] != '}';
	if (length)
		e.at++;
	std::size_t first = e.at;
	bool special = e.at < t.size() && !is_name_start(t[e.at]) && is_special_parameter(t[e.at]);
	if (special && t[e.at] >= '0' && t[e.at] <= '9')
		while (e.at < t.size() && t[e.at] >= '0' && t[e.at] <= '9')
			e.at++;
	else if (special)
		e.at++;
	else
		while (e.at < t.size() && is_name_char(t[e.at]))
			e.at++;
	std::string_view name = t.substr(first, e.at - first);
	if (name.empty() || e.at >= t.size()) {
		e.failed = true;
		return;
	}
	shell_value value = special ? unknown_value() : variable_value(e.state, name);
	char c = t[e.at];
	if (length) {
		if (c != '}') {
			e.failed = true;
			return;
		}
		e.at++;
		if (value.kind == shell_kind::known || value.kind == shell_kind::unset)
			add(e, out, std::to_string(value.text.size()), !quoted, m);
		else if (m != mode::skip)
			merge_kind(out, value.kind);
		e.depth--;
		return;
	}
	if (c == '}') {
		e.at++;
		add_value(e, out, value, !quoted, m);
		e.depth--;
		return;
	}
	bool colon = c == ':';
	if (colon)
		c = ++e.at < t.size() ? t[e.at] : '\0';
	if (c == '%' || c == '#') {
		bool twice = e.at + 1 < t.size() && t[e.at + 1] == c;
		e.at += twice ? 2 : 1;
		if (colon) {
			e.failed = true;
			return;
		}
		piece pattern;
		pattern.track = true;
		read_plain(e, pattern, m, true);
		if (e.failed || e.at >= t.size()) {
			e.failed = true;
			return;
		}
		e.at++;
		shell_kind kind = std::max(value.kind == shell_kind::unset ? shell_kind::known : value.kind, pattern.kind);
		if (kind != shell_kind::known && m != mode::skip)
			merge_kind(out, kind);
		else if (m != mode::skip)
			remove_pattern(e, out, value.text, pattern, c, twice, !quoted, m);
		e.depth--;
		return;
	}
	if (std::string_view("-=+?").find(c) == std::string_view::npos) {
		e.failed = true;
		return;
	}
	e.at++;
	use used = m == mode::skip ? use::no : uses_word(value, c, colon);
	mode word_mode = used == use::no ? mode::skip : used == use::maybe ? mode::maybe : m;
	piece word;
	word.track = out.track;
	if (quoted)
		read_quoted(e, word, word_mode, true);
	else
		read_plain(e, word, word_mode, true);
	if (e.failed || e.at >= t.size()) {
		e.failed = true;
		return;
	}
	e.at++;
	e.depth--;
	if (m == mode::skip)
		return;
	if ((c == '?' || (c == '=' && special)) && used != use::no) {
		// sh ends here, or may: the variable is unset, or cannot be assigned.
		e.state.stopped = true;
		e.failed = true;
		return;
	}
	if (used == use::maybe) {
		shell_kind kind = value.kind == shell_kind::runs_command ? shell_kind::runs_command : shell_kind::unknown;
		if (c == '=')
			set_in_word(e, name, {kind, ""}, m);
		merge_kind(out, kind);
	} else if (used == use::no) {
		add_value(e, out, value, !quoted, m);
	} else if (c == '+' || c == '-') {
		add_piece(e, out, word, quoted, m);
	} else {
		set_in_word(e, name, {word.kind, word.kind == shell_kind::known ? word.text : ""}, m);
		add_value(e, out, variable_value(e.state, name), !quoted, m);
	}
}

// $..., with e.at on the "$".
void read_dollar(expander &e, piece &out, mode m, bool quoted)
{
	std::string_view t = e.text;
	char next = e.at + 1 < t.size() ? t[e.at + 1] : '\0';
	if (next == '{') {
		read_braces(e, out, m, quoted);
	} else if (next == '(') {
		// $((...)) may assign, and may fail.
		if (e.at + 2 < t.size() && t[e.at + 2] == '(') {
			e.failed = true;
			return;
		}
		pass_command(e);
		if (!e.failed && m != mode::skip)
			merge_kind(out, shell_kind::runs_command);
	} else if (next != '\0' && is_name_start(next)) {
		std::size_t end = e.at + 1;
		while (end < t.size() && is_name_char(t[end]))
			end++;
		if (m != mode::skip)
			add_value(e, out, variable_value(e.state, t.substr(e.at + 1, end - e.at - 1)), !quoted, m);
		e.at = end;
	} else if (next != '\0' && is_special_parameter(next)) {
		if (m != mode::skip)
			merge_kind(out, shell_kind::unknown);
		e.at += 2;
	} else {
		// $'...' quotes to FreeBSD's sh, not to dash.
		if (!quoted && (next == '\'' || next == '"') && m != mode::skip)
			merge_kind(out, shell_kind::unknown);
		add(e, out, "$", false, m);
		e.at++;
	}
}

// A word outside double quotes, up to its end or, in_braces, up to the
// "}" that ends a ${...}. A tilde that begins it or follows a ":" is
// expanded by sh from what only the boot knows.
void read_plain(expander &e, piece &out, mode m, bool in_braces)
{
	std::string_view t = e.text;
	bool tilde_here = true;
	while (e.at < t.size() && !e.failed) {
		char c = t[e.at];
		bool tilde = tilde_here;
		tilde_here = false;
		if (c == '}' && in_braces)
			return;
		if (c == '\'') {
			std::size_t close = t.find('\'', e.at + 1);
			if (close == std::string_view::npos) {
				e.failed = true;
				return;
			}
			add(e, out, t.substr(e.at + 1, close - e.at - 1), false, m);
			e.at = close + 1;
		} else if (c == '"') {
			e.at++;
			read_quoted(e, out, m, false);
		} else if (c == '\\') {
			add(e, out, t.substr(e.at + 1 < t.size() ? e.at + 1 : e.at, 1), e.at + 1 >= t.size(), m);
			e.at += 2;
		} else if (c == '$') {
			read_dollar(e, out, m, false);
		} else if (c == '`') {
			read_backquote(e, out, m);
		} else {
			if (c == '~' && tilde && m != mode::skip)
				merge_kind(out, shell_kind::unknown);
			tilde_here = c == ':';
			add(e, out, t.substr(e.at, 1), true, m);
			e.at++;
		}
	}
	if (e.at > t.size())
		e.at = t.size();
}

// Inside "...", after the opening quote, up to and past the closing one;
// in_word, the word of a ${...} inside them, up to its "}", where " only
// groups and a backslash also keeps "}" from ending it.
void read_quoted(expander &e, piece &out, mode m, bool in_word)
{
	std::string_view t = e.text;
	bool grouped = false;
	while (e.at < t.size() && !e.failed) {
		char c = t[e.at];
		if (c == '"' && !in_word) {
			e.at++;
			return;
		}
		if (c == '"') {
			grouped = !grouped;
			e.at++;
		} else if (c == '}' && in_word && !grouped) {
			return;
		} else if (c == '\\' && e.at + 1 < t.size()) {
			char next = t[e.at + 1];
			bool escapes = std::string_view("$`\"\\").find(next) != std::string_view::npos || (in_word && next == '}');
			add(e, out, escapes ? t.substr(e.at + 1, 1) : t.substr(e.at, 2), false, m);
			e.at += 2;
		} else if (c == '$') {
			read_dollar(e, out, m, true);
		} else if (c == '`') {
			read_backquote(e, out, m);
		} else {
			add(e, out, t.substr(e.at, 1), false, m);
			e.at++;
		}
	}
	e.failed = true;
}

} // namespace

shell_value variable_value(const shell_state &state, std::string_view name)
{
	bool others_unknown = false;
	std::string key(name);
	for (const shell_state *s = &state; s != nullptr; s = s->under) {
		if (s->stopped)
			return unknown_value();
		auto found = s->values.find(key);
		if (found != s->values.end())
			return found->second;
		others_unknown = others_unknown || s->others_unknown;
	}
	if (others_unknown || !is_plain_name(name))
		return unknown_value();
	return {};
}

shell_value expand_word(shell_state &state, std::string_view word)
{
	expander e{state, word, allowance_per_byte * word.size()};
	piece out;
	read_plain(e, out, mode::run, false);
	if (e.failed)
		state.stopped = true;
	if (e.spent)
		return unknown_value();
	if (state.stopped || out.kind != shell_kind::known || out.text.size() > value_limit)
		return {out.kind == shell_kind::runs_command && !state.stopped ? out.kind : shell_kind::unknown, ""};
	return {shell_kind::known, std::move(out.text)};
}

void assign_word(shell_state &state, std::string_view name, std::string_view word)
{
	set_variable(state, name, expand_word(state, word));
}

void set_variable(shell_state &state, std::string_view name, shell_value value)
{
	if (state.stopped || (value.kind == shell_kind::known && value.text.size() > value_limit))
		value = unknown_value();
	if (value.kind != shell_kind::known)
		value.text.clear();
	state.values[std::string(name)] = std::move(value);
}
