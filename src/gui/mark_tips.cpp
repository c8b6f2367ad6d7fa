// What the icons of the S column mean: tooltips on its header and on each icon.
#include "gui/mark_tips.h"

#include "gui/i18n.h"
#include "gui/main_window.h"

#include <string_view>

namespace {

struct mark_text {
	const char *mark;
	const char *meaning;
};

constexpr mark_text mark_texts[] = {
	{change_mark, N_("Changed, not saved yet")},
	{later_mark, N_("Set in a file read later: change it there")},
	{warning_mark, N_("The boot will not read this value as meant: see the details")},
};

constexpr int legend_spacing = 6; // pixels between an icon and its meaning

// Each icon beside its meaning, one below the other.
GtkWidget *new_legend()
{
	GtkWidget *table = gtk_table_new(G_N_ELEMENTS(mark_texts), 2, FALSE);
	gtk_table_set_col_spacings(GTK_TABLE(table), legend_spacing);
	guint row = 0;
	for (const mark_text &m : mark_texts) {
		GtkWidget *label = gtk_label_new(_(m.meaning));
		gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.5);
		gtk_table_attach_defaults(GTK_TABLE(table), gtk_image_new_from_stock(m.mark, GTK_ICON_SIZE_MENU), 0, 1,
					  row, row + 1);
		gtk_table_attach_defaults(GTK_TABLE(table), label, 1, 2, row, row + 1);
		row++;
	}
	gtk_widget_show_all(table);
	return table;
}

gboolean on_mark_header_query_tooltip(GtkWidget *, gint, gint, gboolean, GtkTooltip *tooltip, gpointer)
{
	gtk_tooltip_set_custom(tooltip, new_legend());
	return TRUE;
}

// The icon under the pointer, or the one of the cursor's row when the
// keyboard asks, says what it means.
gboolean on_marked_view_query_tooltip(GtkWidget *widget, gint x, gint y, gboolean keyboard, GtkTooltip *tooltip,
				      gpointer)
{
	GtkTreeView *view = GTK_TREE_VIEW(widget);
	GtkTreeModel *model = nullptr;
	GtkTreePath *path = nullptr;
	GtkTreeIter iter;
	if (!gtk_tree_view_get_tooltip_context(view, &x, &y, keyboard, &model, &path, &iter))
		return FALSE;
	GtkTreeViewColumn *mark_column = gtk_tree_view_get_column(view, column_mark);
	GtkTreeViewColumn *column = mark_column;
	if (!keyboard)
		gtk_tree_view_get_path_at_pos(view, x, y, nullptr, &column, nullptr, nullptr);
	gchar *mark = nullptr;
	gtk_tree_model_get(model, &iter, column_mark, &mark, -1);
	const char *meaning = column == mark_column ? mark_meaning(mark) : nullptr;
	if (meaning != nullptr) {
		gtk_tooltip_set_text(tooltip, meaning);
		gtk_tree_view_set_tooltip_cell(view, tooltip, path, mark_column, nullptr);
	}
	g_free(mark);
	gtk_tree_path_free(path);
	return meaning != nullptr;
}

} // namespace

const char *mark_meaning(const char *mark)
{
	for (const mark_text &m : mark_texts)
		if (mark != nullptr && std::string_view(mark) == m.mark)
			return _(m.meaning);
	return nullptr;
}

void explain_marks(GtkWidget *view)
{
	GtkTreeViewColumn *column = gtk_tree_view_get_column(GTK_TREE_VIEW(view), column_mark);
	// The header's button is the toolkit's; the title put in it leads there.
	GtkWidget *title = gtk_label_new(gtk_tree_view_column_get_title(column));
	gtk_widget_show(title);
	gtk_tree_view_column_set_widget(column, title);
	GtkWidget *header = gtk_widget_get_ancestor(title, GTK_TYPE_BUTTON);
	if (header != nullptr) {
		gtk_widget_set_has_tooltip(header, TRUE);
		g_signal_connect(header, "query-tooltip", G_CALLBACK(on_mark_header_query_tooltip), nullptr);
	}
	gtk_widget_set_has_tooltip(view, TRUE);
	g_signal_connect(view, "query-tooltip", G_CALLBACK(on_marked_view_query_tooltip), nullptr);
}
