// Toggling knobs, editing string values, the change counter's rules, and the status bar comment.
#include "gui/editing.h"

#include "boot/services.h"
#include "boot/sources.h"
#include "edit/delta_writer.h"
#include "edit/typed_value.h"
#include "edit/undo.h"
#include "gui/details_pane.h"
#include "gui/display_text.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "shell/value_check.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <initializer_list>
#include <string>

namespace {

// TRANSLATORS: %s is a variable's name.
constexpr const char *value_not_changed = N_("The value of %s was not changed");
constexpr const char *correct_or_escape = N_("Correct the text in the cell, or press Escape to keep the value it had.");
// TRANSLATORS: %s is a variable's name.
constexpr const char *value_locked = N_("The value of %s cannot be edited here");
constexpr const char *too_long_to_edit =
	N_("It is longer than 254 bytes. rc.conf keeps the value it holds; change it with a text editor.");
constexpr const char *as_written_to_edit = N_("It is written in a form that cannot be shown here as one quoted "
					      "text. rc.conf keeps the value it holds; change it with a text editor.");
// TRANSLATORS: %s is a variable's name.
constexpr const char *set_later_locked = N_("The variable %s cannot be changed here");
// TRANSLATORS: %1$s is the file that sets the variable, %2$s the local rc.conf.
constexpr const char *set_later_to_edit = N_("It is set in '%1$s', which is read after '%2$s' at boot, so a change "
					     "saved here would not count. Change it in '%1$s'.");
// TRANSLATORS: shown for a row whose value comes from a file read after rc.conf; %1$s is that file, %2$s rc.conf.
constexpr const char *set_later_note = N_("Set in '%1$s', which is read after '%2$s' at boot");
// TRANSLATORS: %1$s is an rc.conf.d file, %2$s the service that reads it, %3$s the local rc.conf.
constexpr const char *service_file_to_edit = N_("It is set in '%1$s', which is read when %2$s starts, after '%3$s', "
						"so a change saved here would not count. Change it in '%1$s'.");
// TRANSLATORS: shown for a row set in an rc.conf.d file; %1$s is that file, %2$s its service, %3$s rc.conf.
constexpr const char *service_file_note = N_("Set in '%1$s', which is read when %2$s starts, after '%3$s'");
// TRANSLATORS: shown for a row whose default an rc.d script gives; %s is the script.
constexpr const char *script_default_note = N_("Default from '%s'");
// TRANSLATORS: %s is the local rc.conf's path.
constexpr const char *read_only_to_edit = N_("You may not write '%s'. Run Kelvane as root to change it.");
// TRANSLATORS: %s is a variable's name.
constexpr const char *runs_at_boot = N_("The value of %s runs a command at every boot. Keep it?");
constexpr const char *runs_at_boot_detail = N_("Every rc.d script reads rc.conf, so the command runs as root "
					       "many times during each boot. Choose No to change the value.");

// The Value cell's editor while it is open, and our handlers on it.
GtkCellEditable *value_editor;
gulong editor_focus_out_id;
gulong editor_done_id;
gulong editor_popup_id;
gulong editor_changed_id;
std::string editor_row_text; // what the row showed when the editor opened
// The editor's context menu is up: the focus it takes is no end of the edit.
bool editor_menu_shown;

// The entry whose editor is being taken down, as it may not be edited.
std::string locked_name;

// A refused text waits here until its row's editor opens again.
bool reopen_pending;
std::string refused_name;
std::string refused_text;

int string_of_path(const gchar *path, GtkTreeIter *iter)
{
	GtkTreeModel *model = GTK_TREE_MODEL(string_store);
	if (!gtk_tree_model_get_iter_from_string(model, iter, path))
		return -1;
	return entry_of_row(model, iter);
}

// Save follows the counter: sensitive after a counted change, insensitive once nothing is pending.
void show_mark(GtkListStore *store, GtkTreeIter *iter, edit_mark mark, const rc_entry &entry)
{
	switch (mark) {
	case edit_mark::set:
		gtk_widget_set_sensitive(save_button, TRUE);
		gtk_list_store_set(store, iter, column_mark, change_mark, -1);
		break;
	case edit_mark::cleared:
		if (pending_changes == 0)
			gtk_widget_set_sensitive(save_button, FALSE);
		gtk_list_store_set(store, iter, column_mark, resting_mark(entry), -1);
		break;
	case edit_mark::kept:
		break;
	}
}

// What the status bar says of a row: its comment, or the description its
// service gives it; and the file that sets it when that is read after
// rc.conf, or the script that gives its default.
std::string row_note(const rc_entry &entry)
{
	std::string note = display_text(field_text(entry.comment));
	const source_file *file = source_of(entry);
	if (file == nullptr)
		return note;
	std::string path = display_text(file->path);
	std::string rc_path = display_text(local_rc_path());
	std::string text;
	switch (file->kind) {
	case source_kind::later:
		text = format_text(_(set_later_note), path.c_str(), rc_path.c_str());
		break;
	case source_kind::service_file:
		text = format_text(_(service_file_note), path.c_str(), display_text(file->service).c_str(), rc_path.c_str());
		break;
	case source_kind::script:
		note = display_text(describe_variable(file->service, entry.name));
		text = format_text(_(script_default_note), path.c_str());
		break;
	default:
		return note;
	}
	std::size_t words = note.find_first_not_of(" \t");
	return words == std::string::npos ? text : text + " \xE2\x80\x94 " + note.substr(words);
}

// Stops watching the editor; from here on the renderer alone ends it.
void forget_value_editor()
{
	if (value_editor == nullptr)
		return;
	g_signal_handler_disconnect(value_editor, editor_focus_out_id);
	g_signal_handler_disconnect(value_editor, editor_done_id);
	g_signal_handler_disconnect(value_editor, editor_popup_id);
	g_signal_handler_disconnect(value_editor, editor_changed_id);
	g_object_remove_weak_pointer(G_OBJECT(value_editor), reinterpret_cast<gpointer *>(&value_editor));
	value_editor = nullptr;
	editor_menu_shown = false;
	gtk_widget_set_sensitive(save_button, pending_changes > 0);
}

// A text being typed that differs from the row's is a change Save can take.
void on_value_editor_changed(GtkEditable *editor, gpointer)
{
	bool differs = editor_row_text != gtk_entry_get_text(GTK_ENTRY(editor));
	gtk_widget_set_sensitive(save_button, pending_changes > 0 || differs);
}

// The path of the row that shows the entry named name, or nullptr.
GtkTreePath *row_of_name(GtkListStore *store, std::string_view name)
{
	GtkTreeIter iter;
	return find_row(store, name, &iter) ? gtk_tree_model_get_path(GTK_TREE_MODEL(store), &iter) : nullptr;
}

gboolean on_reopen_idle(gpointer)
{
	if (GtkTreePath *path = row_of_name(string_store, refused_name)) {
		gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), strings_page);
		// The editor that opens here takes the refused text (on_value_editing_started).
		go_to_row(string_view, path, true);
		gtk_tree_path_free(path);
	}
	reopen_pending = false;
	return FALSE;
}

// The row's editor cannot open again while the refused one is still being
// taken down: that happens once the handlers have returned.
void reopen_with(const char *name, std::string_view text)
{
	refused_name = name;
	refused_text = text;
	if (!reopen_pending)
		g_idle_add(on_reopen_idle, nullptr);
	reopen_pending = true;
}

// Why a locked entry may not be changed here, translated.
std::string lock_message(const rc_entry &entry)
{
	if (read_only)
		return format_text(_(read_only_to_edit), display_text(local_rc_path()).c_str());
	if (set_later(entry)) {
		const source_file &file = *source_of(entry);
		std::string path = display_text(file.path);
		std::string rc_path = display_text(local_rc_path());
		if (file.kind == source_kind::service_file)
			return format_text(_(service_file_to_edit), path.c_str(), display_text(file.service).c_str(),
					   rc_path.c_str());
		return format_text(_(set_later_to_edit), path.c_str(), rc_path.c_str());
	}
	return (entry.value_lock & value_as_written) != 0 ? _(as_written_to_edit) : _(too_long_to_edit);
}

// Tells the user, in a message naming the variable, that it may not be changed here and why.
void show_lock(const rc_entry &entry)
{
	const char *text = entry.is_knob != 0 || set_later(entry) ? set_later_locked : value_locked;
	run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE,
		    format_text(_(text), display_text(field_text(entry.name)).c_str()), lock_message(entry));
}

gboolean on_cut_value_idle(gpointer editable)
{
	GtkCellEditable *editor = GTK_CELL_EDITABLE(editable);
	if (gtk_widget_get_parent(GTK_WIDGET(editor)) != nullptr) {
		g_object_set(editor, "editing-canceled", TRUE, nullptr);
		gtk_cell_editable_editing_done(editor);
		gtk_cell_editable_remove_widget(editor);
	}
	g_object_unref(editor);
	if (int index = find_entry(gui_strings, gui_string_count, locked_name.c_str()); index >= 0)
		show_lock(gui_strings[index]);
	return FALSE;
}

// The focus moving elsewhere in the window ends the edit. When the whole
// window loses the focus, the editor stays the window's focus widget and
// stays open until the user comes back; its context menu takes the focus too.
gboolean on_value_editor_focus_out(GtkWidget *editor, GdkEvent *, gpointer)
{
	GtkWidget *window = gtk_widget_get_toplevel(editor);
	bool window_left = GTK_IS_WINDOW(window) && gtk_window_get_focus(GTK_WINDOW(window)) == editor;
	if (!window_left && !editor_menu_shown)
		finish_value_edit();
	return FALSE;
}

// Escape, or the renderer ending the edit: nothing more to watch.
void on_value_editor_editing_done(GtkCellEditable *, gpointer)
{
	forget_value_editor();
}

void on_editor_menu_deactivate(GtkMenuShell *, gpointer)
{
	editor_menu_shown = false;
}

void on_value_editor_populate_popup(GtkEntry *, GtkMenu *menu, gpointer)
{
	editor_menu_shown = true;
	g_signal_connect(menu, "deactivate", G_CALLBACK(on_editor_menu_deactivate), nullptr);
}

// The entry and its row at iter take the state or value, and the change is counted.
void take_knob(rc_entry &entry, GtkTreeIter *iter, bool on)
{
	entry.knob_on = on ? 1 : 0;
	gtk_list_store_set(knob_store, iter, column_state, static_cast<gboolean>(on), -1);
	show_mark(knob_store, iter, count_edit(entry, knob_differs(entry), &pending_changes), entry);
	show_selected_comment();
}

void take_value(rc_entry &entry, GtkTreeIter *iter, std::string_view value)
{
	copy_field(entry.value, value);
	gtk_list_store_set(string_store, iter, column_state, shown_value(entry).c_str(), -1);
	show_mark(string_store, iter, count_edit(entry, value_differs(entry), &pending_changes), entry);
	show_selected_comment();
}

} // namespace

// Rows set by a later file, and values the file keeps as they are, are not
// changed here; in a read-only window no row is.
bool is_locked(const rc_entry &entry)
{
	return read_only || set_later(entry) || entry.value_lock != 0;
}

int entry_of_row(GtkTreeModel *model, GtkTreeIter *iter)
{
	bool knobs = model == GTK_TREE_MODEL(knob_store);
	return find_entry(knobs ? gui_knobs : gui_strings, knobs ? gui_knob_count : gui_string_count,
			  row_name(model, iter).c_str());
}

bool find_row(GtkListStore *store, std::string_view name, GtkTreeIter *iter)
{
	std::string wanted = display_text(name);
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	for (gboolean more = gtk_tree_model_get_iter_first(model, iter); more;
	     more = gtk_tree_model_iter_next(model, iter)) {
		if (wanted == row_name(model, iter))
			return true;
	}
	return false;
}

void set_knob(rc_entry &entry, bool on)
{
	GtkTreeIter iter;
	if (find_row(knob_store, field_text(entry.name), &iter))
		take_knob(entry, &iter, on);
}

void set_value(rc_entry &entry, std::string_view value)
{
	GtkTreeIter iter;
	if (find_row(string_store, field_text(entry.name), &iter))
		take_value(entry, &iter, value);
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
		note_change(field_text(entry.name));
		return edit_mark::set;
	}
	// An added entry stays to be written until it is saved, whatever its state.
	if (entry.is_new != 0) {
		note_change(field_text(entry.name));
		return edit_mark::kept;
	}
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
	int index = entry_of_row(model, &iter);
	if (index < 0)
		return;
	rc_entry &entry = gui_knobs[index];
	if (is_locked(entry)) {
		show_lock(entry);
		return;
	}
	take_knob(entry, &iter, !was_on);
}

void on_string_edited(GtkCellRendererText *, gchar *path, gchar *new_text, gpointer)
{
	forget_value_editor();
	GtkTreeIter iter;
	int index = string_of_path(path, &iter);
	if (index < 0)
		return;
	rc_entry &entry = gui_strings[index];
	std::string_view text = new_text != nullptr ? new_text : "";
	if (is_locked(entry)) {
		show_lock(entry);
		return;
	}
	// The text the row shows stands for the entry's own bytes, readable or not.
	if (text == shown_value(entry))
		return;
	std::string value = typed_value(text);
	value_fault fault = check_value(value);
	if (fault != value_fault::none) {
		std::string name = display_text(field_text(entry.name));
		run_message(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, format_text(_(value_not_changed), name.c_str()),
			    std::string(_(value_fault_text(fault))) + " " + _(correct_or_escape));
		reopen_with(entry.name, text);
		return;
	}
	if (!may_run_at_boot(main_window, entry.name, value)) {
		reopen_with(entry.name, text);
		return;
	}
	take_value(entry, &iter, value);
}

void on_value_editing_started(GtkCellRenderer *renderer, GtkCellEditable *editable, gchar *path, gpointer)
{
	GtkTreeIter iter;
	int index = string_of_path(path, &iter);
	if (index >= 0 && is_locked(gui_strings[index])) {
		locked_name = gui_strings[index].name;
		// The editor is only being set up: it is taken down once that is done.
		if (GTK_IS_EDITABLE(editable))
			gtk_editable_set_editable(GTK_EDITABLE(editable), FALSE);
		g_idle_add(on_cut_value_idle, g_object_ref(editable));
		return;
	}
	forget_value_editor();
	if (!GTK_IS_ENTRY(editable))
		return;
	if (reopen_pending) {
		gtk_entry_set_text(GTK_ENTRY(editable), refused_text.c_str());
		reopen_pending = false;
	}
	// The renderer's own answer to a focus-out is to throw the text away.
	g_signal_handlers_block_matched(editable, GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA),
					g_signal_lookup("focus-out-event", GTK_TYPE_WIDGET), 0, nullptr, nullptr,
					renderer);
	value_editor = editable;
	g_object_add_weak_pointer(G_OBJECT(editable), reinterpret_cast<gpointer *>(&value_editor));
	editor_row_text = index >= 0 ? shown_value(gui_strings[index]) : "";
	// After the entry's own handler, which stops its cursor blinking: a
	// message about the text runs a main loop before this handler returns.
	editor_focus_out_id =
		g_signal_connect_after(editable, "focus-out-event", G_CALLBACK(on_value_editor_focus_out), nullptr);
	editor_done_id = g_signal_connect(editable, "editing-done", G_CALLBACK(on_value_editor_editing_done), nullptr);
	editor_popup_id = g_signal_connect(editable, "populate-popup", G_CALLBACK(on_value_editor_populate_popup), nullptr);
	editor_changed_id = g_signal_connect(editable, "changed", G_CALLBACK(on_value_editor_changed), nullptr);
	on_value_editor_changed(GTK_EDITABLE(editable), nullptr);
}

void go_to_row(GtkWidget *view, GtkTreePath *path, bool edit)
{
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	gtk_widget_grab_focus(view);
	gtk_tree_view_set_cursor(tree, path, edit ? gtk_tree_view_get_column(tree, column_state) : nullptr, edit);
	gtk_tree_view_scroll_to_cell(tree, path, nullptr, FALSE, 0, 0);
	gtk_tree_view_scroll_to_point(tree, 0, -1);
}

bool may_run_at_boot(GtkWidget *parent, const char *name, const std::string &value)
{
	if (!runs_command(value))
		return true;
	std::string shown = display_text(name);
	return run_message_over(parent, GTK_MESSAGE_WARNING, GTK_BUTTONS_YES_NO,
				format_text(_(runs_at_boot), shown.c_str()), _(runs_at_boot_detail)) == GTK_RESPONSE_YES;
}

void go_to_entry(const char *name, bool edit)
{
	bool knob = find_entry(gui_knobs, gui_knob_count, name) >= 0;
	GtkTreePath *path = row_of_name(knob ? knob_store : string_store, name);
	if (path == nullptr)
		return;
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), knob ? knobs_page : strings_page);
	gtk_window_present(GTK_WINDOW(main_window));
	go_to_row(knob ? knob_view : string_view, path, edit && !knob);
	gtk_tree_path_free(path);
}

void show_selected_comment()
{
	GtkStatusbar *bar = GTK_STATUSBAR(status_bar);
	if (info_context_id != 0)
		gtk_statusbar_pop(bar, info_context_id);
	info_context_id = gtk_statusbar_get_context_id(bar, "Info");
	bool knobs = visible_view() == knob_view;
	const rc_entry *entries = knobs ? gui_knobs : gui_strings;
	GtkTreeModel *model = nullptr;
	GtkTreeIter iter;
	// No row selected in the tab in front leaves the bar and the details empty.
	const rc_entry *selected = nullptr;
	if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(visible_view())), &model, &iter)) {
		int index = entry_of_row(model, &iter);
		if (index >= 0) {
			selected = &entries[index];
			gtk_statusbar_push(bar, info_context_id, row_note(entries[index]).c_str());
		}
	}
	show_details(selected);
}

bool finish_value_edit()
{
	if (value_editor != nullptr) {
		// A message about the text runs a main loop, in which the view may
		// take the editor down itself.
		GtkCellEditable *editor = GTK_CELL_EDITABLE(g_object_ref(value_editor));
		forget_value_editor();
		gtk_cell_editable_editing_done(editor);
		if (gtk_widget_get_parent(GTK_WIDGET(editor)) != nullptr)
			gtk_cell_editable_remove_widget(editor);
		g_object_unref(editor);
	}
	return !reopen_pending;
}

namespace {

bool plain_key(const GdkEventKey *event, std::initializer_list<guint> keys)
{
	if ((event->state & gtk_accelerator_get_default_mod_mask()) != 0)
		return false;
	return std::find(keys.begin(), keys.end(), event->keyval) != keys.end();
}

// Activates the state cell of the cursor's row, as a click on it does: the
// handlers' own rules (read-only, locked rows) apply.
gboolean activate_cursor_row(GtkWidget *view)
{
	GtkTreePath *path = nullptr;
	gtk_tree_view_get_cursor(GTK_TREE_VIEW(view), &path, nullptr);
	if (path == nullptr)
		return FALSE;
	go_to_row(view, path, true);
	gtk_tree_path_free(path);
	return TRUE;
}

} // namespace

gboolean on_knob_view_key_press_event(GtkWidget *view, GdkEventKey *event, gpointer)
{
	return plain_key(event, {GDK_space, GDK_KP_Space}) ? activate_cursor_row(view) : FALSE;
}

gboolean on_string_view_key_press_event(GtkWidget *view, GdkEventKey *event, gpointer)
{
	return plain_key(event, {GDK_Return, GDK_KP_Enter, GDK_ISO_Enter}) ? activate_cursor_row(view) : FALSE;
}

void on_string_view_row_activated(GtkTreeView *, GtkTreePath *path, GtkTreeViewColumn *, gpointer)
{
	go_to_row(string_view, path, true);
}

void on_knob_selection_changed(GtkTreeSelection *, gpointer)
{
	show_selected_comment();
}

void on_string_selection_changed(GtkTreeSelection *, gpointer)
{
	show_selected_comment();
}
