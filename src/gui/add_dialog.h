// The "Add new entry" window.
#pragma once

#include "edit/new_entry.h"

#include <gtk/gtk.h>

extern gboolean add_window_open; // set while the add window exists; there is only ever one

// Builds and shows the add window, or brings the one open to the front.
void on_add_clicked(GtkButton *button, gpointer data);

