// Tests of asking the boot shell whether appended lines would be read on their own.
#include "rcfile/shell_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

// Texts far longer than a pipe holds need both sides to take turns; without
// the shell's answer there is no check, and a save must not go on.
TEST(ShellCheck, LongTextsAreJudgedAndShellsWithoutAnAnswerFail)
{
	char pattern[] = "/tmp/kelvane-shell-XXXXXX";
	std::string dir = mkdtemp(pattern);
	std::string hanging = dir + "/hanging";
	std::ofstream(hanging) << "#!/bin/sh\nexec sleep 30\n";
	chmod(hanging.c_str(), 0755);
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
	};
	for (const auto &c : cases) {
		std::string words;
		auto start = std::chrono::steady_clock::now();
		EXPECT_EQ(check_top_level(c.text, c.shell.c_str(), c.limit_ms, words), c.result) << c.shell;
		EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.shell;
		struct sigaction after {};
		sigaction(SIGPIPE, nullptr, &after);
		EXPECT_EQ(after.sa_handler, SIG_DFL);
	}
	// The killed shell was waited for: no child is left.
	EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
	std::filesystem::remove_all(dir);
}

} // namespace
