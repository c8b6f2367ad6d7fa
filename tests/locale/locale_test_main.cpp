// Entry of the tests in one language, named by KELVANE_TEST_LOCALE (for
// example fr_FR.UTF-8; C.UTF-8 for the program's own English): a locale made
// for the run in a scratch folder named by LOCPATH, so that no root is
// needed, and the catalogues of the build folder.
#include "gui/i18n.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char **argv)
{
	testing::InitGoogleTest(&argc, argv);
	// Listing the tests happens at build time, where there may be no display.
	if (GTEST_FLAG_GET(list_tests))
		return RUN_ALL_TESTS();
	const char *chosen = std::getenv("KELVANE_TEST_LOCALE");
	std::string locale = chosen != nullptr ? chosen : "de_DE.UTF-8";
	char folder[] = "/tmp/kelvane-locale-XXXXXX";
	if (mkdtemp(folder) == nullptr)
		return 1;
	int made = 0;
	if (locale.rfind("C.", 0) != 0) {
		std::string language = locale.substr(0, locale.find('.'));
		made = std::system(("localedef -i " + language + " -f UTF-8 " + folder + "/" + locale).c_str());
		setenv("LOCPATH", folder, 1);
	}
	setenv("LC_ALL", locale.c_str(), 1);
	unsetenv("LANGUAGE");
	bindtextdomain(text_domain, KELVANE_BUILD_LOCALEDIR);
	bind_textdomain_codeset(text_domain, "UTF-8");
	textdomain(text_domain);
	int result = 1;
	// FreeBSD's localedef takes other arguments, but its base has the locale.
	if (made != 0 && std::setlocale(LC_ALL, "") == nullptr)
		std::fprintf(stderr, "locale_tests: localedef could not make %s\n", locale.c_str());
	else if (!gtk_init_check(&argc, &argv))
		std::fprintf(stderr, "locale_tests: cannot open the display (is DISPLAY set?)\n");
	else
		result = RUN_ALL_TESTS();
	std::filesystem::remove_all(folder);
	return result;
}
