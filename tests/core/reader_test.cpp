// Tests of the rc.conf reader: classification, comments, lost assignments and bounds.
#include "rcfile/reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace std::string_view_literals;

namespace {

// The lists read from text, freed with the test.
struct read_lists {
	rc_lists lists = {};

	explicit read_lists(std::string_view text)
	{
		FILE *in = text.empty() ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char *>(text.data()), text.size(), "r");
		EXPECT_EQ(read_rc_stream(in, &lists), 0);
		std::fclose(in);
	}
	~read_lists()
	{
		std::free(lists.knobs);
		std::free(lists.strings);
	}
};

// "K[a=YES b=NO] S[c=\"x\" # note]": knobs, then strings with their comments.
std::string describe(const rc_lists &lists)
{
	std::string out = "K[";
	for (int i = 0; i < lists.knob_count; i++)
		out += (i ? " " : "") + std::string(field_text(lists.knobs[i].name)) + (lists.knobs[i].knob_on ? "=YES" : "=NO");
	out += "] S[";
	for (int i = 0; i < lists.string_count; i++) {
		const rc_entry &e = lists.strings[i];
		out += (i ? " " : "") + std::string(field_text(e.name)) + "=" + std::string(field_text(e.value));
		out += e.comment[0] ? " #" + std::string(field_text(e.comment)) : "";
	}
	return out + "]";
}

std::string read_described(std::string_view text)
{
	return describe(read_lists(text).lists);
}

struct read_case {
	std::string_view input;
	const char *expected;
};

} // namespace

TEST(Reader, ClassifiesByTheValuesFirstBytes)
{
	for (auto [input, expected] : {
		     read_case{"a=\"YES\"\nb=\"NO\"\nc=\"yes\"\nd=\"YESS\"\n", "K[a=YES b=NO] S[c=\"yes\" d=\"YESS\"]"},
		     read_case{"a=\"YES\" \"x\"\nb=\"NO\" # say \"hi\"\n", "K[a=YES b=NO] S[]"},
		     read_case{"a=\"\"\nb=\"x\" \"y\" # c\nc=\"x\0y\"\n"sv, "K[] S[a=\"\" b=\"x\" # c c=\"x\"]"},
		     read_case{"a=\"YES\"\na=\"x\"\na=\"NO\"\n", "K[a=YES a=NO] S[a=\"x\"]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

TEST(Reader, StringValuedNamesTurnOnlyNoIntoAString)
{
	for (const char *name : string_valued_names) {
		std::string text = std::string(name) + "=\"NO\"\nx=\"YES\"\n" + name + "=\"YES\"\n";
		EXPECT_EQ(read_described(text), "K[x=YES " + std::string(name) + "=YES] S[" + name + "=\"NO\"]");
	}
	EXPECT_EQ(read_described("sendmail_enable_x=\"NO\"\nswap=\"NO\"\n"), "K[sendmail_enable_x=NO swap=NO] S[]");
}

TEST(Reader, CommentsBelongToThePrecedingAssignment)
{
	EXPECT_EQ(read_described("a=\"x\"\t  #  note\nb=\"NO\" #off\n"), "K[b=NO] S[a=\"x\" #  note]");
	EXPECT_EQ(read_described("a=\"x\"\n# c\n\n ls\nls -l # later\nb=\"y\"\n"), "K[] S[a=\"x\" # later b=\"y\"]");
	EXPECT_EQ(read_described("a=\"x\" # c\r\nb=\"y\" # d"), "K[] S[a=\"x\" # c\r b=\"y\"]");
	EXPECT_EQ(field_text(read_lists("a=\"YES\" #k\n").lists.knobs[0].comment), "k");
}

// Without a value token the record takes the next name token as its value;
// what follows is lost up to the first assignment with a comment.
TEST(Reader, MissingValueLosesFollowingAssignments)
{
	for (auto [input, expected] : {
		     read_case{"a=\"${b}\"\nc=\"1\"\nd=\"2\" # x\ne=\"YES\"\n", "K[e=YES] S[a=c=\"]"},
		     read_case{"a=b\nc=\"1\"\nd=\"2\"\ne=\"3\" # x\nf=\"4\"\n", "K[] S[a=c=\" f=\"4\"]"},
		     read_case{"a=\"${b}\" # x\nc=\"1\" # y\nd=\"2\"\n", "K[] S[a=c=\" d=\"2\"]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

TEST(Reader, DropsNamesThatDoNotStartAlphanumeric)
{
	EXPECT_EQ(read_described("_a=\"YES\"\n0b=\"NO\"\n"), "K[0b=NO] S[]");
	EXPECT_EQ(read_described("\xc3\xa9t\xc3\xa9=\"YES\"\nb=\"1\" # x\nc=\"2\"\n"), "K[] S[c=\"2\"]");
	EXPECT_EQ(read_described("a\xe9=\"YES\"\nb=\"1\"\n"), "K[] S[]");
}

TEST(Reader, InputEndingAfterNameGivesEmptyString)
{
	EXPECT_EQ(read_described("a=\"1\"\nb="), "K[] S[a=\"1\" b=]");
	EXPECT_EQ(read_described("a=\"1\"\nb=word\n"), "K[] S[a=\"1\" b=]");
	read_lists read("b=");
	EXPECT_EQ(read.lists.strings[0].saved_value[0], '\0');
}

TEST(Reader, SkipsIndentedAndShellLines)
{
	for (auto [input, expected] : {
		     read_case{" a=\"YES\"\n\tb=\"YES\"\nc=\"YES\"\n", "K[c=YES] S[]"},
		     read_case{"if [ -x /x ]; then\n\ta=\"1\"\nfi\nfor i in a; do\ndone\nb=\"YES\"\n", "K[b=YES] S[]"},
		     read_case{"if [ \"$x\" = \"y\" ]; then\nb=\"YES\"\nc=\"NO\" # z\nd=\"1\"\n", "K[] S[d=\"1\"]"},
		     read_case{"case $x in\nfoo) b=\"1\" ;;\nesac\nc=\"2\" # z\nd=\"3\"\n", "K[] S[d=\"3\"]"},
	     })
		EXPECT_EQ(read_described(input), expected) << input;
}

TEST(Reader, EmptyInputsGiveEmptyArraysWithRoomForOne)
{
	for (std::string_view text : {""sv, "# only\n\n\t a=\"1\"\n\"x\" # c\n"sv}) {
		read_lists read(text);
		EXPECT_EQ(read.lists.knob_count + read.lists.string_count, 0);
		EXPECT_TRUE(read.lists.knobs != nullptr && read.lists.strings != nullptr);
		EXPECT_EQ(read.lists.knob_capacity + read.lists.string_capacity, 2);
	}
}

TEST(Reader, CutsOverlongTextsToTheirFields)
{
	const std::string text(300, 'v');
	read_lists read(text + "=\"" + text + "\" #" + text + "\n");
	const rc_entry &e = read.lists.strings[0];
	EXPECT_EQ(field_text(e.name), text.substr(0, field_size - 1));
	EXPECT_EQ(field_text(e.saved_value), "\"" + text.substr(0, field_size - 2));
	EXPECT_EQ(e.value_cut, 1);
	EXPECT_EQ(field_text(e.comment), text.substr(0, field_size - 1));
}

// A value that fills its field exactly is whole; one byte more and it is cut.
TEST(Reader, MarksOnlyValuesLongerThanTheirFieldAsCut)
{
	for (std::size_t length : {field_size - 3, field_size - 2}) {
		const std::string value = "\"" + std::string(length, 'v') + "\"";
		read_lists read("a=" + value + "\n");
		const rc_entry &e = read.lists.strings[0];
		EXPECT_EQ(e.value_cut, length > field_size - 3) << length;
		EXPECT_EQ(field_text(e.value), value.substr(0, field_size - 1)) << length;
	}
}

TEST(Reader, RandomBytesGiveOnlyAlphanumericNames)
{
	constexpr char alphabet[] = "ab_=\"#$\n\t {}\r\0\xe9YESNO";
	std::string text;
	for (unsigned i = 0, state = 1; i < 100000; i++, state = state * 1103515245 + 12345)
		text += alphabet[(state >> 16) % (sizeof alphabet - 1)];
	read_lists read(text);
	EXPECT_GT(read.lists.knob_count + read.lists.string_count, 0);
	for (int i = 0; i < read.lists.knob_count; i++)
		EXPECT_NE(std::strchr("abYESNO", read.lists.knobs[i].name[0]), nullptr);
	for (int i = 0; i < read.lists.string_count; i++)
		EXPECT_NE(std::strchr("abYESNO", read.lists.strings[i].name[0]), nullptr);
}

TEST(Reader, ReadsAFileByPathAndTakesAMissingFileAsEmpty)
{
	char path[] = "/tmp/kelvane-reader-XXXXXX";
	int fd = mkstemp(path);
	ASSERT_TRUE(fd >= 0 && write(fd, "a=\"YES\"\nb=\"x\"\n", 14) == 14);
	close(fd);
	rc_lists lists = {};
	EXPECT_EQ(read_rc_file(path, &lists), 0);
	unlink(path);
	EXPECT_EQ(describe(lists), "K[a=YES] S[b=\"x\"]");
	std::free(lists.knobs);
	std::free(lists.strings);
	EXPECT_EQ(read_rc_file(path, &lists), 0);
	EXPECT_EQ(describe(lists), "K[] S[]");
	EXPECT_EQ(lists.knob_capacity + lists.string_capacity, 2);
	std::free(lists.knobs);
	std::free(lists.strings);
}
