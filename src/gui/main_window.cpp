// The main window: its widget tree, the two filled lists, and the GUI state every handler shares.
#include "gui/main_window.h"

#include "boot/boot_history.h"
#include "boot/sources.h"
#include "boot/views.h"
#include "edit/delta_writer.h"
#include "edit/undo.h"
#include "files/open_file.h"
#include "gui/about_dialog.h"
#include "gui/add_dialog.h"
#include "gui/details_pane.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/first_size.h"
#include "gui/geometry.h"
#include "gui/i18n.h"
#include "gui/icons.h"
#include "gui/mark_tips.h"
#include "gui/outside_changes.h"
#include "gui/recovery.h"
#include "gui/row_menu.h"
#include "gui/save_quit.h"
#include "gui/show_choice.h"
#include "gui/type_ahead.h"
#include "gui/undo.h"
#include "version.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <cstdarg>
#include <string>
#include <unordered_map>

rc_lists *gui_lists;          // the merged lists, kept so the add dialog can grow them
rc_entry *gui_knobs;          // the knob array, rows of knob_store
int gui_knob_count;           // knob entries in use
rc_entry *gui_strings;        // the string array, rows of string_store
int gui_string_count;         // string entries in use
int pending_changes;          // entries whose modified is 1
guint info_context_id;        // status bar context of the comment, 0 before first use
GtkWidget *main_window;       // the only long-lived window
GtkWidget *save_button;       // sensitive exactly while pending_changes is above 0
GtkWidget *notebook;          // page 0 "Knobs", page 1 "Strings"
GtkWidget *status_bar;        // the selected row's comment
GtkListStore *knob_store;     // mark, name, state, weight
GtkListStore *string_store;   // mark, name, value text, weight
GtkWidget *knob_view;         // the view of knob_store
GtkWidget *string_view;       // the view of string_store, whose Value cells are edited
bool read_only;               // this user may not save to the local rc.conf

namespace {

// One column of a list view.
struct column_layout {
	const char *title;
	const char *attribute; // renderer property bound to the model column
	gboolean resizable;
	gfloat title_align;    // a wide column's title goes where its text starts
};

// The three columns of each view, in model column order.
constexpr column_layout knob_columns[] = {
	// TRANSLATORS: "S" heads the narrow column that marks changed rows with a
	// save icon; it is no word, so keep it as it is.
	{N_("S"), "stock-id", FALSE, 0.5},
	{N_("Name"), "text", TRUE, 0.5},
	{N_("Enabled"), "active", TRUE, 0.5},
};
constexpr column_layout string_columns[] = {
	{N_("S"), "stock-id", FALSE, 0.5},
	{N_("Name"), "text", TRUE, 0.5},
	{N_("Value"), "text", TRUE, 0.0},
};

// What a Strings row keeps of the list's width for its value, in pixels
// (150, and the margins of the Name column), before its name gives way and
// ends in an ellipsis.
constexpr int value_room = 160;
// Fewer pixels than this a name never gets, however narrow the window.
constexpr int least_name_width = 60;
// Room around each button's icon and label, in pixels a side: a long
// translation would otherwise touch the button's edges.
constexpr int button_padding = 6;
// Room above and below the line that says why nothing can be changed, in pixels.
constexpr int read_only_padding = 4;

// The widest name of string_store in pixels, and how many rows that measured.
int widest_name;
int names_measured;

// Handlers take no user data anywhere in the editor; connect_after is for
// those that must see what the toolkit did first.
void connect(gpointer instance, const char *signal, GCallback handler)
{
	g_signal_connect_data(instance, signal, handler, nullptr, nullptr, GConnectFlags(0));
}

void connect_after(gpointer instance, const char *signal, GCallback handler)
{
	g_signal_connect_data(instance, signal, handler, nullptr, nullptr, G_CONNECT_AFTER);
}

void set_tip(GtkWidget *button, const char *tip)
{
	GtkTooltips *tooltips = gtk_tooltips_new();
	gtk_tooltips_set_tip(tooltips, button, tip, "");
	gtk_tooltips_enable(tooltips);
}

void pack(GtkWidget *box, GtkWidget *child, gboolean expand)
{
	gtk_box_pack_start(GTK_BOX(box), child, expand, expand, 0);
}

void pad_button(GtkWidget *button)
{
	GtkWidget *child = gtk_bin_get_child(GTK_BIN(button));
	if (GTK_IS_ALIGNMENT(child))
		gtk_alignment_set_padding(GTK_ALIGNMENT(child), 0, 0, button_padding, button_padding);
}

// The About button shows the stock icon beside a mnemonic label of its own.
GtkWidget *new_about_button()
{
	GtkWidget *button = gtk_button_new();
	GtkWidget *alignment = gtk_alignment_new(0.5, 0.5, 0.0, 0.0);
	GtkWidget *box = gtk_hbox_new(FALSE, 2);
	GtkWidget *image = gtk_image_new_from_stock("gtk-about", GTK_ICON_SIZE_MENU);
	GtkWidget *label = gtk_label_new_with_mnemonic(_("A_bout"));
	gtk_container_add(GTK_CONTAINER(button), alignment);
	gtk_container_add(GTK_CONTAINER(alignment), box);
	gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
	gtk_box_pack_end(GTK_BOX(box), label, FALSE, FALSE, 0);
	pad_button(button);
	return button;
}

GtkTreeViewColumn *new_column(const column_layout &layout, GtkCellRenderer *renderer, int model_column)
{
	GtkTreeViewColumn *column = gtk_tree_view_column_new_with_attributes(
		_(layout.title), renderer, layout.attribute, model_column, nullptr);
	gtk_tree_view_column_set_resizable(column, layout.resizable);
	gtk_tree_view_column_set_alignment(column, layout.title_align);
	return column;
}

// Rules hint, autosize, sortable headers and single selection, common to both views.
GtkTreeSelection *finish_view(GtkWidget *view)
{
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	gtk_tree_view_set_rules_hint(tree, TRUE);
	gtk_tree_view_columns_autosize(tree);
	for (int i = 0; i < 3; i++)
		gtk_tree_view_column_set_sort_column_id(gtk_tree_view_get_column(tree, i), i);
	use_type_ahead(view);
	GtkTreeSelection *selection = gtk_tree_view_get_selection(tree);
	gtk_tree_selection_set_mode(selection, GTK_SELECTION_SINGLE);
	return selection;
}

GtkWidget *new_scrolled_window(GtkWidget *view)
{
	GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
	gtk_container_set_border_width(GTK_CONTAINER(scrolled), 10);
	gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
				       GTK_POLICY_ALWAYS);
	gtk_container_add(GTK_CONTAINER(scrolled), view);
	return scrolled;
}

// Comments read from a file are shown, never written back.
void forget_comments(rc_entry *entries, int count)
{
	for (int i = 0; i < count; i++)
		entries[i].has_comment = 0;
}

// Appends a row for each entry the Show choice holds, marked when it is a
// change; returns how many entries are changes, shown or not. A change not
// yet in the order of changes comes last there.
int fill_store(GtkListStore *store, const rc_entry *entries, int count)
{
	int changes = 0;
	for (int i = 0; i < count; i++) {
		bool changed = entries[i].modified == 1;
		if (row_shown(entries[i]))
			append_row(store, entries[i]);
		if (changed)
			note_pending(field_text(entries[i].name));
		changes += changed;
	}
	return changes;
}

GtkCellRenderer *column_renderer_of_column(GtkTreeViewColumn *column)
{
	GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
	GtkCellRenderer *renderer = GTK_CELL_RENDERER(cells->data);
	g_list_free(cells);
	return renderer;
}

// A view on store with the mark, the name and the state column; the state
// renderer's signal is connected before its column is made.
GtkWidget *new_view(GtkListStore *store, const column_layout (&columns)[3], GtkCellRenderer *state,
		    GCallback selection_changed)
{
	GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	gtk_tree_view_append_column(tree, new_column(columns[0], gtk_cell_renderer_pixbuf_new(), 0));
	GtkTreeViewColumn *name = new_column(columns[1], gtk_cell_renderer_text_new(), 1);
	gtk_tree_view_column_add_attribute(name, column_renderer_of_column(name), "weight", column_weight);
	gtk_tree_view_append_column(tree, name);
	gtk_tree_view_append_column(tree, new_column(columns[2], state, 2));
	connect(finish_view(view), "changed", selection_changed);
	// Nothing can be changed: the values say so by their colour.
	g_object_set(state, "sensitive", !read_only, nullptr);
	explain_marks(view);
	add_row_menu(view);
	return view;
}

int measure_widest_name(GtkWidget *view)
{
	GtkTreeModel *model = GTK_TREE_MODEL(string_store);
	int rows = gtk_tree_model_iter_n_children(model, nullptr);
	if (rows == names_measured)
		return widest_name;
	widest_name = text_width(view, widest_name_of(view, model).c_str());
	names_measured = rows;
	return widest_name;
}

// The values are what is edited here: the Name column takes the width of the
// widest name while value_room is left beside it, and past that its names end
// in an ellipsis, until the user widens the column.
void on_string_view_size_allocate(GtkWidget *view, GtkAllocation *allocation, gpointer)
{
	// Columns of a list not yet on screen keep the width they are first given.
	if (!gtk_widget_get_realized(view))
		return;
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	GtkCellRenderer *renderer = column_renderer_of(view, column_name);
	gint xpad = 0;
	gint now = 0;
	g_object_get(renderer, "xpad", &xpad, "width", &now, nullptr);
	int room = allocation->width - gtk_tree_view_column_get_width(gtk_tree_view_get_column(tree, 0)) - value_room;
	int width = std::max(least_name_width, std::min(measure_widest_name(view) + 2 * xpad, room));
	if (width == now)
		return;
	g_object_set(renderer, "width", width, nullptr);
	gtk_tree_view_column_queue_resize(gtk_tree_view_get_column(tree, column_name));
}

GtkWidget *new_knob_view()
{
	knob_store = gtk_list_store_new(4, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_BOOLEAN, G_TYPE_INT);
	// Activatable even when nothing can be changed: a click then says why.
	GtkCellRenderer *toggle = gtk_cell_renderer_toggle_new();
	connect(toggle, "toggled", G_CALLBACK(on_knob_toggled));
	GtkWidget *view = new_view(knob_store, knob_columns, toggle, G_CALLBACK(on_knob_selection_changed));
	connect(view, "key-press-event", G_CALLBACK(on_knob_view_key_press_event));
	return view;
}

GtkWidget *new_string_view()
{
	string_store = gtk_list_store_new(4, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_INT);
	GtkCellRenderer *value = gtk_cell_renderer_text_new();
	g_object_set(value, "editable", TRUE, nullptr);
	connect(value, "edited", G_CALLBACK(on_string_edited));
	connect(value, "editing-started", G_CALLBACK(on_value_editing_started));
	GtkWidget *view = new_view(string_store, string_columns, value, G_CALLBACK(on_string_selection_changed));
	g_object_set(column_renderer_of(view, column_name), "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
	connect(view, "size-allocate", G_CALLBACK(on_string_view_size_allocate));
	connect(view, "key-press-event", G_CALLBACK(on_string_view_key_press_event));
	connect(view, "row-activated", G_CALLBACK(on_string_view_row_activated));
	return view;
}

// The lists would take Ctrl+Page Down and Up as moves of their own.
gboolean on_main_window_key_press_event(GtkWidget *, GdkEventKey *event, gpointer)
{
	return switch_tab_key(event);
}

// The tab in front brings its list: typing goes there, and the status bar
// speaks of its selected row.
void on_notebook_switch_page(GtkNotebook *, gpointer, guint, gpointer)
{
	gtk_widget_grab_focus(visible_view());
	show_selected_comment();
}

// Why nothing can be changed, above the lists while the window is open.
GtkWidget *new_read_only_line(const std::string &path)
{
	std::string why = format_text(_("You may not change '%s': run Kelvane as root to save changes."), path.c_str());
	GtkWidget *line = gtk_label_new(why.c_str());
	gtk_label_set_line_wrap(GTK_LABEL(line), TRUE);
	gtk_misc_set_alignment(GTK_MISC(line), 0.0, 0.5);
	gtk_misc_set_padding(GTK_MISC(line), 0, read_only_padding);
	return line;
}

// The mark of entry's row: a change's, else the one it has at rest.
const char *row_mark(const rc_entry &entry)
{
	return entry.modified == 1 ? change_mark : resting_mark(entry);
}

// Sets the columns of row from entry.
void fill_row(GtkListStore *store, GtkTreeIter &row, const rc_entry &entry)
{
	const char *mark = row_mark(entry);
	std::string name = display_text(field_text(entry.name));
	int weight = set_on_machine(entry) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL;
	if (store == knob_store)
		gtk_list_store_set(store, &row, column_mark, mark, column_name, name.c_str(), column_state,
				   static_cast<gboolean>(entry.knob_on != 0), column_weight, weight, -1);
	else
		gtk_list_store_set(store, &row, column_mark, mark, column_name, name.c_str(), column_state,
				   shown_value(entry).c_str(), column_weight, weight, -1);
}

void refresh_store(GtkListStore *store, const rc_entry *entries, int count)
{
	// Rows show names as display_text makes them: entries are found by those.
	std::unordered_map<std::string, int> index_of;
	for (int i = count - 1; i >= 0; i--)
		index_of[display_text(field_text(entries[i].name))] = i;
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter)) {
		auto found = index_of.find(row_name(model, &iter));
		if (found == index_of.end())
			continue;
		int index = found->second;
		// Only what differs: a row that changes ends an edit open in it.
		const rc_entry &entry = entries[index];
		const char *mark = row_mark(entry);
		int weight = set_on_machine(entry) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL;
		gchar *shown_mark = nullptr;
		int shown_weight = 0;
		gtk_tree_model_get(model, &iter, column_mark, &shown_mark, column_weight, &shown_weight, -1);
		bool same = g_strcmp0(shown_mark, mark) == 0 && shown_weight == weight;
		g_free(shown_mark);
		if (!same)
			gtk_list_store_set(store, &iter, column_mark, mark, column_weight, weight, -1);
	}
}

// Once the window is up, the manual page gives the rows their types, and
// with them the warnings of bool and int settings.
gboolean on_manual_idle(gpointer)
{
	std::size_t noted = read_notes().size();
	if (gui_knob_count + gui_string_count > 0)
		read_manual();
	// A page passed over is named beside the files.
	if (read_notes().size() != noted)
		show_read_notes();
	refresh_rows();
	show_selected_comment();
	return FALSE;
}

// Said once at start: what the rows cannot show of the machine's own file.
void show_setting_lines()
{
	std::vector<int> lines = machine_setting_lines();
	if (lines.empty())
		return;
	std::string listed;
	for (int line : lines)
		listed += (listed.empty() ? "" : ", ") + std::to_string(line);
	// TRANSLATORS: %1$s is the machine's rc.conf, %2$s a list of its line numbers.
	std::string text = format_text(_("'%1$s' may also set variables in ways the lists do not show, at lines %2$s."),
				       display_text(local_rc_path()).c_str(), listed.c_str());
	GtkStatusbar *bar = GTK_STATUSBAR(status_bar);
	gtk_statusbar_push(bar, gtk_statusbar_get_context_id(bar, "Setting lines"), text.c_str());
}

// The number of rows before the first whose name sorts after name.
int name_order_row(GtkListStore *store, const std::string &name)
{
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	GtkTreeIter iter;
	int row = 0;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter), row++) {
		if (name < row_name(model, &iter))
			break;
	}
	return row;
}

} // namespace

GtkCellRenderer *column_renderer_of(GtkWidget *view, int column)
{
	return column_renderer_of_column(gtk_tree_view_get_column(GTK_TREE_VIEW(view), column));
}

std::string row_name(GtkTreeModel *model, GtkTreeIter *iter)
{
	gchar *name = nullptr;
	gtk_tree_model_get(model, iter, column_name, &name, -1);
	std::string text = name != nullptr ? name : "";
	g_free(name);
	return text;
}

const char *resting_mark(const rc_entry &entry)
{
	if (has_warning(entry))
		return warning_mark;
	return set_later(entry) ? later_mark : "";
}

void refresh_rows()
{
	refresh_store(knob_store, gui_knobs, gui_knob_count);
	refresh_store(string_store, gui_strings, gui_string_count);
}

GtkTreeIter append_row(GtkListStore *store, const rc_entry &entry)
{
	GtkTreeIter row;
	gtk_list_store_append(store, &row);
	fill_row(store, row, entry);
	return row;
}

GtkTreeIter insert_row(GtkListStore *store, const rc_entry &entry)
{
	GtkTreeIter row;
	gtk_list_store_insert(store, &row, name_order_row(store, display_text(field_text(entry.name))));
	fill_row(store, row, entry);
	return row;
}

GtkWidget *visible_view()
{
	return gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook)) == knobs_page ? knob_view : string_view;
}

bool switch_tab(int step)
{
	if (!finish_value_edit())
		return true;
	GtkNotebook *book = GTK_NOTEBOOK(notebook);
	int pages = gtk_notebook_get_n_pages(book);
	gtk_notebook_set_current_page(book, (gtk_notebook_get_current_page(book) + step + pages) % pages);
	return true;
}

bool switch_tab_key(const GdkEventKey *event)
{
	if ((event->state & gtk_accelerator_get_default_mod_mask()) != GDK_CONTROL_MASK)
		return false;
	if (event->keyval == GDK_Page_Down || event->keyval == GDK_KP_Page_Down)
		return switch_tab(1);
	if (event->keyval == GDK_Page_Up || event->keyval == GDK_KP_Page_Up)
		return switch_tab(-1);
	return false;
}

std::string shown_value(const rc_entry &entry)
{
	std::string shown = display_text(field_text(entry.value), (entry.value_lock & value_too_long) != 0);
	if ((entry.value_lock & value_as_written) != 0) {
		// TRANSLATORS: follows a value shown as rc.conf writes it, which cannot be edited here.
		shown += ' ';
		shown += _("(as written)");
	}
	return shown;
}

GtkWidget *new_stock_button(const char *stock)
{
	GtkWidget *button = gtk_button_new_from_stock(stock);
	pad_button(button);
	return button;
}

std::string format_text(const char *format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	gchar *filled = g_strdup_vprintf(format, arguments);
	va_end(arguments);
	std::string text = filled;
	g_free(filled);
	return text;
}

gint run_message_over(GtkWidget *parent, GtkMessageType type, GtkButtonsType buttons, const std::string &text,
		      const std::string &detail, std::initializer_list<dialog_choice> choices)
{
	GtkWidget *dialog = gtk_message_dialog_new(GTK_WINDOW(parent), GTK_DIALOG_DESTROY_WITH_PARENT, type,
						   buttons, "%s", text.c_str());
	if (!detail.empty())
		gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", detail.c_str());
	for (const dialog_choice &choice : choices) {
		gtk_dialog_add_button(GTK_DIALOG(dialog), choice.label, choice.response);
		gtk_dialog_set_default_response(GTK_DIALOG(dialog), choice.response);
	}
	// A window manager lists the dialog by its title: say whose it is.
	gtk_window_set_title(GTK_WINDOW(dialog), kelvane_name);
	gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
	gtk_widget_destroy(dialog);
	return answer;
}

gint run_message(GtkMessageType type, GtkButtonsType buttons, const std::string &text, const std::string &detail,
		 std::initializer_list<dialog_choice> choices)
{
	return run_message_over(main_window, type, buttons, text, detail, choices);
}

void fill_lists()
{
	gtk_list_store_clear(knob_store);
	gtk_list_store_clear(string_store);
	pending_changes = fill_store(knob_store, gui_knobs, gui_knob_count);
	pending_changes += fill_store(string_store, gui_strings, gui_string_count);
	widest_name = 0;
	names_measured = 0;
	gtk_widget_set_sensitive(save_button, pending_changes > 0);
	show_selected_comment();
}

void create_main_window(rc_lists *lists)
{
	add_window_open = FALSE;
	gui_lists = lists;
	gui_knobs = lists->knobs;
	gui_strings = lists->strings;
	pending_changes = 0;
	forget_change_order();
	info_context_id = 0;
	const char *rc_path = local_rc_path();
	read_only = !may_append(rc_path);

	g_set_application_name(kelvane_name);
	main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_position(GTK_WINDOW(main_window), GTK_WIN_POS_CENTER);
	gtk_window_set_resizable(GTK_WINDOW(main_window), TRUE);
	std::string title = std::string(kelvane_name) + " " + kelvane_version;
	if (read_only) {
		// TRANSLATORS: follows the program's name in the title when rc.conf cannot be saved to.
		title += std::string(" ") + _("(read-only)");
	}
	// Which machine is being changed: the file Save appends to.
	title += " - " + display_text(rc_path);
	gtk_window_set_title(GTK_WINDOW(main_window), title.c_str());
	load_geometry();
	load_icons(main_window);

	save_button = new_stock_button("gtk-save");
	GtkWidget *quit_button = new_stock_button("gtk-quit");
	GtkWidget *about_button = new_about_button();
	GtkWidget *add_button = new_stock_button("gtk-add");
	std::string path = display_text(rc_path);
	std::string no_save =
		format_text(_("Save is not available: you may not write '%s'. Run Kelvane as root to save changes."),
			    path.c_str());
	// What Save would write is worked out when its tip is shown.
	if (read_only) {
		set_tip(save_button, no_save.c_str());
	} else {
		gtk_widget_set_has_tooltip(save_button, TRUE);
		connect(save_button, "query-tooltip", G_CALLBACK(on_save_button_query_tooltip));
	}
	set_tip(add_button, _("Add a new entry"));
	set_tip(about_button, _("About Kelvane"));
	set_tip(quit_button, _("Exit Kelvane"));
	gtk_widget_set_sensitive(save_button, FALSE);
	gtk_widget_set_sensitive(add_button, !read_only);

	GtkWidget *button_box = gtk_hbutton_box_new();
	pack(button_box, save_button, FALSE);
	pack(button_box, add_button, FALSE);
	pack(button_box, about_button, FALSE);
	pack(button_box, quit_button, FALSE);

	connect(main_window, "delete_event", G_CALLBACK(on_delete_event));
	connect(main_window, "focus-in-event", G_CALLBACK(on_main_window_focus_in_event));
	connect(main_window, "key-press-event", G_CALLBACK(on_main_window_key_press_event));
	connect(main_window, "destroy", G_CALLBACK(on_destroy));
	connect(save_button, "clicked", G_CALLBACK(on_save_clicked));
	connect(quit_button, "clicked", G_CALLBACK(on_quit_clicked));
	connect(about_button, "clicked", G_CALLBACK(on_about_clicked));
	connect(add_button, "clicked", G_CALLBACK(on_add_clicked));
	// Ctrl+S and Ctrl+Q press the buttons, so the same checks and questions come.
	GtkAccelGroup *keys = gtk_accel_group_new();
	gtk_window_add_accel_group(GTK_WINDOW(main_window), keys);
	g_object_unref(keys);
	gtk_widget_add_accelerator(save_button, "clicked", keys, GDK_s, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
	gtk_widget_add_accelerator(quit_button, "clicked", keys, GDK_q, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
	gtk_accel_group_connect(keys, GDK_z, GDK_CONTROL_MASK, GtkAccelFlags(0),
				g_cclosure_new(G_CALLBACK(on_undo_accel_activate), nullptr, nullptr));

	GtkWidget *main_box = gtk_vbox_new(FALSE, 2);
	gui_knob_count = lists->knob_count;
	gui_string_count = lists->string_count;
	forget_comments(gui_knobs, gui_knob_count);
	forget_comments(gui_strings, gui_string_count);

	knob_view = new_knob_view();
	GtkWidget *separator = gtk_hseparator_new();
	GtkWidget *knob_page = new_scrolled_window(knob_view);
	gtk_container_set_border_width(GTK_CONTAINER(main_window), 10);

	// TRANSLATORS: the tab of the YES/NO variables, each shown with a check box.
	GtkWidget *knob_label = gtk_label_new(_("Knobs"));
	// TRANSLATORS: the tab of every other variable, each with a value to edit.
	GtkWidget *string_label = gtk_label_new(_("Strings"));
	notebook = gtk_notebook_new();
	status_bar = gtk_statusbar_new();
	gtk_notebook_append_page(GTK_NOTEBOOK(notebook), knob_page, knob_label);

	if (read_only)
		pack(main_box, new_read_only_line(path), FALSE);
	GtkWidget *show_choice = new_show_choice();
	GtkWidget *details = new_details_pane(geometry_details != 0);
	pack(main_box, show_choice, FALSE);
	pack(main_box, notebook, TRUE);
	pack(main_box, details, FALSE);
	pack(main_box, separator, FALSE);
	pack(main_box, button_box, FALSE);
	pack(main_box, status_bar, FALSE);
	// Tab goes from the lists to the buttons, as ever, and then to the choice and the details.
	GList *chain = nullptr;
	for (GtkWidget *widget : {notebook, button_box, show_choice, details})
		chain = g_list_append(chain, widget);
	gtk_container_set_focus_chain(GTK_CONTAINER(main_box), chain);
	g_list_free(chain);
	gtk_box_set_homogeneous(GTK_BOX(main_box), FALSE);
	gtk_container_add(GTK_CONTAINER(main_window), main_box);

	string_view = new_string_view();
	gtk_notebook_append_page(GTK_NOTEBOOK(notebook), new_scrolled_window(string_view), string_label);
	fill_lists();
	show_setting_lines();
	show_read_notes();
	connect_after(notebook, "switch-page", G_CALLBACK(on_notebook_switch_page));

	// Without a remembered width, one that shows the names and values whole,
	// measured with every widget shown.
	gtk_widget_show_all(main_box);
	if (geometry_width == 0)
		geometry_width = first_width(main_window);
	gtk_window_set_default_size(GTK_WINDOW(main_window), geometry_width, geometry_height);
	gtk_widget_show(main_window);
	// Typing at once finds a name.
	gtk_widget_grab_focus(knob_view);
	g_idle_add(on_manual_idle, nullptr);
}

int build_main_window(rc_lists *lists)
{
	create_main_window(lists);
	keep_changes_when_ended();
	offer_recovery();
	gtk_main();
	return 0;
}
