// The samples of the defaults file and this machine's network interfaces, as names the user may add.
#include "boot/addable_names.h"

#include "boot/merge.h"
#include "boot/samples.h"

#include <algorithm>
#include <ifaddrs.h>
#include <set>
#include <string>

namespace {

// The variable an interface is configured by: network.subr writes the
// dots and dashes of vlan0.100 or tap-1 as underscores.
std::string interface_variable(const char *interface)
{
	std::string name = std::string("ifconfig_") + interface;
	for (char &c : name)
		c = c == '.' || c == '-' ? '_' : c;
	return std::all_of(name.begin(), name.end(), is_name_char) ? name : "";
}

} // namespace

std::vector<rc_entry> addable_names(bool with_interfaces)
{
	std::vector<rc_entry> names = read_samples();
	std::set<std::string> taken;
	for (const rc_entry &sample : names)
		taken.insert(std::string(field_text(sample.name)));
	ifaddrs *interfaces = nullptr;
	if (with_interfaces && getifaddrs(&interfaces) == 0) {
		for (const ifaddrs *i = interfaces; i != nullptr; i = i->ifa_next) {
			std::string name = i->ifa_name != nullptr ? interface_variable(i->ifa_name) : "";
			if (name.empty() || !taken.insert(name).second)
				continue;
			rc_entry entry{};
			copy_field(entry.name, name);
			names.push_back(entry);
		}
		freeifaddrs(interfaces);
	}
	sort_entries(names.data(), static_cast<int>(names.size()));
	return names;
}
