// Undoing a row's change, resetting a row to its default, and Ctrl+Z.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

// Whether entry holds a change that Undo Change may take back.
bool may_undo(const rc_entry &entry);

// Whether Reset to Default may give entry its default.
bool may_reset(const rc_entry &entry);

// Takes the entry named name back to its state or value as last read or
// saved; one added here and never saved goes, row and all.
void undo_change(const char *name);

// Gives the entry named name its default's state or value, as a change to save.
void reset_to_default(const char *name);

// Ctrl+Z: once a value being typed is taken, undoes the latest change still
// pending, in either tab, and selects its row in front.
gboolean on_undo_accel_activate(GtkAccelGroup *group, GObject *window, guint key, GdkModifierType mods, gpointer data);
