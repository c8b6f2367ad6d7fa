// The services of the machine's rc.d scripts, and the rc.conf.d files the boot reads when each starts.
#pragma once

#include "boot/service_script.h"
#include "model/rc_entry.h"

#include <string>
#include <vector>

// The scripts the boot runs, each read, never run: every executable regular
// file of base_dir, and in each of local_dirs those holding a line
// "# PROVIDE:", in name order, leaving out the names rc leaves out. A script
// that cannot be read, or whose name or rcvar cannot be known, is passed over.
std::vector<service_script> read_services(const std::string &base_dir, const std::vector<std::string> &local_dirs);

// Lays over merged what the boot gives each service's own variables when
// it starts: the script's defaults and its rc.conf.d files (in the
// rc.conf.d folders of dirs) in the script's order, and an rcvar that nothing
// sets as a knob that is off. The scripts and files are added to sources()
// and the services kept for loaded_services(). Returns 0, or -1 with errno
// set when memory runs out.
int lay_services(rc_lists *merged, std::vector<service_script> services, const std::vector<std::string> &dirs);

// What a service says of one of its variables: of its rcvar its desc, else
// the header note; of another its header note, else desc; "" when unknown.
std::string describe_variable(const std::string &service, const std::string &variable);

// The services the last load read, and the one whose name is name (nullptr for none).
const std::vector<service_script> &loaded_services();
const service_script *service_named(const std::string &name);
