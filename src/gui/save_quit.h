// Saving the changes, what Save would write, and the two ways out of the main window.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

// changes one a line, as name: "old" -> "new", as the Save tip lists them:
// the first few, then how many more.
std::string listed_changes(const std::vector<rc_entry> &changes);

// Whether a save is under way: its check runs the main loop while the shell works.
bool save_running();

// The Save button's tip: the changes it would write now, one a line.
gboolean on_save_button_query_tooltip(GtkWidget *button, gint x, gint y, gboolean keyboard, GtkTooltip *tooltip,
				      gpointer data);

// Appends every modified entry to the local rc.conf and tells the user the
// outcome, with the lines written when they were.
void on_save_clicked(GtkButton *button, gpointer data);

// Ends the main loop, asking first when changes are pending, which the
// question lists; its Save saves them and ends the loop if that succeeds.
void on_quit_clicked(GtkButton *button, gpointer data);

// The window manager's close: FALSE lets the window go, TRUE keeps it.
gboolean on_delete_event(GtkWidget *widget, GdkEvent *event, gpointer data);

// The main window is going away: keeps its size and ends the main loop.
void on_destroy(GtkWidget *widget, gpointer data);
