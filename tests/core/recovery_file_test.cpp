// Tests of the recovery file: what is trusted, one section for each machine's file, and bringing changes back as typed ones.
#include "edit/delta_writer.h"
#include "edit/pending_changes.h"
#include "edit/recovery_file.h"
#include "shell/value_check.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class RecoveryFile : public testing::Test {
protected:
	scratch_folder work;
	std::string dir = work.path.string();
	std::string path = dir + "/.kelvane-pending";
};

rc_entry kept_knob(const char *name, int on)
{
	rc_entry change{};
	copy_field(change.name, name);
	change.is_knob = change.modified = 1;
	change.knob_on = on;
	return change;
}

std::vector<std::string> names_of(const std::vector<rc_entry> &changes)
{
	std::vector<std::string> names;
	for (const rc_entry &change : changes)
		names.emplace_back(field_text(change.name));
	return names;
}

// Any bytes in any field, of either kind, come back as they went, and only for the file they were kept for.
TEST_F(RecoveryFile, ChangesComeBackAsTheyWereKept)
{
	std::mt19937 random(238);
	for (int run = 0; run < 30; run++) {
		std::vector<rc_entry> changes(1 + random() % 4);
		for (rc_entry &c : changes) {
			c.is_knob = random() % 2;
			// A knob keeps no value text.
			for (char *field : {c.name, c.comment, c.is_knob != 0 ? nullptr : c.value}) {
				for (std::size_t i = 0, n = field != nullptr ? random() % field_size : 0; i < n; i++)
					field[i] = static_cast<char>(1 + random() % 255);
			}
			c.name[0] = 'n';
			c.knob_on = c.is_knob != 0 && random() % 2;
			c.is_new = random() % 2;
			c.has_comment = random() % 2;
			c.modified = 1;
		}
		std::string key = "/etc/rc\t\\x\n.conf" + std::to_string(run);
		ASSERT_EQ(write_recovery_file(path, key, changes), 0);
		std::vector<rc_entry> back;
		ASSERT_EQ(read_recovery_file(path, key, back), kept_state::kept);
		ASSERT_EQ(back.size(), changes.size());
		for (std::size_t i = 0; i < back.size(); i++)
			EXPECT_EQ(std::memcmp(&back[i], &changes[i], sizeof(rc_entry)), 0) << run << " " << i;
		EXPECT_EQ(read_recovery_file(path, key + "x", back), kept_state::none);
		ASSERT_EQ(write_recovery_file(path, key, {}), 0);
	}
	EXPECT_FALSE(std::filesystem::exists(path));
}

// Keeping or dropping one file's changes leaves every other file's as they
// were; the file goes with the last. Written in place of a link, never
// through it; the earlier one-section form is read too.
TEST_F(RecoveryFile, EachMachineFileKeepsItsOwnChanges)
{
	std::string target = dir + "/target";
	write_whole(target, "kept\n");
	std::filesystem::create_symlink(target, path);
	ASSERT_EQ(write_recovery_file(path, "/jail/etc/rc.conf", {kept_knob("a_enable", 1)}), 0);
	EXPECT_FALSE(std::filesystem::is_symlink(path));
	EXPECT_EQ(read_whole(target), "kept\n");
	ASSERT_EQ(write_recovery_file(path, "/etc/rc.conf", {kept_knob("b_enable", 1)}), 0);
	ASSERT_EQ(write_recovery_file(path, "/etc/rc.conf", {kept_knob("c_enable", 0), kept_knob("d_enable", 1)}), 0);
	std::vector<rc_entry> back;
	ASSERT_EQ(read_recovery_file(path, "/jail/etc/rc.conf", back), kept_state::kept);
	EXPECT_EQ(names_of(back), std::vector<std::string>{"a_enable"});
	ASSERT_EQ(read_recovery_file(path, "/etc/rc.conf", back), kept_state::kept);
	EXPECT_EQ(names_of(back), (std::vector<std::string>{"c_enable", "d_enable"}));
	ASSERT_EQ(write_recovery_file(path, "/jail/etc/rc.conf", {}), 0);
	EXPECT_EQ(read_recovery_file(path, "/jail/etc/rc.conf", back), kept_state::none);
	EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), kept_state::kept);
	ASSERT_EQ(write_recovery_file(path, "/etc/rc.conf", {}), 0);
	EXPECT_FALSE(std::filesystem::exists(path));

	write_whole(path, "kelvane-pending 1\nfile\t/etc/rc.conf\nknob\ta_enable\t1\t-\t\n");
	chmod(path.c_str(), 0600);
	ASSERT_EQ(read_recovery_file(path, "/etc/rc.conf", back), kept_state::kept);
	EXPECT_EQ(names_of(back), std::vector<std::string>{"a_enable"});
}

// Runs ended at the same moment (a session's end) each keep their own changes.
TEST_F(RecoveryFile, RunsEndedAtOnceAllKeepTheirs)
{
	constexpr int runs = 8;
	std::vector<pid_t> children;
	for (int run = 0; run < runs; run++) {
		pid_t child = fork();
		if (child == 0) {
			int failed = 0;
			for (int round = 0; round < 20; round++)
				failed |= write_recovery_file(path, "/rc" + std::to_string(run), {kept_knob("a_enable", 1)});
			_exit(failed != 0);
		}
		children.push_back(child);
	}
	for (pid_t child : children) {
		int status = -1;
		waitpid(child, &status, 0);
		EXPECT_EQ(status, 0);
	}
	std::vector<rc_entry> back;
	for (int run = 0; run < runs; run++)
		EXPECT_EQ(read_recovery_file(path, "/rc" + std::to_string(run), back), kept_state::kept) << run;
}

// While Save waits for the shell the window runs, and with it the handlers
// that end the program keeping what is not saved: never once the block may
// be on disk, where a change kept would be saved and kept at once.
std::string watched_file;
int waits, waits_with_block;

void note_wait()
{
	waits++;
	waits_with_block += read_whole(watched_file).find("gate") != std::string::npos;
}

TEST_F(RecoveryFile, SaveRunsNothingOnceTheBlockMayBeOnDisk)
{
	watched_file = dir + "/rc.conf";
	write_whole(watched_file, "hostname=\"box\"\n");
	setenv("KELVANE_RC", watched_file.c_str(), 1);
	owned_lists lists("hostname=\"box\"\n");
	copy_field(lists.strings[0].value, "\"gate\"");
	lists.strings[0].modified = 1;
	EXPECT_EQ(write_deltas(lists.knobs, lists.knob_count, lists.strings, lists.string_count, nullptr, note_wait),
		  deltas_written);
	unsetenv("KELVANE_RC");
	EXPECT_GT(waits, 0);
	EXPECT_EQ(waits_with_block, 0);
}

// What an earlier run may have left, written by anyone: brought back and
// saved, each gives the file what typing the same values would (a command
// only when the question is answered Yes, here No), and sh runs nothing.
TEST_F(RecoveryFile, HostileFilesBringBackOnlyWhatTypingWould)
{
	enum layout { plain, open_home, link, second_link, other_owner };
	const std::string mark = dir + "/ran";
	auto kept = [&](const std::string &lines) {
		return "kelvane-pending 2\nfile\tKEY\n" + replaced(lines, "MARK", mark);
	};
	const struct {
		const char *what;
		std::string text;
		mode_t mode;
		layout how;
		kept_state state;
		const char *asked, *left_out, *appended;
	} cases[] = {
		{"a command", kept("string\thostname\t\"$(touch MARK)\"\t-\t\nknob\tsshd_enable\t1\t-\t\n"), 0600, plain,
		 kept_state::kept, "hostname", "", "sshd_enable=\"YES\"\n"},
		{"backquotes", kept("string\tnew_var\t\"`touch MARK`\"\tn\t\n"), 0600, plain, kept_state::kept, "new_var", "",
		 ""},
		{"a newline in a value", kept("string\thostname\t\"a\\x0atouch MARK\"\t-\t\n"), 0600, plain,
		 kept_state::kept, "", "hostname", ""},
		{"a quote closed early", kept("string\thostname\t\"a\";touch MARK;\"\"\t-\t\n"), 0600, plain,
		 kept_state::kept, "", "hostname", ""},
		{"a newline in a comment", kept("string\tnew_var\t\"x\"\tnc\tc\\x0atouch MARK\n"), 0600, plain,
		 kept_state::kept, "", "new_var", ""},
		{"a CR in a comment", kept("knob\tsshd_enable\t1\tc\tc\\x0dtouch MARK\n"), 0600, plain, kept_state::kept, "",
		 "sshd_enable", ""},
		{"a name sh runs", kept("string\tx;touch MARK;y\t\"v\"\tn\t\n"), 0600, plain, kept_state::kept, "",
		 "x;touch MARK;y", ""},
		{"a knob's name that runs", kept("knob\t$(touch MARK)\t1\tn\t\n"), 0600, plain, kept_state::kept, "",
		 "$(touch MARK)", ""},
		{"a value unquoted", kept("string\tnew_var\tv;touch MARK\tn\t\n"), 0600, plain, kept_state::kept, "", "",
		 "new_var=\"v;touch MARK\"\n"},
		{"a comment beside", kept("string\tnew_var\t\"x\"\tnc\t$(touch MARK)\n"), 0600, plain, kept_state::kept, "",
		 "", "new_var=\"x\"\t# $(touch MARK)\n"},
		{"a name twice", kept("string\thostname\t\"gate\"\t-\t\nstring\thostname\t\"$(touch MARK)\"\t-\t\n"), 0600,
		 plain, kept_state::kept, "", "hostname", "hostname=\"gate\"\n"},
		{"another file's", "kelvane-pending 2\nfile\t/else\nknob\tsshd_enable\t1\t-\t\n", 0600, plain,
		 kept_state::none, "", "", ""},
		{"no section", "kelvane-pending 2\nknob\tsshd_enable\t1\t-\t\n", 0600, plain, kept_state::unreadable, "", "",
		 ""},
		{"mode 0666", kept("knob\tsshd_enable\t1\t-\t\n"), 0666, plain, kept_state::open_mode, "", "", ""},
		{"mode 0640", kept("knob\tsshd_enable\t1\t-\t\n"), 0640, plain, kept_state::open_mode, "", "", ""},
		{"HOME 0777", kept("knob\tsshd_enable\t1\t-\t\n"), 0600, open_home, kept_state::home_open, "", "", ""},
		{"a link", kept("knob\tsshd_enable\t1\t-\t\n"), 0600, link, kept_state::not_plain, "", "", ""},
		{"a second link", kept("knob\tsshd_enable\t1\t-\t\n"), 0600, second_link, kept_state::not_plain, "", "", ""},
		{"another user's", kept("knob\tsshd_enable\t1\t-\t\n"), 0600, other_owner, kept_state::not_own, "", "", ""},
	};
	constexpr std::string_view machine = "hostname=\"box\"\nsshd_enable=\"NO\"\n";
	std::string sources;
	int number = 0;
	for (const auto &c : cases) {
		std::string home = dir + "/home" + std::to_string(number++);
		std::string rc = home + "/rc.conf", pending = home + "/.kelvane-pending";
		write_whole(rc, std::string(machine));
		std::string at = c.how == link ? home + "/target" : pending;
		write_whole(at, replaced(c.text, "KEY", rc));
		chmod(at.c_str(), c.mode);
		if (c.how == link)
			std::filesystem::create_symlink(at, pending);
		if (c.how == second_link)
			std::filesystem::create_hard_link(pending, home + "/second");
		// Only root can give a file away.
		if (c.how == other_owner && chown(pending.c_str(), geteuid() + 1, static_cast<gid_t>(-1)) != 0)
			continue;
		chmod(home.c_str(), c.how == open_home ? 0777 : 0700);

		std::vector<rc_entry> kept_changes, taken, chosen;
		std::vector<std::string> left_out, lost;
		EXPECT_EQ(read_recovery_file(pending, rc, kept_changes), c.state) << c.what;
		owned_lists lists(machine);
		take_kept_changes(lists, kept_changes, taken, left_out);
		std::string asked;
		for (const rc_entry &change : taken) {
			if (runs_command(written_value(change)))
				asked += field_text(change.name);
			else
				chosen.push_back(change);
		}
		EXPECT_EQ(asked, c.asked) << c.what;
		std::string left;
		for (const std::string &name : left_out)
			left += name;
		EXPECT_EQ(left, replaced(c.left_out, "MARK", mark)) << c.what;
		ASSERT_EQ(lay_changes_over(&lists, chosen, lost), 0);
		setenv("KELVANE_RC", rc.c_str(), 1);
		if (!chosen.empty()) {
			EXPECT_EQ(write_deltas(lists.knobs, lists.knob_count, lists.strings, lists.string_count),
				  deltas_written)
				<< c.what;
		}
		unsetenv("KELVANE_RC");
		std::string now = read_whole(rc);
		std::size_t header = now.find("# Kelvane generated deltas");
		std::string appended = header == std::string::npos ? "" : now.substr(now.find('\n', header) + 1);
		EXPECT_EQ(now.substr(0, machine.size()), machine) << c.what;
		EXPECT_EQ(appended, replaced(c.appended, "MARK", mark)) << c.what;
		sources += "(. " + sh_quoted(rc) + ") >/dev/null 2>&1\n";
	}
	int status = 0;
	sh_printed(dir + "/source_all", sources, status);
	EXPECT_EQ(status, 0);
	EXPECT_FALSE(std::filesystem::exists(mark));
}

} // namespace
