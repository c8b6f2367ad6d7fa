// The rc.conf tokenizer: sh's token recognition, over a buffer that holds only the bytes being looked at.
#include "shell/tokenizer.h"

#include "model/rc_entry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

// Tokens are recognized as /bin/sh recognizes them: quotes ('...', "..."),
// backslashes, backslash-newline joining lines (not inside '...' or a
// comment), $name, ${...}, $(...), $((...)) and `...` with what nests in
// them, operators, comments from a "#" that starts a token, and the bodies of
// here documents, skipped from the newline after their operator to their
// end line. NUL bytes are dropped, as sh drops them.
//
// A word is read once, in runs of plain bytes where it can be; what is kept
// of it is bounded, so a word, line or here document of any length takes no
// more memory than a short one. While a word is read, its value (when it is
// NAME=value) is rewritten as the inside of one double-quoted text that sh
// reads as the same value: '...' parts are unquoted, "..." parts copied,
// backslashes kept only where double quotes need them. A value no
// double-quoted text can stand for (one that spans lines, expands a tilde,
// or holds $, ` or \ in '...') is marked to be shown as written.

namespace {

constexpr std::size_t buffer_size = 16384;
constexpr std::size_t read_size = 8192;
// Deeper nesting of quotes and expansions than this is taken as an
// unterminated word, which no real file comes near.
constexpr std::size_t nesting_limit = 1 << 16;

// A token's text, kept up to N bytes; what does not fit is dropped.
template <std::size_t N> struct bounded_text {
	char data[N];
	std::size_t length;
	bool cut;

	void clear()
	{
		length = 0;
		cut = false;
	}
	void add(char c)
	{
		if (length < N)
			data[length++] = c;
		else
			cut = true;
	}
	void add(const char *bytes, std::size_t n)
	{
		std::size_t kept = n < N - length ? n : N - length;
		std::memcpy(data + length, bytes, kept);
		length += kept;
		cut = cut || kept < n;
	}
	std::string_view from(std::size_t start) const
	{
		start = start < length ? start : length;
		return std::string_view(data + start, length - start);
	}
};

// The input read but not yet consumed. Tokens are not held here: the buffer
// only ever needs the few bytes that decide the next step.
struct input_buffer {
	char data[buffer_size];
	std::size_t length; // bytes held
	std::size_t pos;    // the next byte
	bool at_eof;        // the stream had no more input
	// Lines are counted lazily: newlines before data[counted] are in lines_before.
	std::size_t counted;
	std::size_t lines_before;
	char dropped_last; // the byte before data[0], '\n' at the input's start
};

// Byte classes: name characters, bytes that end a word, operator starts.
constexpr unsigned char name_char = 1;
constexpr unsigned char word_end = 2;
constexpr unsigned char operator_start = 4;
// Bytes that end a run read in bulk: unquoted, in "..." and in '...'.
constexpr unsigned char ends_plain_run = 8;
constexpr unsigned char ends_double_run = 16;
constexpr unsigned char ends_single_run = 32;

constexpr bool is_one_of(int c, const char *set)
{
	for (; *set != '\0'; set++) {
		if (c == *set)
			return true;
	}
	return false;
}

constexpr unsigned char class_of(int c)
{
	unsigned char bits = 0;
	if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
		bits |= name_char;
	if (is_one_of(c, " \t\n"))
		bits |= word_end;
	if (is_one_of(c, ";&|()<>"))
		bits |= word_end | operator_start;
	if ((bits & word_end) != 0 || is_one_of(c, "'\"\\$`~:="))
		bits |= ends_plain_run;
	if (is_one_of(c, "\"\\$`\n"))
		bits |= ends_double_run;
	if (is_one_of(c, "'$`\\\n\""))
		bits |= ends_single_run;
	return bits;
}

struct class_table {
	unsigned char bits[256];
	constexpr class_table() : bits()
	{
		for (int c = 0; c < 256; c++)
			bits[c] = class_of(c);
	}
};

constexpr class_table classes;

bool has_class(int c, unsigned char bit)
{
	return c >= 0 && (classes.bits[c] & bit) != 0;
}

bool is_digit(int c)
{
	return c >= '0' && c <= '9';
}

bool is_name_start(int c)
{
	return has_class(c, name_char) && !is_digit(c);
}

// $$, $?, $!, $#, $-, $@ and $*.
bool is_special_parameter(int c)
{
	return c >= 0 && std::strchr("$?!#-@*", c) != nullptr;
}

bool starts_expansion(int c)
{
	return has_class(c, name_char) || is_special_parameter(c) || c == '{' || c == '(';
}

// What a nested construct is inside: an expansion's braces or parentheses,
// with or without double quotes around them, or a quote inside it.
enum class nest : unsigned char { braces, braces_in_quotes, parentheses, double_quotes, single_quotes, backquotes };

// The here document whose body starts after the next newline token.
struct here_document {
	std::string delimiter; // its end line, quotes removed
	bool strip_tabs;       // <<-: leading tabs do not count
	bool quoted;           // no continuation joins its lines
};

// The stream the next read uses; the reader sets it for each file.
FILE *input;
// Whether that stream is a terminal, read a line at a time.
bool interactive;
// Bytes the stream may still give, and whether it held more than its limit.
std::size_t input_left;
bool over_limit;
// Set up at the first request and kept for the whole run.
input_buffer *buffer;

// The last token.
std::size_t first_line;                 // the line it begins on, from 1
bool at_line_start;                     // its first byte is the first of its line
bounded_text<word_text_limit> raw;      // a word as written, a comment, an operator
bounded_text<word_text_limit> unquoted; // a word with its quotes removed
bounded_text<field_size> shown;         // an assignment's value in double quotes' syntax
word_token word;

// The word being read.
enum class prefix_state { name, assignment, other };
prefix_state prefix;      // what its start has shown it to be so far
std::size_t name_chars;   // of the NAME in NAME=value
std::size_t value_raw;    // where the value starts in raw
std::size_t value_plain;  // where the value starts in unquoted
bool as_written;
bool expands;
bool unterminated;
bool tilde_expands;       // an unquoted ~ here is expanded: after "=" or ":"
// The shown text's last piece, which the next byte must not run into.
enum class shown_tail { plain, name_parameter, literal_dollar };
shown_tail tail;

// Here documents.
bool delimiter_next;                  // the next word ends a here document
bool delimiter_strips_tabs;
std::vector<here_document> bodies;    // bodies to skip after the next newline
std::vector<nest> nesting;            // open constructs inside an expansion

[[noreturn]] void fatal(const char *message)
{
	std::fprintf(stderr, "%s\n", message);
	std::exit(2);
}

// A terminal hands over each line as soon as its newline is typed.
std::size_t read_terminal(char *to, std::size_t room)
{
	std::size_t n = 0;
	int c = EOF;
	while (n < room && (c = std::getc(input)) != EOF && c != '\n')
		to[n++] = static_cast<char>(c);
	if (c == '\n')
		to[n++] = '\n';
	if (c == EOF && std::ferror(input))
		fatal("input in flex scanner failed");
	return n;
}

std::size_t read_stream(char *to, std::size_t room)
{
	errno = 0;
	std::size_t n;
	while ((n = std::fread(to, 1, room, input)) == 0 && std::ferror(input)) {
		if (errno != EINTR)
			fatal("input in flex scanner failed");
		errno = 0;
		std::clearerr(input);
	}
	return n;
}

std::size_t drop_nul_bytes(char *bytes, std::size_t n)
{
	char *nul = static_cast<char *>(std::memchr(bytes, '\0', n));
	if (nul == nullptr)
		return n;
	char *to = nul;
	for (char *from = nul; from < bytes + n; from++) {
		if (*from != '\0')
			*to++ = *from;
	}
	return static_cast<std::size_t>(to - bytes);
}

void create_buffer()
{
	if (buffer != nullptr)
		return;
	buffer = static_cast<input_buffer *>(std::calloc(1, sizeof(input_buffer)));
	if (buffer == nullptr)
		fatal("out of dynamic memory in yy_create_buffer()");
}

// Counts the newlines held before data[at] into lines_before.
void count_lines_to(std::size_t at)
{
	input_buffer &b = *buffer;
	if (at <= b.counted)
		return;
	b.lines_before += static_cast<std::size_t>(std::count(b.data + b.counted, b.data + at, '\n'));
	b.counted = at;
}

// Makes the byte ahead bytes after pos available. Returns false when the
// input ends first.
bool fill(std::size_t ahead)
{
	input_buffer &b = *buffer;
	while (b.length - b.pos <= ahead) {
		if (b.at_eof || input == nullptr)
			return false;
		count_lines_to(b.pos);
		b.counted -= b.pos;
		if (b.pos > 0)
			b.dropped_last = b.data[b.pos - 1];
		std::memmove(b.data, b.data + b.pos, b.length - b.pos);
		b.length -= b.pos;
		b.pos = 0;
		std::size_t room = std::min({buffer_size - b.length, read_size, input_left});
		char *to = b.data + b.length;
		if (input_left == 0) {
			// At the limit: one more byte tells whether the stream goes on.
			over_limit = interactive ? read_terminal(to, 1) > 0 : read_stream(to, 1) > 0;
			b.at_eof = true;
			return false;
		}
		std::size_t got = interactive ? read_terminal(to, room) : read_stream(to, room);
		if (got == 0) {
			b.at_eof = true;
			return false;
		}
		input_left -= got;
		b.length += drop_nul_bytes(to, got);
	}
	return true;
}

// The byte ahead bytes after the current one, or -1 past the end.
int peek(std::size_t ahead = 0)
{
	const input_buffer &b = *buffer;
	if (b.pos + ahead < b.length || fill(ahead))
		return static_cast<unsigned char>(b.data[b.pos + ahead]);
	return -1;
}

void advance()
{
	buffer->pos++;
}

int peek_joined_slowly()
{
	for (;;) {
		int c = peek();
		if (c != '\\' || peek(1) != '\n')
			return c;
		buffer->pos += 2;
	}
}

// The next byte with backslash-newlines removed, as sh joins lines.
inline int peek_joined()
{
	const input_buffer &b = *buffer;
	if (b.pos + 1 < b.length && b.data[b.pos] != '\\')
		return static_cast<unsigned char>(b.data[b.pos]);
	return peek_joined_slowly();
}

// Skips to the next newline (left unread), keeping what fits in keep.
void skip_line(bounded_text<word_text_limit> &keep)
{
	for (;;) {
		input_buffer &b = *buffer;
		if (b.pos == b.length && !fill(0))
			return;
		const char *from = b.data + b.pos;
		std::size_t n = b.length - b.pos;
		const void *newline = std::memchr(from, '\n', n);
		if (newline != nullptr)
			n = static_cast<std::size_t>(static_cast<const char *>(newline) - from);
		keep.add(from, n);
		b.pos += n;
		if (newline != nullptr)
			return;
	}
}

// The bytes from the current one that have none of the end bits, as many
// as the buffer holds; the caller consumes them.
std::string_view run_without(unsigned char end)
{
	const input_buffer &b = *buffer;
	std::size_t at = b.pos;
	while (at < b.length && (classes.bits[static_cast<unsigned char>(b.data[at])] & end) == 0)
		at++;
	return std::string_view(b.data + b.pos, at - b.pos);
}

// Adds a byte to the value as shown. A parameter name or a literal "$" must
// not run into what follows: "$a"'b' is not "$ab".
void put_shown(char c)
{
	if (prefix != prefix_state::assignment)
		return;
	if ((tail == shown_tail::name_parameter && has_class(static_cast<unsigned char>(c), name_char)) ||
	    (tail == shown_tail::literal_dollar && starts_expansion(static_cast<unsigned char>(c))))
		as_written = true;
	tail = shown_tail::plain;
	shown.add(c);
}

// A byte that stands for itself in every form of the word.
void copy(char c)
{
	raw.add(c);
	unquoted.add(c);
	put_shown(c);
}

// A run of such bytes, none of which needs a byte before or after it
// looked at; returns whether there was one.
bool copy_run(unsigned char end)
{
	std::string_view run = run_without(end);
	if (run.empty())
		return false;
	raw.add(run.data(), run.size());
	unquoted.add(run.data(), run.size());
	if (prefix == prefix_state::assignment) {
		put_shown(run[0]);
		shown.add(run.data() + 1, run.size() - 1);
	}
	buffer->pos += run.size();
	return true;
}

// A byte of '...', which double quotes can hold unless it is $, ` or \ there.
void add_single_quoted(char c)
{
	unquoted.add(c);
	if (c == '$' || c == '`' || c == '\\' || c == '\n')
		as_written = true;
	if (c == '"')
		put_shown('\\');
	put_shown(c);
}

// The escaped byte after a backslash, the backslash read. Inside double
// quotes a backslash before other bytes is itself kept.
void add_escaped(int c, bool in_double_quotes)
{
	raw.add(static_cast<char>(c));
	bool special = c == '$' || c == '`' || c == '"' || c == '\\';
	if (in_double_quotes && !special)
		unquoted.add('\\');
	unquoted.add(static_cast<char>(c));
	if (special || in_double_quotes)
		put_shown('\\');
	put_shown(static_cast<char>(c));
}

bool open_nest(nest what)
{
	if (nesting.size() >= nesting_limit) {
		unterminated = true;
		return false;
	}
	nesting.push_back(what);
	return true;
}

// The inside of an expansion or a backquoted command, copied as written up
// to its closer. Quotes and the expansions nested in it are followed, so that
// a closer inside them does not count, and so is a comment in $(...). Quoting
// inside ${...} and backslashes inside `...` mean other things within double
// quotes: outside them, such a value is shown as written.
void read_expansion(nest outermost, bool in_double_quotes)
{
	nesting.clear();
	nesting.push_back(outermost);
	bool word_start = true; // for a comment in $(...)
	while (!nesting.empty() && !unterminated) {
		nest top = nesting.back();
		int c = top == nest::single_quotes ? peek() : peek_joined();
		if (c < 0) {
			unterminated = true;
			return;
		}
		advance();
		copy(static_cast<char>(c));
		if (c == '\n')
			as_written = true;
		bool was_word_start = word_start;
		word_start = has_class(c, word_end);
		switch (top) {
		case nest::single_quotes:
			if (c == '\'')
				nesting.pop_back();
			continue;
		case nest::backquotes:
			if (c == '`') {
				nesting.pop_back();
			} else if (c == '\\') {
				if (!in_double_quotes)
					as_written = true;
				if (int d = peek(); d >= 0) {
					advance();
					copy(static_cast<char>(d));
				}
			}
			continue;
		default:
			break;
		}
		if ((top == nest::braces || top == nest::braces_in_quotes) && c == '}') {
			nesting.pop_back();
			continue;
		}
		if (top == nest::double_quotes && c == '"') {
			nesting.pop_back();
			continue;
		}
		if (top == nest::parentheses && c == ')') {
			nesting.pop_back();
			continue;
		}
		bool quoting_differs = top == nest::braces;
		switch (c) {
		case '\\':
			as_written = as_written || quoting_differs;
			if (int d = peek(); d >= 0) {
				advance();
				copy(static_cast<char>(d));
			}
			break;
		case '\'':
			if (top == nest::parentheses || top == nest::braces) {
				as_written = as_written || quoting_differs;
				open_nest(nest::single_quotes);
			}
			break;
		case '"':
			as_written = as_written || quoting_differs;
			open_nest(nest::double_quotes);
			break;
		case '`':
			open_nest(nest::backquotes);
			break;
		case '(':
			if (top == nest::parentheses)
				open_nest(nest::parentheses);
			break;
		case '#':
			if (top == nest::parentheses && was_word_start) {
				std::size_t before = raw.length;
				skip_line(raw);
				for (char k : raw.from(before)) {
					unquoted.add(k);
					put_shown(k);
				}
			}
			break;
		case '$': {
			int d = peek_joined();
			if (d == '{' || d == '(') {
				advance();
				copy(static_cast<char>(d));
				bool quoted = top == nest::double_quotes || top == nest::braces_in_quotes;
				open_nest(d == '(' ? nest::parentheses : quoted ? nest::braces_in_quotes : nest::braces);
			}
			break;
		}
		default:
			break;
		}
	}
}

// After a "$": a parameter, an expansion, or a "$" that stands for itself.
void read_dollar(bool in_double_quotes)
{
	unquoted.add('$');
	put_shown('$');
	int c = peek_joined();
	if (c == '{' || c == '(') {
		expands = true;
		advance();
		copy(static_cast<char>(c));
		read_expansion(c == '(' ? nest::parentheses
					: in_double_quotes ? nest::braces_in_quotes : nest::braces,
			       in_double_quotes);
	} else if (is_name_start(c)) {
		expands = true;
		for (; has_class(c, name_char); c = peek_joined()) {
			advance();
			copy(static_cast<char>(c));
		}
		tail = shown_tail::name_parameter;
	} else if (is_digit(c) || is_special_parameter(c)) {
		expands = true;
		advance();
		copy(static_cast<char>(c));
	} else {
		// Some shells read $'...' and $"..." as quotes of their own.
		if (!in_double_quotes && (c == '\'' || c == '"'))
			as_written = true;
		tail = shown_tail::literal_dollar;
	}
}

void read_backquoted(bool in_double_quotes)
{
	expands = true;
	unquoted.add('`');
	put_shown('`');
	read_expansion(nest::backquotes, in_double_quotes);
}

// The next byte of a quoted text that needs a look of its own, read into
// raw after the plain bytes before it; -1, the word left unterminated, when
// the input ends first.
int next_quoted_byte(unsigned char run_end, bool joined)
{
	copy_run(run_end);
	int c = joined ? peek_joined() : peek();
	if (c < 0) {
		unterminated = true;
		return -1;
	}
	advance();
	raw.add(static_cast<char>(c));
	return c;
}

void read_single_quoted()
{
	for (int c; (c = next_quoted_byte(ends_single_run, false)) >= 0 && c != '\'';)
		add_single_quoted(static_cast<char>(c));
}

void read_double_quoted()
{
	while (!unterminated) {
		int c = next_quoted_byte(ends_double_run, true);
		if (c < 0 || c == '"')
			return;
		if (c == '\\') {
			int d = peek();
			if (d < 0) {
				unterminated = true;
				return;
			}
			advance();
			add_escaped(d, true);
		} else if (c == '$') {
			read_dollar(true);
		} else if (c == '`') {
			read_backquoted(true);
		} else {
			if (c == '\n')
				as_written = true;
			unquoted.add(static_cast<char>(c));
			put_shown(static_cast<char>(c));
		}
	}
}

// An unquoted byte that is no quote, escape or expansion. Returns whether a
// tilde right after it would be expanded.
bool read_plain(char c)
{
	if (prefix == prefix_state::name) {
		unquoted.add(c);
		if (c != '=') {
			name_chars++;
			return false;
		}
		prefix = prefix_state::assignment;
		value_raw = raw.length;
		value_plain = unquoted.length;
		return true;
	}
	if (c == '~' && tilde_expands && prefix == prefix_state::assignment)
		as_written = expands = true;
	unquoted.add(c);
	put_shown(c);
	return c == ':';
}

void start_word()
{
	raw.clear();
	unquoted.clear();
	shown.clear();
	prefix = prefix_state::name;
	name_chars = 0;
	value_raw = value_plain = 0;
	as_written = expands = unterminated = tilde_expands = false;
	tail = shown_tail::plain;
}

void finish_word()
{
	word = word_token{};
	word.text = raw.from(0);
	word.text_cut = raw.cut;
	word.unterminated = unterminated;
	int next = peek_joined();
	word.io_number = (next == '<' || next == '>') && !word.text.empty() && unquoted.length == raw.length &&
			 word.text.find_first_not_of("0123456789") == std::string_view::npos;
	if (prefix != prefix_state::assignment)
		return;
	word.name_length = name_chars;
	word.value_text = raw.from(value_raw);
	word.shown = shown.from(0);
	word.shown_cut = shown.cut;
	word.as_written = as_written;
	word.expands = expands;
	word.literal = unquoted.from(value_plain);
}

void read_word()
{
	start_word();
	// A leading run of name characters: what may be the NAME of NAME=value.
	const input_buffer &b = *buffer;
	std::size_t name_end = b.pos;
	if (name_end < b.length && !is_digit(b.data[name_end])) {
		while (name_end < b.length && has_class(static_cast<unsigned char>(b.data[name_end]), name_char))
			name_end++;
	}
	name_chars = name_end - b.pos;
	raw.add(b.data + b.pos, name_chars);
	unquoted.add(b.data + b.pos, name_chars);
	buffer->pos = name_end;
	for (;;) {
		// Past the name, plain bytes need no look each.
		if (prefix != prefix_state::name && copy_run(ends_plain_run))
			tilde_expands = false;
		int c = peek_joined();
		if (c < 0 || has_class(c, word_end))
			break;
		advance();
		raw.add(static_cast<char>(c));
		if (prefix == prefix_state::name &&
		    !(c == '=' ? name_chars > 0 : has_class(c, name_char) && (name_chars > 0 || !is_digit(c))))
			prefix = prefix_state::other;
		bool tilde_next = false;
		switch (c) {
		case '\'':
			read_single_quoted();
			break;
		case '"':
			read_double_quoted();
			break;
		case '\\':
			if (int d = peek(); d >= 0) {
				advance();
				add_escaped(d, false);
			} else {
				add_escaped('\\', false);
			}
			break;
		case '$':
			read_dollar(false);
			break;
		case '`':
			read_backquoted(false);
			break;
		default:
			tilde_next = read_plain(static_cast<char>(c));
		}
		tilde_expands = tilde_next;
		if (unterminated)
			break;
	}
	finish_word();
}

// Skips the body of one here document, through its end line.
void skip_body(const here_document &doc)
{
	bool continued = false;
	while (peek() >= 0) {
		if (doc.strip_tabs) {
			while (peek() == '\t')
				advance();
		}
		std::size_t matched = 0;
		bool differs = false;
		std::size_t backslashes = 0;
		int c;
		while ((c = peek()) >= 0 && c != '\n') {
			advance();
			if (matched < doc.delimiter.size() && static_cast<char>(c) == doc.delimiter[matched])
				matched++;
			else
				differs = true;
			backslashes = c == '\\' ? backslashes + 1 : 0;
		}
		if (c == '\n')
			advance();
		if (!continued && !differs && matched == doc.delimiter.size())
			return;
		// Unless its delimiter was quoted, a body's lines join like the file's.
		continued = !doc.quoted && backslashes % 2 == 1;
	}
}

token_kind read_operator(int c)
{
	advance();
	raw.add(static_cast<char>(c));
	int d = peek_joined();
	auto take = [d] {
		advance();
		raw.add(static_cast<char>(d));
	};
	switch (c) {
	case ';':
		if (d != ';')
			return token_semicolon;
		take();
		return token_double_semicolon;
	case '&':
		if (d != '&')
			return token_ampersand;
		take();
		return token_and_if;
	case '|':
		if (d != '|')
			return token_pipe;
		take();
		return token_or_if;
	case '(':
		return token_open_paren;
	case ')':
		return token_close_paren;
	case '<':
		if (d == '<') {
			take();
			delimiter_next = true;
			delimiter_strips_tabs = peek_joined() == '-';
			if (delimiter_strips_tabs) {
				advance();
				raw.add('-');
			}
		} else if (d == '&' || d == '>') {
			take();
		}
		return token_redirect;
	default: // '>'
		if (d == '>' || d == '&' || d == '|')
			take();
		return token_redirect;
	}
}

token_kind read_token()
{
	int c = peek_joined();
	while (c == ' ' || c == '\t') {
		while (buffer->pos < buffer->length && (buffer->data[buffer->pos] == ' ' || buffer->data[buffer->pos] == '\t'))
			buffer->pos++;
		c = peek_joined();
	}
	if (c < 0)
		return token_end;
	count_lines_to(buffer->pos);
	first_line = buffer->lines_before + 1;
	at_line_start = (buffer->pos > 0 ? buffer->data[buffer->pos - 1] : buffer->dropped_last) == '\n';
	if (c == '\n') {
		advance();
		raw.add('\n');
		for (const here_document &doc : bodies)
			skip_body(doc);
		bodies.clear();
		return token_newline;
	}
	if (c == '#') {
		advance();
		skip_line(raw);
		return token_comment;
	}
	if (has_class(c, operator_start))
		return read_operator(c);
	read_word();
	return token_word;
}

} // namespace

void set_tokenizer_input(FILE *in, std::size_t limit)
{
	create_buffer();
	input = in;
	input_left = limit;
	over_limit = false;
	// A text in memory has no descriptor to ask.
	int fd = in != nullptr ? fileno(in) : -1;
	interactive = fd >= 0 && isatty(fd);
	buffer->length = buffer->pos = buffer->counted = buffer->lines_before = 0;
	buffer->dropped_last = '\n';
	buffer->at_eof = false;
	bodies.clear();
	delimiter_next = false;
}

bool input_over_limit()
{
	return over_limit;
}

token_kind next_token()
{
	create_buffer();
	raw.clear();
	bool ends_document = delimiter_next;
	delimiter_next = false;
	token_kind kind = read_token();
	if (ends_document && kind == token_word) {
		std::string_view text = raw.from(0);
		bool quoted = text.find_first_of("'\"\\") != std::string_view::npos;
		bodies.push_back({std::string(unquoted.from(0)), delimiter_strips_tabs, quoted});
	}
	return kind;
}

std::size_t token_line()
{
	return first_line;
}

bool token_starts_line()
{
	return at_line_start;
}

std::string_view token_text()
{
	return raw.from(0);
}

const word_token &last_word()
{
	return word;
}

void flush_tokenizer()
{
	std::free(buffer);
	buffer = nullptr;
	input = nullptr;
	bodies.clear();
	bodies.shrink_to_fit();
	nesting.clear();
	nesting.shrink_to_fit();
	delimiter_next = false;
}
