// Tests of asking the boot shell whether appended lines would be read on their own.
#include "shell/shell_check.h"

#include "scratch_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <signal.h>
#include <string>
#include <sys/wait.h>

namespace {

int waits; // calls of count_wait

void count_wait()
{
	waits++;
}

// Texts far longer than a pipe holds need both sides to take turns; without
// the shell's answer there is no check, and a save must not go on.
TEST(ShellCheck, LongTextsAreJudgedAndShellsWithoutAnAnswerFail)
{
	scratch_folder work;
	std::string dir = work.path.string(), hanging = dir + "/hanging", refusing = dir + "/refusing",
		    passing = dir + "/passing";
	write_script(hanging, "#!/bin/sh\nexec sleep 30\n");
	// Shells that say the same of every script: they cannot judge one.
	write_script(refusing, "#!/bin/sh\ncat >/dev/null; exit 2\n");
	write_script(passing, "#!/bin/sh\ncat >/dev/null\n");
	std::string lines;
	for (int i = 0; i < 40000; i++)
		lines += "a" + std::to_string(i) + "=\"value\"\n";
	const struct {
		std::string text, shell;
		int limit_ms, result;
	} cases[] = {
		{lines, boot_shell, shell_time_limit_ms, ends_at_top_level},
		{"fi\n" + lines, boot_shell, shell_time_limit_ms, shell_refuses}, // stops reading at once
		{lines + "cat <<EOF\n", boot_shell, shell_time_limit_ms, ends_inside},
		{"a=1\n", dir + "/missing", shell_time_limit_ms, shell_not_started},
		{"a=1\n", hanging, 300, shell_silent},
		{"a=1\n", refusing, shell_time_limit_ms, shell_unsound},
		{"a=1\n", passing, shell_time_limit_ms, shell_unsound},
	};
	for (const auto &c : cases) {
		std::string words;
		auto start = std::chrono::steady_clock::now();
		waits = 0;
		EXPECT_EQ(check_top_level(c.text, c.shell.c_str(), c.limit_ms, words, count_wait), c.result) << c.shell;
		// Whoever waits is called while the shell works, about once a slice.
		EXPECT_GE(waits, c.result == shell_silent ? c.limit_ms / wait_slice_ms / 3 : c.result != shell_not_started) << c.shell;
		EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.shell;
		struct sigaction after {};
		sigaction(SIGPIPE, nullptr, &after);
		EXPECT_EQ(after.sa_handler, SIG_DFL);
	}
	// The killed shell was waited for: no child is left.
	EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

} // namespace
