// Keeping the changes not saved when Kelvane is ended from outside, and offering them at the next start.
#pragma once

// From now on SIGHUP, SIGTERM, SIGINT and a lost display write the changes
// pending to the recovery file before the program ends; nothing goes to rc.conf.
void keep_changes_when_ended();

// Ends the program as a signal that came during a save asked, now that the
// save is over; does nothing when none came.
void end_if_signalled();

// When changes to this machine's file were kept by an earlier run, lists
// those that pass the checks of typed ones and asks whether to bring them
// back as changes not yet saved (a command only when the user keeps it), or
// drop them; either removes them from the file. A file not to be trusted is
// not read, and the status bar says why.
void offer_recovery();
