// The "Add new entry" window: its widgets, the checks of Apply and the new entry.
#include "gui/add_dialog.h"

#include "boot/merge.h"
#include "edit/typed_value.h"
#include "edit/undo.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/name_completion.h"
#include "shell/value_check.h"

#include <gdk/gdkkeysyms.h>

#include <cstring>
#include <string>

gboolean add_window_open = FALSE;

namespace {

// The widgets of the add window; all nullptr while there is none.
struct add_form {
	GtkWidget *window;
	GtkWidget *name_entry;
	GtkWidget *value_entry;
	GtkWidget *comment_entry;
};

add_form form;

struct fault_text {
	const char *text;   // nullptr for not_added; a %s takes the typed name
	const char *detail; // a %s takes the typed name; nullptr for the value check's own text
	GtkMessageType type;
	GtkButtonsType buttons;
};

// TRANSLATORS: %s is the name typed for the new variable.
constexpr const char *not_added = N_("The variable %s was not added");

// Indexed by add_fault.
constexpr fault_text fault_texts[] = {
	{N_("The new variable needs a name"),
	 N_("Type its name, for example ntpd_enable, and its value, for example YES."), GTK_MESSAGE_ERROR,
	 GTK_BUTTONS_CLOSE},
	// TRANSLATORS: %s is the name typed for a new variable, which the list already holds.
	{N_("%s is already in the list. Go to its row?"),
	 N_("Change the variable there, or choose No and type another name."), GTK_MESSAGE_QUESTION,
	 GTK_BUTTONS_YES_NO},
	{nullptr, N_("The name and the comment must each fit on one line."), GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE},
	{nullptr, N_("A name must begin with a letter and hold only letters, digits and _."), GTK_MESSAGE_ERROR,
	 GTK_BUTTONS_CLOSE},
	{nullptr, N_("The name and the comment must each fit in 254 bytes."), GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE},
	{nullptr, nullptr, GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE},
	{nullptr, N_("There is not enough memory. Close other programs, then press Apply again."), GTK_MESSAGE_ERROR,
	 GTK_BUTTONS_CLOSE},
};

constexpr int border_width = 10;      // as the main window's
constexpr int entry_width_chars = 40; // room for a typical value at a glance

// The message over the add window, which comes back to the front after it.
gint show_fault(add_fault fault, const new_entry_text &typed)
{
	const fault_text &message = fault_texts[fault];
	std::string name = display_text(typed.name);
	std::string text = format_text(_(message.text != nullptr ? message.text : not_added), name.c_str());
	// The value check's texts hold % signs of their own: they are no format.
	std::string detail = message.detail != nullptr ? format_text(_(message.detail), name.c_str())
						       : _(value_fault_text(check_value(typed.value)));
	return run_message_over(form.window, message.type, message.buttons, text, detail);
}

// The field to correct after fault.
GtkWidget *field_at_fault(add_fault fault, const new_entry_text &text)
{
	switch (fault) {
	case fault_line_break:
		return has_line_break(text.name) ? form.name_entry : form.comment_entry;
	case fault_too_long:
		return std::strlen(text.name) >= field_size ? form.name_entry : form.comment_entry;
	case fault_value:
		return form.value_entry;
	default:
		return form.name_entry;
	}
}

// Files the entry in name order in its array and its list. Returns 0, or -1
// when the full array cannot grow (nothing changed then).
int add_entry(const new_entry_text &text)
{
	rc_entry entry;
	fill_new_entry(&entry, text);
	bool knob = entry.is_knob != 0;
	rc_entry **entries = knob ? &gui_lists->knobs : &gui_lists->strings;
	int *capacity = knob ? &gui_lists->knob_capacity : &gui_lists->string_capacity;
	if (insert_in_name_order(entries, capacity, knob ? &gui_knob_count : &gui_string_count, entry) < 0)
		return -1;
	gui_knobs = gui_lists->knobs;
	gui_strings = gui_lists->strings;

	pending_changes++;
	note_change(field_text(entry.name));
	gtk_widget_set_sensitive(save_button, TRUE);
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), knob ? knobs_page : strings_page);
	GtkListStore *store = knob ? knob_store : string_store;
	GtkTreeIter row = insert_row(store, entry);
	GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(store), &row);
	go_to_row(knob ? knob_view : string_view, path, false);
	gtk_tree_path_free(path);
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
// now, Add may build the next one, and it is destroyed once that is over.
void close_form()
{
	GtkWidget *window = form.window;
	form = add_form{};
	add_window_open = FALSE;
	gtk_widget_hide(window);
	g_idle_add(on_close_idle, g_object_ref(window));
}

void on_apply_clicked(GtkButton *, gpointer)
{
	// Copied: the messages below run loops of their own.
	std::string name = gtk_entry_get_text(GTK_ENTRY(form.name_entry));
	std::string value = typed_value(gtk_entry_get_text(GTK_ENTRY(form.value_entry)));
	std::string comment = gtk_entry_get_text(GTK_ENTRY(form.comment_entry));
	new_entry_text text = {name.c_str(), value.c_str(), comment.c_str()};
	add_fault fault = check_new_entry(text, gui_knobs, gui_knob_count, gui_strings, gui_string_count);
	bool kept = fault == add_ok && may_run_at_boot(form.window, text.name, value);
	if (kept && add_entry(text) == 0) {
		close_form();
		return;
	}
	if (kept)
		fault = fault_no_memory;
	// A command the user did not keep goes back to the value field.
	GtkWidget *field = fault == add_ok ? form.value_entry : field_at_fault(fault, text);
	// Only the question about a name in the list has a Yes.
	if (fault != add_ok && show_fault(fault, text) == GTK_RESPONSE_YES) {
		rc_entry listed{};
		copy_field(listed.name, name);
		go_to_entry(listed.name, true);
		return;
	}
	// A message runs a loop of its own, in which the window may have gone.
	if (form.window == nullptr)
		return;
	gtk_window_present(GTK_WINDOW(form.window));
	gtk_widget_grab_focus(field);
}

void on_cancel_clicked(GtkButton *, gpointer)
{
	close_form();
}

// Every way the window ends that skips close_form (the window manager, the
// main window's end) comes here too.
void on_add_window_destroy(GtkWidget *window, gpointer)
{
	if (window == form.window) {
		form = add_form{};
		add_window_open = FALSE;
	}
}

// An entry of up to max_length characters, 0 for any number.
GtkWidget *framed_entry(const char *label, int max_length, GtkWidget **entry)
{
	GtkWidget *frame = gtk_frame_new(label);
	*entry = gtk_entry_new();
	gtk_entry_set_max_length(GTK_ENTRY(*entry), max_length);
	gtk_entry_set_width_chars(GTK_ENTRY(*entry), entry_width_chars);
	// Enter in any field presses Apply.
	gtk_entry_set_activates_default(GTK_ENTRY(*entry), TRUE);
	gtk_container_add(GTK_CONTAINER(frame), *entry);
	return frame;
}

} // namespace

void on_add_clicked(GtkButton *, gpointer)
{
	if (!finish_value_edit())
		return;
	if (form.window != nullptr) {
		gtk_window_present(GTK_WINDOW(form.window));
		return;
	}
	add_window_open = TRUE;
	form.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	GtkWindow *window = GTK_WINDOW(form.window);
	// Kept in front of the main window, and gone with it.
	gtk_window_set_transient_for(window, GTK_WINDOW(main_window));
	gtk_window_set_destroy_with_parent(window, TRUE);
	gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
	gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
	gtk_window_set_resizable(window, TRUE);
	gtk_window_set_title(window, _("Add new entry"));
	g_signal_connect(form.window, "destroy", G_CALLBACK(on_add_window_destroy), nullptr);

	gtk_container_set_border_width(GTK_CONTAINER(form.window), border_width);
	GtkWidget *apply_button = new_stock_button(GTK_STOCK_APPLY);
	g_signal_connect(apply_button, "clicked", G_CALLBACK(on_apply_clicked), nullptr);
	gtk_widget_set_can_default(apply_button, TRUE);
	GtkWidget *cancel_button = new_stock_button(GTK_STOCK_CANCEL);
	g_signal_connect(cancel_button, "clicked", G_CALLBACK(on_cancel_clicked), nullptr);
	GtkAccelGroup *keys = gtk_accel_group_new();
	gtk_window_add_accel_group(window, keys);
	g_object_unref(keys);
	gtk_widget_add_accelerator(cancel_button, "clicked", keys, GDK_Escape, GdkModifierType(0), GtkAccelFlags(0));

	GtkWidget *box = gtk_vbox_new(FALSE, 0);
	GtkWidget *button_box = gtk_hbutton_box_new();
	gtk_box_pack_start(GTK_BOX(button_box), apply_button, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(button_box), cancel_button, FALSE, FALSE, 0);

	GtkWidget *name_frame = framed_entry(_("Name"), field_size, &form.name_entry);
	// What the chosen sample's comment says, under its name.
	GtkWidget *note = gtk_label_new("");
	gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
	gtk_misc_set_alignment(GTK_MISC(note), 0.0, 0.5);
	// A value of any length is taken, and refused as too long if it is.
	GtkWidget *value_frame = framed_entry(_("Value"), 0, &form.value_entry);
	GtkWidget *comment_frame = framed_entry(_("Optional Comment"), field_size, &form.comment_entry);
	GtkWidget *separator = gtk_hseparator_new();

	gtk_box_pack_start(GTK_BOX(box), name_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), note, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(box), value_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), comment_frame, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), separator, TRUE, TRUE, 0);
	gtk_box_pack_start(GTK_BOX(box), button_box, TRUE, TRUE, 0);
	gtk_container_add(GTK_CONTAINER(form.window), box);
	offer_names(GTK_ENTRY(form.name_entry), GTK_ENTRY(form.value_entry), GTK_LABEL(note));
	gtk_widget_grab_default(apply_button);
	gtk_widget_show_all(form.window);
}
