// Asking the boot shell whether lines appended to rc.conf would be read as commands of their own.
#pragma once

#include <string>
#include <string_view>

// The shell that runs rc.conf at boot, and so the one that judges it.
constexpr const char *boot_shell = "/bin/sh";

// How long the shell may take over each of its two readings, in milliseconds.
constexpr int shell_time_limit_ms = 5000;

// Results of check_top_level.
enum {
	ends_at_top_level = 0,  // appended lines are read as commands of their own
	shell_refuses = -1,     // the shell stops at an error; words holds what it said
	ends_inside = -2,       // text ends inside a here-document or a continued line
	shell_not_started = -3, // the shell could not be started
	shell_silent = -4,      // the shell did not answer within the limit and was killed
	shell_unsound = -5,     // it refuses an empty script or takes a lone fi: it cannot judge text
};

// Runs "shell -n" on text, which must pass, then on text followed by a line
// holding only "fi", which must fail: at the top level a lone fi is an error,
// inside a here-document or after a backslash it is swallowed. Before text
// is blamed, the shell must pass an empty script and refuse a lone fi.
// Returns one of the results above; words gets what the shell wrote when it
// refused text. while_waiting, when given, is called at least every
// wait_slice_ms while the shell works.
int check_top_level(std::string_view text, const char *shell, int limit_ms, std::string &words,
		    void (*while_waiting)() = nullptr);

// The longest the check goes without calling while_waiting, in milliseconds.
constexpr int wait_slice_ms = 10;
