// Undo Change and Reset to Default from a row's menu, and Ctrl+Z over the changes pending.
#include "gui/editing.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "gui_test_util.h"

#include <gdk/gdkkeysyms.h>

#include <string>

namespace {

class Undo : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_files("sshd_enable=NO\nntpd_enable=NO\nodd_enable=maybe\nsendmail_enable=NO\nhostname=\nflags=-x\nlong=y\n"
			   "motd=\"" + std::string(300, 'm') + "\"\n",
			   "sshd_enable=YES\nodd_enable=YES\nsendmail_enable=NONE\nhostname=box\nlong='$x'\nmotd=short\n");
	}

	// Opens the menu of the row of name: a right click on it, or key on it as the cursor's row.
	// A shown menu grabs the pointer, so one test alone opens menus: two tests
	// run at once on one display would take the grab from each other.
	static GtkMenuShell *open_menu(int page, const char *name, guint key = 0, guint state = 0)
	{
		gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
		GtkTreeView *view = page_view(page);
		GtkTreePath *path = gtk_tree_path_new_from_string(row_path(page ? string_store : knob_store, name).c_str());
		GdkRectangle cell = {};
		// The rows are measured once the list is on screen: the point clicked must find the row.
		EXPECT_TRUE(wait_for([&] {
			GtkTreePath *hit = nullptr;
			gtk_tree_view_get_cell_area(view, path, nullptr, &cell);
			bool found = gtk_tree_view_get_path_at_pos(view, cell.x + 2, cell.y + 2, &hit, nullptr, nullptr, nullptr) &&
				     gtk_tree_path_compare(hit, path) == 0;
			gtk_tree_path_free(hit);
			return found;
		})) << name;
		if (key != 0) {
			gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
			gtk_widget_grab_focus(GTK_WIDGET(view));
			send_key(GTK_WIDGET(view), key, state);
		} else {
			GdkEvent *click = gdk_event_new(GDK_BUTTON_PRESS);
			click->button.window = GDK_WINDOW(g_object_ref(gtk_tree_view_get_bin_window(view)));
			click->button.x = cell.x + 2;
			click->button.y = cell.y + 2;
			click->button.button = 3;
			click->button.device = gdk_display_get_core_pointer(gdk_display_get_default());
			gtk_main_do_event(click);
			gdk_event_free(click);
		}
		gtk_tree_path_free(path);
		GtkWidget *menu = GTK_WIDGET(gtk_menu_get_for_attach_widget(GTK_WIDGET(view))->data);
		EXPECT_TRUE(wait_for([&] { return gtk_widget_get_mapped(menu); })) << name;
		return GTK_MENU_SHELL(menu);
	}

	static GtkWidget *item(GtkMenuShell *menu, int index)
	{
		GList *items = gtk_container_get_children(GTK_CONTAINER(menu));
		GtkWidget *found = GTK_WIDGET(g_list_nth_data(items, index));
		g_list_free(items);
		return found;
	}

	// "U" when Undo Change is offered, "R" when Reset to Default is; chooses the one of choose, or closes.
	static std::string offered(GtkMenuShell *menu, int choose = -1)
	{
		std::string shown = std::string(gtk_widget_is_sensitive(item(menu, 0)) ? "U" : "") +
				    (gtk_widget_is_sensitive(item(menu, 1)) ? "R" : "");
		if (choose >= 0)
			gtk_menu_shell_activate_item(menu, item(menu, choose), TRUE);
		else
			gtk_menu_popdown(GTK_MENU(menu));
		process_events();
		return shown;
	}

	// What the row of name shows: on or off, or the value, then "*" when marked changed.
	static std::string row(const char *name)
	{
		GtkListStore *store = row_path(knob_store, name).empty() ? string_store : knob_store;
		if (row_path(store, name).empty())
			return "(none)";
		std::string state = store == knob_store ? knob_state(name) : cell_of(store, name, column_state);
		return state + (cell_of(store, name, column_mark) == change_mark ? "*" : "");
	}
};

// A right click selects its row; it, the Menu key and Shift+F10 open the
// row's menu. Undo takes a changed row back to its value as read. Reset gives
// the default as a change to save, where one exists, suits the row, differs
// and may be written; a knob's default on a string is its word.
TEST_F(Undo, RowMenuUndoesAChangeOrResetsToADefaultThatSuits)
{
	toggle_knob("sshd_enable");
	toggle_knob("ntpd_enable");
	edit_value("hostname", "\"gate\"");
	select_row(knobs_page, "odd_enable");
	enum { none = -1, undo, reset };
	const struct {
		int page;
		const char *name;
		guint key, state;
		int choose;
		const char *offered, *after;
	} cases[] = {
		{knobs_page, "sshd_enable", 0, 0, undo, "U", "on"},
		{strings_page, "hostname", GDK_Menu, 0, undo, "UR", "\"box\""},
		{knobs_page, "ntpd_enable", GDK_F10, GDK_SHIFT_MASK, undo, "UR", "off"},
		// All is as read again.
		{knobs_page, "sshd_enable", 0, 0, reset, "R", "off*"},
		{knobs_page, "ntpd_enable", 0, 0, none, "", "off"},
		{knobs_page, "odd_enable", 0, 0, none, "", "on"},
		{strings_page, "hostname", 0, 0, reset, "R", "\"\"*"},
		{strings_page, "sendmail_enable", 0, 0, reset, "R", "\"NO\"*"},
		{strings_page, "flags", 0, 0, none, "", "\"-x\""},
		{strings_page, "long", 0, 0, none, "", "'$x' (as written)"},
		{strings_page, "motd", 0, 0, none, "", "\"short\""},
	};
	for (const auto &c : cases) {
		EXPECT_EQ(offered(open_menu(c.page, c.name, c.key, c.state), c.choose), c.offered) << c.name;
		EXPECT_EQ(selected_name(c.page), c.name);
		EXPECT_EQ(row(c.name), c.after);
		EXPECT_EQ(gtk_widget_get_sensitive(save_button), pending_changes > 0) << c.name;
	}
	EXPECT_EQ(pending_changes, 3);
	press_save();
	std::string file = read_file(home.rc_path());
	EXPECT_EQ(file.substr(file.find('\n', file.find("# Kelvane")) + 1),
		  "sshd_enable=\"NO\"\nhostname=\"\"\nsendmail_enable=\"NO\"\n");
}

// Ctrl+Z takes back the latest change still pending, again and again, in
// either tab, its row selected in front: a value being typed is taken first,
// an added row goes, a row changed back by hand is passed over, and Reload
// and changes brought back keep the order.
TEST_F(Undo, CtrlZUndoesTheLatestChangeInEitherTab)
{
	rc_entry kept = gui_knobs[find_entry(gui_knobs, gui_knob_count, "odd_enable")];
	kept.knob_on = 0;
	kept.modified = 1;
	ASSERT_TRUE(bring_back_changes({kept}));
	toggle_knob("sshd_enable");
	edit_value("hostname", "\"one\"");
	GtkWidget *window = press_add();
	type_into(window, "label", "x");
	ASSERT_TRUE(press_apply(window).empty());
	toggle_knob("ntpd_enable");
	toggle_knob("ntpd_enable");
	edit_value("flags", "\"-y\"");
	reload_files();
	GtkEntry *editor = open_value_editor("hostname");
	ASSERT_NE(editor, nullptr);
	gtk_entry_set_text(editor, "\"typed\"");
	const struct {
		int page;
		const char *name, *after;
	} undone[] = {
		{strings_page, "hostname", "\"box\""}, {strings_page, "flags", "\"-x\""}, {strings_page, "label", "(none)"},
		{knobs_page, "sshd_enable", "on"},      {knobs_page, "odd_enable", "on"},
	};
	for (const auto &u : undone) {
		send_key(main_window, GDK_z, GDK_CONTROL_MASK);
		EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook)), u.page) << u.name;
		EXPECT_EQ(row(u.name), u.after);
		EXPECT_EQ(selected_name(u.page) == u.name, u.after[0] != '(') << u.name;
	}
	EXPECT_EQ(value_editor_entry(), nullptr);
	send_key(main_window, GDK_z, GDK_CONTROL_MASK);
	EXPECT_EQ(pending_changes, 0);
	EXPECT_EQ(modified_count(), 0);
}

} // namespace
