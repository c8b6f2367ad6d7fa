// Toggling knobs, editing strings, and showing the selected row's comment.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

// Index of the first of the count entries whose name equals name, or -1.
int find_entry(const rc_entry *entries, int count, const char *name);

void on_knob_toggled(GtkCellRendererToggle *renderer, gchar *path, gpointer data);
void on_string_edited(GtkCellRendererText *renderer, gchar *path, gchar *new_text, gpointer data);
void on_knob_selection_changed(GtkTreeSelection *selection, gpointer data);
void on_string_selection_changed(GtkTreeSelection *selection, gpointer data);
