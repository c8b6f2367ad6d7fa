// The "Show:" choice above the tabs: every variable, those set on this machine, or those changed from their defaults.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

// The label and the combo box, with all variables chosen.
GtkWidget *new_show_choice();

// Whether entry has a row under the choice; a row changed here keeps it.
bool row_shown(const rc_entry &entry);
