// Tests of the value check, against the reader and against a real /bin/sh.
#include "edit/delta_writer.h"
#include "edit/typed_value.h"
#include "shell/reader.h"
#include "shell/value_check.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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
		{"\"${ip}/24\"", fault::none},
		{"\"a\\\\\"", fault::none},
		{"\"$(echo ')(' )\"", fault::none},
		{"\"a $10 $# $? $- ${#} ${?} ${$} ${!} ${1}\"", fault::none},
		{"\"a ${x:-$$$@} $(echo $! $0 ${x#$*} '**' *.ko)\"", fault::none},
		{"\"a\\\"b\"", fault::none},
		{"\"say \\\"hi\\\"\"", fault::none},
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
		{"\"a\\\\\"b\"", fault::inner_quote},
		{"\"$(echo '\\\"')\"", fault::inner_quote},
		{"\"$(echo '\"')\"", fault::inner_quote},
		{"\"${x:-\\\"}\"", fault::bad_expansion},
		{"\"`echo \\\"`\"", fault::bad_command},
		{"\"x\\\"", fault::escaped_end},
		{"\"$(\"", fault::unclosed},
		{"\"a ${x\"", fault::unclosed},
		{"\"`'`\"", fault::unclosed},
		{"\"$(echo ')\"", fault::unclosed},
		{"\"a $(echo\"", fault::unclosed},
		{"\"$$('$(')\"", fault::unclosed},
		{"\"a$${x\"", fault::unclosed},
		{"\"$((1+\"", fault::arithmetic},
		{"\"a $((1/0))\"", fault::arithmetic},
		{"\"a $[1/0]\"", fault::arithmetic},
		{"\"a ${x?}\"", fault::bad_expansion},
		{"\"a ${x:?unset}\"", fault::bad_expansion},
		{"\"a ${1a}\"", fault::bad_expansion},
		{"\"a ${x y}\"", fault::bad_expansion},
		{"\"a ${1=x}\"", fault::bad_expansion},
		{"\"a ${x:-'}\"", fault::bad_expansion},
		{"\"a ${##}\"", fault::bad_expansion},
		{"\"a ${1:-x}\"", fault::bad_expansion},
		{"\"a ${10}\"", fault::bad_expansion},
		{"\"$(echo a #)\"", fault::bad_command},
		{"\"$(echo a; reboot)\"", fault::bad_command},
		{"\"$(echo a >file)\"", fault::bad_command},
		{"\"$(echo a |)\"", fault::bad_command},
		{"\"$(fi)\"", fault::bad_command},
		{"\"$(a | in)\"", fault::bad_command},
		{"\"`echo \\`a\\``\"", fault::bad_command},
		{"\"$$('`: >f`')\"", fault::bad_command},
		{"\"a$$(b | in)\"", fault::bad_command},
		{"\"$$$(: >f)\"", fault::bad_command},
		{"\"a ${x#*-*}\"", fault::slow_pattern},
		{"\"a ${x%%${y:-**}}\"", fault::slow_pattern},
		{"\"$(ls /boot/*/*.ko)\"", fault::slow_pattern},
		{"\"`echo ${x:-**}`\"", fault::slow_pattern},
	};
	for (const auto &c : cases)
		EXPECT_EQ(check_value(c.value), c.expected) << c.value;
	EXPECT_EQ(check_value("\"" + std::string(field_size - 3, 'x') + "\""), fault::none);
	EXPECT_EQ(check_value("\"" + std::string(field_size - 2, 'x') + "\""), fault::too_long);
	EXPECT_EQ(check_value("\"caf\xEF\xBF\xBD\""), fault::unreadable);
	EXPECT_EQ(check_value(std::string("\"a\0b\"", 5)), fault::unreadable);
}

TEST(ValueCheck, CommandsAreFoundWhereShRunsThem)
{
	const struct {
		const char *value;
		bool runs;
	} cases[] = {
		{"\"$(shutdown -p now)\"", true}, {"\"a `b` c\"", true},       {"\"'$(id)'\"", true},
		{"\"$$$(id)\"", true},            {"\"$$(id)\"", false},       {"\"\\$(id)\"", false},
		{"\"$x ${y:-z} (w)\"", false},    {"\"it's $\"", false},       {"\"\\`\"", false},
	};
	for (const auto &c : cases)
		EXPECT_EQ(runs_command(c.value), c.runs) << c.value;
}

// Pieces of values: words, blanks, every byte that means something to sh,
// special parameters, reserved words, and whole or broken expansions.
constexpr const char *pieces[] = {
	"a", "word", "10.0.0.1/24", "-p", "k=v", "x,y", "*", "~", " ", "\t", "\"", "'", "`", "$", "(", ")", "{",
	"}", "\\", ";", "|", "&", "<", ">", "#", "\\\\", "$x", "$y", "${x}", "${x:-d}", "'s q'", "$(", "${", "$$",
	"$?", "$!", "$#", "$-", "$@", "$*", "$0", "$1", "$9", "$10", "'`'", "'$('", "'${'", "echo", "printf", "if",
	"fi", "in", "!",
};
// What may stand after "${": names, special parameters and their lengths.
constexpr const char *parameters[] = {"x", "y", "#y", "$", "?",  "!",  "#",  "-",
				      "@", "*", "0",  "1", "10", "##", "#?", "#1"};
constexpr const char *operators[] = {"", ":-", "-", ":=", "=", ":+", "+", "%", "%%", "#", "##", "?", ":?", ":"};

std::string random_pieces(std::mt19937 &rng, int most)
{
	std::string text;
	for (int n = std::uniform_int_distribution<int>(0, most)(rng); n > 0; n--)
		text += pieces[rng() % std::size(pieces)];
	return text;
}

// One "$" half the time, else a run of 2 to 6: an even run is read as $$s
// and leaves what follows plain.
std::string dollars(std::mt19937 &rng)
{
	return std::string(rng() % 2 ? 1 : 2 + rng() % 5, '$');
}

// A body made of pieces and of expansions and commands with pieces inside.
std::string random_value(std::mt19937 &rng)
{
	std::string body;
	for (int n = std::uniform_int_distribution<int>(0, 4)(rng); n > 0; n--) {
		switch (rng() % 6) {
		case 0:
			body += dollars(rng) + "(" + random_pieces(rng, 5) + ")";
			break;
		case 1: {
			const char *quote = rng() % 2 ? "`" : "'";
			body += dollars(rng) + quote + random_pieces(rng, 4) + quote;
			break;
		}
		case 2:
			body += dollars(rng) + "{" + parameters[rng() % std::size(parameters)] +
				operators[rng() % std::size(operators)] + random_pieces(rng, 3) + "}";
			break;
		case 3:
			body += dollars(rng) + "((" + random_pieces(rng, 3) + "))";
			break;
		default:
			body += random_pieces(rng, 3);
		}
	}
	return rng() % 8 == 0 ? body : "\"" + body + "\"";
}

// Pieces of a text typed without quotes, each with what sh makes of it once
// quoted: plain bytes stay as they are, references expand. x holds a long
// text, y is unset.
const std::string long_x(200, 'a');
const struct typed_piece {
	const char *typed;
	std::string meant;
} typed_pieces[] = {
	{"a", "a"},       {"gate.example.org", "gate.example.org"}, {" ", " "},   {"\t", "\t"},   {"\"", "\""},
	{"'", "'"},       {"\\", "\\"},   {"\\n", "\\n"},   {";", ";"},   {"|", "|"},   {"&", "&"},   {"<>", "<>"},
	{"#", "#"},       {"()", "()"},   {"{", "{"},       {"}", "}"},   {"*", "*"},   {"?", "?"},   {"[a]", "[a]"},
	{"~", "~"},       {"!", "!"},     {"k=v", "k=v"},   {"%", "%"},   {"caf\xC3\xA9", "caf\xC3\xA9"},
	{"$ ", "$ "},     {"$/", "$/"},   {"$\"", "$\""},   {"${x}", long_x},           {"$x/", long_x + "/"},
	{"${y:-dflt}", "dflt"},           {"${#x}", "200"}, {"${x%a}", long_x.substr(1)},
};

// A text as a user types it, without enclosing quotes; *meant is what the
// user means by it.
std::string random_typed(std::mt19937 &rng, std::string *meant)
{
	std::string typed;
	meant->clear();
	for (int n = std::uniform_int_distribution<int>(0, 6)(rng); n > 0; n--) {
		const typed_piece &piece = typed_pieces[rng() % std::size(typed_pieces)];
		typed += piece.typed;
		*meant += piece.meant;
	}
	return typed;
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
	owned_lists lists(block);
	std::string found = "(none)";
	for (int i = 0; i < lists.string_count; i++)
		if (names_equal(lists.strings[i].name, name))
			found = std::string(field_text(lists.strings[i].value));
	for (int i = 0; i < lists.knob_count; i++)
		if (names_equal(lists.knobs[i].name, name))
			found = lists.knobs[i].knob_on ? "\"YES\"" : "\"NO\"";
	return found;
}

// Runs the script at path in a /bin/sh that leads a process group of its own,
// with an empty PATH, standard input and error on /dev/null and standard
// output appended to printed, and returns what it writes to descriptor 3.
// When it writes nothing there for limit, its whole group is killed and *hung
// is set.
std::string run_sh(std::string path, const std::string &printed, std::chrono::milliseconds limit, bool *hung)
{
	*hung = false;
	int out[2];
	if (pipe(out) != 0)
		return "";
	fcntl(out[0], F_SETFD, FD_CLOEXEC);
	fcntl(out[1], F_SETFD, FD_CLOEXEC);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(&actions, 1, printed.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
	posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
	posix_spawn_file_actions_adddup2(&actions, out[1], 3);
	posix_spawnattr_t attributes;
	posix_spawnattr_init(&attributes);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
	posix_spawnattr_setpgroup(&attributes, 0);
	char sh[] = "sh", empty_path[] = "PATH=";
	char *argv[] = {sh, path.data(), nullptr};
	char *envp[] = {empty_path, nullptr};
	pid_t pid;
	int spawned = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, envp);
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	close(out[1]);
	std::string said;
	pollfd ready = {out[0], POLLIN, 0};
	char buffer[4096];
	for (ssize_t n = 1; spawned == 0 && n > 0;) {
		if (poll(&ready, 1, static_cast<int>(limit.count())) == 0) {
			kill(-pid, SIGKILL);
			*hung = true;
			break;
		}
		if ((n = read(out[0], buffer, sizeof buffer)) > 0)
			said.append(buffer, static_cast<std::size_t>(n));
	}
	close(out[0]);
	if (spawned == 0)
		waitpid(pid, nullptr, 0);
	return said;
}

} // namespace

// Every accepted value, saved as a Save writes it: sh parses the block with
// the assignment after it; sourced in an empty folder with an empty PATH, in
// a subshell of its own, it sets the variable to what sh makes of the value
// alone, changes no other variable, prints nothing, creates nothing, lets sh
// go on within the time limit and still reads the next assignment; the reader
// reads the same value text back. Messages on standard error ("a: not
// found") are allowed: with an empty PATH every command but the builtins fails.
// Every third value is typed without quotes and quoted as the window does:
// sh gives the variable what the user meant, with the references expanded.
TEST(ValueCheck, ShellAndReaderAgreeOnEveryAcceptedValue)
{
	namespace fs = std::filesystem;
	scratch_folder work;
	const std::string dir = work.path.string();
	const std::string empty = dir + "/empty";
	fs::create_directory(empty);

	std::mt19937 rng(20261209);
	std::vector<std::string> accepted;
	std::vector<std::string> meant; // what a typed value means; "" stands for none typed
	std::size_t typed = 0;
	std::string all_blocks;
	// Each value runs in a subshell of a driver; two drivers take every other
	// value, so that two shells work at once. On descriptor 3 it writes "V"
	// and its number, then, each behind "=": every variable (set); v and
	// after from the sourced block; every variable again; w and $# from the
	// value alone, which comes last as what it assigns no longer matters.
	// x holds a long text for patterns to work on. y is unset, so that
	// ${y=...} and ${y:=...} may set it: the second set leaves it out then.
	// One positional parameter makes "$@" one word, as in an assignment.
	std::string drivers[2];
	for (std::string &driver : drivers)
		driver = "cd " + empty + " || exit 1\nset -- p; x=" + std::string(200, 'a') + "\n";
	for (int i = 0; accepted.size() < 1000 && i < 100000; i++) {
		std::string meaning;
		std::string text = i % 3 == 0 ? random_typed(rng, &meaning) : "";
		// A text typed with its opening quote is taken as written.
		bool quoted_here = i % 3 == 0 && text.compare(0, 1, "\"") != 0;
		std::string value = quoted_here ? typed_value(text) : random_value(rng);
		if (check_value(value) != fault::none)
			continue;
		typed += quoted_here;
		std::size_t n = accepted.size();
		accepted.push_back(value);
		meant.push_back(quoted_here ? meaning : "");
		const char *comment = n % 3 == 0 ? "" : n % 3 == 1 ? "say \"hi\" # twice" : "a; b";
		rc_entry entries[] = {modified_string("v", value, comment), modified_string("after", "\"ok\"", "")};
		std::string block = format_deltas(nullptr, 0, entries, 2, "Wed Dec  9 07:54:12 2026\n");
		ASSERT_EQ(read_back(block, "v"), value) << block;
		ASSERT_EQ(read_back(block, "after"), "\"ok\"") << block;
		all_blocks += block;
		const std::string number = std::to_string(n);
		write_whole(dir + "/rc" + number, block);
		write_whole(dir + "/alone" + number, "w=" + value + "; set -- " + value + "\n");
		bool sets_y = value.find("${y=") != std::string::npos || value.find("${y:=") != std::string::npos;
		drivers[n % 2] += "(printf 'V%s\\0=' " + number + " >&3; set >&3; printf '\\0' >&3; . ../rc" +
				  number + "; printf '=%s\\0=%s\\0=' \"$v\" \"$after\" >&3; unset v after" +
				  (sets_y ? " y" : "") + "; set >&3; printf '\\0' >&3; . ../alone" + number +
				  "; printf '=%s\\0=%s\\0' \"$w\" \"$#\" >&3)\n";
	}
	ASSERT_EQ(accepted.size(), 1000u);
	EXPECT_GT(typed, 250u);
	write_whole(dir + "/all", all_blocks);
	int status;
	std::string said = sh_printed(dir + "/syntax", "sh -n " + dir + "/all 2>&1", status);
	EXPECT_EQ(status, 0) << said;

	std::string told[2];
	bool hung[2];
	auto run_driver = [&](int d) {
		const std::string path = dir + "/driver" + std::to_string(d);
		write_whole(path, drivers[d]);
		told[d] = run_sh(path, dir + "/printed", std::chrono::seconds(5), &hung[d]);
	};
	std::thread second(run_driver, 1);
	run_driver(0);
	second.join();
	std::vector<std::vector<std::string>> runs(accepted.size());
	for (const std::string &text : told) {
		std::vector<std::string> *run = nullptr;
		for (std::size_t at = 0, end; (end = text.find('\0', at)) != std::string::npos; at = end + 1) {
			if (text[at] == 'V')
				run = &runs.at(std::stoul(text.substr(at + 1, end - at - 1)));
			else if (run)
				run->push_back(text.substr(at + 1, end - at - 1));
		}
	}
	for (std::size_t n = 0; n < accepted.size(); n++) {
		const std::vector<std::string> &run = runs[n];
		ASSERT_EQ(run.size(), 6u) << accepted[n] << (hung[n % 2] ? " kept sh busy" : " stopped sh");
		EXPECT_EQ(run[1], run[4]) << accepted[n];
		EXPECT_EQ(run[2], "ok") << accepted[n] << " hid the next assignment";
		EXPECT_EQ(run[3], run[0]) << accepted[n] << " changed another variable";
		EXPECT_EQ(run[5], "1") << accepted[n] << " is more than one word";
		if (!meant[n].empty()) {
			EXPECT_EQ(run[1], meant[n]) << accepted[n] << " is not what was typed";
		}
	}
	EXPECT_EQ(read_whole(dir + "/printed"), "");
	EXPECT_TRUE(fs::is_empty(empty)) << "a value created " << fs::directory_iterator(empty)->path();
}
