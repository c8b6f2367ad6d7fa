// The menu a row opens: a right click, the Menu key or Shift+F10 offer Undo Change and Reset to Default.
#include "gui/row_menu.h"

#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/undo.h"

#include <string>

namespace {

// The name of the row the menu was opened on.
std::string menu_name;

// The data keys under which a view keeps its menu and the menu its two items.
constexpr const char *menu_key = "kelvane-row-menu";
constexpr const char *undo_key = "kelvane-undo-item";
constexpr const char *reset_key = "kelvane-reset-item";

// Where a menu that the keyboard opens goes: under the name of the cursor's row.
void place_under_cursor(GtkMenu *, gint *x, gint *y, gboolean *push_in, gpointer view)
{
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	GtkTreePath *path = nullptr;
	gtk_tree_view_get_cursor(tree, &path, nullptr);
	GdkRectangle cell = {};
	if (path != nullptr)
		gtk_tree_view_get_cell_area(tree, path, gtk_tree_view_get_column(tree, column_name), &cell);
	gtk_tree_path_free(path);
	GdkWindow *rows = gtk_tree_view_get_bin_window(tree);
	gint left = 0, top = 0, width = 0, height = 0;
	gdk_window_get_origin(rows, &left, &top);
	gdk_drawable_get_size(rows, &width, &height);
	// A row not yet scrolled into sight puts it at the list's edge.
	*x = left + CLAMP(cell.x, 0, width);
	*y = top + CLAMP(cell.y + cell.height, 0, height);
	*push_in = TRUE;
}

void on_undo_item_activate(GtkMenuItem *, gpointer)
{
	undo_change(menu_name.c_str());
}

void on_reset_item_activate(GtkMenuItem *, gpointer)
{
	reset_to_default(menu_name.c_str());
}

GtkWidget *new_item(GtkWidget *menu, const char *label, GCallback activate)
{
	GtkWidget *item = gtk_menu_item_new_with_mnemonic(label);
	g_signal_connect(item, "activate", activate, nullptr);
	gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
	return item;
}

// Opens view's menu for the row at path, its items sensitive where they
// apply; button and time come from the event that asks, 0 for a key.
bool pop_up(GtkWidget *view, GtkTreePath *path, guint button, guint32 time)
{
	// A value still being typed is a change of its own first.
	if (!finish_value_edit())
		return false;
	GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
	GtkTreeIter iter;
	int index = gtk_tree_model_get_iter(model, &iter, path) ? entry_of_row(model, &iter) : -1;
	if (index < 0)
		return false;
	bool knobs = view == knob_view;
	const rc_entry &entry = knobs ? gui_knobs[index] : gui_strings[index];
	menu_name = entry.name;
	GtkWidget *menu = GTK_WIDGET(g_object_get_data(G_OBJECT(view), menu_key));
	gtk_widget_set_sensitive(GTK_WIDGET(g_object_get_data(G_OBJECT(menu), undo_key)), may_undo(entry));
	gtk_widget_set_sensitive(GTK_WIDGET(g_object_get_data(G_OBJECT(menu), reset_key)), may_reset(entry));
	gtk_widget_show_all(menu);
	gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, button == 0 ? place_under_cursor : nullptr, view, button, time);
	return true;
}

// A right click selects the row under the pointer and opens its menu there.
gboolean on_list_button_press_event(GtkWidget *view, GdkEventButton *event, gpointer)
{
	if (event->type != GDK_BUTTON_PRESS || event->button != 3)
		return FALSE;
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	GtkTreePath *path = nullptr;
	if (event->window != gtk_tree_view_get_bin_window(tree) ||
	    !gtk_tree_view_get_path_at_pos(tree, static_cast<gint>(event->x), static_cast<gint>(event->y), &path, nullptr,
					   nullptr, nullptr))
		return FALSE;
	gtk_widget_grab_focus(view);
	gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
	pop_up(view, path, event->button, event->time);
	gtk_tree_path_free(path);
	return TRUE;
}

// The Menu key and Shift+F10: the menu of the cursor's row, scrolled into sight.
gboolean on_list_popup_menu(GtkWidget *view, gpointer)
{
	GtkTreeView *tree = GTK_TREE_VIEW(view);
	GtkTreePath *path = nullptr;
	gtk_tree_view_get_cursor(tree, &path, nullptr);
	if (path == nullptr)
		return FALSE;
	gtk_tree_view_scroll_to_cell(tree, path, nullptr, FALSE, 0, 0);
	bool shown = pop_up(view, path, 0, gtk_get_current_event_time());
	gtk_tree_path_free(path);
	return shown;
}

} // namespace

void add_row_menu(GtkWidget *view)
{
	GtkWidget *menu = gtk_menu_new();
	g_object_set_data(G_OBJECT(menu), undo_key, new_item(menu, _("_Undo Change"), G_CALLBACK(on_undo_item_activate)));
	g_object_set_data(G_OBJECT(menu), reset_key,
			  new_item(menu, _("_Reset to Default"), G_CALLBACK(on_reset_item_activate)));
	// Destroyed with the view.
	gtk_menu_attach_to_widget(GTK_MENU(menu), view, nullptr);
	g_object_set_data(G_OBJECT(view), menu_key, menu);
	g_signal_connect(view, "button-press-event", G_CALLBACK(on_list_button_press_event), nullptr);
	g_signal_connect(view, "popup-menu", G_CALLBACK(on_list_popup_menu), nullptr);
}
