// The rc.conf tokenizer: a hand-written matcher for the ten rules over a growing input buffer.
#include "rcfile/tokenizer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// How the rules are matched here. A rule that looks past its first byte never
// looks past the end of the line, so a match needs at most the rest of the
// current line in the buffer. The first newline at or after the position is
// found once with memchr and remembered until it is consumed; a line that
// arrives in many reads is searched only in its newly read part. Rule 6 reads
// less: only its name characters and the byte after them, so a name followed
// by a long line never holds that line.
//
//   rule  line start  text                                   outcome
//   1     yes         "#" run "\n"                           skipped
//   2     yes         "\n"                                   skipped
//   3     yes         " " run "\n"                           skipped
//   4     yes         "\t" run "\n"                          skipped
//   5     no          "\"${" run holding a "\"", then "\n"   skipped
//   6     yes         name characters, then "="              name token
//   7     no          "\"" run "\""                          value token
//   8     no          "#" run "\n"                           comment token
//   9     no          "\n"                                   skipped
//   10    no          any other single byte                  skipped
//
// A run never holds a newline. The longest candidate wins, the lower rule on
// a tie. The matchers below rely on what follows: rule 1 beats rule 8 on the
// same text, rule 5 is always longer than rule 7 from the same quote, and
// rule 7 reaches the last quote of its line.

namespace {

constexpr std::size_t initial_size = 16384;
constexpr std::size_t read_size = 8192;

// The input read but not yet consumed, with what is known about its line.
struct input_buffer {
	char *data;             // size bytes of input and one more for the NUL after a token
	std::size_t size;       // room for input in data; 0 while no buffer exists
	std::size_t len;        // bytes of input held in data
	std::size_t pos;        // first byte not yet consumed
	std::size_t line_end;   // index of a '\n' at or after pos, when has_line_end
	bool has_line_end;
	std::size_t scanned;    // data[pos, scanned) is known to hold no '\n'
	bool at_eof;            // the stream had no more input
	std::size_t held_at;    // where the NUL after the current token stands
	char held;              // the byte that NUL replaced
	bool holding;
};

// The stream the next read uses; the reader sets it for each file.
FILE *input;
// Whether that stream is a terminal, read a line at a time.
bool interactive;
// Set up at the first request and kept for the whole run.
input_buffer *buffer;
// Set at the start of each input and after every match that ends in '\n'.
bool line_start = true;
// The current token inside buffer->data.
std::size_t token_start;
std::size_t token_length;

// Byte classes for the rules: the name characters and the bytes that can
// start a rule longer than one byte away from a line start.
constexpr unsigned char name_char = 1;
constexpr unsigned char stops_run = 2;

constexpr unsigned char class_of(int c)
{
	unsigned char bits = 0;
	if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
		bits |= name_char;
	if (c == '\n' || c == '"' || c == '#')
		bits |= stops_run;
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

bool is_name_char(char c)
{
	return classes.bits[static_cast<unsigned char>(c)] & name_char;
}

bool stops_skipping(char c)
{
	return classes.bits[static_cast<unsigned char>(c)] & stops_run;
}

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

void create_buffer()
{
	if (buffer == nullptr) {
		buffer = static_cast<input_buffer *>(std::calloc(1, sizeof(input_buffer)));
		if (buffer == nullptr)
			fatal("out of dynamic memory in yyensure_buffer_stack()");
	}
	if (buffer->size != 0)
		return;
	buffer->data = static_cast<char *>(std::malloc(initial_size + 1));
	if (buffer->data == nullptr)
		fatal("out of dynamic memory in yy_create_buffer()");
	buffer->size = initial_size;
}

// Drops the held input and its memory; the next request starts afresh.
void discard_buffer()
{
	if (buffer != nullptr) {
		std::free(buffer->data);
		*buffer = input_buffer();
	}
	line_start = true;
}

// Moves the unconsumed input to the front of the buffer, doubles the buffer
// when that input fills it, and reads more. Returns false at the end of input.
bool fill_buffer()
{
	input_buffer &b = *buffer;
	if (b.at_eof || input == nullptr)
		return false;
	if (b.pos > 0) {
		std::memmove(b.data, b.data + b.pos, b.len - b.pos);
		b.len -= b.pos;
		if (b.has_line_end && b.line_end >= b.pos)
			b.line_end -= b.pos;
		else
			b.has_line_end = false;
		b.scanned = b.scanned > b.pos ? b.scanned - b.pos : 0;
		b.pos = 0;
	}
	if (b.len == b.size) {
		if (b.size > (static_cast<std::size_t>(-1) - 1) / 2)
			fatal("fatal error - scanner input buffer overflow");
		char *grown = static_cast<char *>(std::realloc(b.data, 2 * b.size + 1));
		if (grown == nullptr)
			fatal("fatal error - scanner input buffer overflow");
		b.data = grown;
		b.size *= 2;
	}
	std::size_t room = b.size - b.len;
	if (room > read_size)
		room = read_size;
	std::size_t got = interactive ? read_terminal(b.data + b.len, room) : read_stream(b.data + b.len, room);
	if (got == 0) {
		b.at_eof = true;
		return false;
	}
	b.len += got;
	return true;
}

// Makes sure the rest of the current line is in the buffer. Returns true with
// line_end set when the line ends in '\n', false when the input ends first.
bool find_line_end()
{
	input_buffer &b = *buffer;
	for (;;) {
		if (b.has_line_end && b.line_end >= b.pos)
			return true;
		std::size_t from = b.scanned > b.pos ? b.scanned : b.pos;
		const void *found = std::memchr(b.data + from, '\n', b.len - from);
		if (found != nullptr) {
			b.line_end = static_cast<std::size_t>(static_cast<const char *>(found) - b.data);
			b.has_line_end = true;
			return true;
		}
		b.scanned = b.len;
		if (!fill_buffer())
			return false;
	}
}

// End of the text the line-bound rules may look at: the newline, or the end
// of input on a last line without one.
std::size_t line_limit(bool has_newline)
{
	return has_newline ? buffer->line_end : buffer->len;
}

void skip(std::size_t length)
{
	buffer->pos += length;
	line_start = buffer->data[buffer->pos - 1] == '\n';
}

int make_token(std::size_t length)
{
	input_buffer &b = *buffer;
	token_start = b.pos;
	token_length = length;
	b.pos += length;
	line_start = b.data[b.pos - 1] == '\n';
	b.held_at = b.pos;
	b.held = b.data[b.pos];
	b.holding = true;
	b.data[b.pos] = '\0';
	return static_cast<unsigned char>(b.data[token_start]);
}

// Rules 1, 3 and 4: the whole line is skipped when it has a newline.
void match_skipped_line()
{
	if (find_line_end())
		skip(buffer->line_end + 1 - buffer->pos);
	else
		skip(1);
}

// Rule 6, or rule 10 when the name characters are not followed by "=". The
// length counts from pos, since a refill moves the input to the front.
int match_name()
{
	input_buffer &b = *buffer;
	std::size_t length = 0;
	for (;;) {
		while (b.pos + length < b.len && is_name_char(b.data[b.pos + length]))
			length++;
		if (b.pos + length < b.len || !fill_buffer())
			break;
	}
	if (b.pos + length < b.len && b.data[b.pos + length] == '=')
		return make_token(length + 1);
	skip(1);
	return 0;
}

// Rules 5 and 7, or rule 10 for a quote that is the last on its line.
int match_quote()
{
	bool has_newline = find_line_end();
	std::size_t end = line_limit(has_newline);
	const input_buffer &b = *buffer;
	const char *start = b.data + b.pos;
	std::size_t rest = end - b.pos;
	if (has_newline && rest >= 3 && start[1] == '$' && start[2] == '{' &&
	    std::memchr(start + 3, '"', rest - 3) != nullptr) {
		skip(rest + 1);
		return 0;
	}
	const void *last = memrchr(start + 1, '"', rest - 1);
	if (last != nullptr)
		return make_token(static_cast<std::size_t>(static_cast<const char *>(last) - start) + 1);
	skip(1);
	return 0;
}

// Rule 8, or rule 10 for a "#" on a last line without a newline.
int match_comment()
{
	if (find_line_end())
		return make_token(buffer->line_end + 1 - buffer->pos);
	skip(1);
	return 0;
}

// Rule 10 over a run of bytes that start no longer rule.
void skip_run()
{
	input_buffer &b = *buffer;
	std::size_t at = b.pos + 1;
	while (at < b.len && !stops_skipping(b.data[at]))
		at++;
	b.pos = at;
	line_start = false;
}

// Tries the rules at the current position: returns the token's first byte, or
// 0 when the text there was skipped.
int match_at_position()
{
	char c = buffer->data[buffer->pos];
	if (c == '\n') {
		skip(1);
		return 0;
	}
	if (line_start) {
		if (c == '#' || c == ' ' || c == '\t') {
			match_skipped_line();
			return 0;
		}
		if (is_name_char(c))
			return match_name();
	}
	if (c == '"')
		return match_quote();
	if (c == '#')
		return match_comment();
	skip_run();
	return 0;
}

} // namespace

void set_tokenizer_input(FILE *in)
{
	input = in;
	interactive = in != nullptr && isatty(fileno(in));
}

int next_token()
{
	create_buffer();
	input_buffer &b = *buffer;
	if (b.holding) {
		b.data[b.held_at] = b.held;
		b.holding = false;
	}
	for (;;) {
		if (b.pos == b.len && !fill_buffer()) {
			discard_buffer();
			return 0;
		}
		int first = match_at_position();
		if (first != 0)
			return first;
	}
}

std::string_view token_text()
{
	if (buffer == nullptr || buffer->data == nullptr)
		return std::string_view();
	return std::string_view(buffer->data + token_start, token_length);
}

void flush_tokenizer()
{
	discard_buffer();
}
