// The "Show:" choice above the tabs: every variable, those set on this machine, or those changed from their defaults.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

// The rows each choice shows.
enum class shown_rows { all, set_here, changed };

// The label and the combo box, with all variables chosen.
GtkWidget *new_show_choice();

// The choice now.
shown_rows shown_choice();

// Whether the machine's own files (its rc.conf, the files read after it,
// rc.conf.d) set entry: what sysrc -a lists.
bool set_on_machine(const rc_entry &entry);

// Whether entry's value at boot differs from its default's, or it has none.
bool changed_from_default(const rc_entry &entry);

// Whether entry has a row under the choice; a row changed here keeps it.
bool row_shown(const rc_entry &entry);
