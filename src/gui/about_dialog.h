// The About dialog.
#pragma once

#include <gtk/gtk.h>

void on_about_clicked(GtkButton *button, gpointer data);
