// Entry of the GUI tests: the toolkit needs a display before any widget exists.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
	testing::InitGoogleTest(&argc, argv);
	// The accessibility layer, as a screen reader loads it: its signals must
	// find no widget gone.
	setenv("GTK_MODULES", "gail", 1);
	// Listing the tests happens at build time, where there may be no display.
	if (!GTEST_FLAG_GET(list_tests) && !gtk_init_check(&argc, &argv)) {
		std::fprintf(stderr, "gui_tests: cannot open the display (is DISPLAY set?)\n");
		return 1;
	}
	return RUN_ALL_TESTS();
}
