// The window, the add window and the messages in German.
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <clocale>
#include <cstring>
#include <string>

namespace {

class German : public gui_test {};

GtkWidget *find_label(GtkWidget *root, const char *text)
{
	if (GTK_IS_LABEL(root) && std::strcmp(gtk_label_get_label(GTK_LABEL(root)), text) == 0)
		return root;
	GtkWidget *found = nullptr;
	if (GTK_IS_CONTAINER(root)) {
		GList *children = gtk_container_get_children(GTK_CONTAINER(root));
		for (GList *l = children; l != nullptr && found == nullptr; l = l->next)
			found = find_label(GTK_WIDGET(l->data), text);
		g_list_free(children);
	}
	return found;
}

std::string stock_label(const char *stock)
{
	GtkStockItem item;
	return gtk_stock_lookup(stock, &item) ? item.label : "";
}

} // namespace

TEST_F(German, WindowAddWindowAndMessagesAreInGerman)
{
	ASSERT_STREQ(setlocale(LC_MESSAGES, nullptr), "de_DE.UTF-8");
	rc_lists lists = make_lists({{"sshd_enable", 1, ""}}, {{"hostname", "\"box\"", ""}});
	create_main_window(&lists);
	GtkNotebook *book = GTK_NOTEBOOK(notebook);
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 0)), "Schalter");
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 1)), "Zeichenketten");
	EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(page_view(0), 2)), "Aktiviert");
	EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(page_view(1), 2)), "Wert");
	EXPECT_NE(find_label(row_button(2), "Ü_ber"), nullptr);
	EXPECT_STREQ(gtk_tooltips_data_get(save_button)->tip_text, "Änderungen speichern");
	// The stock buttons come in German from the toolkit's own catalogue.
	EXPECT_EQ(stock_label(GTK_STOCK_SAVE), "_Speichern");

	gtk_button_clicked(GTK_BUTTON(row_button(1)));
	process_events();
	GList *toplevels = gtk_window_list_toplevels();
	GtkWidget *add_window = nullptr;
	for (GList *l = toplevels; l != nullptr; l = l->next)
		if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(l->data)), "Neuen Eintrag hinzufügen") == 0)
			add_window = GTK_WIDGET(l->data);
	g_list_free(toplevels);
	ASSERT_NE(add_window, nullptr);
	for (const char *frame : {"Name", "Wert", "Kommentar (optional)"})
		EXPECT_NE(find_label(add_window, frame), nullptr) << frame;

	answer_dialogs({GTK_RESPONSE_OK});
	gtk_button_clicked(GTK_BUTTON(save_button));
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "Es gibt keine ungespeicherten Änderungen");
	answer_dialogs({GTK_RESPONSE_CLOSE});
	edit_value("hostname", "\"a\" \"b\"");
	process_events();
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text,
		  "Der Wert darf zwischen den beiden umschließenden \" kein weiteres \" enthalten");
}
