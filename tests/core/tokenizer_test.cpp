// Tests of the rc.conf tokenizer: its rules, line starts, buffering and failures.
#include "rcfile/tokenizer.h"

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

// Reads the current input to its end; each token shows as its kind (N name,
// V value, C comment), a colon and its text with "\n" and NUL spelled out.
std::string drain_tokens()
{
	std::string out;
	while (int first = next_token()) {
		std::string_view text = token_text();
		EXPECT_EQ(first, static_cast<unsigned char>(text[0]));
		EXPECT_EQ(text.data()[text.size()], '\0');
		out += std::string(out.empty() ? "" : " ") + (first == '"' ? "V:" : first == '#' ? "C:" : "N:");
		for (char c : text)
			out += c == '\n' ? "\\n"sv : c == '\0' ? "\\0"sv : std::string_view(&c, 1);
	}
	return out;
}

std::string tokens_of(std::string_view text)
{
	FILE *in = text.empty() ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char *>(text.data()), text.size(), "r");
	set_tokenizer_input(in);
	std::string out = drain_tokens();
	std::fclose(in);
	return out;
}

struct token_case {
	std::string_view input;
	const char *expected;
};

} // namespace

TEST(Tokenizer, LineStartRulesSkipWholeLines)
{
	for (auto [input, expected] : {
		     token_case{"# a=\"1\" # c\n\n b=\"2\"\n\tc=\"3\" # d\ne=\"4\"\n", "N:e= V:\"4\""},
		     token_case{"aZ_09=\"1\"\n", "N:aZ_09= V:\"1\""},
		     token_case{"ls a=\"1\"\n=\"2\"\na\xe9=\"3\"\na=b=\n", "V:\"1\" V:\"2\" V:\"3\" N:a="},
		     token_case{"a=\"1\"\nls # c\n", "N:a= V:\"1\" C:# c\\n"},
	     })
		EXPECT_EQ(tokens_of(input), expected) << input;
}

TEST(Tokenizer, ValueTokenReachesLastQuoteOfItsLine)
{
	for (auto [input, expected] : {
		     token_case{"a=\"1\" \"2\" #c\n", "N:a= V:\"1\" \"2\" C:#c\\n"},
		     token_case{"a=\"YES\" # say \"hi\"\n", "N:a= V:\"YES\" # say \"hi\""},
		     token_case{"a=\"x\n\"\"\n", "N:a= V:\"\""},
		     token_case{"a=#\n", "N:a= C:#\\n"},
	     })
		EXPECT_EQ(tokens_of(input), expected) << input;
}

// Rule 5 outmatches rule 7 only when a later quote and a newline follow.
TEST(Tokenizer, DollarBraceQuoteSkipsRestOfLine)
{
	for (auto [input, expected] : {
		     token_case{"a=\"${b}\" # c\nd=\"2\"\n", "N:a= N:d= V:\"2\""},
		     token_case{"\"${b x \" y\n", ""},
		     token_case{"a=\"${b\nd=\n", "N:a= N:d="},
		     token_case{"a=\"x${b}\"\n", "N:a= V:\"x${b}\""},
		     token_case{"a=\"${b}\"", "N:a= V:\"${b}\""},
	     })
		EXPECT_EQ(tokens_of(input), expected) << input;
}

TEST(Tokenizer, LastLineWithoutNewlineHasNoLineRules)
{
	EXPECT_EQ(tokens_of("a=\"1\" # c"), "N:a= V:\"1\"");
	EXPECT_EQ(tokens_of("# \"q\""), "V:\"q\"");
	EXPECT_EQ(tokens_of(" a=\"1\""), "V:\"1\"");
}

TEST(Tokenizer, NulAndCarriageReturnAreOrdinaryBytes)
{
	EXPECT_EQ(tokens_of("a=\"x\0y\" #\0\n"sv), "N:a= V:\"x\\0y\" C:#\\0\\n");
	EXPECT_EQ(tokens_of("\0a=\"1\"\n"sv), "V:\"1\"");
	EXPECT_EQ(tokens_of("a=\"1\"\r\n# c\r\nb=\"2\" #\r\n"), "N:a= V:\"1\" N:b= V:\"2\" C:#\r\\n");
}

TEST(Tokenizer, EachInputStartsAtLineStart)
{
	EXPECT_EQ(tokens_of("a=\"1\" x"), "N:a= V:\"1\"");
	EXPECT_EQ(tokens_of("b=\"2\"\n"), "N:b= V:\"2\"");
	FILE *held = fmemopen(const_cast<char *>("c=\"1\" \"2\"\n"), 10, "r");
	set_tokenizer_input(held);
	ASSERT_EQ(next_token(), 'c');
	flush_tokenizer();
	EXPECT_EQ(tokens_of("d=\n"), "N:d=");
	std::fclose(held);
}

TEST(Tokenizer, TenMegabyteLinesAreWhole)
{
	const std::string body(10 << 20, 'x');
	EXPECT_EQ(tokens_of(" " + body + "\na=\"1\" " + body + "\n"), "N:a= V:\"1\"");
	// Compared as booleans: a failure would otherwise print megabytes.
	EXPECT_TRUE(tokens_of(body + "=\"" + body + "\" #" + body + "\n") ==
	            "N:" + body + "= V:\"" + body + "\" C:#" + body + "\\n");
}

// Lines that straddle the first read (8192 bytes), the first buffer size
// (16384) and the first doubling come out whole at every offset.
TEST(Tokenizer, TokensAcrossBlockBoundaries)
{
	const std::string line = "name_x=\"value y\" # comment z\n";
	const std::string tokens = "N:name_x= V:\"value y\" C:# comment z\\n";
	for (std::size_t boundary : {8192u, 16384u, 32768u})
		for (std::size_t back = 1; back <= line.size() + 1; back++)
			EXPECT_EQ(tokens_of("#" + std::string(boundary - back - 2, '-') + "\n" + line + line),
			          tokens + " " + tokens) << boundary << " " << back;
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
	EXPECT_EQ(drain_tokens(), "N:a= V:\"1\"");
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
	EXPECT_EQ(next_token(), 'a');
	EXPECT_EQ(next_token(), '"');
	ASSERT_EQ(write(master, "b=\n\4", 4), 4);
	EXPECT_EQ(drain_tokens(), "N:b=");
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
	if (tokens == "N:b= V:\"x\"" && grown_kb < bound_kb)
		_exit(0);
	std::fprintf(stderr, "tokens: %s, peak resident size grew by %ld KB\n", tokens.c_str(), grown_kb);
	_exit(1);
}

} // namespace

// Rule 6 needs only the name and the byte after it: a name before a line of
// 100 MB of blanks must not hold the line in memory.
TEST(Tokenizer, NameBeforeHugeBlankLineHoldsOnlyTheName)
{
	pid_t reader = fork();
	ASSERT_NE(reader, -1);
	if (reader == 0)
		read_blank_line_and_exit();
	int status = 0;
	ASSERT_EQ(waitpid(reader, &status, 0), reader);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
