// Names to add: the defaults' commented-out samples with their values and comments, and this machine's interfaces.
#include "boot/addable_names.h"
#include "boot/load.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <map>
#include <string>

TEST(AddableNames, SamplesOfTheDefaultsAndTheInterfaces)
{
	scratch_folder dir;
	std::string path = (dir.path / "defaults").string();
	write_whole(path, "#kld_list=\"\"\t\t# Kernel modules to load\n"
			  "#geli_devices=\"da1 mirror/home\"\n"
			  "#geli_devices=\"second\"\n"
			  "# Set this to YES=good\n"
			  "#bad=\"open\n"
			  "#after_bad=YES # a knob\n"
			  "  #indented=\"x\"\n"
			  "#1x=2\n"
			  "hostname=\"\"\n");
	owned_lists lists;
	ASSERT_EQ(load_settings(path.c_str(), "/nonexistent/rc.conf", &lists), 0);
	std::map<std::string, std::string> found;
	for (const rc_entry &e : addable_names(false))
		found[e.name] = (e.is_knob ? std::string(e.knob_on ? "YES" : "NO") : std::string(field_text(e.value))) + "|" +
				std::string(field_text(e.comment));
	EXPECT_EQ(found, (std::map<std::string, std::string>{{"after_bad", "YES| a knob"},
							    {"geli_devices", "\"da1 mirror/home\"|"},
							    {"kld_list", "\"\"| Kernel modules to load"}}));

	ifaddrs *interfaces = nullptr;
	ASSERT_EQ(getifaddrs(&interfaces), 0);
	std::vector<rc_entry> with = addable_names(true);
	for (const ifaddrs *i = interfaces; i != nullptr; i = i->ifa_next) {
		std::string name = std::string("ifconfig_") + i->ifa_name;
		if (name.find_first_of(".-") != std::string::npos)
			name.replace(name.find_first_of(".-"), 1, "_");
		bool listed = false;
		for (const rc_entry &e : with)
			listed = listed || name == e.name;
		EXPECT_TRUE(listed) << name;
	}
	freeifaddrs(interfaces);
}
