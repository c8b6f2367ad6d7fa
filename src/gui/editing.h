// Toggling knobs, editing strings, and showing the selected row's comment.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

#include <string>
#include <string_view>

// What an edit leaves on its row: the change mark set, taken away, or left alone.
enum class edit_mark { set, cleared, kept };

// Whether a knob's current state counts as a change against its saved state.
bool knob_differs(const rc_entry &entry);

// Whether a string's current value counts as a change: it differs from the
// saved value, or the entry was added and never saved.
bool value_differs(const rc_entry &entry);

// Applies the counter rules to an entry just edited: sets or clears modified,
// moves *pending by the entry's change, and puts the entry last in the order
// of changes while it stays one. Returns what the row's mark becomes.
edit_mark count_edit(rc_entry &entry, bool differs, int *pending);

// Whether entry may not be changed here: a later file or an rc.conf.d file
// sets it, its value is kept as written or too long, or the window is read-only.
bool is_locked(const rc_entry &entry);

// The index of the entry of a row of knob_store in gui_knobs, or of
// string_store in gui_strings; -1 for none. Rows know their entry by name
// only: the user may have re-sorted the store.
int entry_of_row(GtkTreeModel *model, GtkTreeIter *iter);

// Finds the row of store that shows the entry named name; false when none does.
bool find_row(GtkListStore *store, std::string_view name, GtkTreeIter *iter);

// Gives a knob entry the state on, on its row too, and counts the change.
void set_knob(rc_entry &entry, bool on);

// Gives a string entry value, one check_value accepts, on its row too, and counts the change.
void set_value(rc_entry &entry, std::string_view value);

// The check box of a knob row was clicked: flips the knob and counts the change.
void on_knob_toggled(GtkCellRendererToggle *renderer, gchar *path, gpointer data);

// A Value cell was confirmed: stores the value the text makes (typed_value)
// when it may be written to rc.conf and counts the change; otherwise says why
// and opens the cell again holding the text.
void on_string_edited(GtkCellRendererText *renderer, gchar *path, gchar *new_text, gpointer data);

// A Value cell's editor opened: watches it so that its text is not lost, or
// refuses it when the value was too long to be read whole.
void on_value_editing_started(GtkCellRenderer *renderer, GtkCellEditable *editable, gchar *path, gpointer data);

// Takes the text of a Value cell still being edited as if confirmed with
// Enter. Returns false when a typed text was refused and waits to be
// corrected, true otherwise.
bool finish_value_edit();

// Whether value, about to be stored for the variable name, may stand: true
// unless it runs a command at boot and the user, asked over parent, says No.
bool may_run_at_boot(GtkWidget *parent, const char *name, const std::string &value);

// Puts the cursor on the row at path in view, which selects it, scrolled into
// sight with the list at its left edge, so the name shows beside a wide
// value; with edit, its state cell is opened for editing or activated.
void go_to_row(GtkWidget *view, GtkTreePath *path, bool edit);

// Brings the row of the entry named name to the front, selected; with edit,
// a string's value opened for editing.
void go_to_entry(const char *name, bool edit);

// Shows the comment of the selected row of the tab in front in the status
// bar, or nothing when none is selected.
void show_selected_comment();

// Space on a Knobs row toggles it; Enter on a Strings row opens its value for
// editing with the names still in sight. TRUE when the key was taken.
gboolean on_knob_view_key_press_event(GtkWidget *view, GdkEventKey *event, gpointer data);
gboolean on_string_view_key_press_event(GtkWidget *view, GdkEventKey *event, gpointer data);

// A Strings row activated (Enter in the search box, a double click): its value opens for editing.
void on_string_view_row_activated(GtkTreeView *view, GtkTreePath *path, GtkTreeViewColumn *column, gpointer data);

// The selection of either list changed: the status bar follows.
void on_knob_selection_changed(GtkTreeSelection *selection, gpointer data);
void on_string_selection_changed(GtkTreeSelection *selection, gpointer data);
