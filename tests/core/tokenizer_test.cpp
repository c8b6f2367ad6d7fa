// Tests of the rc.conf tokenizer: sh's tokens, values shown as one double-quoted text, buffering and failures.
#include "shell/tokenizer.h"

#include "owned_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::string_view_literals;

namespace {

// Reads the current input to its end: words as they are written, "|" for a
// newline, "#" and the text for a comment, operators as themselves.
std::string drain_tokens()
{
	std::string out;
	for (token_kind kind; (kind = next_token()) != token_end;) {
		out += out.empty() ? "" : " ";
		if (kind == token_newline)
			out += "|";
		else
			out += (kind == token_comment ? "#" : "") + std::string(token_text());
	}
	return out;
}

std::string tokens_of(std::string_view text)
{
	FILE *in = open_text(text);
	set_tokenizer_input(in);
	std::string out = drain_tokens();
	std::fclose(in);
	return out;
}

// The first word of text, read on its own.
word_token word_of(std::string_view text, std::string &kept)
{
	kept = text;
	FILE *in = open_text(kept);
	set_tokenizer_input(in);
	EXPECT_EQ(next_token(), token_word) << text;
	word_token word = last_word();
	std::fclose(in);
	return word;
}

struct token_case {
	std::string_view input;
	const char *expected;
};

} // namespace

TEST(Tokenizer, CutsAsShDoes)
{
	for (auto [input, expected] : {
		     token_case{"a=1;b=2&&c||d|e&f;;g", "a=1 ; b=2 && c || d | e & f ;; g"},
		     token_case{"x 2>&1 >>f <g <>h >|i", "x 2 >& 1 >> f < g <> h >| i"},
		     token_case{"a#b #c d\n  e=\"#\" # f\n", "a#b #c d | e=\"#\" # f |"},
		     token_case{"ec\\\nho a\\\n=1 '\\\n' \"x\ny\"", "echo a=1 '\\\n' \"x\ny\""},
		     token_case{"f() { a=$(b ')' \"(\" # )\n) c; }", "f ( ) { a=$(b ')' \"(\" # )\n) c ; }"},
		     token_case{"a=${b:-'}'}x \"${c:-'}x\" `d \\` e`", "a=${b:-'}'}x \"${c:-'}x\" `d \\` e`"},
		     token_case{"a=\"x\0y\"\0 #\0z\n"sv, "a=\"xy\" #z |"},
		     token_case{"a=\"1\"\r\nb\r", "a=\"1\"\r | b\r"},
	     })
		EXPECT_EQ(tokens_of(input), expected) << input;
}

// A here document's body is passed over from the newline after its
// operator to its end line; its lines make no tokens.
TEST(Tokenizer, SkipsHereDocumentBodies)
{
	for (auto [input, expected] : {
		     token_case{"cat <<EOF; a=1\nb=2\nEOF\nc=3\n", "cat << EOF ; a=1 | c=3 |"},
		     token_case{"x <<-'E' <<F\n\tb=2\n\tE\nc=3\nF\nd\n", "x <<- 'E' << F | d |"},
		     token_case{"x <<E\\OF\nEOF\n", "x << E\\OF |"},
		     token_case{"x <<EOF\na\\\nEOF\nEOF\nd\n", "x << EOF | d |"},
		     token_case{"x <<'EOF'\na\\\nEOF\nd\n", "x << 'EOF' | d |"},
		     token_case{"x <<EOF\nb=2\n", "x << EOF |"},
		     token_case{"x <<EOF \"q\nq\"\nb\nEOF\nc", "x << EOF \"q\nq\" | c"},
	     })
		EXPECT_EQ(tokens_of(input), expected) << input;
}

// What the window shows of a value, and what sh reads there: the inside of
// one double-quoted text when one reads as the same value, else the file's
// own text marked as written.
TEST(Tokenizer, ShowsAValueAsOneDoubleQuotedText)
{
	const struct {
		std::string_view word;
		const char *shown;  // nullptr: shown as written
		const char *literal; // nullptr: the value expands something
	} cases[] = {
		{"a=NO", "NO", "NO"},
		{"a='-ss'", "-ss", "-ss"},
		{"a=\"x\"'y'z", "xyz", "xyz"},
		{"a=", "", ""},
		{"a='say \"hi\"'", "say \\\"hi\\\"", "say \"hi\""},
		{"a=\"x\\\"y\\z\"", "x\\\"y\\z", "x\"y\\z"},
		{"a=x\\ y\\$z\\\\", "x y\\$z\\\\", "x y$z\\"},
		{"a=\"ab\\\ncd\"", "abcd", "abcd"},
		{"a=${b:-x}/\"$c\"$(d ')')", "${b:-x}/$c$(d ')')", nullptr},
		{"a=\"${b:-'}'}\"", "${b:-'}'}", nullptr},
		{"a=\"$$\"$?", "$$$?", nullptr},
		{"a=\"$\"", "$", "$"},
		{"a='$x'", nullptr, "$x"},
		{"a=$b'c'", nullptr, nullptr},
		{"a=\"$\"'{b}'", nullptr, "${b}"},
		{"a=\"x\ny\"", nullptr, "x\ny"},
		{"a=~/x", nullptr, nullptr},
		{"a=x:~", nullptr, nullptr},
		{"a=x~", "x~", "x~"},
		{"a=${b:-'c'}", nullptr, nullptr},
		{"a=`b \\` c`", nullptr, nullptr},
		{"a=$'x'", nullptr, "$x"},
	};
	for (const auto &c : cases) {
		std::string kept;
		word_token word = word_of(c.word, kept);
		ASSERT_EQ(word.name_length, 1u) << c.word;
		if (c.word.find("\\\n") == std::string_view::npos) {
			EXPECT_EQ(word.value_text, c.word.substr(2)) << c.word;
		}
		EXPECT_EQ(word.as_written, c.shown == nullptr) << c.word;
		if (c.shown != nullptr) {
			EXPECT_EQ(word.shown, c.shown) << c.word;
		}
		EXPECT_EQ(word.expands, c.literal == nullptr) << c.word;
		if (c.literal != nullptr) {
			EXPECT_EQ(word.literal, c.literal) << c.word;
		}
	}
}

TEST(Tokenizer, KnowsWhichWordsAreAssignments)
{
	for (std::string_view text : {"_a1=x", "a=b=c", "A\\\n=1"}) {
		std::string kept;
		EXPECT_GT(word_of(text, kept).name_length, 0u) << text;
	}
	for (std::string_view text : {"1a=x", "=x", "a+=1", "\"a\"=1", "a\\=1", "$a=1", "a[1]=x"}) {
		std::string kept;
		EXPECT_EQ(word_of(text, kept).name_length, 0u) << text;
	}
	std::string kept;
	EXPECT_TRUE(word_of("12>x", kept).io_number);
	EXPECT_FALSE(word_of("12 >x", kept).io_number);
	for (std::string_view text : {"a=\"x", "a='x", "a=$(x", "a=${x", "a=`x", "a=\"$(x\")\""})
		EXPECT_TRUE(word_of(text, kept).unterminated) << text;
}

// No word, however long, holds more than its first bytes; what follows it
// is read as usual.
TEST(Tokenizer, KeepsOnlyTheBeginningOfHugeWords)
{
	const std::string body(10 << 20, 'x');
	std::string text = "a='" + body + "' #" + body + "\nb=1";
	FILE *in = open_text(text);
	set_tokenizer_input(in);
	ASSERT_EQ(next_token(), token_word);
	const word_token &word = last_word();
	EXPECT_EQ(word.text.size(), word_text_limit);
	EXPECT_TRUE(word.text_cut);
	EXPECT_TRUE(word.shown_cut);
	EXPECT_EQ(word.shown.substr(0, 3), "xxx");
	ASSERT_EQ(next_token(), token_comment);
	EXPECT_EQ(token_text().size(), word_text_limit);
	EXPECT_EQ(drain_tokens(), "| b=1");
	std::fclose(in);
}

// Lines that straddle the first read (8192 bytes) and the buffer's size
// (16384) come out whole at every offset.
TEST(Tokenizer, TokensAcrossBlockBoundaries)
{
	const std::string line = "name_x=\"value y\" # comment z\n";
	const std::string tokens = "name_x=\"value y\" # comment z |";
	for (std::size_t boundary : {8192u, 16384u, 32768u})
		for (std::size_t back = 1; back <= line.size() + 1; back++)
			EXPECT_EQ(tokens_of(std::string(boundary - back - 1, ' ') + "\n" + line + line),
				  "| " + tokens + " " + tokens)
				<< boundary << " " << back;
}

// Every token knows the line it begins on: quoted newlines, joined lines and
// here-document bodies count, and so do lines far past the buffer's size.
TEST(Tokenizer, CountsTheLineEachTokenBeginsOn)
{
	std::string text = "a=1\n\nb=\"x\ny\" c\\\nd\ncat <<E\n1\n2\nE\ne # f";
	std::string lines;
	FILE *in = open_text(text);
	set_tokenizer_input(in);
	while (next_token() != token_end)
		lines += std::to_string(token_line()) + " ";
	std::fclose(in);
	EXPECT_EQ(lines, "1 1 2 3 4 5 6 6 6 6 10 10 ");

	std::string many;
	for (int line = 1; line <= 3000; line++)
		many += "v" + std::to_string(line) + "=\"" + std::string(static_cast<std::size_t>(line % 41), 'x') + "\"\n";
	in = open_text(many);
	set_tokenizer_input(in);
	for (token_kind kind; (kind = next_token()) != token_end;) {
		if (kind == token_word) {
			ASSERT_EQ("v" + std::to_string(token_line()), token_text().substr(0, token_text().find('=')));
		}
	}
	std::fclose(in);
}

// Each input starts at the top level, whatever the one before left open.
TEST(Tokenizer, EachInputStartsAfresh)
{
	FILE *held = open_text("x <<EOF\n");
	set_tokenizer_input(held);
	ASSERT_EQ(next_token(), token_word);
	ASSERT_EQ(next_token(), token_redirect);
	EXPECT_EQ(tokens_of("EOF\nb=1\n"), "EOF | b=1 |");
	std::fclose(held);
	EXPECT_EQ(tokens_of("a \"x"), "a \"x");
	flush_tokenizer();
	EXPECT_EQ(tokens_of("d=\n"), "d= |");
}

namespace {

// A stream whose first read is interrupted and whose later reads give text,
// or fail with error when it is set.
struct flaky_source {
	const char *text;
	int error;
	bool interrupted;
};

ssize_t flaky_read(void *cookie, char *to, std::size_t size)
{
	auto *source = static_cast<flaky_source *>(cookie);
	errno = source->interrupted ? source->error : EINTR;
	source->interrupted = true;
	std::size_t n = errno != 0 ? 0 : std::min(size, std::strlen(source->text));
	std::memcpy(to, source->text, n);
	source->text += n;
	return errno != 0 ? -1 : static_cast<ssize_t>(n);
}

} // namespace

TEST(Tokenizer, InterruptedReadIsRepeatedAndFailedReadEndsWithStatusTwo)
{
	flaky_source good = {"a=\"1\"\n", 0, false};
	flaky_source bad = {"", EIO, false};
	FILE *in = fopencookie(&good, "r", {flaky_read, nullptr, nullptr, nullptr});
	set_tokenizer_input(in);
	EXPECT_EQ(drain_tokens(), "a=\"1\" |");
	std::fclose(in);
	in = fopencookie(&bad, "r", {flaky_read, nullptr, nullptr, nullptr});
	set_tokenizer_input(in);
	EXPECT_EXIT(next_token(), testing::ExitedWithCode(2), "^input in flex scanner failed\n$");
	std::fclose(in);
}

// At a terminal the first line's tokens come before the second line is typed;
// a tokenizer that waited for more input is stopped by the alarm.
TEST(Tokenizer, TerminalLineIsTokenizedAtItsNewline)
{
	int master = posix_openpt(O_RDWR | O_NOCTTY);
	ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
	FILE *in = std::fopen(ptsname(master), "r");
	ASSERT_NE(in, nullptr);
	set_tokenizer_input(in);
	ASSERT_EQ(write(master, "a=\"1\"\n", 6), 6);
	alarm(20);
	EXPECT_EQ(next_token(), token_word);
	EXPECT_EQ(next_token(), token_newline);
	ASSERT_EQ(write(master, "b=\n\4", 4), 4);
	EXPECT_EQ(drain_tokens(), "b= |");
	alarm(0);
	std::fclose(in);
	close(master);
}

namespace {

constexpr int blank_megabytes = 100;
constexpr long bound_kb = 32 << 10;

// Writes "a", blank_megabytes MB of blanks and a newline, then b="x" on a
// line of its own, and closes out.
void write_blank_line(FILE *out)
{
	const std::string blanks(1 << 20, ' ');
	std::fputs("a", out);
	for (int i = 0; i < blank_megabytes; i++)
		std::fwrite(blanks.data(), 1, blanks.size(), out);
	std::fputs("\nb=\"x\"\n", out);
	std::fclose(out);
}

// Reads that input from a pipe fed by another process; exits 0 when b was
// read and the peak resident size grew by less than bound_kb. The alarm ends
// a tokenizer that stopped reading.
[[noreturn]] void read_blank_line_and_exit()
{
	alarm(120);
	int fds[2];
	if (pipe(fds) != 0)
		_exit(1);
	pid_t writer = fork();
	if (writer == 0) {
		close(fds[0]);
		write_blank_line(fdopen(fds[1], "w"));
		_exit(0);
	}
	close(fds[1]);
	FILE *in = fdopen(fds[0], "r");
	rusage before = {};
	rusage after = {};
	getrusage(RUSAGE_SELF, &before);
	set_tokenizer_input(in);
	std::string tokens = drain_tokens();
	getrusage(RUSAGE_SELF, &after);
	std::fclose(in);
	waitpid(writer, nullptr, 0);
	long grown_kb = after.ru_maxrss - before.ru_maxrss;
	if (tokens == "a | b=\"x\" |" && grown_kb < bound_kb)
		_exit(0);
	std::fprintf(stderr, "tokens: %s, peak resident size grew by %ld KB\n", tokens.c_str(), grown_kb);
	_exit(1);
}

} // namespace

// A word before a line of 100 MB of blanks must not hold the line in memory.
TEST(Tokenizer, WordBeforeHugeBlankLineHoldsOnlyTheWord)
{
	pid_t reader = fork();
	ASSERT_NE(reader, -1);
	if (reader == 0)
		read_blank_line_and_exit();
	int status = 0;
	ASSERT_EQ(waitpid(reader, &status, 0), reader);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
