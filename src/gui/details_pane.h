// The details of the selected row, under the lists: what it means, where it is set, its default and its value at boot.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

#include <string>

// The area, shown or hidden as expanded says.
GtkWidget *new_details_pane(bool expanded);

// Shows what is known of entry, or nothing for nullptr.
void show_details(const rc_entry *entry);

// The text the area shows for entry, one fact a line, in the window's language.
std::string details_text(const rc_entry &entry);

// 1 while the user keeps the area open, 0 when closed, -1 when there is none.
int details_shown();

// Reads the installed rc.conf(5) now, unless it has been read.
void read_manual();

// The type rc.conf(5), or the header of the service's script, gives entry:
// "bool", "int", "str" and the like, "" for none. The page is read at the
// first call with read_page; until then it gives nothing without.
std::string type_of(const rc_entry &entry, bool read_page = true);

// Whether the boot will not read entry's value as meant (value_warnings.h),
// by the type rc.conf(5) gives once it has been read.
bool has_warning(const rc_entry &entry);
