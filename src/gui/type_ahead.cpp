// Finding a name by typing in either list, and the keys that act on what is found.
//
// Typing in a list opens the toolkit's search box, which finds the first name
// that holds the text, case ignored; while some name begins with it, only
// such names count, so "ntpd" finds ntpd_enable before a name that merely
// holds it. Text that no name of the tab in front holds, but one of the other
// tab does, brings the other tab to the front and is typed there again.
//
// While the search box is up it holds the keyboard: Space there ticks the
// knob found, and Ctrl+Page Down and Up switch tabs; Enter ends the search and
// activates the row found, which opens a value for editing.
#include "gui/type_ahead.h"

#include "gui/editing.h"
#include "gui/main_window.h"

#include <string>

namespace {

// The folded key last searched for, in which store, and whether some name
// there begins with it.
std::string search_key;
GtkTreeModel *search_model;
bool search_prefix_found;

// The key, as typed, that the other tab takes up next; "" while none waits.
std::string key_for_other_tab;

// The data key that marks a search box as watched.
constexpr const char *watched = "kelvane-watched";

std::string folded(const char *text)
{
	gchar *fold = g_utf8_casefold(text, -1);
	std::string result = fold;
	g_free(fold);
	return result;
}

std::string folded_name(GtkTreeModel *model, GtkTreeIter *iter)
{
	return folded(row_name(model, iter).c_str());
}

// Whether some name of model begins with wanted, or holds it anywhere.
bool some_name(GtkTreeModel *model, const std::string &wanted, bool at_start)
{
	GtkTreeIter row;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more;
	     more = gtk_tree_model_iter_next(model, &row)) {
		std::size_t at = folded_name(model, &row).find(wanted);
		if (at_start ? at == 0 : at != std::string::npos)
			return true;
	}
	return false;
}

// A key press and release of each character of text in view's window.
void type_into(GtkWidget *view, const std::string &text)
{
	for (const gchar *c = text.c_str(); *c != '\0'; c = g_utf8_next_char(c)) {
		std::string character(c, static_cast<std::size_t>(g_utf8_next_char(c) - c));
		for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
			GdkEvent *event = gdk_event_new(type);
			event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(gtk_widget_get_toplevel(view))));
			event->key.send_event = TRUE;
			event->key.time = GDK_CURRENT_TIME;
			event->key.keyval = gdk_unicode_to_keyval(g_utf8_get_char(c));
			event->key.string = g_strdup(character.c_str());
			event->key.length = static_cast<gint>(character.size());
			gtk_main_do_event(event);
			gdk_event_free(event);
		}
	}
}

// The other tab's list takes the focus, which ends this tab's search, and
// its own search starts with the key.
gboolean on_other_tab_idle(gpointer)
{
	std::string key;
	key.swap(key_for_other_tab);
	if (!key.empty() && switch_tab(1))
		type_into(visible_view(), key);
	return FALSE;
}

gboolean on_search_box_key_press_event(GtkWidget *, GdkEventKey *event, gpointer)
{
	// Space ticks the knob found, as in the list.
	if (visible_view() == knob_view && on_knob_view_key_press_event(knob_view, event, nullptr))
		return TRUE;
	return switch_tab_key(event);
}

// The search box is the toolkit's own: it is found as the window that holds
// the keyboard while a search runs.
void watch_search_box()
{
	GtkWidget *box = gtk_grab_get_current();
	if (!GTK_IS_WINDOW(box) || gtk_window_get_window_type(GTK_WINDOW(box)) != GTK_WINDOW_POPUP ||
	    g_object_get_data(G_OBJECT(box), watched) != nullptr)
		return;
	g_object_set_data(G_OBJECT(box), watched, box);
	g_signal_connect(box, "key-press-event", G_CALLBACK(on_search_box_key_press_event), nullptr);
}

// Like every search function of the toolkit it answers FALSE for a row that
// matches. A search for a new key starts at the first row.
gboolean name_differs_from_search(GtkTreeModel *model, gint, const gchar *key, GtkTreeIter *iter, gpointer)
{
	std::string wanted = folded(key);
	GtkTreePath *path = gtk_tree_model_get_path(model, iter);
	bool first_row = gtk_tree_path_get_indices(path)[0] == 0;
	gtk_tree_path_free(path);
	if (first_row || wanted != search_key || model != search_model) {
		watch_search_box();
		search_key = wanted;
		search_model = model;
		search_prefix_found = some_name(model, wanted, true);
		GtkTreeModel *other = model == GTK_TREE_MODEL(knob_store) ? GTK_TREE_MODEL(string_store)
									 : GTK_TREE_MODEL(knob_store);
		bool elsewhere = !search_prefix_found && !some_name(model, wanted, false) && some_name(other, wanted, false);
		// Keys typed before the switch lengthen the key that waits for it.
		if (elsewhere && key_for_other_tab.empty())
			g_idle_add(on_other_tab_idle, nullptr);
		key_for_other_tab = elsewhere ? key : "";
	}
	std::size_t at = folded_name(model, iter).find(wanted);
	return search_prefix_found ? at != 0 : at == std::string::npos;
}

} // namespace

void use_type_ahead(GtkWidget *view)
{
	gtk_tree_view_set_search_column(GTK_TREE_VIEW(view), column_name);
	gtk_tree_view_set_search_equal_func(GTK_TREE_VIEW(view), name_differs_from_search, nullptr, nullptr);
}
