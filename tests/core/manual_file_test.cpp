// Reading a manual page's file: plain, gzip-compressed, damaged, cut short, huge, or no regular file at all.
#include "manual/manual_file.h"

#include "files/open_file.h"

#include "gzip_text.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string page = ".Dd March 3, 2022\n.Sh DESCRIPTION\n.Bl -tag -width indent\n.It Va sshd_enable\n"
			 ".Pq Vt bool\nRun\n.Xr sshd 8 .\n.El\n";

// What read_manual_file gives for path, and in status what it returns.
std::string read_back(const std::filesystem::path &path, int &status)
{
	std::string text = "left over";
	status = read_manual_file(path.c_str(), text);
	return text;
}

// Each file gives its text, or fails with no text: plain or gzip, gzip
// members joined, what follows a member, and gzip data that gives none.
TEST(ManualFile, FilesGiveTheirTextOrFailEmpty)
{
	std::string binary;
	for (int i = 0; i < 4096; i++)
		binary += static_cast<char>((i * 7919) % 256);
	const struct {
		const char *what;
		std::string bytes, text;
		int status;
	} cases[] = {
		{"plain", page, page, 0},
		{"gzip", gzip_of(page), page, 0},
		{"joined gzip members", gzip_of(page.substr(0, 20)) + gzip_of(page.substr(20)), page, 0},
		{"zeros and garbage after a member", gzip_of(page) + std::string(100, '\0') + "garbage", page, 0},
		{"binary, read as is", binary, binary, 0},
		{"empty", "", "", 0},
		{"gzip header alone", "\x1f\x8b\x08\x00", "", -1},
		{"gzip magic before junk", std::string("\x1f\x8b", 2) + std::string(5000, 'x'), "", -1},
		// One member that inflates past the bound cannot be checked whole.
		{"one member past the bound", gzip_of(std::string(manual_size_limit + 1, 'x')), "", -1},
	};
	scratch_folder dir;
	for (const auto &c : cases) {
		write_whole(dir.path / "page", c.bytes);
		int status = 7;
		EXPECT_EQ(read_back(dir.path / "page", status), c.text) << c.what;
		EXPECT_EQ(status, c.status) << c.what;
	}
}

// Damaged or cut short, data may inflate to garbage before zlib sees it:
// nothing of the member it ends is kept, and the members before it are.
TEST(ManualFile, DamagedGzipMemberIsLeftOut)
{
	scratch_folder dir;
	std::string big;
	for (int i = 0; i < 2000; i++)
		big += page;
	std::string gz = gzip_of(big);
	std::mt19937 rng(3);
	for (int round = 0; round < 40; round++) {
		std::string damaged = gz;
		std::size_t at = 10 + rng() % (gz.size() - 10);
		if (round % 2 == 0)
			damaged[at] = static_cast<char>(damaged[at] ^ (1 + rng() % 255));
		else
			damaged.resize(at);
		write_whole(dir.path / "damaged.gz", gzip_of(page) + damaged);
		int status = -1;
		EXPECT_EQ(read_back(dir.path / "damaged.gz", status), page) << at;
		EXPECT_EQ(status, 0) << at;
	}
}

// A gzip bomb: a megabyte that would inflate to 1 GiB stops at the bound, quickly.
TEST(ManualFile, GzipBombStopsAtTheBound)
{
	scratch_folder dir;
	std::string zeros(std::size_t{1} << 20, '\0');
	std::string member = gzip_of(zeros);
	std::string bomb;
	for (int i = 0; i < 1024; i++)
		bomb += member;
	write_whole(dir.path / "bomb.gz", bomb);
	auto start = std::chrono::steady_clock::now();
	int status = -1;
	EXPECT_EQ(read_back(dir.path / "bomb.gz", status).size(), manual_size_limit);
	EXPECT_EQ(status, 0);
	EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A file past the bound is passed over, named; one at the bound is read.
TEST(ManualFile, HugeFileIsPassedOver)
{
	scratch_folder dir;
	std::filesystem::path huge = dir.path / "huge", at = dir.path / "at";
	write_whole(huge, "x");
	write_whole(at, "x");
	// Sparse: 4 GiB that take no room on the disk.
	ASSERT_EQ(truncate(huge.c_str(), off_t{4} << 30), 0);
	ASSERT_EQ(truncate(at.c_str(), manual_size_limit), 0);
	clear_read_notes();
	int status = 0;
	EXPECT_EQ(read_back(huge, status), "");
	EXPECT_EQ(status, -1);
	ASSERT_EQ(read_notes().size(), 1u);
	EXPECT_EQ(note_line(read_notes()[0]), "'" + huge.string() + "' is too large to read: passed over");
	EXPECT_EQ(read_back(at, status).size(), manual_size_limit);
	EXPECT_EQ(status, 0);
}

TEST(ManualFile, NoRegularFileFailsWithoutBlocking)
{
	scratch_folder dir;
	std::filesystem::path fifo = dir.path / "fifo";
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	for (const std::filesystem::path &path : {dir.path / "missing", dir.path, fifo}) {
		int status = 0;
		EXPECT_EQ(read_back(path, status), "") << path;
		EXPECT_EQ(status, -1) << path;
	}
}

} // namespace
