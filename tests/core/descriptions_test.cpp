// The defaults' description of each variable: the comment beside it and the indented lines going on with it.
#include "boot/descriptions.h"
#include "boot/load.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <string>

TEST(Descriptions, GoOnOverIndentedCommentLinesUntilASectionOpens)
{
	scratch_folder dir;
	std::string path = (dir.path / "defaults").string();
	write_whole(path, "rtsold_enable=\"NO\"\t# Set to YES to enable an IPv6 router\n"
			  "\t\t\t# solicitation daemon.\n"
			  "ntpd_enable=\"NO\"\t# Run ntpd.\n"
			  "\t# Only the first of a name counts.\n"
			  "hostname=\"\"\t\t# Set this!\n"
			  "\n"
			  "\t\t# after a blank line\n"
			  "a=1 # a's\n"
			  "b=2 # b's, not a's\n"
			  "\t\t# b's too\n"
			  "#############\n"
			  "\t\t# after a separator\n"
			  "c=3 # c's\n"
			  "# a new section\n"
			  "d=4\n"
			  "\t\t# no comment to go on with\n"
			  "ntpd_enable=\"YES\" # not the first\n"
			  "e=5; f=6 # f's\n");
	owned_lists lists;
	ASSERT_EQ(load_settings(path.c_str(), "/nonexistent/rc.conf", &lists), 0);
	for (auto [name, text] : {std::pair{"rtsold_enable", "Set to YES to enable an IPv6 router solicitation daemon."},
				  {"ntpd_enable", "Run ntpd. Only the first of a name counts."},
				  {"hostname", "Set this!"},
				  {"a", "a's"},
				  {"b", "b's, not a's b's too"},
				  {"c", "c's"},
				  {"d", ""},
				  {"e", ""},
				  {"f", "f's"}})
		EXPECT_EQ(description_of(name), text) << name;
}
