// The per-user file ~/.kelvanerc that remembers the main window's size.
//
// Text form, the only one written: "geometry=<width>,<height>\n", each number
// as fscanf's %i reads it, then "details=0\n" when the details area is
// hidden (a file without that line shows it). Raw form, still read: exactly
// 8 bytes, the width and the height as native 32-bit integers.
#include "gui/geometry.h"

#include "files/open_file.h"
#include "gui/details_pane.h"
#include "gui/main_window.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

int geometry_width;  // as loaded, 0 when HOME is unset or the file says nothing
int geometry_height;
int geometry_details = 1;

namespace {

constexpr const char *geometry_file_name = ".kelvanerc";
constexpr std::size_t path_size = 1024;
// When there is no usable file: the window measures a width for itself (0).
constexpr int default_width = 0;
constexpr int default_height = 480;
constexpr int largest_side = 32767; // beyond this the window would not open
constexpr off_t raw_form_length = 8;

// Forms $HOME/.kelvanerc, cut to fit. Returns -1 when HOME is unset.
int geometry_path(char (&path)[path_size])
{
	const char *home = std::getenv("HOME");
	if (home == nullptr)
		return -1;
	std::snprintf(path, sizeof path, "%s/%s", home, geometry_file_name);
	return 0;
}

void use_default_size()
{
	geometry_width = default_width;
	geometry_height = default_height;
}

void read_raw_form(int fd)
{
	std::int32_t sides[2];
	if (read(fd, sides, sizeof sides) != static_cast<ssize_t>(sizeof sides)) {
		use_default_size();
		return;
	}
	geometry_width = sides[0];
	geometry_height = sides[1];
}

// fscanf stores each number as it converts it, so a scan that stops after
// the width keeps the width.
void read_text_form(int fd)
{
	std::FILE *stream = fdopen(fd, "r");
	if (stream == nullptr) {
		close(fd);
		use_default_size();
		return;
	}
	int sides = std::fscanf(stream, "geometry=%i,%i", &geometry_width, &geometry_height);
	if (sides < 2 && std::ferror(stream))
		use_default_size();
	int details = 1;
	if (sides == 2 && std::fscanf(stream, " details=%i", &details) == 1)
		geometry_details = details == 0 ? 0 : 1;
	std::fclose(stream);
}

// A side the toolkit would refuse counts as unknown.
int usable_side(int side)
{
	return side < 0 || side > largest_side ? 0 : side;
}

// Reads the file into the two sides, or falls back to the default size. It
// is used only when it is the user's own regular file with no other name: run
// as root with a user's HOME, a link there would aim the write at any file,
// and a FIFO would hang the start or the quit.
void read_geometry_file(const char *path)
{
	int fd = open_own_file(path, O_RDONLY);
	if (fd == -1) {
		use_default_size();
		return;
	}
	off_t length = lseek(fd, 0, SEEK_END);
	if (length == -1 || lseek(fd, 0, SEEK_SET) == -1) {
		close(fd);
		use_default_size();
		return;
	}
	if (length == raw_form_length) {
		read_raw_form(fd);
		close(fd);
		return;
	}
	read_text_form(fd);
}

// A file left half-written would give a wrong size at the next start; without
// it the window opens at the default size. The stream is on the user's own
// regular file, so nothing else can be removed here.
void remove_if_damaged(const char *path, std::FILE *stream, int written)
{
	bool failed = written < 0 || std::ferror(stream);
	if (std::fclose(stream) != 0)
		failed = true;
	if (failed)
		unlink(path);
}

} // namespace

void load_geometry()
{
	geometry_width = 0;
	geometry_height = 0;
	geometry_details = 1;
	char path[path_size];
	if (geometry_path(path) == -1)
		return;
	read_geometry_file(path);
	geometry_width = usable_side(geometry_width);
	geometry_height = usable_side(geometry_height);
}

void store_geometry(int width, int height, int details)
{
	if (details == -1)
		details = geometry_details;
	if (width == geometry_width && height == geometry_height && details == geometry_details)
		return;
	char path[path_size];
	if (geometry_path(path) == -1)
		return;
	// Emptied only once known to be the user's own: O_TRUNC would empty
	// another user's file before the check.
	int fd = open_own_file(path, O_WRONLY | O_CREAT);
	if (fd == -1)
		return;
	if (ftruncate(fd, 0) == -1) {
		close(fd);
		return;
	}
	std::FILE *stream = fdopen(fd, "a");
	if (stream == nullptr) {
		close(fd);
		return;
	}
	int written = std::fprintf(stream, details != 0 ? "geometry=%i,%i\n" : "geometry=%i,%i\ndetails=0\n", width,
				   height);
	remove_if_damaged(path, stream, written);
}

void save_geometry()
{
	gint width = 0;
	gint height = 0;
	gtk_window_get_size(GTK_WINDOW(main_window), &width, &height);
	store_geometry(width, height, details_shown());
}
