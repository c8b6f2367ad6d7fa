// Undo Change and Reset to Default on a row, and Ctrl+Z, which undoes the latest change still pending.
#include "gui/undo.h"

#include "edit/undo.h"
#include "gui/editing.h"
#include "gui/main_window.h"
#include "gui/save_quit.h"

#include <string>

namespace {

// The entry named name in either array, or nullptr; *knob tells which.
rc_entry *window_entry(const char *name, bool *knob)
{
	int index = find_entry(gui_knobs, gui_knob_count, name);
	*knob = index >= 0;
	if (index >= 0)
		return &gui_knobs[index];
	index = find_entry(gui_strings, gui_string_count, name);
	return index >= 0 ? &gui_strings[index] : nullptr;
}

// An entry added here never reached the file: undoing it leaves nothing behind.
void take_away(rc_entry &entry, bool knob)
{
	GtkListStore *store = knob ? knob_store : string_store;
	GtkTreeIter iter;
	if (find_row(store, field_text(entry.name), &iter))
		gtk_list_store_remove(store, &iter);
	rc_entry *entries = knob ? gui_knobs : gui_strings;
	remove_entry(entries, knob ? &gui_knob_count : &gui_string_count, static_cast<int>(&entry - entries));
	pending_changes--;
	gtk_widget_set_sensitive(save_button, pending_changes > 0);
}

bool still_changed(const std::string &name)
{
	bool knob = false;
	const rc_entry *entry = window_entry(name.c_str(), &knob);
	return entry != nullptr && may_undo(*entry);
}

} // namespace

bool may_undo(const rc_entry &entry)
{
	return entry.modified == 1 && !is_locked(entry);
}

bool may_reset(const rc_entry &entry)
{
	rc_entry reset;
	return !is_locked(entry) && with_default(entry, &reset);
}

void undo_change(const char *name)
{
	bool knob = false;
	rc_entry *entry = window_entry(name, &knob);
	if (entry == nullptr || !may_undo(*entry))
		return;
	if (entry->is_new != 0)
		take_away(*entry, knob);
	else if (knob)
		set_knob(*entry, entry->saved_knob_on != 0);
	else
		set_value(*entry, field_text(entry->saved_value));
}

void reset_to_default(const char *name)
{
	bool knob = false;
	rc_entry *entry = window_entry(name, &knob);
	rc_entry reset;
	if (entry == nullptr || is_locked(*entry) || !with_default(*entry, &reset))
		return;
	if (knob) {
		set_knob(*entry, reset.knob_on != 0);
		return;
	}
	std::string value(field_text(reset.value));
	// The question runs a main loop, in which the arrays may move.
	if (may_run_at_boot(main_window, name, value) && (entry = window_entry(name, &knob)) != nullptr)
		set_value(*entry, value);
}

gboolean on_undo_accel_activate(GtkAccelGroup *, GObject *, guint, GdkModifierType, gpointer)
{
	if (save_running() || !finish_value_edit())
		return TRUE;
	std::string name = take_last_change(still_changed);
	if (name.empty()) {
		gtk_widget_error_bell(main_window);
		return TRUE;
	}
	bool knob = false;
	bool added = window_entry(name.c_str(), &knob)->is_new != 0;
	undo_change(name.c_str());
	// The row of an added entry is gone: its tab shows where it was.
	if (added)
		gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), knob ? knobs_page : strings_page);
	else
		go_to_entry(name.c_str(), false);
	return TRUE;
}
