// Tests of the check that keeps an edited value from running into the next line.
#include "rcfile/shell_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

TEST(ShellText, ClosedValuesPass)
{
	for (const char *value : {"\"\"", "\"YES\"", "\"-a -b\"", "plain", "\"${kld_list} fuse\"",
				  "'single'", "\"it's\"", "\"a\\\"b\"", "\"`hostname`\"", ""})
		EXPECT_TRUE(shell_text_is_closed(value)) << value;
}

TEST(ShellText, OpenQuotesAndTrailingBackslashFail)
{
	for (const char *value : {"\"", "\"a\"b\"", "\"open", "'open", "\"a\\\"", "word\\", "\"`date\"",
				  "\"it's\"'"})
		EXPECT_FALSE(shell_text_is_closed(value)) << value;
}

namespace {

// What sh prints for "after" when value is assigned on the line before it.
std::string after_value(const std::string &value)
{
	char path[] = "/tmp/kelvane-shell-XXXXXX";
	int fd = mkstemp(path);
	std::string script = "v=" + value + "\nafter=ok\necho \"$after\"\n";
	bool written = fd >= 0 && write(fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
	if (fd >= 0)
		close(fd);
	std::string out;
	FILE *sh = written ? popen((std::string("sh ") + path + " 2>/dev/null").c_str(), "r") : nullptr;
	if (sh != nullptr) {
		char buffer[256];
		while (std::fgets(buffer, sizeof buffer, sh) != nullptr)
			out += buffer;
		pclose(sh);
	}
	unlink(path);
	return out;
}

} // namespace

// sh itself must agree: after a closed value the next assignment stands; after
// an open one it is swallowed or the file does not run.
TEST(ShellText, AgreesWithTheShell)
{
	for (const char *value : {"\"x y\"", "'a\"b'", "\"a'b\"", "\"q\\\"q\"", "\"`echo z`\""}) {
		ASSERT_TRUE(shell_text_is_closed(value)) << value;
		EXPECT_EQ(after_value(value), "ok\n") << value;
	}
	for (const char *value : {"\"", "\"a\"b\"", "word\\"}) {
		ASSERT_FALSE(shell_text_is_closed(value)) << value;
		EXPECT_NE(after_value(value), "ok\n") << value;
	}
}
