// The "Add new entry" window: its widgets, the checks of Apply and the new entry.
#include "gui/add_dialog.h"

#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "rcfile/value_check.h"

#include <gdk/gdkkeysyms.h>

#include <cstring>
#include <strings.h>

gboolean add_window_open = FALSE;

namespace {

// The widgets one add window's handlers work on. Every window has its own,
// so the buttons of an older window never reach a newer one.
struct add_form {
	GtkWidget *window;
	GtkWidget *name_entry;
	GtkWidget *value_entry;
	GtkWidget *comment_entry;
};

// The most recently built add window while it exists; add_window_open speaks
// for this window only, so closing an older one leaves the flag alone.
add_form *newest_form = nullptr;

struct fault_text {
	const char *text;   // nullptr for not_added, which names the variable
	const char *detail; // a %s takes the typed name; nullptr for the value check's own text
	GtkMessageType type;
};

// TRANSLATORS: %s is the name typed for the new variable.
constexpr const char *not_added = N_("The variable %s was not added");

// Indexed by add_fault.
constexpr fault_text fault_texts[] = {
	{N_("name and value cannot be empty"),
	 N_("Type the variable's name, and its value between double quotes, for example \"YES\"."), GTK_MESSAGE_ERROR},
	{N_("value must begin and end with \"."),
	 N_("Put the value of %s between double quotes, for example \"YES\" or \"-s\"."), GTK_MESSAGE_ERROR},
	{N_("Duplicated entry"), N_("An entry named %s is already in the list. Change it there, or choose another name."),
	 GTK_MESSAGE_WARNING},
	{nullptr, N_("The name, the value and the comment must each fit on one line."), GTK_MESSAGE_ERROR},
	{nullptr, N_("A name must begin with a letter and hold only letters, digits and _."), GTK_MESSAGE_ERROR},
	{nullptr, N_("The name and the comment must each fit in 254 bytes."), GTK_MESSAGE_ERROR},
	{nullptr, nullptr, GTK_MESSAGE_ERROR},
	{nullptr, N_("There is not enough memory. Close other programs, then press Apply again."), GTK_MESSAGE_ERROR},
};

constexpr int knobs_page = 0;
constexpr int strings_page = 1;
constexpr int border_width = 10;      // as the main window's
constexpr int entry_width_chars = 40; // room for a typical value at a glance

bool is_ascii_letter(char c)
{
	return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What /bin/sh takes as an assignment and the reader reads back.
bool is_variable_name(const char *name)
{
	if (!is_ascii_letter(name[0]))
		return false;
	for (const char *c = name + 1; *c != '\0'; c++) {
		if (!is_ascii_letter(*c) && !(*c >= '0' && *c <= '9') && *c != '_')
			return false;
	}
	return true;
}

bool has_line_break(const char *text)
{
	return std::strpbrk(text, "\r\n") != nullptr;
}

void show_fault(add_fault fault, const new_entry_text &typed)
{
	const fault_text &message = fault_texts[fault];
	std::string name = display_text(typed.name);
	std::string text = format_text(_(message.text != nullptr ? message.text : not_added), name.c_str());
	// The value check's texts hold % signs of their own: they are no format.
	std::string detail = message.detail != nullptr ? format_text(_(message.detail), name.c_str())
						       : _(value_fault_text(check_value(typed.value)));
	run_message(message.type, GTK_BUTTONS_CLOSE, text, detail);
}

// Puts the cursor on a row, wherever the list's order has put it, which
// selects it (its comment shows) and scrolls it into view.
void show_row(GtkWidget *view, GtkListStore *store, GtkTreeIter *row)
{
	GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(store), row);
	gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path, nullptr, FALSE);
	gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(view), path, nullptr, FALSE, 0, 0);
	gtk_tree_path_free(path);
}

// Files the entry at the end of its array and its list. Returns 0, or -1
// when the full array cannot grow (nothing changed then).
int add_entry(const new_entry_text &text)
{
	bool knob = is_knob_value(text.value);
	rc_entry **entries = knob ? &gui_lists->knobs : &gui_lists->strings;
	int *capacity = knob ? &gui_lists->knob_capacity : &gui_lists->string_capacity;
	int *count = knob ? &gui_knob_count : &gui_string_count;
	// A kind that neither file had starts with no room at all.
	if (grow_entries(entries, capacity, *count) != 0)
		return -1;
	gui_knobs = gui_lists->knobs;
	gui_strings = gui_lists->strings;

	rc_entry *entry = *entries + *count;
	fill_new_entry(entry, text);
	pending_changes++;
	gtk_widget_set_sensitive(save_button, TRUE);
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), knob ? knobs_page : strings_page);

	GtkListStore *store = knob ? knob_store : string_store;
	GtkTreeIter row = append_row(store, *entry, change_mark);
	(*count)++;
	show_row(knob ? knob_view : string_view, store, &row);
	return 0;
}

gboolean on_close_idle(gpointer window)
{
	gtk_widget_destroy(GTK_WIDGET(window));
	g_object_unref(window);
	return FALSE;
}

// The button that was pressed is still at work when its handler returns: a
// screen reader's press signals it afterwards. So the window goes out of sight
// now and is destroyed once that is over.
void close_form(add_form *form)
{
	gtk_widget_hide(form->window);
	g_idle_add(on_close_idle, g_object_ref(form->window));
}

void on_apply_clicked(GtkButton *, gpointer data)
{
	add_form *form = static_cast<add_form *>(data);
	if (form == newest_form)
		add_window_open = FALSE;
	new_entry_text text = {gtk_entry_get_text(GTK_ENTRY(form->name_entry)),
	                       gtk_entry_get_text(GTK_ENTRY(form->value_entry)),
	                       gtk_entry_get_text(GTK_ENTRY(form->comment_entry))};
	add_fault fault = check_new_entry(text, gui_knobs, gui_knob_count, gui_strings, gui_string_count);
	if (fault == add_ok && add_entry(text) != 0)
		fault = fault_no_memory;
	// The form may be gone once a message has run its own loop: return at once.
	if (fault != add_ok) {
		show_fault(fault, text);
		return;
	}
	close_form(form);
}

void on_cancel_clicked(GtkButton *, gpointer data)
{
	close_form(static_cast<add_form *>(data));
}

// Every way a window ends (Apply, Cancel, the window manager) comes here.
void on_add_window_destroy(GtkWidget *, gpointer data)
{
	add_form *form = static_cast<add_form *>(data);
	if (form == newest_form) {
		newest_form = nullptr;
		add_window_open = FALSE;
	}
	g_free(form);
}

// An entry of up to max_length characters, 0 for any number.
GtkWidget *framed_entry(const char *label, const char *text, int max_length, GtkWidget **entry)
{
	GtkWidget *frame = gtk_frame_new(label);
	*entry = gtk_entry_new();
	gtk_entry_set_max_length(GTK_ENTRY(*entry), max_length);
	gtk_entry_set_width_chars(GTK_ENTRY(*entry), entry_width_chars);
	// Enter in any field presses Apply.
	gtk_entry_set_activates_default(GTK_ENTRY(*entry), TRUE);
	gtk_entry_set_text(GTK_ENTRY(*entry), text);
	gtk_container_add(GTK_CONTAINER(frame), *entry);
	return frame;
}

} // namespace

add_fault check_new_entry(const new_entry_text &text, const rc_entry *knobs, int knob_count,
                          const rc_entry *strings, int string_count)
{
	if (text.name[0] == '\0' || text.value[0] == '\0')
		return fault_empty;
	std::size_t value_length = std::strlen(text.value);
	if (text.value[0] != '"' || text.value[value_length - 1] != '"')
		return fault_quotes;
	// Test the texts as they would be stored, cut to their fields.
	rc_entry candidate{};
	copy_field(candidate.name, text.name);
	if (find_entry(knobs, knob_count, candidate.name) >= 0 ||
	    find_entry(strings, string_count, candidate.name) >= 0)
		return fault_duplicate;
	if (has_line_break(text.name) || has_line_break(text.value) || has_line_break(text.comment))
		return fault_line_break;
	if (!is_variable_name(text.name))
		return fault_name;
	if (std::strlen(text.name) >= field_size || std::strlen(text.comment) >= field_size)
		return fault_too_long;
	// A lone '"' passes the test of its first and last character.
	if (check_value(text.value) != value_fault::none)
		return fault_value;
	return add_ok;
}

bool is_knob_value(const char *value)
{
	return strncasecmp(value, "\"YES\"", field_size) == 0 || strncasecmp(value, "\"NO\"", field_size) == 0;
}

void fill_new_entry(rc_entry *entry, const new_entry_text &text)
{
	// Start from nothing: a knob's value fields stay empty.
	*entry = rc_entry{};
	copy_field(entry->name, text.name);
	copy_field(entry->comment, text.comment);
	entry->has_comment = text.comment[0] != '\0';
	entry->is_new = 238;
	entry->modified = 1;
	entry->is_knob = is_knob_value(text.value);
	if (entry->is_knob) {
		entry->knob_on = strncasecmp(text.value, "\"YES\"", field_size) == 0;
		entry->saved_knob_on = entry->knob_on;
	} else {
		copy_field(entry->value, text.value);
		copy_field(entry->saved_value, text.value);
	}
}

void on_add_clicked(GtkButton *, gpointer)
{
	if (add_window_open || !finish_value_edit())
		return;
	add_window_open = TRUE;
	add_form *form = g_new0(add_form, 1);
	newest_form = form;

	form->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_position(GTK_WINDOW(form->window), GTK_WIN_POS_CENTER);
	gtk_window_set_resizable(GTK_WINDOW(form->window), TRUE);
	gtk_window_set_title(GTK_WINDOW(form->window), _("Add new entry"));
	g_signal_connect(form->window, "destroy", G_CALLBACK(on_add_window_destroy), form);

	gtk_container_set_border_width(GTK_CONTAINER(form->window), border_width);
	GtkWidget *apply_button = new_stock_button(GTK_STOCK_APPLY);
	g_signal_connect(apply_button, "clicked", G_CALLBACK(on_apply_clicked), form);
	gtk_widget_set_can_default(apply_button, TRUE);
	GtkWidget *cancel_button = new_stock_button(GTK_STOCK_CANCEL);
	g_signal_connect(cancel_button, "clicked", G_CALLBACK(on_cancel_clicked), form);
	GtkAccelGroup *keys = gtk_accel_group_new();
	gtk_window_add_accel_group(GTK_WINDOW(form->window), keys);
	g_object_unref(keys);
	gtk_widget_add_accelerator(cancel_button, "clicked", keys, GDK_Escape, GdkModifierType(0), GtkAccelFlags(0));

	GtkWidget *box = gtk_vbox_new(FALSE, 0);
	GtkWidget *button_box = gtk_hbutton_box_new();
	gtk_box_pack_start(GTK_BOX(button_box), apply_button, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(button_box), cancel_button, FALSE, FALSE, 0);

	GtkWidget *name_frame = framed_entry(_("Name"), "", field_size, &form->name_entry);
	// A value cut at the entry's limit would lose its closing quote: the check says it is too long.
	GtkWidget *value_frame = framed_entry(_("Value"), "\"\"", 0, &form->value_entry);
	GtkWidget *comment_frame = framed_entry(_("Optional Comment"), "", field_size, &form->comment_entry);
	GtkWidget *separator = gtk_hseparator_new();

	gtk_box_pack_start(GTK_BOX(box), name_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), value_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), comment_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), separator, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), button_box, TRUE, TRUE, 0);
	gtk_container_add(GTK_CONTAINER(form->window), box);
	gtk_widget_grab_default(apply_button);
	gtk_widget_show_all(form->window);
}
