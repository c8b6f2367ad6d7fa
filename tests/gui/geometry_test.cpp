// Tests of reading and writing the remembered window size in ~/.kelvanerc.
#include "gui/geometry.h"
#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct size_case {
	const char *text;
	int width;
	int height;
};

// Each test gets a HOME of its own.
class Geometry : public testing::Test {
protected:
	void SetUp() override
	{
		char pattern[] = "/tmp/kelvane-home-XXXXXX";
		home = mkdtemp(pattern);
		file = home + "/.kelvanerc";
		setenv("HOME", home.c_str(), 1);
	}
	void TearDown() override { std::filesystem::remove_all(home); }

	void write(const std::string &text) { std::ofstream(file, std::ios::binary) << text; }
	std::string read()
	{
		std::stringstream text;
		text << std::ifstream(file, std::ios::binary).rdbuf();
		return text.str();
	}
	void expect_size(int width, int height, const std::string &what)
	{
		EXPECT_EQ(geometry_width, width) << what;
		EXPECT_EQ(geometry_height, height) << what;
	}
	std::string home;
	std::string file;
};

} // namespace

TEST_F(Geometry, TextIsScannedAsFscanfReadsIt)
{
	constexpr size_case cases[] = {
		{"geometry=640,480\n", 640, 480},     {"geometry=0x320,0X258", 800, 600},
		{"geometry=010,-0", 8, 0},            {"geometry=0800,600", 0, 0},
		{"geometry=800;600", 800, 0},         {"geometry=800 ,600", 800, 0},
		{"geometry= 800,\n 600 and so on", 800, 600},
		{"\ngeometry=800,600", 0, 0},         {" geometry=800,600", 0, 0},
		{"Geometry=800,600", 0, 0},           {"", 0, 0},
		{"geometry=32767,32768", 32767, 0},   {"geometry=-5,99999999999", 0, 0},
	};
	for (const size_case &c : cases) {
		write(c.text);
		load_geometry();
		expect_size(c.width, c.height, c.text);
	}
}

TEST_F(Geometry, EightBytesAreTwoNativeIntegers)
{
	constexpr std::int32_t raw[][2] = {{800, 600}, {-1, 40000}};
	write(std::string(reinterpret_cast<const char *>(raw[0]), 8));
	load_geometry();
	expect_size(800, 600, "raw 800x600");
	write(std::string(reinterpret_cast<const char *>(raw[1]), 8));
	load_geometry();
	expect_size(0, 0, "raw out of range");
}

TEST_F(Geometry, UnusableFileGivesDefaultSize)
{
	load_geometry();
	expect_size(400, 480, "missing file");
	std::filesystem::create_directory(file);
	load_geometry();
	expect_size(400, 480, "directory");
	setenv("HOME", (home + "/missing").c_str(), 1);
	load_geometry();
	expect_size(400, 480, "missing home");
}

// With HOME unset no path may be formed at all, not even "/.kelvanerc".
TEST_F(Geometry, UnsetHomeReadsAndWritesNothing)
{
	ASSERT_FALSE(std::filesystem::exists("/.kelvanerc"));
	unsetenv("HOME");
	load_geometry();
	expect_size(0, 0, "HOME unset");
	store_geometry(800, 600);
	EXPECT_FALSE(std::filesystem::exists("/.kelvanerc"));
}

TEST_F(Geometry, UnchangedSizeLeavesFileUntouched)
{
	write("geometry=800,600 kept as it is\n");
	load_geometry();
	store_geometry(800, 600);
	EXPECT_EQ(read(), "geometry=800,600 kept as it is\n");
}

TEST_F(Geometry, NewSizeReplacesFileWithTextForm)
{
	constexpr std::int32_t raw[2] = {800, 600};
	write(std::string(reinterpret_cast<const char *>(raw), 8));
	load_geometry();
	store_geometry(640, 480);
	EXPECT_EQ(read(), "geometry=640,480\n");
}

TEST_F(Geometry, UnwritableTargetIsSilent)
{
	std::filesystem::create_directory(file);
	geometry_width = 0;
	store_geometry(800, 600);
	EXPECT_TRUE(std::filesystem::is_directory(file));
	std::filesystem::remove(file);
	std::filesystem::create_symlink("/dev/full", file);
	store_geometry(800, 600);
	EXPECT_TRUE(std::filesystem::is_symlink(file));
	setenv("HOME", (home + "/missing").c_str(), 1);
	store_geometry(800, 600);
	EXPECT_FALSE(std::filesystem::exists(home + "/missing"));
}

// A write cut short by a file size limit must not leave "geome" behind.
TEST_F(Geometry, HalfWrittenFileIsRemoved)
{
	pid_t child = fork();
	if (child == 0) {
		signal(SIGXFSZ, SIG_IGN);
		rlimit limit{5, 5};
		setrlimit(RLIMIT_FSIZE, &limit);
		geometry_width = 0;
		store_geometry(800, 600);
		_exit(0);
	}
	int status = -1;
	waitpid(child, &status, 0);
	ASSERT_EQ(status, 0);
	EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(Geometry, SaveWritesTheWindowSize)
{
	main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_default_size(GTK_WINDOW(main_window), 600, 300);
	geometry_width = 400;
	geometry_height = 480;
	save_geometry();
	EXPECT_EQ(read(), "geometry=600,300\n");
	gtk_widget_destroy(main_window);
	main_window = nullptr;
}
