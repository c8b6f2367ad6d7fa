// The "Add new entry" window.
#pragma once

#include <gtk/gtk.h>

extern gboolean add_window_open; // set while the newest add window waits for an answer

void on_add_clicked(GtkButton *button, gpointer data);
