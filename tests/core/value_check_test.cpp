// Tests of the value check, against the reader and against a real /bin/sh.
#include "rcfile/delta_writer.h"
#include "rcfile/reader.h"
#include "rcfile/value_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fault = value_fault;

TEST(ValueCheck, RefusesWhatBreaksTheFileAndKeepsWhatFilesUse)
{
	const struct {
		const char *value;
		fault expected;
	} cases[] = {
		{"\"\"", fault::none},
		{"\"inet 10.0.0.1 netmask 255.255.255.0\"", fault::none},
		{"\"$kld_list fuse\"", fault::none},
		{"\"-a ${x:-d} ${#y} ${z%.*} ${w##*/}\"", fault::none},
		{"\"$(sysctl -n hw.ncpu) `hostname -s | tr a-z A-Z`\"", fault::none},
		{"\"it's; a | b > c # d\"", fault::none},
		{"\"a\\\\\"", fault::none},
		{"\"$(echo ')(' )\"", fault::none},
		{"\"a\"\nreboot", fault::line_break},
		{"\"a\rb\"", fault::line_break},
		{"inet 10.0.0.1 netmask 255.255.255.0", fault::not_quoted},
		{"\"", fault::not_quoted},
		{"\"a\" ", fault::not_quoted},
		{"\"a\";echo INJECTED;\"b\"", fault::inner_quote},
		{"\"a\" \"b\"", fault::inner_quote},
		{"\"a\">\"file\"", fault::inner_quote},
		{"\"a\"|\"b\"", fault::inner_quote},
		{"\"a\"<<\"EOT\"", fault::inner_quote},
		{"\"a\\\"b\"", fault::inner_quote},
		{"\"${ip}/24\"", fault::leading_expansion},
		{"\"x\\\"", fault::escaped_end},
		{"\"$(\"", fault::unclosed},
		{"\"a ${x\"", fault::unclosed},
		{"\"`'`\"", fault::unclosed},
		{"\"$(echo ')\"", fault::unclosed},
		{"\"a $(echo\"", fault::unclosed},
		{"\"$((1+\"", fault::arithmetic},
		{"\"a $((1/0))\"", fault::arithmetic},
		{"\"a ${x?}\"", fault::bad_expansion},
		{"\"a ${x:?unset}\"", fault::bad_expansion},
		{"\"a ${1a}\"", fault::bad_expansion},
		{"\"a ${x y}\"", fault::bad_expansion},
		{"\"a ${1=x}\"", fault::bad_expansion},
		{"\"a ${x:-'}\"", fault::bad_expansion},
		{"\"$(echo a #)\"", fault::bad_command},
		{"\"$(echo a; reboot)\"", fault::bad_command},
		{"\"$(echo a >file)\"", fault::bad_command},
		{"\"$(echo a |)\"", fault::bad_command},
		{"\"$(fi)\"", fault::bad_command},
		{"\"$(a | in)\"", fault::bad_command},
		{"\"`echo \\`a\\``\"", fault::bad_command},
	};
	for (const auto &c : cases)
		EXPECT_EQ(check_value(c.value), c.expected) << c.value;
	EXPECT_EQ(check_value("\"" + std::string(field_size - 3, 'x') + "\""), fault::none);
	EXPECT_EQ(check_value("\"" + std::string(field_size - 2, 'x') + "\""), fault::too_long);
	EXPECT_EQ(check_value("\"caf\xEF\xBF\xBD\""), fault::unreadable);
	EXPECT_EQ(check_value(std::string("\"a\0b\"", 5)), fault::unreadable);
}

// Pieces of values: words, blanks, every byte that means something to sh,
// reserved words, and whole or broken expansions.
constexpr const char *pieces[] = {
	"a", "word", "10.0.0.1/24", "-p", "k=v", "x,y", "*", "~", " ", "\t", "\"", "'", "`", "$", "(", ")",
	"{", "}", "\\", ";", "|", "&", "<", ">", "#", "\\\\", "$x", "${x}", "${x:-d}", "'s q'", "$(", "${",
	"echo", "printf", "if", "fi", "in", "!",
};
constexpr const char *operators[] = {"", ":-", "-", ":=", "=", ":+", "+", "%", "%%", "#", "##", "?", ":?", ":"};

std::string random_pieces(std::mt19937 &rng, int most)
{
	std::string text;
	for (int n = std::uniform_int_distribution<int>(0, most)(rng); n > 0; n--)
		text += pieces[rng() % std::size(pieces)];
	return text;
}

// A body made of pieces and of expansions and commands with pieces inside.
std::string random_value(std::mt19937 &rng)
{
	std::string body;
	for (int n = std::uniform_int_distribution<int>(0, 4)(rng); n > 0; n--) {
		switch (rng() % 6) {
		case 0:
			body += "$(" + random_pieces(rng, 5) + ")";
			break;
		case 1:
			body += "`" + random_pieces(rng, 4) + "`";
			break;
		case 2:
			body += std::string("${") + (rng() % 2 ? "x" : "#y") + operators[rng() % std::size(operators)] +
				random_pieces(rng, 2) + "}";
			break;
		case 3:
			body += "$((" + random_pieces(rng, 3) + "))";
			break;
		default:
			body += random_pieces(rng, 3);
		}
	}
	return rng() % 8 == 0 ? body : "\"" + body + "\"";
}

std::string file_text(const std::string &path)
{
	std::stringstream text;
	text << std::ifstream(path, std::ios::binary).rdbuf();
	return text.str();
}

rc_entry modified_string(const char *name, const std::string &value, const char *comment)
{
	rc_entry entry{};
	copy_field(entry.name, name);
	copy_field(entry.value, value);
	copy_field(entry.comment, comment);
	entry.has_comment = comment[0] != '\0';
	entry.modified = 1;
	return entry;
}

// The value read back from block, "(none)" when no entry of that name was read.
std::string read_back(const std::string &block, const char *name)
{
	FILE *in = fmemopen(const_cast<char *>(block.data()), block.size(), "r");
	rc_lists lists = {};
	read_rc_stream(in, &lists);
	std::fclose(in);
	std::string found = "(none)";
	for (int i = 0; i < lists.string_count; i++)
		if (names_equal(lists.strings[i].name, name))
			found = std::string(field_text(lists.strings[i].value));
	for (int i = 0; i < lists.knob_count; i++)
		if (names_equal(lists.knobs[i].name, name))
			found = lists.knobs[i].knob_on ? "\"YES\"" : "\"NO\"";
	std::free(lists.knobs);
	std::free(lists.strings);
	return found;
}

} // namespace

// Every accepted value, saved as a Save writes it: sh parses the block with
// the assignment after it; sourced in an empty folder with an empty PATH it
// sets the variable to what sh makes of the value alone, prints nothing,
// creates nothing and still reads the next assignment; the reader reads the
// same value text back. Messages on standard error ("a: not found") are
// allowed: with an empty PATH every command but the builtins fails.
TEST(ValueCheck, ShellAndReaderAgreeOnEveryAcceptedValue)
{
	namespace fs = std::filesystem;
	char pattern[] = "/tmp/kelvane-values-XXXXXX";
	const std::string dir = mkdtemp(pattern);
	const std::string empty = dir + "/empty";
	fs::create_directory(empty);

	std::mt19937 rng(20261209);
	std::vector<std::string> accepted;
	std::string all_blocks;
	std::ofstream driver(dir + "/driver.sh", std::ios::binary);
	// One shell for all values: a value that stops it shows as the first one
	// without results. Only what the values use (x, y and the
	// positional parameters) is reset between them.
	driver << "d=$1; cd \"$d/empty\" || exit 1; path=$PATH\n"
	       << "exec 3>\"$d/results\" >\"$d/printed\" 2>/dev/null </dev/null\n";
	for (int i = 0; accepted.size() < 2000 && i < 100000; i++) {
		std::string value = random_value(rng);
		if (check_value(value) != fault::none)
			continue;
		std::size_t n = accepted.size();
		accepted.push_back(value);
		const char *comment = n % 3 == 0 ? "" : n % 3 == 1 ? "say \"hi\" # twice" : "a; b";
		rc_entry entries[] = {modified_string("v", value, comment), modified_string("after", "\"ok\"", "")};
		std::string block = format_deltas(nullptr, 0, entries, 2, "Wed Dec  9 07:54:12 2026\n");
		ASSERT_EQ(read_back(block, "v"), value) << block;
		ASSERT_EQ(read_back(block, "after"), "\"ok\"") << block;
		all_blocks += block;
		std::ofstream(dir + "/rc" + std::to_string(n), std::ios::binary) << block;
		driver << "unset x y; set --; PATH=; set -- " << value << "; PATH=$path; printf 'A%s\\0%s\\0%s\\0' " << n
		       << " \"$#\" \"$1\" >&3\n";
		driver << "unset x y v after; set --; PATH=; . \"$d/rc" << n << "\"; PATH=$path; printf 'S%s\\0%s\\0%s\\0' "
		       << n << " \"$v\" \"$after\" >&3\n";
	}
	driver.close();
	ASSERT_EQ(accepted.size(), 2000u);
	std::ofstream(dir + "/all", std::ios::binary) << all_blocks;

	std::string syntax = "sh -n " + dir + "/all 2>&1";
	FILE *check = popen(syntax.c_str(), "r");
	char message[512];
	std::string said(message, std::fread(message, 1, sizeof message, check));
	EXPECT_EQ(pclose(check), 0) << said;
	ASSERT_EQ(std::system(("sh " + dir + "/driver.sh " + dir).c_str()), 0);

	std::vector<std::string> fields;
	std::string results = file_text(dir + "/results");
	for (std::size_t at = 0, end; (end = results.find('\0', at)) != std::string::npos; at = end + 1)
		fields.push_back(results.substr(at, end - at));
	ASSERT_EQ(fields.size(), 6 * accepted.size()) << "a value stopped sh";
	for (std::size_t n = 0; n < accepted.size(); n++) {
		const std::string *alone = &fields[6 * n];
		const std::string *sourced = alone + 3;
		ASSERT_EQ(alone[0], "A" + std::to_string(n)) << accepted[n];
		ASSERT_EQ(sourced[0], "S" + std::to_string(n)) << accepted[n];
		EXPECT_EQ(alone[1], "1") << accepted[n] << " is more than one word";
		EXPECT_EQ(sourced[1], alone[2]) << accepted[n];
		EXPECT_EQ(sourced[2], "ok") << accepted[n] << " hid the next assignment";
	}
	EXPECT_EQ(file_text(dir + "/printed"), "");
	EXPECT_TRUE(fs::is_empty(empty)) << "a value created " << fs::directory_iterator(empty)->path();
	fs::remove_all(dir);
}
