// Loading what the machine boots with: the defaults, the machine's file, the files read after it and the services.
#pragma once

#include "model/rc_entry.h"

#include <string>
#include <vector>

// Reads the defaults file, /etc/defaults/vendor.conf and the machine's
// file into merged (whose fields are all replaced), each laid over the ones
// before, then every file that rc_conf_files lists after the machine's
// file, as the boot reads them, then what the rc.d scripts and their
// rc.conf.d files give the services' variables; system paths are taken
// under the system root. Sorts both kinds by name; comments read are never
// written back. The files read are in sources(); the machine's file and the
// later ones are remembered (file_state.h) and the notes on files passed
// over start afresh (open_file.h). Returns 0, or -1 with errno set when
// memory runs out.
int load_settings(const char *defaults_path, const char *rc_path, rc_lists *merged);

// load_settings again, with the paths the last call was given, into merged,
// which holds no arrays yet.
int load_again(rc_lists *merged);

// The files of rc_conf_files that the boot reads after rc_path, under the
// system root. When rc_path is not in the list it stands in for
// /etc/rc.conf, whose place it takes.
std::vector<std::string> files_read_after(const rc_lists &merged, const char *rc_path);
