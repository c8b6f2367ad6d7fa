// Tests of the block appended at each save and of how a save succeeds or fails.
#include "boot/sources.h"
#include "edit/delta_writer.h"
#include "files/file_state.h"
#include "files/open_file.h"
#include "shell/shell_check.h"

#include "file_size_limit.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex.h>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char *date = "Tue Mar  4 05:06:07 2025\n";
constexpr const char *header = "\n# Kelvane generated deltas - Tue Mar  4 05:06:07 2025\n";

rc_entry modified(const char *name, const char *comment)
{
	rc_entry entry{};
	copy_field(entry.name, name);
	entry.modified = 1;
	entry.has_comment = comment != nullptr;
	copy_field(entry.comment, comment != nullptr ? comment : "");
	return entry;
}

rc_entry knob(const char *name, int on, const char *comment = nullptr)
{
	rc_entry entry = modified(name, comment);
	entry.is_knob = 1;
	entry.knob_on = on;
	entry.saved_knob_on = on == 1 ? 0 : 1;
	return entry;
}

rc_entry string(const char *name, const char *value, const char *comment = nullptr)
{
	rc_entry entry = modified(name, comment);
	copy_field(entry.value, value);
	copy_field(entry.saved_value, "\"old\"");
	return entry;
}

// Whole-text match against a POSIX extended regular expression.
bool matches(const std::string &text, const char *pattern)
{
	regex_t compiled;
	if (regcomp(&compiled, pattern, REG_EXTENDED | REG_NOSUB) != 0)
		return false;
	bool found = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
	regfree(&compiled);
	return found;
}

// What a /bin/sh command line prints, marked when it does not exit with 0.
std::string shell_output(const std::string &command)
{
	FILE *shell = popen(command.c_str(), "r");
	if (shell == nullptr)
		return "(no shell)";
	char buffer[512] = {};
	std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, shell);
	std::string output(buffer, got);
	return pclose(shell) == 0 ? output : output + "(failed)";
}

// What sh itself says when it checks the file at path.
std::string shell_complaint(const std::string &path)
{
	std::string said = shell_output("sh -n < " + path + " 2>&1 || :");
	return said.substr(0, said.find_last_not_of('\n') + 1);
}

// Each test saves into a fresh directory of its own through KELVANE_RC.
class DeltaWriter : public testing::Test {
protected:
	void SetUp() override { setenv("KELVANE_RC", path.c_str(), 1); }
	void TearDown() override { unsetenv("KELVANE_RC"); }
	scratch_folder work;
	std::string dir = work.path.string();
	std::string path = dir + "/rc.conf";
};

} // namespace

TEST(FormatDeltas, KnobsBeforeStringsEachInArrayOrder)
{
	rc_entry knobs[] = {knob("sshd_enable", 1), knob("ntpd_enable", 0)};
	rc_entry strings[] = {string("hostname", "\"box\""), string("ifconfig_em0", "\"DHCP\"")};
	EXPECT_EQ(format_deltas(knobs, 2, strings, 2, date),
		  std::string(header) + "sshd_enable=\"YES\"\nntpd_enable=\"NO\"\n"
					"hostname=\"box\"\nifconfig_em0=\"DHCP\"\n");
}

TEST(FormatDeltas, CommentOnlyWhenHasCommentIsSet)
{
	rc_entry knobs[] = {knob("a_enable", 1, "added"), knob("b_enable", 1, "read")};
	knobs[1].has_comment = 0;
	rc_entry strings[] = {string("c_flags", "\"-v\"", "verbose")};
	EXPECT_EQ(format_deltas(knobs, 2, strings, 1, date),
		  std::string(header) + "a_enable=\"YES\"\t# added\nb_enable=\"YES\"\n"
					"c_flags=\"-v\"\t# verbose\n");
}

TEST(FormatDeltas, KnobStateOtherThanOneIsNo)
{
	for (int state : {0, 2, -1, 238}) {
		rc_entry knobs[] = {knob("x_enable", state)};
		EXPECT_EQ(format_deltas(knobs, 1, nullptr, 0, date), std::string(header) + "x_enable=\"NO\"\n")
			<< state;
	}
}

TEST(FormatDeltas, OnlyEntriesWithModifiedOneAreWritten)
{
	rc_entry knobs[] = {knob("a_enable", 1), knob("b_enable", 1), knob("c_enable", 1)};
	knobs[0].modified = 0;
	knobs[2].modified = 2;
	rc_entry strings[] = {string("d", "\"1\"")};
	strings[0].modified = 0;
	EXPECT_EQ(format_deltas(knobs, 3, strings, 1, date), std::string(header) + "b_enable=\"YES\"\n");
}

TEST(FormatDeltas, HeaderLineAlwaysEndsBeforeTheFirstAssignment)
{
	rc_entry knobs[] = {knob("a_enable", 1)};
	EXPECT_EQ(format_deltas(knobs, 1, nullptr, 0, "no date"),
		  "\n# Kelvane generated deltas - no date\na_enable=\"YES\"\n");
	std::string block = format_deltas(nullptr, 0, nullptr, 0, std::string(400, 'x').c_str());
	EXPECT_EQ(block.size(), 255u); // 254 bytes of header and the added newline
	EXPECT_EQ(block.back(), '\n');
}

TEST(LocalRcPath, EnvironmentChoosesThePath)
{
	unsetenv("KELVANE_RC");
	EXPECT_STREQ(local_rc_path(), "/etc/rc.conf");
	setenv("KELVANE_RC", "", 1);
	EXPECT_STREQ(local_rc_path(), "");
	setenv("KELVANE_RC", "/tmp/other", 1);
	EXPECT_STREQ(local_rc_path(), "/tmp/other");
	unsetenv("KELVANE_RC");
}

TEST_F(DeltaWriter, MissingFileIsCreatedWithTheDatedHeader)
{
	ASSERT_EQ(write_deltas(nullptr, 0, nullptr, 0), deltas_written);
	const char *form = "^\n# Kelvane generated deltas - [A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
			   "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n$";
	EXPECT_TRUE(matches(read_whole(path), form)) << read_whole(path);
}

// The block starts on a line of its own behind an empty line, whether or not the last line has its newline.
TEST_F(DeltaWriter, EmptyLineBeforeTheBlockEvenWithoutAFinalNewline)
{
	for (const char *old_text : {"a=\"1\"", "a=\"1\"\n"}) {
		write_whole(path, old_text);
		rc_entry knobs[] = {knob("b_enable", 1)};
		ASSERT_EQ(write_deltas(knobs, 1, nullptr, 0), deltas_written);
		std::string text = read_whole(path);
		EXPECT_EQ(text.rfind("a=\"1\"\n\n# Kelvane generated deltas - ", 0), 0u) << text;
		EXPECT_EQ(text.substr(text.size() - 16), "\nb_enable=\"YES\"\n");
	}
}

TEST_F(DeltaWriter, SecondSaveAppendsOnlyLaterChanges)
{
	rc_entry knobs[] = {knob("a_enable", 1), knob("b_enable", 1)};
	knobs[1].modified = 0;
	ASSERT_EQ(write_deltas(knobs, 2, nullptr, 0), deltas_written);
	knobs[1].modified = 1;
	ASSERT_EQ(write_deltas(knobs, 2, nullptr, 0), deltas_written);
	const char *form = "^\n# Kelvane[^\n]*\na_enable=\"YES\"\n\n# Kelvane[^\n]*\nb_enable=\"YES\"\n$";
	EXPECT_TRUE(matches(read_whole(path), form)) << read_whole(path);
}

TEST_F(DeltaWriter, WrittenEntriesBecomeSaved)
{
	rc_entry knobs[] = {knob("a_enable", 1, "new"), knob("b_enable", 0)};
	knobs[0].is_new = 238;
	knobs[1].modified = 0;
	rc_entry strings[] = {string("c", "\"now\"", "typed")};
	ASSERT_EQ(write_deltas(knobs, 2, strings, 1), deltas_written);
	EXPECT_EQ(knobs[0].modified + knobs[0].has_comment + knobs[0].is_new, 0);
	EXPECT_EQ(knobs[0].saved_knob_on, 1);
	EXPECT_EQ(knobs[1].saved_knob_on, 1); // not written, so not touched
	EXPECT_EQ(strings[0].modified + strings[0].has_comment, 0);
	EXPECT_STREQ(strings[0].saved_value, "\"now\"");
}

// A saved entry is set in the machine's file from then on, at the line
// its assignment took, whatever the file held before.
TEST_F(DeltaWriter, SavedEntriesAreSetAtTheirLinesOfTheMachinesFile)
{
	for (const char *before : {"", "a=1\n", "a=1", "a=1\n\n# c\nb=\"x\ny\"\n"}) {
		std::filesystem::remove(path);
		if (before[0] != '\0')
			write_whole(path, before);
		clear_sources();
		add_source("/etc/defaults/rc.conf", source_kind::defaults);
		int machine = add_source(path, source_kind::machine);
		rc_entry knobs[] = {knob("k_enable", 1)};
		rc_entry strings[] = {string("s", "\"v\"", "typed"), string("t", "\"w\"")};
		ASSERT_EQ(write_deltas(knobs, 1, strings, 2), deltas_written);
		std::vector<std::string> lines;
		std::istringstream text(read_whole(path));
		for (std::string line; std::getline(text, line);)
			lines.push_back(line);
		for (const rc_entry *e : {&knobs[0], &strings[0], &strings[1]}) {
			EXPECT_EQ(e->source, machine) << before;
			ASSERT_TRUE(e->line >= 1 && e->line <= static_cast<int>(lines.size())) << before;
			EXPECT_EQ(lines[e->line - 1].rfind(std::string(e->name) + "=", 0), 0u) << before << e->name;
		}
	}
}

TEST_F(DeltaWriter, FailuresLeaveEveryEntryAsItWas)
{
	struct {
		std::string path;
		rlim_t size_limit;
		int result;
	} cases[] = {{dir + "/missing/rc.conf", RLIM_INFINITY, deltas_open_failed},
		     {dir, RLIM_INFINITY, deltas_not_regular},
		     {dir + "/device", RLIM_INFINITY, deltas_not_regular},
		     {"", RLIM_INFINITY, deltas_open_failed},
		     {path, 0, deltas_write_failed},
		     {dir + "/huge", RLIM_INFINITY, deltas_too_large}};
	std::filesystem::create_symlink("/dev/null", dir + "/device");
	// Sparse: past the size the load reads, without the disk space.
	write_whole(dir + "/huge", "a=\"1\"\n");
	std::filesystem::resize_file(dir + "/huge", file_size_bound + 1);
	for (const auto &c : cases) {
		setenv("KELVANE_RC", c.path.c_str(), 1);
		rc_entry knobs[] = {knob("a_enable", 1, "new")};
		rc_entry strings[] = {string("b", "\"2\"")};
		rc_entry before[] = {knobs[0], strings[0]};
		int result = -1;
		{
			file_size_limit full(c.size_limit);
			result = write_deltas(knobs, 1, strings, 1);
		}
		EXPECT_EQ(result, c.result) << c.path;
		EXPECT_EQ(std::memcmp(&knobs[0], &before[0], sizeof(rc_entry)), 0) << c.path;
		EXPECT_EQ(std::memcmp(&strings[0], &before[1], sizeof(rc_entry)), 0) << c.path;
	}
	EXPECT_EQ(std::filesystem::file_size(dir + "/huge"), file_size_bound + 1);
}

// A file size limit a few bytes above the old length makes the block's write
// stop part way, as a full disk would; its signal must not kill the save.
TEST_F(DeltaWriter, FailedWriteCutsTheFileBack)
{
	const std::string old_text = "a=\"1\"\n";
	write_whole(path, old_text);
	pid_t child = fork();
	if (child == 0) {
		rlimit limit{old_text.size() + 10, old_text.size() + 10};
		setrlimit(RLIMIT_FSIZE, &limit);
		rc_entry knobs[] = {knob("b_enable", 1)};
		int result = write_deltas(knobs, 1, nullptr, 0);
		struct sigaction after {};
		sigaction(SIGXFSZ, nullptr, &after);
		bool restored = after.sa_handler == SIG_DFL;
		_exit(result == deltas_write_failed && knobs[0].modified == 1 && restored ? 0 : 1);
	}
	int status = -1;
	waitpid(child, &status, 0);
	EXPECT_EQ(status, 0);
	EXPECT_EQ(read_whole(path), old_text);
}

// Bytes a writer without the lock appended behind a failed save, or wrote in
// its place, stay whole; the save's own bytes go, or become one comment line
// when others follow them.
TEST_F(DeltaWriter, TakeBackTouchesOnlyItsOwnBytes)
{
	const std::string ours = "\n# Kelvane generated deltas - Tue\nb=\"2", theirs = "a=\"1\"\nc=\"3 in place of the save\"\n";
	struct {
		std::string file; // the save's bytes at start, then what another program did
		off_t start;
		std::string ours, after;
		block_fate fate;
	} cases[] = {
		{"a=\"1\"\n" + ours, 6, ours, "a=\"1\"\n", block_fate::none},
		{"a=\"1\"" + ours + "c=\"3\"\n", 5, ours, "a=\"1\"\n# Kelvane generated deltas - Tue b=\"\nc=\"3\"\n", block_fate::commented_out},
		{"a=\"1\"\nc=\"3\"\n", 5, "\n", "a=\"1\"\nc=\"3\"\n", block_fate::commented_out},
		{theirs, 6, ours, theirs, block_fate::left_in_file},
		{"a=\"1\"\n", 6, ours, "a=\"1\"\n", block_fate::left_in_file},
	};
	for (const auto &c : cases) {
		write_whole(path, c.file);
		int fd = open(path.c_str(), O_RDWR | O_APPEND);
		EXPECT_EQ(take_back(fd, c.start, c.ours), c.fate) << c.after;
		close(fd);
		EXPECT_EQ(read_whole(path), c.after);
		EXPECT_EQ(shell_output("sh -n " + path), "") << c.after;
	}
}

// Saves started together by a barrier each append their whole block.
TEST_F(DeltaWriter, SimultaneousSavesKeepEveryBlockWhole)
{
	constexpr int savers = 8;
	int barrier[2];
	ASSERT_EQ(pipe(barrier), 0);
	for (int i = 0; i < savers; i++) {
		if (fork() != 0)
			continue;
		alarm(10);
		close(barrier[1]);
		char go;
		if (read(barrier[0], &go, 1) != 0) // end of file once the parent closes its end
			_exit(2);
		std::string name = "k" + std::to_string(i) + "_enable";
		rc_entry knobs[] = {knob(name.c_str(), 1)};
		_exit(write_deltas(knobs, 1, nullptr, 0) == deltas_written ? 0 : 1);
	}
	close(barrier[0]);
	close(barrier[1]);
	for (int i = 0; i < savers; i++) {
		int status = -1;
		wait(&status);
		EXPECT_EQ(status, 0);
	}
	std::string text = read_whole(path);
	const char *form = "^(\n# Kelvane generated deltas - [^\n]+\nk[0-7]_enable=\"YES\"\n){8}$";
	EXPECT_TRUE(matches(text, form)) << text;
	for (int i = 0; i < savers; i++)
		EXPECT_NE(text.find("\nk" + std::to_string(i) + "_enable="), std::string::npos) << i;
}

TEST_F(DeltaWriter, ShellReadsBackEveryValue)
{
	rc_entry knobs[] = {knob("a_enable", 1, "on; really"), knob("b_enable", 0)};
	rc_entry strings[] = {string("c", "\"two words\"", "typed # here"),
			      string("d", "\"ends in $\""), string("e", "\"it's $ 5\""), string("f", "\"\"")};
	ASSERT_EQ(write_deltas(knobs, 2, strings, 4), deltas_written);
	std::string command = "sh -c '. " + path +
			      "; printf \"%s\\n\" \"$a_enable\" \"$b_enable\" \"$c\" \"$d\" \"$e\" \"$f\"'";
	EXPECT_EQ(shell_output(command), "YES\nNO\ntwo words\nends in $\nit's $ 5\n\n");
}

// The block goes in only where sh reads it as commands of their own, and
// only when sh reads the file up to it; else the file stays byte for byte.
TEST_F(DeltaWriter, BlockGoesInOnlyWhereTheShellReadsItOnItsOwn)
{
	const struct {
		const char *text;
		int result;
	} cases[] = {
		{"ifconfig_em0=\"inet 10.0.0.1\n", deltas_file_broken},
		{"a='1\n", deltas_file_broken},
		{"if [ -r /etc/rc.x ]; then\n\t. /etc/rc.x\n", deltas_file_broken},
		{"cat <<EOF\ntext\n", deltas_ends_inside},
		{"a=\"1\" \\", deltas_ends_inside},
		{"a=1\nfi\nb=2\n", deltas_file_broken},
		{"a=1\n(\nb=2\n", deltas_file_broken},
		{"a=1\nreturn\nb=2\n", deltas_ends_early},
		{"", deltas_written},
		{"a=1\n# last", deltas_written},
		{"cat <<EOF\n$a\nEOF\n", deltas_written},
		{"if true; then\n\tb=2\nfi\n", deltas_written},
	};
	for (const auto &c : cases) {
		write_whole(path, c.text);
		rc_entry knobs[] = {knob("a_enable", 1)};
		deltas_outcome outcome;
		EXPECT_EQ(write_deltas(knobs, 1, nullptr, 0, &outcome), c.result) << c.text;
		std::string &words = outcome.shell_words;
		std::string after = read_whole(path);
		EXPECT_EQ(c.result == deltas_written ? after.substr(0, std::strlen(c.text)) : after, c.text);
		EXPECT_EQ(knobs[0].modified, c.result == deltas_written ? 0 : 1) << c.text;
		EXPECT_EQ(words, c.result == deltas_file_broken ? shell_complaint(path) : "") << c.text;
		EXPECT_EQ(outcome.end_line, c.result == deltas_ends_early ? 2 : 0) << c.text;
	}
}

// Endings built from pieces of shell, some left open, each given to a real
// save: whatever the check lets through, sh reads with the saved values.
TEST_F(DeltaWriter, WhatTheCheckPassesTheShellReadsAsSaved)
{
	// Complete pieces first, then pieces that open or close something.
	constexpr const char *pieces[] = {
		"a=1\n", "b=\"two words\" c='it''s'\n", "echo x\n", "# note\n", "# note", "\n", " ",
		"kv_enable=\"MAYBE\"\n", "if true; then a=2; fi\n", "case x in x) f=1 ;; esac\n",
		": <<EOF\ntext\nEOF\n", "{ g=1; }\n", "(h=1)\n", "i=$(echo \"(\")\n", "e=\"x\" \\\n",
		"c=\"", "d='", "\"\n", "'\n", "\\", "if true; then\n", "fi\n", "case x in\n", "x) f=1 ;;\n",
		"esac\n", ": <<EOF\n", ": <<'END'\n", "text\n", "EOF\n", "END\n", "{\n", "}\n", "(\n",
		")\n", "i=$(\n", ";"};
	constexpr int complete = 15;
	constexpr int piece_count = sizeof pieces / sizeof pieces[0];
	constexpr int runs = 200;
	std::mt19937 random(238);
	int saved = 0;
	for (int run = 0; run < runs; run++) {
		// One piece in two is a complete one, so that both outcomes are common.
		std::string text;
		for (int n = 1 + static_cast<int>(random() % 5); n > 0; n--)
			text += pieces[random() % (random() % 2 == 0 ? complete : piece_count)];
		write_whole(path, text);
		rc_entry knobs[] = {knob("kv_enable", run % 2)};
		rc_entry strings[] = {string("kv_note", "\"it's $ 5; # not a comment\"")};
		if (write_deltas(knobs, 1, strings, 1) != deltas_written) {
			EXPECT_EQ(read_whole(path), text);
			continue;
		}
		saved++;
		// An empty PATH in a folder holding only rc.conf: no command of the file can run.
		std::string command = "cd " + dir + " && PATH= " + boot_shell + " -c '. ./rc.conf >/dev/null 2>&1; "
						   "printf %s \"$kv_enable|$kv_note\"'";
		EXPECT_EQ(shell_output(command), std::string(run % 2 ? "YES" : "NO") + "|it's $ 5; # not a comment")
			<< text;
	}
	EXPECT_GT(saved, runs / 4);
	EXPECT_GT(runs - saved, runs / 4);
}

// Once the file was read, a save never writes over a change made since,
// nor does the look before a save miss one: its own saves do not count,
// every change by another program does, even one that keeps the file's size
// and time, and a file removed is not made anew.
TEST_F(DeltaWriter, ChangesMadeBehindItsBackAreNeverWrittenOver)
{
	const struct {
		const char *what;
		std::function<void()> change;
	} cases[] = {
		{"appended", [&] { std::ofstream(path, std::ios::app) << "sshd_enable=\"NO\"\n"; }},
		{"renamed over", [&] { write_whole(dir + "/new", read_whole(path)); rename((dir + "/new").c_str(), path.c_str()); }},
		{"same size and time",
		 [&] {
			 struct stat info;
			 stat(path.c_str(), &info);
			 write_whole(path, "a=\"2\"" + read_whole(path).substr(5));
			 const timespec times[2] = {info.st_atim, info.st_mtim};
			 utimensat(AT_FDCWD, path.c_str(), times, 0);
		 }},
		{"a FIFO in its place", [&] { std::filesystem::remove(path); mkfifo(path.c_str(), 0600); }},
		{"removed", [&] { std::filesystem::remove(path); }},
	};
	for (const auto &c : cases) {
		write_whole(path, "a=\"1\"\n");
		forget_files();
		remember_file(path.c_str());
		rc_entry knobs[] = {knob("b_enable", 1)};
		ASSERT_EQ(write_deltas(knobs, 1, nullptr, 0), deltas_written) << c.what;
		EXPECT_TRUE(changed_files().empty()) << c.what;
		c.change();
		ASSERT_EQ(changed_files().size(), 1u) << c.what;
		// A FIFO would hold the reading of the test itself.
		bool regular = std::filesystem::is_regular_file(path);
		std::string before = regular ? read_whole(path) : "";
		knobs[0] = knob("d_enable", 1);
		EXPECT_EQ(write_deltas(knobs, 1, nullptr, 0), deltas_changed_outside) << c.what;
		EXPECT_EQ(std::filesystem::is_regular_file(path), regular) << c.what;
		EXPECT_EQ(regular ? read_whole(path) : "", before) << c.what;
		EXPECT_EQ(knobs[0].modified, 1) << c.what;
		std::filesystem::remove(path);
	}
	forget_files();
}

namespace {

// Another program that writes rc.conf without the lock: it appends its line,
// or writes the file anew with its line (0 appends, 1 truncates, 2 renames a
// new file over it) from what it reads then or, stale, read before the save.
// It acts at a call of the save's while_waiting (which runs only before the
// block is written), once the block is in the file from a shell standing in
// for the boot's, or at call 0 from a process of its own at a random moment.
struct race {
	std::string path, line, before;
	int action;
	bool stale;
	int at_call, calls;
	std::string moment;
} *racing;

void act(const race &r)
{
	std::string text = r.action == 0 ? r.line : (r.stale ? r.before : read_whole(r.path)) + r.line;
	std::string target = r.path + (r.action == 2 ? ".new" : "");
	int fd = open(target.c_str(), O_WRONLY | (r.action == 0 ? O_APPEND : O_CREAT | O_TRUNC), 0644);
	if (fd != -1 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && r.action == 2)
		rename(target.c_str(), r.path.c_str());
	close(fd);
}

void act_at_call()
{
	if (racing == nullptr || ++racing->calls != racing->at_call)
		return;
	bool block_in = read_whole(racing->path).find("kv_note") != std::string::npos;
	racing->moment = block_in ? " while sh judges the block" : " while sh judges the file";
	act(*racing);
}

} // namespace

// Many saves, each racing one change by a program that takes no lock. A
// save reported done has its block right behind the bytes the window read; one
// that failed says truly what is left of its block; no byte of the other
// program's is written over; dash reads every file left, with the saved value
// exactly where an uncommented block stands.
TEST_F(DeltaWriter, SavesRacingAProgramWithoutTheLock)
{
	constexpr int tries = 72;
	const std::string base = "a=\"1\"\n# base\n", header = base + "\n# Kelvane generated deltas - ";
	const char *actions[] = {"appends", "truncates and rewrites", "renames a new file over"};
	const char *fates[] = {"block gone", "block a comment", "block left and named"};
	std::mt19937 random(238);
	std::map<std::string, int> ended;
	std::string script, expected;
	for (int t = 0; t < tries; t++) {
		// Some lines are longer than a block: written over one, they would reach past it.
		std::string line = "other" + std::to_string(t) + "=\"" + std::string(t % 4 * 40, 'x') + "\"\n";
		int kind = t / 6 % 3; // 0 at a call of while_waiting, 1 once the block is in, 2 at random
		race r{path, line, base, t % 3, t / 3 % 2 == 1, kind == 0 ? 1 + static_cast<int>(random() % 16) : 0, 0, " at random"};
		write_whole(path, base);
		// The stand-in shell lets the other program act once, when the file it is given holds the block.
		std::filesystem::remove(dir + "/acted");
		std::string fresh = r.stale ? "printf %s " + sh_quoted(base) : "cat " + sh_quoted(path);
		std::string act_sh[] = {"printf %s " + sh_quoted(line) + " >>" + sh_quoted(path),
					"{ " + fresh + "; printf %s " + sh_quoted(line) + "; } >" + sh_quoted(path + ".old") +
						" && cat " + sh_quoted(path + ".old") + " >" + sh_quoted(path),
					"{ " + fresh + "; printf %s " + sh_quoted(line) + "; } >" + sh_quoted(path + ".new") +
						" && mv " + sh_quoted(path + ".new") + " " + sh_quoted(path)};
		write_script(dir + "/judge", "#!/bin/sh\ncat >" + sh_quoted(dir + "/judged") + "\nif grep -q kv_note " +
						     sh_quoted(dir + "/judged") + " && mkdir " + sh_quoted(dir + "/acted") +
						     " 2>/dev/null; then " + act_sh[r.action] + "; fi\nexec /bin/sh \"$@\" <" +
						     sh_quoted(dir + "/judged") + "\n");
		forget_files();
		remember_file(path.c_str());
		std::string value = "\"try " + std::to_string(t) + "\"", ours = "\nkv_note=" + value + "\n";
		rc_entry strings[] = {string("kv_note", value.c_str())};
		unsigned delay = static_cast<unsigned>(random() % 20000);
		pid_t other = kind == 2 ? fork() : -1;
		if (other == 0) {
			usleep(delay);
			act(r);
			_exit(0);
		}
		racing = &r;
		deltas_outcome outcome;
		int result = write_deltas(nullptr, 0, strings, 1, &outcome, act_at_call,
					  kind == 1 ? (dir + "/judge").c_str() : boot_shell);
		racing = nullptr;
		if (std::filesystem::exists(dir + "/acted"))
			r.moment = " while sh judges the block";
		if (other > 0)
			waitpid(other, nullptr, 0);
		bool late = other > 0 || r.calls < r.at_call || (kind == 1 && r.moment == " at random");
		if (r.calls < r.at_call || (kind == 1 && r.moment == " at random")) {
			r.moment = " after the save";
			act(r);
		}
		std::string text = read_whole(path), rest = text;
		for (std::size_t at; (at = rest.find("\n# Kelvane generated deltas - ")) != std::string::npos;)
			rest.erase(at, rest.find("\"\n", at) + 2 - at);
		std::string what = std::string(actions[r.action]) + (r.stale && r.action != 0 ? " from a stale copy" : "") + r.moment;
		ended[what + ": " + (result == deltas_written ? "saved" : result == deltas_changed_outside ? "refused before writing"
					: std::string(result == deltas_replaced ? "replaced, " : "changed during, ") + fates[static_cast<int>(outcome.fate)])]++;
		EXPECT_EQ(rest, base + line) << what << ":\n" << text;
		// Unless a copy from before the save was written back once it was over.
		if (!late || r.action == 0 || (!r.stale && other == -1)) {
			std::size_t at = text.find(ours), header_at = text.find("# Kelvane generated deltas - ");
			bool commented = text.find(" kv_note=" + value) != std::string::npos;
			int line_of_header = static_cast<int>(std::count(text.begin(), text.begin() + std::min(header_at, text.size()), '\n')) + 1;
			bool saved_in_place = text.rfind(header, 0) == 0 && at == text.find('\n', header.size());
			EXPECT_TRUE(result != deltas_written || saved_in_place) << what << ":\n" << text;
			EXPECT_EQ(at != std::string::npos && result != deltas_written, outcome.fate == block_fate::left_in_file) << what;
			EXPECT_EQ(commented, outcome.fate == block_fate::commented_out) << what << ":\n" << text;
			EXPECT_EQ(outcome.block_line, outcome.fate == block_fate::none ? 0 : line_of_header) << what << ":\n" << text;
		}
		std::string file = "try" + std::to_string(t);
		write_whole(dir + "/" + file, text);
		script += "sh -n " + file + " || echo unreadable " + file + "\n(. ./" + file + "; echo \"" + file + " $kv_note\")\n";
		expected += file + (text.find(ours) != std::string::npos ? " try " + std::to_string(t) : " ") + "\n";
	}
	int status = 0;
	EXPECT_EQ(sh_printed(dir + "/check", "cd " + dir + " || exit\n" + script, status), expected);
	std::printf("%d saves racing another program:\n", tries);
	for (const auto &[how, count] : ended)
		std::printf("%4d  %s\n", count, how.c_str());
}
