// Tests of which files the boot reads after the machine's rc.conf, and of the files a load passes over.
#include "boot/load.h"

#include "files/open_file.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The files read after rc_path, joined by blanks, for the defaults text.
std::string after(std::string_view defaults, const char *rc_path)
{
	owned_lists lists(defaults);
	std::string joined;
	for (const std::string &file : files_read_after(lists, rc_path))
		joined += (joined.empty() ? "" : " ") + file;
	return joined;
}

} // namespace

// A machine's file that the list does not hold takes the place of
// /etc/rc.conf there; each file is read once; a word that expands something
// names no file known here.
TEST(Load, FilesReadAfterTheMachinesFile)
{
	const std::string files = "rc_conf_files=\"/etc/rc.conf /etc/rc.conf.local\"\n";
	EXPECT_EQ(after(files, "/etc/rc.conf"), "/etc/rc.conf.local");
	EXPECT_EQ(after(files, "/tmp/copy/rc.conf"), "/etc/rc.conf.local");
	EXPECT_EQ(after(files, "/etc/rc.conf.local"), "");
	EXPECT_EQ(after("rc_conf_files=\"/a /etc/rc.conf /b\t/b $x/c /etc/rc.conf /d\"\n", "/etc/rc.conf"), "/b /d");
	EXPECT_EQ(after("rc_conf_files=\"/a /b\"\n", "/tmp/rc.conf"), "");
	EXPECT_EQ(after("x=1\n", "/etc/rc.conf"), "");
}

namespace {

// Makes path size bytes long, its end NULs (which sh drops), taking no room on the disk.
void make_sized(const std::filesystem::path &path, off_t size)
{
	ASSERT_EQ(truncate(path.c_str(), size), 0) << path;
}

void make_socket(const std::filesystem::path &path)
{
	sockaddr_un address{};
	address.sun_family = AF_UNIX;
	ASSERT_LT(path.string().size(), sizeof address.sun_path);
	std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
	int fd = socket(AF_UNIX, SOCK_STREAM, 0);
	ASSERT_NE(fd, -1);
	EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
	close(fd);
}

} // namespace

// A file larger than its bound (a script's, or that of every file read as
// rc.conf) is passed over with a note naming it, however large it says it
// is: a terabyte read would not end. One at its bound is read. Whatever is
// no regular file where load_rc_config reads rc.conf.d files is named too.
TEST(Load, PassesOverFilesPastTheirBoundAndNoFilesNamed)
{
	scratch_folder work;
	std::filesystem::path etc = work.path / "etc";
	write_whole(etc / "defaults/rc.conf", "rc_conf_files=\"/etc/rc.conf /etc/rc.conf.local\"\n");
	write_whole(etc / "rc.conf", "huge_enable=\"YES\"\n");
	make_sized(etc / "rc.conf", off_t{1} << 40);
	write_whole(etc / "rc.conf.local", "local_enable=\"YES\"\n");
	make_sized(etc / "rc.conf.local", file_size_bound + 1);
	for (std::string name : {"at", "past", "fifo", "sock"})
		write_script(etc / "rc.d" / name, "name=" + name + "\nrcvar=" + name + "_enable\nload_rc_config $name\n");
	make_sized(etc / "rc.d/at", script_size_bound);
	make_sized(etc / "rc.d/past", script_size_bound + 1);
	write_whole(etc / "rc.conf.d/at", "at_flags=\"-x\"\n");
	make_sized(etc / "rc.conf.d/at", file_size_bound);
	ASSERT_EQ(mkfifo((etc / "rc.conf.d/fifo").c_str(), 0600), 0);
	write_whole(etc / "rc.conf.d/sock/file", "sock_flags=\"-y\"\n");
	ASSERT_EQ(mkfifo((etc / "rc.conf.d/sock/pipe").c_str(), 0600), 0);
	make_socket(etc / "rc.conf.d/sock/socket");
	owned_lists lists;
	ASSERT_EQ(load_root(work.path, &lists), 0);
	std::string noted;
	for (const read_note &note : read_notes())
		noted += note_line(note) + "\n";
	std::string at = work.path.string() + "/etc/";
	EXPECT_EQ(noted, "'" + at + "rc.conf' is too large to read: passed over\n'" + at +
			 "rc.conf.local' is too large to read: passed over\n'" + at +
			 "rc.d/past' is too large to read: passed over\n'" + at +
			 "rc.conf.d/fifo' is a FIFO, not a file: passed over\n'" + at +
			 "rc.conf.d/sock/pipe' is a FIFO, not a file: passed over\n'" + at +
			 "rc.conf.d/sock/socket' is not a regular file: passed over\n");
	for (const char *name : {"huge_enable", "local_enable", "past_enable"})
		EXPECT_EQ(entry_named(lists, name), nullptr) << name;
	for (const char *name : {"at_flags", "sock_flags", "fifo_enable"})
		EXPECT_NE(entry_named(lists, name), nullptr) << name;
}
