// Tests of which files the boot reads after the machine's rc.conf.
#include "rcfile/load.h"

#include "owned_lists.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The files read after rc_path, joined by blanks, for the defaults text.
std::string after(std::string_view defaults, const char *rc_path)
{
	owned_lists lists(defaults);
	std::string joined;
	for (const std::string &file : files_read_after(lists, rc_path))
		joined += (joined.empty() ? "" : " ") + file;
	return joined;
}

} // namespace

// A machine's file that the list does not hold takes the place of
// /etc/rc.conf there; each file is read once; a word that expands something
// names no file known here.
TEST(Load, FilesReadAfterTheMachinesFile)
{
	const std::string files = "rc_conf_files=\"/etc/rc.conf /etc/rc.conf.local\"\n";
	EXPECT_EQ(after(files, "/etc/rc.conf"), "/etc/rc.conf.local");
	EXPECT_EQ(after(files, "/tmp/copy/rc.conf"), "/etc/rc.conf.local");
	EXPECT_EQ(after(files, "/etc/rc.conf.local"), "");
	EXPECT_EQ(after("rc_conf_files=\"/a /etc/rc.conf /b\t/b $x/c /etc/rc.conf /d\"\n", "/etc/rc.conf"), "/b /d");
	EXPECT_EQ(after("rc_conf_files=\"/a /b\"\n", "/tmp/rc.conf"), "");
	EXPECT_EQ(after("x=1\n", "/etc/rc.conf"), "");
}
