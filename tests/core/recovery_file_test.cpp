// Tests of the recovery file that keeps changes not saved.
#include "rcfile/recovery_file.h"

#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RecoveryFile : public testing::Test {
protected:
	scratch_folder work;
	std::string dir = work.path.string();
	std::string path = dir + "/.kelvane-pending";
};

// Any bytes in any field, of either kind, come back as they went, and only for the file they were kept for.
TEST_F(RecoveryFile, ChangesComeBackAsTheyWereKept)
{
	std::mt19937 random(238);
	for (int run = 0; run < 30; run++) {
		std::vector<rc_entry> changes(random() % 5);
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
		ASSERT_EQ(read_recovery_file(path, key, back), 0);
		ASSERT_EQ(back.size(), changes.size());
		for (std::size_t i = 0; i < back.size(); i++)
			EXPECT_EQ(std::memcmp(&back[i], &changes[i], sizeof(rc_entry)), 0) << run << " " << i;
		EXPECT_EQ(read_recovery_file(path, key + "x", back), -1);
	}
	struct stat info;
	ASSERT_EQ(stat(path.c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// Written in place of a link, never through it; read only from the user's
// own regular file with one name, in the form written.
TEST_F(RecoveryFile, NeverThroughALinkAndOnlyTheUsersOwn)
{
	std::string target = dir + "/target";
	write_whole(target, "kept\n");
	std::filesystem::create_symlink(target, path);
	ASSERT_EQ(write_recovery_file(path, "/etc/rc.conf", {}), 0);
	EXPECT_FALSE(std::filesystem::is_symlink(path));
	EXPECT_EQ(std::filesystem::file_size(target), 5u);
	std::vector<rc_entry> back;
	for (const char *broken : {"knob\tx\t2\t-\t\n", "string\tx\t\\q\t-\t\n"}) {
		std::ofstream(path, std::ios::app) << broken;
		EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), -1) << broken;
	}
	ASSERT_EQ(write_recovery_file(path, "/etc/rc.conf", {}), 0);
	std::filesystem::rename(path, target);
	std::filesystem::create_symlink(target, path);
	EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), -1);
	std::filesystem::remove(path);
	std::filesystem::create_hard_link(target, path);
	EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), -1);
	std::filesystem::remove(target);
	EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), 0);
	// Another user's file, which only root can make here.
	if (chown(path.c_str(), geteuid() + 1, static_cast<gid_t>(-1)) == 0) {
		EXPECT_EQ(read_recovery_file(path, "/etc/rc.conf", back), -1);
	}
}

} // namespace
