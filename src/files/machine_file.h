// The machine's rc.conf: where Save appends, and whether this user may.
#pragma once

// The machine's rc.conf.
constexpr const char *default_rc_path = "/etc/rc.conf";

// The path saves go to: KELVANE_RC when set (even empty), else default_rc_path
// under the system root.
const char *local_rc_path();

// Whether this user may save to path, judged without opening it: read and
// append to it, a regular file, or make it in its folder.
bool may_append(const char *path);
