// Tests of reading and writing the remembered window size in ~/.kelvanerc.
#include "gui/geometry.h"
#include "gui/main_window.h"

#include "file_size_limit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Loads and stores in a child, which alarm() ends should either block, and
// says what became of the load.
std::string load_and_store_in_child()
{
	pid_t child = fork();
	if (child == 0) {
		alarm(10);
		load_geometry();
		bool fell_back = geometry_width == 0 && geometry_height == 480;
		store_geometry(640, 480);
		_exit(fell_back ? 0 : 1);
	}
	int status = -1;
	waitpid(child, &status, 0);
	if (WIFSIGNALED(status))
		return WTERMSIG(status) == SIGALRM ? "blocked" : "killed";
	return WEXITSTATUS(status) == 0 ? "default size" : "size read from it";
}

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

// The width is left to be measured, the height a default.
TEST_F(Geometry, UnusableFileGivesDefaultSize)
{
	load_geometry();
	expect_size(0, 480, "missing file");
	std::filesystem::create_directory(file);
	load_geometry();
	expect_size(0, 480, "directory");
	setenv("HOME", (home + "/missing").c_str(), 1);
	load_geometry();
	expect_size(0, 480, "missing home");
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
	write("geometry=800,600 and a longer tail\n");
	load_geometry();
	store_geometry(64, 48);
	EXPECT_EQ(read(), "geometry=64,48\n");
}

// Run as root with a user's HOME, the program must not read, wait on or write
// whatever that user puts at ~/.kelvanerc in place of a file of their own.
TEST_F(Geometry, OnlyOwnRegularFileIsUsed)
{
	namespace fs = std::filesystem;
	enum kind { link_to_file, dangling_link, hard_link, fifo, directory, foreign_file };
	struct kind_case {
		kind made;
		const char *what;
	};
	constexpr kind_case cases[] = {
		{link_to_file, "link to a file"}, {dangling_link, "dangling link"},
		{hard_link, "second name of a file"}, {fifo, "FIFO"},
		{directory, "directory"}, {foreign_file, "another user's file"},
	};
	const std::string line = "geometry=800,600\n";
	const std::string elsewhere = home + "/elsewhere";
	for (const kind_case &c : cases) {
		fs::remove_all(file);
		fs::remove(elsewhere);
		if (c.made == link_to_file || c.made == hard_link)
			std::ofstream(elsewhere) << line;
		switch (c.made) {
		case link_to_file:
		case dangling_link:
			fs::create_symlink(elsewhere, file);
			break;
		case hard_link:
			fs::create_hard_link(elsewhere, file);
			break;
		case fifo:
			ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
			break;
		case directory:
			fs::create_directory(file);
			break;
		case foreign_file:
			if (geteuid() != 0) {
				std::fprintf(stderr, "skipped \"%s\": only root can give a file away\n",
				             c.what);
				continue;
			}
			write(line);
			ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
			break;
		}
		fs::file_type type = fs::symlink_status(file).type();
		bool had_target = fs::exists(elsewhere);
		EXPECT_EQ(load_and_store_in_child(), "default size") << c.what;
		EXPECT_EQ(fs::symlink_status(file).type(), type) << c.what;
		EXPECT_EQ(fs::exists(elsewhere), had_target) << c.what;
		if (fs::is_regular_file(file)) {
			EXPECT_EQ(read(), line) << c.what;
		}
	}
}

TEST_F(Geometry, UnwritableTargetIsSilent)
{
	std::filesystem::create_directory(file);
	geometry_width = 0;
	store_geometry(800, 600);
	EXPECT_TRUE(std::filesystem::is_directory(file));
	std::filesystem::remove(file);
	{
		file_size_limit full(0);
		store_geometry(800, 600);
	}
	EXPECT_FALSE(std::filesystem::exists(file));
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

// Whether the details area is shown is remembered with the size: a file
// that says nothing of it shows it.
TEST_F(Geometry, DetailsShownOrHiddenAreRemembered)
{
	for (auto [text, shown] : {std::pair{"geometry=700,500\n", 1}, std::pair{"geometry=700,500\ndetails=0\n", 0},
				   std::pair{"geometry=700,500\ndetails=1\n", 1}}) {
		write(text);
		load_geometry();
		EXPECT_EQ(geometry_details, shown) << text;
		store_geometry(700, 500, 1 - shown);
		EXPECT_EQ(read(), shown ? "geometry=700,500\ndetails=0\n" : "geometry=700,500\n") << text;
	}
}
