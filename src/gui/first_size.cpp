// The main window's first width, measured from what its lists show.
#include "gui/first_size.h"

#include "gui/main_window.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// A value as long as most values are: an interface's address and mask.
constexpr const char *typical_value = "\"inet 192.168.100.200 netmask 255.255.255.0\"";

// A store of model's columns holding one row: name, marked, with a typical
// value where the row has text.
GtkListStore *measuring_store(GtkTreeModel *model, const std::string &name)
{
	GType types[column_weight + 1];
	for (int i = 0; i <= column_weight; i++)
		types[i] = gtk_tree_model_get_column_type(model, i);
	GtkListStore *store = gtk_list_store_newv(column_weight + 1, types);
	GtkTreeIter row;
	gtk_list_store_append(store, &row);
	// Measured bold, as wide as a name can be shown.
	gtk_list_store_set(store, &row, column_mark, change_mark, column_name, name.c_str(), column_weight,
			   PANGO_WEIGHT_BOLD, -1);
	if (types[column_state] == G_TYPE_STRING)
		gtk_list_store_set(store, &row, column_state, typical_value, -1);
	return store;
}

// A name that ends in an ellipsis asks for no more than a few characters,
// so it is given a fixed width while the window is measured; -1 lets it go.
void set_name_width(GtkWidget *view, const std::string &name, bool measuring)
{
	GtkCellRenderer *renderer = column_renderer_of(view, column_name);
	gint xpad = 0;
	g_object_get(renderer, "xpad", &xpad, nullptr);
	g_object_set(renderer, "width", measuring ? text_width(view, name.c_str()) + 2 * xpad : -1, nullptr);
}

} // namespace

std::string widest_name_of(GtkWidget *view, GtkTreeModel *model)
{
	// Each name's width as the sum of its bytes' widths, measured once a
	// byte: names are ASCII, and only the few widest so found, kerned as
	// shown, are measured whole. A list of thousands is measured at once.
	int advance[128] = {};
	PangoLayout *layout = gtk_widget_create_pango_layout(view, nullptr);
	auto width_of = [layout](const char *text, int length) {
		pango_layout_set_text(layout, text, length);
		int width = 0;
		pango_layout_get_pixel_size(layout, &width, nullptr);
		return width;
	};
	for (int c = ' '; c < 127; c++) {
		char text = static_cast<char>(c);
		advance[c] = width_of(&text, 1);
	}
	std::vector<std::pair<int, std::string>> names;
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter)) {
		std::string text = row_name(model, &iter);
		int sum = 0;
		for (unsigned char c : text)
			sum += c < 128 ? advance[c] : 0;
		// A byte outside ASCII is measured with its name.
		bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
		names.emplace_back(ascii ? sum : width_of(text.c_str(), -1), std::move(text));
	}
	std::size_t candidates = std::min<std::size_t>(names.size(), 8);
	std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(candidates), names.end(),
			  [](const auto &a, const auto &b) { return a.first > b.first; });
	std::string widest;
	int most = -1;
	for (std::size_t i = 0; i < candidates; i++) {
		int width = width_of(names[i].second.c_str(), -1);
		if (width > most) {
			most = width;
			widest = names[i].second;
		}
	}
	g_object_unref(layout);
	return widest;
}

int text_width(GtkWidget *view, const char *text)
{
	PangoLayout *layout = gtk_widget_create_pango_layout(view, text);
	int width = 0;
	pango_layout_get_pixel_size(layout, &width, nullptr);
	g_object_unref(layout);
	return width;
}

// Each list is shown one row of its widest name, its scrolled window asking
// for the whole width of it: the window then asks for what it needs, tabs,
// buttons and every margin of the theme included.
int first_width(GtkWidget *window)
{
	GtkWidget *views[] = {knob_view, string_view};
	GtkTreeModel *models[2];
	for (int i = 0; i < 2; i++) {
		GtkTreeView *view = GTK_TREE_VIEW(views[i]);
		models[i] = GTK_TREE_MODEL(g_object_ref(gtk_tree_view_get_model(view)));
		std::string name = widest_name_of(views[i], models[i]);
		GtkListStore *store = measuring_store(models[i], name);
		set_name_width(views[i], name, true);
		gtk_tree_view_set_model(view, GTK_TREE_MODEL(store));
		g_object_unref(store);
		gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(gtk_widget_get_parent(views[i])), GTK_POLICY_NEVER,
					       GTK_POLICY_ALWAYS);
	}
	GtkRequisition wanted;
	gtk_widget_size_request(window, &wanted);
	for (int i = 0; i < 2; i++) {
		gtk_tree_view_set_model(GTK_TREE_VIEW(views[i]), models[i]);
		g_object_unref(models[i]);
		set_name_width(views[i], "", false);
		gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(gtk_widget_get_parent(views[i])),
					       GTK_POLICY_AUTOMATIC, GTK_POLICY_ALWAYS);
	}
	// The window opens centred on the monitor that holds the pointer.
	GdkScreen *screen = gtk_widget_get_screen(window);
	gint x = 0, y = 0;
	gdk_display_get_pointer(gdk_screen_get_display(screen), nullptr, &x, &y, nullptr);
	GdkRectangle monitor;
	gdk_screen_get_monitor_geometry(screen, gdk_screen_get_monitor_at_point(screen, x, y), &monitor);
	return std::min(wanted.width, monitor.width);
}
