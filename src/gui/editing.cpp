// Toggling knobs, editing string values, the change counter's rules, and the status bar comment.
#include "gui/editing.h"

#include "gui/main_window.h"
#include "rcfile/shell_text.h"

#include <cstring>

#include <string>

namespace {

// Rows know their entry by name only: the user may have re-sorted the store.
int entry_of_row(GtkTreeModel *model, GtkTreeIter *iter, const rc_entry *entries, int count)
{
	gchar *name = nullptr;
	gtk_tree_model_get(model, iter, column_name, &name, -1);
	int index = name != nullptr ? find_entry(entries, count, name) : -1;
	g_free(name);
	return index;
}

// Save follows the counter: sensitive after a counted change, insensitive once nothing is pending.
void show_mark(GtkListStore *store, GtkTreeIter *iter, edit_mark mark)
{
	switch (mark) {
	case edit_mark::set:
		gtk_widget_set_sensitive(save_button, TRUE);
		gtk_list_store_set(store, iter, column_mark, change_mark, -1);
		break;
	case edit_mark::cleared:
		if (pending_changes == 0)
			gtk_widget_set_sensitive(save_button, FALSE);
		gtk_list_store_set(store, iter, column_mark, "", -1);
		break;
	case edit_mark::kept:
		break;
	}
}

// The status bar holds at most one message: the comment of the row selected last.
void show_comment(GtkTreeSelection *selection, const rc_entry *entries, int count)
{
	GtkStatusbar *bar = GTK_STATUSBAR(status_bar);
	if (info_context_id != 0)
		gtk_statusbar_pop(bar, info_context_id);
	guint context = gtk_statusbar_get_context_id(bar, "Info");
	GtkTreeModel *model = nullptr;
	GtkTreeIter iter;
	// An emptied selection leaves the bar empty.
	if (gtk_tree_selection_get_selected(selection, &model, &iter)) {
		int index = entry_of_row(model, &iter, entries, count);
		if (index >= 0) {
			std::string comment(field_text(entries[index].comment));
			gtk_statusbar_push(bar, context, comment.c_str());
		}
	}
	info_context_id = context;
}

} // namespace

int find_entry(const rc_entry *entries, int count, const char *name)
{
	for (int i = 0; i < count; i++) {
		if (names_equal(entries[i].name, name))
			return i;
	}
	return -1;
}

std::string_view first_line(std::string_view text)
{
	return text.substr(0, text.find_first_of("\r\n"));
}

bool knob_differs(const rc_entry &entry)
{
	return entry.knob_on != 0 ? entry.saved_knob_on == 0 : entry.saved_knob_on == 1;
}

bool value_differs(const rc_entry &entry)
{
	return !names_equal(entry.value, entry.saved_value) || entry.is_new != 0;
}

edit_mark count_edit(rc_entry &entry, bool differs, int *pending)
{
	if (differs) {
		if (entry.modified == 0)
			++*pending;
		entry.modified = 1;
		return edit_mark::set;
	}
	// An added entry stays to be written until it is saved, whatever its state.
	if (entry.is_new != 0)
		return edit_mark::kept;
	if (entry.modified == 1)
		--*pending;
	entry.modified = 0;
	return edit_mark::cleared;
}

void on_knob_toggled(GtkCellRendererToggle *, gchar *path, gpointer)
{
	GtkTreeModel *model = GTK_TREE_MODEL(knob_store);
	GtkTreeIter iter;
	if (!gtk_tree_model_get_iter_from_string(model, &iter, path))
		return;
	gboolean was_on = FALSE;
	gtk_tree_model_get(model, &iter, column_state, &was_on, -1);
	int index = entry_of_row(model, &iter, gui_knobs, gui_knob_count);
	if (index < 0)
		return;
	rc_entry &entry = gui_knobs[index];
	gtk_list_store_set(knob_store, &iter, column_state, was_on ? FALSE : TRUE, -1);
	entry.knob_on = was_on ? 0 : 1;
	show_mark(knob_store, &iter, count_edit(entry, knob_differs(entry), &pending_changes));
}

void on_string_edited(GtkCellRendererText *, gchar *path, gchar *new_text, gpointer)
{
	GtkTreeModel *model = GTK_TREE_MODEL(string_store);
	GtkTreeIter iter;
	if (!gtk_tree_model_get_iter_from_string(model, &iter, path))
		return;
	std::string text(first_line(new_text != nullptr ? new_text : ""));
	// The row and the entry keep their old value when sh could not read the new one.
	char stored[field_size];
	copy_value(stored, text);
	if (!shell_text_is_closed(field_text(stored))) {
		run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, "%s", open_quote_message);
		return;
	}
	gtk_list_store_set(string_store, &iter, column_state, text.c_str(), -1);
	int index = entry_of_row(model, &iter, gui_strings, gui_string_count);
	if (index < 0)
		return;
	rc_entry &entry = gui_strings[index];
	std::memcpy(entry.value, stored, field_size);
	show_mark(string_store, &iter, count_edit(entry, value_differs(entry), &pending_changes));
}

void on_knob_selection_changed(GtkTreeSelection *selection, gpointer)
{
	show_comment(selection, gui_knobs, gui_knob_count);
}

void on_string_selection_changed(GtkTreeSelection *selection, gpointer)
{
	show_comment(selection, gui_strings, gui_string_count);
}
