// Tests of the rc.conf reader: which assignments sh makes at the top level, and what each entry holds.
#include "shell/reader.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace std::string_view_literals;

namespace {

// "K[a=YES b=NO] S[c=\"x\" # note]": knobs, then strings with their comments;
// a locked value is followed by its lock bits in brackets.
std::string describe(const rc_lists &lists)
{
	std::string out = "K[";
	for (int i = 0; i < lists.knob_count; i++) {
		const rc_entry &e = lists.knobs[i];
		out += (i ? " " : "") + std::string(field_text(e.name)) + (e.knob_on ? "=YES" : "=NO");
		out += e.comment[0] ? " #" + std::string(field_text(e.comment)) : "";
	}
	out += "] S[";
	for (int i = 0; i < lists.string_count; i++) {
		const rc_entry &e = lists.strings[i];
		out += (i ? " " : "") + std::string(field_text(e.name)) + "=" + std::string(field_text(e.value));
		out += e.value_lock ? "[" + std::to_string(e.value_lock) + "]" : "";
		out += e.comment[0] ? " #" + std::string(field_text(e.comment)) : "";
	}
	return out + "]";
}

std::string read_described(std::string_view text)
{
	return describe(owned_lists(text));
}

struct read_case {
	std::string_view input;
	const char *expected;
};

} // namespace

TEST(Reader, YesAndNoInAnyCaseAndQuotingMakeKnobs)
{
	for (auto [input, expected] : {
		     read_case{"a=YES\nb='no'\nc=\"Yes\"\nd=\"y\"Es\ne=\"YESS\"\nf=$YES\n", "K[a=YES b=NO c=YES d=YES] S[e=\"YESS\" f=\"$YES\"]"},
		     read_case{"dumpdev=NO\nswapfile=\"no\"\nsendmail_enable=YES\n", "K[sendmail_enable=YES] S[dumpdev=\"NO\" swapfile=\"no\"]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
	for (const char *name : string_valued_names)
		EXPECT_EQ(read_described(std::string(name) + "=NO\n"), "K[] S[" + std::string(name) + "=\"NO\"]");
}

// Each assignment is read from its own line, however it is indented and
// whatever stands on the lines around it.
TEST(Reader, ReadsEveryTopLevelAssignmentAsShDoes)
{
	for (auto [input, expected] : {
		     read_case{"  a=1\n\tb=x\n", "K[] S[a=\"1\" b=\"x\"]"},
		     read_case{"a=\"${b}\"\nc=\"1\"\n", "K[] S[a=\"${b}\" c=\"1\"]"},
		     read_case{"kldload nvidia\na=YES\nroot@host:~ # cat /etc/rc.conf\nb=\"2\" # two\n", "K[a=YES] S[b=\"2\" # two]"},
		     read_case{"a=\"1\"; b=2 c='3' # c\n", "K[] S[a=\"1\" b=\"2\" c=\"3\" # c]"},
		     read_case{"a=1 cmd\nb=1 &\nc=1 | x\nx && d=1\ne=1 && x\nf=1 >x\n! g=1\n", "K[] S[e=\"1\" g=\"1\"]"},
		     read_case{"a=1\\\n2 b\\\n=3", "K[] S[a=\"12\" b=\"3\"]"},
		     read_case{"_a=1\na=1\na=YES # later\n", "K[a=YES] S[]"},
		     read_case{"a=x # first\na=YES # second\na=y\n", "K[] S[a=\"y\" # first]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

// An entry keeps the line of the assignment that gives its value, also
// when that assignment changes its kind.
TEST(Reader, EachEntryKnowsTheLineOfItsLastAssignment)
{
	owned_lists read("a=1\nb=YES\n\nif x; then a=2; fi\na=\"3\\\nx\" b=NO\nc=x\nc=YES\n");
	const rc_lists &l = read;
	ASSERT_EQ(describe(l), "K[b=NO c=YES] S[a=\"3x\"]");
	EXPECT_EQ(l.knobs[0].line, 6);
	EXPECT_EQ(l.knobs[1].line, 8);
	EXPECT_EQ(l.strings[0].line, 5);
}

// Nothing inside a compound command, a function body, a here document or a
// quoted text that spans lines makes an entry, and what follows them does.
TEST(Reader, PassesOverWhatShDoesNotRunAtTheTopLevel)
{
	for (auto [input, expected] : {
		     read_case{"if [ -x /x ]; then\n\ta=1\nelif x; then b=1\nelse c=1\nfi\nd=1\n", "K[] S[d=\"1\"]"},
		     read_case{"for i in a b; do a=1; done; while x\ndo b=1; done\nuntil x; do c=1; done\nd=1\n", "K[] S[d=\"1\"]"},
		     read_case{"case $x in\na|b) a=1 ;;\n(c) b=1\nesac\n{ c=1; }\n( d=1 )\ne=1\n", "K[] S[e=\"1\"]"},
		     read_case{"f() {\n\ta=1\n}\ng()\n( b=1 )\nc=1\n", "K[] S[c=\"1\"]"},
		     read_case{"cat <<EOF\na=1\nEOF\n: <<-'X'\n\tb=1\n\tX\nc=1\n", "K[] S[c=\"1\"]"},
		     read_case{": \"text\na=1\n\" 'b=\nb=1'\nc=1\n", "K[] S[c=\"1\"]"},
		     read_case{"a=\"x\ny\" # z\n", "K[] S[a=\"x\ny\"[2] # z]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

// sh runs a file one complete command at a time and stops at a syntax
// error: what comes after it never takes effect. (The generated files of
// ShellReading meet the other errors: a stray fi, done or ;;, an open quote
// or block, a "(" after a word.)
TEST(Reader, StopsWhereShStops)
{
	for (auto [input, expected] : {
		     read_case{"a=1\nb=1 &&\n", "K[] S[a=\"1\"]"},
		     read_case{"a=1\n{ }\n", "K[] S[a=\"1\"]"},
		     read_case{"a=1\nif x; fi\n", "K[] S[a=\"1\"]"},
		     read_case{"a=1\nf() x\n", "K[] S[a=\"1\"]"},
		     read_case{"a=1\ncase x in y) ;; esac\nb=2", "K[] S[a=\"1\" b=\"2\"]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

// A return or exit that may run where the file's own shell reads it ends the
// file there, as far as anyone can know before boot; one in a function body,
// a subshell or a word does not. (ShellReading has sh itself judge the ones
// that surely run.)
TEST(Reader, ReturnOrExitThatMayRunEndsTheFile)
{
	const struct {
		std::string_view input;
		const char *expected;
		int end_line;
	} cases[] = {
		{"a=1\n[ -f /x ] && return\nb=2\n", "K[] S[a=\"1\"]", 2},
		{"a=1\ncase $x in\ny) exit ;;\nesac\nb=2\n", "K[] S[a=\"1\"]", 3},
		{"a=1\nf() { return; }\nb=2\n", "K[] S[a=\"1\" b=\"2\"]", 0},
		{"a=1\necho return; x=$(exit)\nb=2\n", "K[] S[a=\"1\" x=\"$(exit)\" b=\"2\"]", 0},
		{"a=1\nb=2 exit\nc=3\n", "K[] S[a=\"1\"]", 2},
	};
	for (const auto &c : cases) {
		EXPECT_EQ(read_described(c.input), c.expected) << c.input;
		EXPECT_EQ(early_end_line(c.input), c.end_line) << c.input;
	}
}

// A value too long for its field keeps its beginning; one that no
// double-quoted text reads as keeps the file's own text. Either is locked.
TEST(Reader, LocksValuesItCannotShowWhole)
{
	for (std::size_t length : {field_size - 3, field_size - 2}) {
		const std::string value = "\"" + std::string(length, 'v') + "\"";
		owned_lists read("a=" + value + "\n");
		const rc_entry &e = read.strings[0];
		EXPECT_EQ(e.value_lock, length > field_size - 3 ? value_too_long : 0) << length;
		EXPECT_EQ(field_text(e.value), value.substr(0, field_size - 1)) << length;
		EXPECT_EQ(field_text(e.saved_value), field_text(e.value));
	}
	const std::string text(300, 'v');
	owned_lists read(text + "='$" + text + "' #" + text + "\n");
	const rc_entry &e = read.strings[0];
	EXPECT_EQ(field_text(e.name), text.substr(0, field_size - 1));
	EXPECT_EQ(field_text(e.value), "'$" + text.substr(0, field_size - 3));
	EXPECT_EQ(e.value_lock, value_as_written | value_too_long);
	EXPECT_EQ(field_text(e.comment), text.substr(0, field_size - 1));
}

TEST(Reader, EmptyInputsGiveEmptyArraysWithRoomForOne)
{
	for (std::string_view text : {""sv, "# only\n\n\t\n\"x\" # c\n"sv, "a=1; fi\n"sv}) {
		owned_lists read(text);
		EXPECT_EQ(read.knob_count + read.string_count, 0);
		EXPECT_TRUE(read.knobs != nullptr && read.strings != nullptr);
		EXPECT_EQ(read.knob_capacity + read.string_capacity, 2);
	}
}

TEST(Reader, RandomBytesGiveOnlyNamesShCouldAssign)
{
	constexpr char alphabet[] = "ab_=\"'#$\n\t {}()|;&<>\\`\r\0\xe9YESNO";
	std::string text;
	for (unsigned i = 0, state = 1; i < 100000; i++, state = state * 1103515245 + 12345)
		text += alphabet[(state >> 16) % (sizeof alphabet - 1)];
	owned_lists read(text);
	const rc_lists &l = read;
	for (int i = 0; i < l.knob_count + l.string_count; i++) {
		const rc_entry &e = i < l.knob_count ? l.knobs[i] : l.strings[i - l.knob_count];
		EXPECT_NE(std::strchr("abYESNO", e.name[0]), nullptr) << e.name;
	}
}

TEST(Reader, ReadsAFileByPathAndTakesAMissingFileAsEmpty)
{
	scratch_folder work;
	std::string path = (work.path / "rc.conf").string();
	write_whole(path, "a=\"YES\"\nb=\"x\"\n");
	rc_lists lists = {};
	EXPECT_EQ(read_rc_file(path.c_str(), &lists), 0);
	unlink(path.c_str());
	EXPECT_EQ(describe(lists), "K[a=YES] S[b=\"x\"]");
	std::free(lists.knobs);
	std::free(lists.strings);
	EXPECT_EQ(read_rc_file(path.c_str(), &lists), 0);
	EXPECT_EQ(describe(lists), "K[] S[]");
	EXPECT_EQ(lists.knob_capacity + lists.string_capacity, 2);
	std::free(lists.knobs);
	std::free(lists.strings);
}

namespace {

// What an observer that wants compound commands sees of text, in order:
// "[keyword@line-end]" for each, with "n" when nested and "|" when piped
// ("[()name@...]" for a definition), and the first word of each command.
std::string observed(std::string_view text)
{
	std::string out;
	script_observer watch;
	watch.command = [&out](const top_command &c) { out += (out.empty() ? "" : " ") + c.words[0].text; };
	watch.comment = [](std::string_view, comment_place) {};
	watch.compound = [&out](const top_compound &c) {
		out += (out.empty() ? "[" : " [") + c.keyword + c.function + "@" + std::to_string(c.line) + "-" +
		       std::to_string(c.end_line) + (c.nested ? "n" : "") + (c.piped ? "|" : "") + "]";
	};
	FILE *in = open_text(text);
	read_observed_stream(in, nullptr, &watch);
	std::fclose(in);
	return out;
}

} // namespace

// Compound commands come before the commands they hold, each where it
// begins and ends; those in a pipeline are marked, those in the background,
// a subshell or a function body are not seen, nor anything after an error.
TEST(Reader, ShowsCompoundCommandsToAnObserverThatWantsThem)
{
	for (auto [input, expected] : {
		     read_case{"while read a\ndo\n  if x; then y; fi\ndone <<EOF\nz\nEOF\nb=1\n",
			       "[while@1-4] read [if@3-3n] x y b=1"},
		     read_case{"for i in 1; do :; done | cat\nx | { y; }\n", "[for@1-1|] : [{@2-2|]"},
		     read_case{"if x; then y; fi &\ncase a in b) c ;; esac\n", "x y [case@2-2] c"},
		     read_case{"f() {\n  a=1\n}\n( g )\nif x; then h() { :; }; fi\n", "[()f@1-3] [if@5-5] x [()h@5-5n]"},
		     read_case{"a=1\nif x; then y; fi; fi\n", "a=1"},
	     })
		EXPECT_EQ(observed(input), expected) << input;
}

// A stream that goes on past the limit, as a file that grows while it is
// read, gives nothing; one that ends at the limit is read whole.
TEST(Reader, StreamPastItsLimitGivesNoEntries)
{
	const std::string text = "a=\"YES\"\nb=\"x\"\n";
	for (std::size_t limit : {text.size() - 1, text.size(), text.size() + 1}) {
		FILE *in = open_text(text);
		rc_lists lists = {};
		int status = read_observed_stream(in, &lists, nullptr, limit);
		std::fclose(in);
		bool whole = limit >= text.size();
		EXPECT_EQ(status, whole ? 0 : -1) << limit;
		EXPECT_EQ(describe(lists), whole ? "K[a=YES] S[b=\"x\"]" : "K[] S[]") << limit;
		free_lists(lists);
	}
}
