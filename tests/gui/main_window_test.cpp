// The main window's widget tree, columns, initial rows, keys and what it shows of the files.
#include "gui/main_window.h"
#include "gui/mark_tips.h"
#include "gui_test_util.h"

#include <gdk/gdkkeysyms.h>

#include <fstream>
#include <string>

namespace {

class MainWindow : public gui_test {
protected:
	void build()
	{
		open_lists({{"sshd_enable", 5, "Start sshd"}, {"ntpd_enable"}, {"zfs_enable", 1}}, {{"hostname", "\"box\"", "Host name"}});
	}
};

TEST_F(MainWindow, WindowIsTitledCentredWithIconAndDefaultSize)
{
	build();
	GtkWindow *window = GTK_WINDOW(main_window);
	EXPECT_EQ(gtk_window_get_title(window), "Kelvane 0.6.8 \"Lanternfall\" - " + home.rc_path());
	EXPECT_NE(gtk_window_get_icon(window), nullptr);
	GtkWindowPosition position;
	g_object_get(window, "window-position", &position, nullptr);
	EXPECT_EQ(position, GTK_WIN_POS_CENTER);
	EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(window)), 10u);
	gint width, height;
	gtk_window_get_default_size(window, &width, &height);
	EXPECT_EQ(height, 480);
}

TEST_F(MainWindow, DefaultSizeComesFromGeometryFile)
{
	std::ofstream(home.geometry_path()) << "geometry=800,600\n";
	build();
	gint width, height;
	gtk_window_get_default_size(GTK_WINDOW(main_window), &width, &height);
	EXPECT_EQ(width, 800);
	EXPECT_EQ(height, 600);
}

TEST_F(MainWindow, PagesAreKnobsThenStrings)
{
	build();
	GtkNotebook *book = GTK_NOTEBOOK(notebook);
	ASSERT_EQ(gtk_notebook_get_n_pages(book), 2);
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 0)), "Knobs");
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 1)), "Strings");
	EXPECT_EQ(gtk_tree_view_get_model(page_view(0)), GTK_TREE_MODEL(knob_store));
	EXPECT_EQ(gtk_tree_view_get_model(page_view(1)), GTK_TREE_MODEL(string_store));
}

TEST_F(MainWindow, ColumnsShowTheirModelColumnAndSortByIt)
{
	struct {
		int page, column;
		const char *title, *attribute;
		GType renderer;
		gboolean resizable;
		gfloat title_align;
	} const cases[] = {
		{0, 0, "S", "stock-id", GTK_TYPE_CELL_RENDERER_PIXBUF, FALSE, 0.5f},
		{0, 1, "Name", "text", GTK_TYPE_CELL_RENDERER_TEXT, TRUE, 0.5f},
		{0, 2, "Enabled", "active", GTK_TYPE_CELL_RENDERER_TOGGLE, TRUE, 0.5f},
		{1, 0, "S", "stock-id", GTK_TYPE_CELL_RENDERER_PIXBUF, FALSE, 0.5f},
		{1, 1, "Name", "text", GTK_TYPE_CELL_RENDERER_TEXT, TRUE, 0.5f},
		{1, 2, "Value", "text", GTK_TYPE_CELL_RENDERER_TEXT, TRUE, 0.0f},
	};
	build();
	for (const auto &c : cases) {
		SCOPED_TRACE(c.title);
		GtkTreeViewColumn *column = gtk_tree_view_get_column(page_view(c.page), c.column);
		GtkTreeModel *model = gtk_tree_view_get_model(page_view(c.page));
		EXPECT_STREQ(gtk_tree_view_column_get_title(column), c.title);
		EXPECT_EQ(gtk_tree_view_column_get_resizable(column), c.resizable);
		EXPECT_EQ(gtk_tree_view_column_get_alignment(column), c.title_align);
		EXPECT_EQ(gtk_tree_view_column_get_sort_column_id(column), c.column);
		GtkCellRenderer *renderer = column_renderer(page_view(c.page), c.column);
		EXPECT_EQ(G_OBJECT_TYPE(renderer), c.renderer);
		// The bound attribute carries the row's model value into the renderer.
		GtkTreeIter iter;
		gtk_tree_model_get_iter_first(model, &iter);
		gtk_list_store_set(GTK_LIST_STORE(model), &iter, column_mark, change_mark, -1);
		gtk_tree_view_column_cell_set_cell_data(column, model, &iter, FALSE, FALSE);
		GValue shown = G_VALUE_INIT, held = G_VALUE_INIT;
		g_value_init(&shown, gtk_tree_model_get_column_type(model, c.column));
		g_object_get_property(G_OBJECT(renderer), c.attribute, &shown);
		gtk_tree_model_get_value(model, &iter, c.column, &held);
		gchar *shown_text = g_strdup_value_contents(&shown), *held_text = g_strdup_value_contents(&held);
		EXPECT_STREQ(shown_text, held_text);
		g_free(shown_text);
		g_free(held_text);
		g_value_unset(&shown);
		g_value_unset(&held);
	}
}

TEST_F(MainWindow, ViewsHaveRulesSingleSelectionAndEditableValues)
{
	build();
	for (int page = 0; page < 2; page++) {
		EXPECT_TRUE(gtk_tree_view_get_rules_hint(page_view(page)));
		EXPECT_EQ(gtk_tree_selection_get_mode(gtk_tree_view_get_selection(page_view(page))),
			  GTK_SELECTION_SINGLE);
	}
	gboolean editable = FALSE;
	g_object_get(column_renderer(page_view(1), 2), "editable", &editable, nullptr);
	EXPECT_TRUE(editable);
}

TEST_F(MainWindow, ButtonsComeInOrderWithTheirTips)
{
	struct {
		const char *stock, *tip;
	} const cases[] = {
		{"gtk-save", "Save changes"},
		{"gtk-add", "Add a new entry"},
		{nullptr, "About Kelvane"},
		{"gtk-quit", "Exit Kelvane"},
	};
	build();
	for (int i = 0; i < 4; i++) {
		GtkButton *button = GTK_BUTTON(row_button(i));
		if (cases[i].stock != nullptr) {
			EXPECT_STREQ(gtk_button_get_label(button), cases[i].stock);
		}
		EXPECT_EQ(tip_text(GTK_WIDGET(button)), cases[i].tip);
	}
	EXPECT_EQ(row_button(0), save_button);
}

TEST_F(MainWindow, StartsCleanWithRowsFromTheEntries)
{
	build();
	EXPECT_EQ(pending_changes, 0);
	EXPECT_FALSE(gtk_widget_get_sensitive(save_button));
	EXPECT_EQ(status_text(), "");
	EXPECT_EQ(cell_text(knob_store, 0, column_name), "sshd_enable");
	EXPECT_TRUE(cell_state(0)) << "any non-zero knob_on ticks the box";
	EXPECT_FALSE(cell_state(1));
	EXPECT_EQ(cell_text(string_store, 0, column_state), "\"box\"");
	for (int row = 0; row < 3; row++)
		EXPECT_EQ(cell_text(knob_store, row, column_mark), "");
	EXPECT_EQ(lists.knobs[0].has_comment + lists.strings[0].has_comment, 0);
}

TEST_F(MainWindow, EmptyListsKeepTheirColumns)
{
	open_lists({}, {});
	for (int page = 0; page < 2; page++) {
		EXPECT_EQ(gtk_tree_model_iter_n_children(gtk_tree_view_get_model(page_view(page)), nullptr), 0);
		EXPECT_EQ(gtk_tree_view_get_column(page_view(page), 2) != nullptr, true);
	}
}

// Typing in a list finds a name, case ignored, and selects it, so the status
// bar shows its comment: a name that begins with the text comes before one
// that holds it further in, whatever their order.
TEST_F(MainWindow, TypingFindsANameAndShowsItsComment)
{
	open_lists({{"sshd_flags_enable"}, {"sshd_enable", 1, "Start sshd"}, {"syslogd_enable", 1}},
		   {{"background_dhclient", "\"NO\"", "Wait for dhclient"}, {"dhclient_program", "\"/sbin/dhclient\"", "The program"},
		    {"ntpd_enable_x", "\"\""}, {"ntpd_flags", "\"-g\"", "Flags to ntpd"}});
	set_window_focus(main_window, true);
	const struct {
		int page;
		const char *typed, *found, *comment;
	} cases[] = {{0, "SSHD_EN", "sshd_enable", "Start sshd"},
		     {1, "ntpd_fl", "ntpd_flags", "Flags to ntpd"},
		     {1, "DHclient", "dhclient_program", "The program"},
		     {1, "client", "background_dhclient", "Wait for dhclient"}};
	for (const auto &c : cases) {
		gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), c.page);
		GtkTreeView *view = page_view(c.page);
		// Leaving the list ends the search before, so each case starts anew.
		gtk_widget_grab_focus(row_button(1));
		gtk_widget_grab_focus(GTK_WIDGET(view));
		send_keys(GTK_WIDGET(view), c.typed);
		EXPECT_TRUE(wait_for([&] { return status_text() == c.comment; })) << c.typed;
		EXPECT_EQ(selected_name(c.page), c.found);
	}
}

// In a narrow window the values, what is edited, stay in sight beside the
// longest names of real files.
TEST_F(MainWindow, ValueColumnStaysInSightInANarrowWindow)
{
	std::ofstream(home.geometry_path()) << "geometry=400,480\n";
	const std::string value = "\"" + std::string(200, 'v') + "\"";
	open_lists({}, {{"rfcomm_pppd_server_two_channel", value.c_str()}, {"ifconfig_em0", "\"DHCP\""}});
	// The Strings tab comes to the front once the window is up, as a user brings it.
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(main_window); }));
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 1);
	GtkTreeView *view = page_view(1);
	GtkAllocation shown;
	ASSERT_TRUE(wait_for([&] {
		gtk_widget_get_allocation(GTK_WIDGET(view), &shown);
		return gtk_widget_get_mapped(GTK_WIDGET(view)) && shown.width > 1;
	}));
	gint width, height;
	gtk_window_get_size(GTK_WINDOW(main_window), &width, &height);
	EXPECT_EQ(width, 400);
	auto value_part = [&] {
		return shown.width - gtk_tree_view_column_get_width(gtk_tree_view_get_column(view, 0)) -
		       gtk_tree_view_column_get_width(gtk_tree_view_get_column(view, 1));
	};
	// The names take what the values leave: none is cut shorter than it must be.
	EXPECT_TRUE(wait_for([&] { return value_part() <= 170; })) << value_part();
	EXPECT_GE(value_part(), 150);
	EXPECT_TRUE(gtk_tree_view_column_get_resizable(gtk_tree_view_get_column(view, 1)));

	// With room, the longest name shows whole.
	PangoLayout *layout = gtk_widget_create_pango_layout(GTK_WIDGET(view), "rfcomm_pppd_server_two_channel");
	int name_width = 0;
	pango_layout_get_pixel_size(layout, &name_width, nullptr);
	g_object_unref(layout);
	gtk_window_resize(GTK_WINDOW(main_window), 900, 480);
	EXPECT_TRUE(wait_for([&] {
		return gtk_tree_view_column_get_width(gtk_tree_view_get_column(view, 1)) >= name_width;
	})) << gtk_tree_view_column_get_width(gtk_tree_view_get_column(view, 1)) << " < " << name_width;
}

// The keyboard does what the buttons and clicks do: Space toggles a Knobs
// row, Enter opens a Strings row's value with its name still in sight,
// Ctrl+S saves what is being typed and Ctrl+Q quits through the same question.
TEST_F(MainWindow, KeysToggleEditSaveAndQuit)
{
	const std::string wide = "\"" + std::string(200, 'w') + "\"";
	open_lists({{"sshd_enable"}}, {{"a_name_of_some_length", wide.c_str()}});
	set_window_focus(main_window, true);
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(knob_view); }));
	GtkTreePath *first = gtk_tree_path_new_first();
	gtk_tree_view_set_cursor(GTK_TREE_VIEW(knob_view), first, nullptr, FALSE);
	gtk_widget_grab_focus(knob_view);
	send_key(knob_view, GDK_space);
	EXPECT_TRUE(cell_state(0));
	EXPECT_EQ(pending_changes, 1);

	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 1);
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(string_view); }));
	gtk_tree_view_set_cursor(GTK_TREE_VIEW(string_view), first, nullptr, FALSE);
	gtk_tree_path_free(first);
	gtk_widget_grab_focus(string_view);
	// Right, twice, moves to the Value column and scrolls the list to it.
	send_key(string_view, GDK_Right);
	send_key(string_view, GDK_Right);
	send_key(string_view, GDK_KP_Enter);
	ASSERT_TRUE(wait_for([] { return value_editor_entry() != nullptr; }));
	process_events();
	GdkRectangle visible;
	gtk_tree_view_get_visible_rect(GTK_TREE_VIEW(string_view), &visible);
	EXPECT_EQ(visible.x, 0) << "the Name column scrolled out of sight";

	gtk_entry_set_text(value_editor_entry(), "\"typed\"");
	answer_dialogs({GTK_RESPONSE_OK});
	send_key(main_window, GDK_s, GDK_CONTROL_MASK);
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "Changes saved");
	EXPECT_NE(read_file(home.rc_path()).find("sshd_enable=\"YES\"\na_name_of_some_length=\"typed\"\n"),
		  std::string::npos);

	toggle_knob("sshd_enable");
	answer_dialogs({GTK_RESPONSE_NO});
	EXPECT_FALSE(ends_main_loop([] { send_key(main_window, GDK_q, GDK_CONTROL_MASK); }));
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "There are unsaved changes, quit anyway?");
}

TEST_F(MainWindow, SortingByNameReordersRowsButNotEntries)
{
	build();
	GtkTreeViewColumn *name = gtk_tree_view_get_column(page_view(0), 1);
	gtk_tree_view_column_clicked(name);
	gtk_tree_view_column_clicked(name);
	EXPECT_EQ(cell_text(knob_store, 0, column_name), "zfs_enable");
	EXPECT_EQ(cell_text(knob_store, 2, column_name), "ntpd_enable");
	EXPECT_STREQ(gui_knobs[0].name, "sshd_enable");
	g_signal_emit_by_name(column_renderer(page_view(0), 2), "toggled", "0");
	EXPECT_EQ(gui_knobs[2].knob_on, 0);
	EXPECT_EQ(gui_knobs[2].modified, 1);
}

// The window shows what the boot reads: each top-level assignment once, in
// the tab its value calls for; a file read after rc.conf wins, its rows
// marked and locked, the status bar naming it.
TEST_F(MainWindow, ShowsWhatTheBootReads)
{
	const std::string later = home.dir + "/rc.conf.local";
	write_file(later, "ntpd_enable=NO # kept off\n");
	open_files("gateway_enable=\"NO\"\nfsck_y_enable=\"NO\"\nsyslogd_flags=\"-s\"\nike_program=\"${_localbase}/sbin/isakmpd\"\n"
		   "ike_flags=\"\"\nntpd_enable=\"NO\" # Run ntpd\nrc_conf_files=\"" + home.rc_path() + " " + later +
			   "\"\nif true; then\n\tinner=1\nfi\n",
		   "root@host:~ # cat /etc/rc.conf\n  gateway_enable=YES\nfsck_y_enable=\"yes\"\nsyslogd_flags='-ss'\n"
		   "ifconfig_em0=\"inet 10.0.0.1\n  netmask 255.0.0.0\"\nntpd_enable=YES\n");
	EXPECT_EQ(rows_shown(), "fsck_y_enable=on \ngateway_enable=on \nntpd_enable=off gtk-info\n"
				"ifconfig_em0=\"inet 10.0.0.1\u23CE  netmask 255.0.0.0\" (as written) \n"
				"ike_flags=\"\" \nike_program=\"${_localbase}/sbin/isakmpd\" \n"
				"rc_conf_files=\"" + home.rc_path() + " " + later + "\" \nsyslogd_flags=\"-ss\" \n");
	select_row(0, "ntpd_enable");
	EXPECT_EQ(status_text(), "Set in '" + later + "', which is read after '" + home.rc_path() +
				 "' at boot \u2014 Run ntpd");
	answer_dialogs({GTK_RESPONSE_CLOSE});
	toggle_knob("ntpd_enable");
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "The variable ntpd_enable cannot be changed here");
	EXPECT_EQ(answered_dialogs()[0].detail, "It is set in '" + later + "', which is read after '" + home.rc_path() +
							"' at boot, so a change saved here would not count. Change it in '" +
							later + "'.");
	EXPECT_FALSE(cell_state(2));
	EXPECT_EQ(pending_changes, 0);
}

// A user who may not save learns it from the start: nothing can be changed,
// and Save says why it is not there.
TEST_F(MainWindow, SaysAtOnceWhenRcConfCannotBeSaved)
{
	const std::string path = home.dir + "/no-such-folder/rc.conf";
	setenv("KELVANE_RC", path.c_str(), 1);
	build();
	EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Kelvane 0.6.8 \"Lanternfall\" (read-only) - " + path);
	EXPECT_EQ(status_text(), "");
	EXPECT_EQ(std::string(gtk_tooltips_data_get(save_button)->tip_text),
		  "Save is not available: you may not write '" + path + "'. Run Kelvane as root to save changes.");
	EXPECT_FALSE(gtk_widget_get_sensitive(save_button));
	EXPECT_FALSE(gtk_widget_get_sensitive(row_button(1)));
	for (int page = 0; page < 2; page++) {
		gboolean sensitive = TRUE;
		g_object_get(column_renderer(page_view(page), 2), "sensitive", &sensitive, nullptr);
		EXPECT_FALSE(sensitive) << "values of page " << page << " look editable";
	}
	// A click, Space or Enter on a value says why nothing happens.
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(knob_view); }));
	answer_dialogs({GTK_RESPONSE_CLOSE, GTK_RESPONSE_CLOSE, GTK_RESPONSE_CLOSE});
	toggle_knob("sshd_enable");
	GtkTreePath *first = gtk_tree_path_new_first();
	gtk_tree_view_set_cursor(GTK_TREE_VIEW(knob_view), first, nullptr, FALSE);
	gtk_tree_path_free(first);
	gtk_widget_grab_focus(knob_view);
	send_key(knob_view, GDK_space);
	EXPECT_EQ(open_value_editor("hostname"), nullptr);
	ASSERT_TRUE(wait_for([] { return answered_dialogs().size() == 3; }));
	EXPECT_EQ(answered_dialogs()[0].text, "The variable sshd_enable cannot be changed here");
	EXPECT_EQ(answered_dialogs()[1].text, "The variable sshd_enable cannot be changed here");
	EXPECT_EQ(answered_dialogs()[2].text, "The value of hostname cannot be edited here");
	for (const seen_dialog &dialog : answered_dialogs())
		EXPECT_EQ(dialog.detail, "You may not write '" + path + "'. Run Kelvane as root to change it.");
	EXPECT_EQ(pending_changes, 0);
	// The line above the lists says why, whole, while the status bar speaks of rows.
	select_row(1, "hostname");
	EXPECT_EQ(status_text(), "Host name");
	GList *children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(main_window))));
	GtkWidget *line = GTK_WIDGET(children->data);
	g_list_free(children);
	ASSERT_TRUE(GTK_IS_LABEL(line));
	EXPECT_EQ(std::string(gtk_label_get_text(GTK_LABEL(line))),
		  "You may not change '" + path + "': run Kelvane as root to save changes.");
	EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(line))) << "a long path would be cut";
}

} // namespace

// A name too long for any screen leaves the window as wide as the screen.
TEST_F(MainWindow, FirstWidthStaysWithinTheScreen)
{
	const std::string name(field_size - 1, 'W');
	open_lists({}, {{name.c_str(), "\"x\""}});
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(main_window); }));
	GdkRectangle monitor;
	gdk_screen_get_monitor_geometry(gdk_screen_get_default(), 0, &monitor);
	gint width, height;
	gtk_window_get_size(GTK_WINDOW(main_window), &width, &height);
	EXPECT_EQ(width, monitor.width);
}

// The S column says what its two icons mean, on its header and on each icon.
TEST_F(MainWindow, MarksExplainThemselvesInTooltips)
{
	build();
	EXPECT_STREQ(mark_meaning(change_mark), "Changed, not saved yet");
	EXPECT_STREQ(mark_meaning(later_mark), "Set in a file read later: change it there");
	EXPECT_EQ(mark_meaning(""), nullptr);
	ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(knob_view); }));
	GtkTreeView *view = page_view(0);
	toggle_knob("ntpd_enable");
	process_events();
	GtkTooltip *tooltip = GTK_TOOLTIP(g_object_new(GTK_TYPE_TOOLTIP, nullptr));
	for (int row : {0, 1}) {
		GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
		for (int column : {column_mark, column_name}) {
			GdkRectangle cell;
			gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, column), &cell);
			gint x = 0, y = 0;
			gtk_tree_view_convert_bin_window_to_widget_coords(view, cell.x + 2, cell.y + 2, &x, &y);
			gboolean shown = FALSE;
			g_signal_emit_by_name(view, "query-tooltip", x, y, FALSE, tooltip, &shown);
			EXPECT_EQ(shown, row == 1 && column == column_mark) << row << " " << column;
		}
		gtk_tree_path_free(path);
	}
	GtkWidget *header = gtk_widget_get_ancestor(gtk_tree_view_column_get_widget(gtk_tree_view_get_column(view, 0)),
						    GTK_TYPE_BUTTON);
	ASSERT_NE(header, nullptr);
	gboolean shown = FALSE;
	g_signal_emit_by_name(header, "query-tooltip", 1, 1, FALSE, tooltip, &shown);
	EXPECT_TRUE(shown && gtk_widget_get_has_tooltip(header) && gtk_widget_get_has_tooltip(GTK_WIDGET(view)));
	g_object_unref(tooltip);
}
