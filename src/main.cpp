// Start-up: the command line, loading and merging both files, and the mode.
#include "boot/load.h"
#include "edit/delta_writer.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "version.h"

#include <gtk/gtk.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// The defaults' lists, merged with the machine's for the rest of the run. At
// file scope so that the arrays the window works on stay reachable to the end.
rc_lists merged = {};

constexpr const char *default_defaults_path = "/etc/defaults/rc.conf";

// glibc's getopt reorders arguments unless told not to; BSD's never does.
#ifdef __GLIBC__
constexpr const char *option_letters = "+cvhR:";
#else
constexpr const char *option_letters = "cvhR:";
#endif

void print_version()
{
	std::printf("%s %s\n", kelvane_name, kelvane_version);
	std::printf("Copyright (c) 2024-2026 The Kelvane developers. All rights reserved.\n");
	std::printf("Copyright (c) 2026 The Kelvane contributors. All rights reserved.\n");
	std::printf("Portions derive from the earlier Kelvane releases by the Kelvane developers.\n");
}

void print_usage()
{
	std::printf("usage: kelvane [-c] [-v] [-h] [-R dir]\n");
	std::printf("\t-c\tforce console mode\n");
	std::printf("\t-v\tshow version and exit\n");
	std::printf("\t-h\tshow this screen\n");
	std::printf("\t-R dir\tedit the system whose root is dir (a jail, a mounted disk)\n");
}

const char *env_or(const char *name, const char *fallback)
{
	const char *value = std::getenv(name);
	return value != nullptr ? value : fallback;
}

} // namespace

int main(int argc, char **argv)
{
	bool have_display = std::getenv("DISPLAY") != nullptr;
	bool window_mode = false;

	// -c and -R decide nothing: the first other option does.
	const char *root = nullptr;
	int option;
	while ((option = getopt(argc, argv, option_letters)) == 'c' || option == 'R') {
		if (option == 'c')
			have_display = false;
		else
			root = optarg;
	}
	if (option == 'v') {
		print_version();
		return 0;
	}
	if (option != -1) {
		print_usage();
		return 64;
	}
	if (root != nullptr && set_system_root(root) != 0) {
		std::fprintf(stderr, "kelvane: -R %s: %s\n", root, std::strerror(errno));
		return 1;
	}

	if (have_display) {
#ifdef KELVANE_NLS
		// The window speaks the user's language; the toolkit sets the locale.
		bindtextdomain(text_domain, KELVANE_LOCALEDIR);
		bind_textdomain_codeset(text_domain, "UTF-8");
		textdomain(text_domain);
#endif
		// The toolkit sees the program's name and what the options left.
		int gtk_argc = argc - optind + 1;
		char **gtk_argv = argv + optind - 1;
		gtk_argv[0] = argv[0];
		gtk_init(&gtk_argc, &gtk_argv);
		window_mode = true;
	}

	std::string rooted_defaults = under_root(default_defaults_path);
	const char *defaults_path = env_or("KELVANE_RC_DEFAULTS", rooted_defaults.c_str());
	const char *rc_path = local_rc_path();
	if (load_settings(defaults_path, rc_path, &merged) != 0) {
		std::perror("merge_lists()");
		return 1;
	}
	for (const read_note &note : read_notes())
		std::fprintf(stderr, "kelvane: %s\n", note_line(note).c_str());

	if (window_mode)
		build_main_window(&merged);
	return 0;
}
