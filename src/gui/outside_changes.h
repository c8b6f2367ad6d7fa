// Noticing files that another program changed behind the window's back, and reading every file again.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

// Whether the files read are as they were. When one has changed, a dialog
// names it and offers Reload (reload_files) or Cancel. on_save: Save asks,
// and writes nothing then; otherwise a change the user has cancelled once is
// not asked about again. Returns true when nothing changed.
bool files_unchanged(bool on_save);

// After a save that another program's change undid: says text, what
// happened, then offers Reload or Cancel as files_unchanged does.
void offer_reload(const std::string &text, const std::string &happened);

// Reads every file again as start-up did, lays the changes pending over what
// they hold now, and fills the lists anew.
void reload_files();

// Lays changes kept from another run over the window's entries and fills the
// lists anew; false when memory ran out part way.
bool bring_back_changes(const std::vector<rc_entry> &changes);

// Shows in the status bar the files that the last reading passed over.
void show_read_notes();

// The main window has the focus again: looks for changed files once the event is over.
gboolean on_main_window_focus_in_event(GtkWidget *widget, GdkEventFocus *event, gpointer data);
