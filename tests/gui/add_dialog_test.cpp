// The add-entry window: its checks, the new entry, growth of the arrays, its one window.
#include "gui/add_dialog.h"
#include "gui/editing.h"
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool exists(GtkWidget *window)
{
	std::vector<GtkWidget *> windows = add_windows();
	return std::find(windows.begin(), windows.end(), window) != windows.end();
}

int current_page()
{
	return gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook));
}

rc_entry existing(const char *name, const char *value)
{
	rc_entry entry{};
	copy_field(entry.name, name);
	copy_field(entry.value, value);
	copy_field(entry.saved_value, value);
	entry.is_knob = value[0] == '\0';
	return entry;
}

const rc_entry existing_knobs[] = {existing("sshd_enable", "")};
const rc_entry existing_strings[] = {existing("hostname", "\"h\"")};

add_fault check(const char *name, const char *value, const char *comment = "")
{
	return check_new_entry({name, value, comment}, existing_knobs, 1, existing_strings, 1);
}

// Window tests run with a scratch HOME and fail on toolkit criticals; the
// window opens on knobs and strings of the names given, with a value each.
class AddWindow : public gui_test {
protected:
	void open(std::initializer_list<const char *> knobs, std::initializer_list<const char *> strings)
	{
		std::vector<test_knob> knob_rows;
		std::vector<test_string> string_rows;
		for (const char *name : knobs)
			knob_rows.push_back({name});
		for (const char *name : strings)
			string_rows.push_back({name, "\"v\""});
		open_lists(knob_rows, string_rows);
		process_events();
	}
};
class AddWindowGrowth : public AddWindow {};

} // namespace

TEST(AddCheck, FirstFailingTestInOrderDecides)
{
	const std::string long_name(field_size, 'n');
	const std::string long_value = "\"" + std::string(field_size - 2, 'v') + "\"";
	struct {
		const char *name, *value, *comment;
		add_fault fault;
	} cases[] = {
		{"", "\"x\"", "", fault_empty},
		{"", "bad", "", fault_empty},            // empty before the value
		{"hostname", "x", "", fault_duplicate},  // the name before the value
		{"hostname", "\"YES\"", "", fault_duplicate},
		{"sshd_enable", "\"x\"", "", fault_duplicate},
		{"sshd_enable", "\"x\"", "a\nb", fault_duplicate},
		{"a", "\"x\ny\"", "", fault_value},
		{"a", "\"x\"", "c\rd", fault_line_break},
		{"a\n", "\"x\"", "", fault_line_break},  // line break before name rules
		{"1abc", "\"x\"", "", fault_name},
		{"_a", "\"x\"", "", fault_name},
		{"a-b", "\"x\"", "", fault_name},
		{"a b", "\"x\"", "", fault_name},
		{"\xc3\xa9t\xc3\xa9", "\"x\"", "", fault_name},
		{"Hostname", "\"x\"", "", add_ok},       // case tells names apart
		{"a_1Z", "\"x\"", "any # text", add_ok},
		{"a", "\"", "", fault_value},           // one quote is first and last, but open
		{"a", "\"x", "", fault_value},
		{"a", "\"x\" ", "", fault_value},
		{"a", "\"x\"y\"", "", fault_value},
		{"a1", "\"x\\\"", "", fault_value},      // the closing quote is escaped
		{"a", "\"a\";echo INJECTED;\"b\"", "", fault_value},
		{"a", "\"$(echo ')\"", "", fault_value},
		{"a", long_value.c_str(), "", fault_value},
		{long_name.c_str(), "\"x\"", "", fault_too_long},
		{"a", "\"x\"", long_name.c_str(), fault_too_long},
		{"hostname", "\"", "", fault_duplicate}, // the value check after the named tests
	};
	for (const auto &c : cases)
		EXPECT_EQ(check(c.name, c.value, c.comment), c.fault) << c.name << " = " << c.value;
}

TEST(AddCheck, NameCutToItsFieldIsDuplicate)
{
	std::string stored(field_size - 1, 'a');
	rc_entry knob{};
	copy_field(knob.name, stored);
	std::string typed = stored + "b";
	EXPECT_EQ(check_new_entry({typed.c_str(), "\"x\"", ""}, &knob, 1, nullptr, 0), fault_duplicate);
}

TEST(AddKnobValue, OnlyQuotedYesOrNoInAnyCase)
{
	struct {
		const char *value;
		bool knob;
	} cases[] = {
		{"\"YES\"", true}, {"\"yes\"", true}, {"\"No\"", true}, {"\"nO\"", true},
		{"\"\"", false},   {"\"", false},     {"YES", false},   {"\"YES \"", false},
		{"\"NONE\"", false},
	};
	for (const auto &c : cases)
		EXPECT_EQ(is_knob_value(c.value), c.knob) << c.value;
}

TEST(AddFill, KnobKeepsStateAndNoValue)
{
	rc_entry entry{};
	copy_field(entry.value, "left over");
	fill_new_entry(&entry, {"ntpd_enable", "\"yes\"", "time"});
	EXPECT_STREQ(entry.name, "ntpd_enable");
	EXPECT_STREQ(entry.value, "");
	EXPECT_STREQ(entry.comment, "time");
	EXPECT_EQ(entry.has_comment, 1);
	EXPECT_EQ(entry.is_new, 238);
	EXPECT_EQ(entry.modified, 1);
	EXPECT_EQ(entry.is_knob, 1);
	EXPECT_EQ(entry.knob_on, 1);
	EXPECT_EQ(entry.saved_knob_on, 1);
}

TEST(AddFill, StringKeepsValueAsSavedValue)
{
	rc_entry entry{};
	fill_new_entry(&entry, {"motd", "\"No way\"", ""});
	EXPECT_EQ(entry.is_knob, 0);
	EXPECT_STREQ(entry.value, "\"No way\"");
	EXPECT_STREQ(entry.saved_value, "\"No way\"");
	EXPECT_EQ(entry.has_comment, 0);
	EXPECT_EQ(entry.knob_on, 0);
	EXPECT_EQ(entry.modified, 1);
}

TEST_F(AddWindow, BuiltWithThreeFramesAndButtons)
{
	open({}, {});
	GtkWidget *window = press_add();
	ASSERT_NE(window, nullptr);
	EXPECT_TRUE(add_window_open);
	EXPECT_EQ(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(window))), main_window);
	EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(window)));
	EXPECT_STREQ(gtk_entry_get_text(add_field(window, "Name")), "");
	EXPECT_STREQ(gtk_entry_get_text(add_field(window, "Value")), "");
	EXPECT_STREQ(gtk_entry_get_text(add_field(window, "Optional Comment")), "");
	EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(window)), 10u);
	for (const char *frame : {"Name", "Value", "Optional Comment"}) {
		// A value of any length is taken, and refused as too long if it is.
		EXPECT_EQ(gtk_entry_get_max_length(add_field(window, frame)), frame == std::string("Value") ? 0 : 255);
		EXPECT_EQ(gtk_entry_get_width_chars(add_field(window, frame)), 40);
	}
	EXPECT_NE(stock_button(window, "gtk-cancel"), nullptr);
}

// Enter in any field applies, Escape cancels.
TEST_F(AddWindow, EnterAppliesAndEscapeCancels)
{
	open({}, {"hostname"});
	const struct {
		const char *field;
		guint key;
		int strings_after;
	} cases[] = {{"Name", GDK_Return, 2}, {"Optional Comment", GDK_KP_Enter, 3}, {"Value", GDK_Escape, 3}};
	int added = 0;
	for (const auto &c : cases) {
		GtkWidget *window = press_add();
		std::string name = "new_" + std::to_string(added++);
		type_into(window, name.c_str(), "\"x\"");
		set_window_focus(window, true);
		gtk_widget_grab_focus(GTK_WIDGET(add_field(window, c.field)));
		send_key(GTK_WIDGET(add_field(window, c.field)), c.key);
		EXPECT_TRUE(wait_for([&] { return !exists(window); })) << c.field;
		EXPECT_EQ(gui_string_count, c.strings_after) << c.field;
	}
}

// The new row is selected and in view, in whatever order the list shows.
TEST_F(AddWindow, NewRowIsSelectedAndInViewWithItsComment)
{
	std::vector<std::string> names;
	std::vector<test_string> strings;
	for (int i = 0; i < 300; i++)
		names.push_back("name_" + std::to_string(1000 + i));
	for (const std::string &name : names)
		strings.push_back({name.c_str(), "\"\"", ""});
	open_lists({}, strings);
	GtkTreeViewColumn *name_column = gtk_tree_view_get_column(page_view(1), column_name);
	for (const char *name : {"zz_last", "aa_first"}) {
		GtkWidget *window = press_add();
		type_into(window, name, "\"v\"", "its comment");
		ASSERT_TRUE(press_apply(window).empty());
		GtkTreeView *view = page_view(1);
		GtkTreeModel *model = nullptr;
		GtkTreeIter iter;
		ASSERT_TRUE(gtk_tree_selection_get_selected(gtk_tree_view_get_selection(view), &model, &iter));
		GtkTreePath *path = gtk_tree_model_get_path(model, &iter);
		GtkTreePath *first = nullptr, *last = nullptr;
		EXPECT_TRUE(wait_for([&] { return gtk_tree_view_get_visible_range(view, &first, &last); }));
		EXPECT_TRUE(gtk_tree_path_compare(first, path) <= 0 && gtk_tree_path_compare(path, last) <= 0) << name;
		EXPECT_EQ(cell_text(string_store, gtk_tree_path_get_indices(path)[0], column_name), name);
		EXPECT_EQ(status_text(), "its comment");
		gtk_tree_path_free(path);
		gtk_tree_path_free(first);
		gtk_tree_path_free(last);
		// Sorted by name, descending: the next one lands at the end.
		gtk_tree_view_column_clicked(name_column);
		gtk_tree_view_column_clicked(name_column);
	}
}

// A screen reader presses buttons through the accessibility layer, which
// goes on signalling the button after the press.
TEST_F(AddWindow, ButtonsPressedByAScreenReaderCloseTheWindowCleanly)
{
	open({}, {});
	for (const char *stock : {"gtk-cancel", "gtk-apply"}) {
		GtkWidget *window = press_add();
		type_into(window, "read_aloud", "\"x\"");
		AtkObject *button = gtk_widget_get_accessible(stock_button(window, stock));
		ASSERT_TRUE(ATK_IS_ACTION(button)) << "the accessibility layer is not loaded";
		EXPECT_TRUE(atk_action_do_action(ATK_ACTION(button), 0));
		EXPECT_TRUE(wait_for([&] { return !exists(window); })) << stock;
	}
	EXPECT_EQ(gui_string_count, 1);
}

// One add window at most: Add brings it back to the front, with what was typed.
TEST_F(AddWindow, AddBringsTheOpenWindowToTheFront)
{
	open({}, {});
	GtkWidget *window = press_add();
	ASSERT_NE(window, nullptr);
	type_into(window, "", "x");
	EXPECT_EQ(press_apply(window).size(), 1u);
	EXPECT_TRUE(add_window_open);
	gtk_window_present(GTK_WINDOW(main_window));
	ASSERT_TRUE(wait_for([&] { return !gtk_window_is_active(GTK_WINDOW(window)); }));
	EXPECT_EQ(press_add(), nullptr);
	EXPECT_EQ(add_windows().size(), 1u);
	EXPECT_TRUE(wait_for([&] { return gtk_window_is_active(GTK_WINDOW(window)); }));
	EXPECT_STREQ(gtk_entry_get_text(add_field(window, "Value")), "x");
}

// Each refusal is said over the add window, which keeps the texts and puts
// the focus on the field to correct.
TEST_F(AddWindow, EachFaultShowsItsMessageAndKeepsWindow)
{
	open({"sshd_enable"}, {"hostname"});
	GtkWidget *window = press_add();
	const std::string long_comment(field_size, 'c');
	const std::string long_value(field_size - 1, 'v');
	const char *not_added = "The variable new_name was not added";
	const char *one_line = "The name and the comment must each fit on one line.";
	struct {
		const char *name, *value, *comment, *text, *detail, *field;
	} cases[] = {
		{"", "bad", "", "The new variable needs a name",
		 "Type its name, for example ntpd_enable, and its value, for example YES.", "Name"},
		{"hostname", "x", "", "hostname is already in the list. Go to its row?",
		 "Change the variable there, or choose No and type another name.", "Name"},
		{"new_name", "a\rb", "", not_added, "The value must fit on one line.", "Value"},
		{"new_name", "x", "a\nb", not_added, one_line, "Optional Comment"},
		{"9lives", "x", "", "The variable 9lives was not added",
		 "A name must begin with a letter and hold only letters, digits and _.", "Name"},
		{"new_name", "\"a\" \"b\"", "", not_added,
		 "The value holds a \" that would end it early: type the value without its enclosing quotes, and every "
		 "\" in it is kept.",
		 "Value"},
		{"new_name", "a", long_comment.c_str(), not_added, "The name and the comment must each fit in 254 bytes.",
		 "Optional Comment"},
		{"new_name", long_value.c_str(), "", not_added, "The value is too long: at most 254 bytes are allowed.",
		 "Value"},
	};
	for (const auto &c : cases) {
		type_into(window, c.name, c.value, c.comment);
		std::vector<seen_dialog> seen = press_apply(window);
		ASSERT_EQ(seen.size(), 1u) << c.text;
		EXPECT_EQ(seen[0].text, c.text);
		EXPECT_EQ(seen[0].detail, c.detail);
		EXPECT_EQ(seen[0].parent, window) << c.text;
		EXPECT_TRUE(exists(window));
		EXPECT_STREQ(gtk_entry_get_text(add_field(window, "Name")), c.name);
		EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), GTK_WIDGET(add_field(window, c.field))) << c.text;
	}
	EXPECT_EQ(gui_knob_count + gui_string_count, 2);
	EXPECT_EQ(pending_changes, 0);
	EXPECT_FALSE(gtk_widget_get_sensitive(save_button));
}

// A name in the list closes nothing: Yes goes to its row, selected, a
// string's value open for editing.
TEST_F(AddWindow, ANameInTheListOffersToGoToItsRow)
{
	open({"sshd_enable"}, {"hostname", "ntpd_flags"});
	GtkWidget *window = press_add();
	for (const char *name : {"sshd_enable", "ntpd_flags"}) {
		type_into(window, name, "x");
		std::vector<seen_dialog> seen = press_apply(window, GTK_RESPONSE_YES);
		ASSERT_EQ(seen.size(), 1u) << name;
		EXPECT_EQ(seen[0].buttons, GTK_BUTTONS_YES_NO);
		EXPECT_TRUE(exists(window));
		EXPECT_EQ(selected_name(current_page()), name);
	}
	EXPECT_EQ(current_page(), 1);
	EXPECT_TRUE(wait_for([] { return value_editor_entry() != nullptr; }));
	EXPECT_EQ(gui_knob_count + gui_string_count, 3);
}

// A value that runs a command at every boot is asked about; No keeps the
// window with the value to change; the language tests try Yes.
TEST_F(AddWindow, ACommandAtBootIsAskedAbout)
{
	open({}, {});
	GtkWidget *window = press_add();
	type_into(window, "label", "$(hostname -s)");
	std::vector<seen_dialog> seen = press_apply(window, GTK_RESPONSE_NO);
	ASSERT_EQ(seen.size(), 1u);
	EXPECT_EQ(seen[0].text, "The value of label runs a command at every boot. Keep it?");
	EXPECT_EQ(seen[0].buttons, GTK_BUTTONS_YES_NO);
	EXPECT_EQ(seen[0].parent, window);
	EXPECT_TRUE(exists(window));
	EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), GTK_WIDGET(add_field(window, "Value")));
	EXPECT_EQ(gui_string_count, 0);
}

TEST_F(AddWindow, EmptyValueAddsMarkedStringInNameOrder)
{
	open({"sshd_enable"}, {"hostname", "kld_list"});
	GtkWidget *window = press_add();
	gtk_entry_set_text(add_field(window, "Name"), "ifconfig_em0");
	gtk_entry_set_text(add_field(window, "Optional Comment"), "uplink");
	EXPECT_TRUE(press_apply(window).empty());
	EXPECT_FALSE(exists(window));
	EXPECT_FALSE(add_window_open);
	ASSERT_EQ(gui_string_count, 3);
	EXPECT_STREQ(gui_strings[1].name, "ifconfig_em0");
	EXPECT_STREQ(gui_strings[1].value, "\"\"");
	EXPECT_EQ(gui_strings[1].has_comment, 1);
	EXPECT_EQ(current_page(), 1);
	ASSERT_EQ(gtk_tree_model_iter_n_children(GTK_TREE_MODEL(string_store), nullptr), 3);
	EXPECT_EQ(cell_text(string_store, 1, column_mark), "gtk-save");
	EXPECT_EQ(cell_text(string_store, 1, column_name), "ifconfig_em0");
	EXPECT_EQ(cell_text(string_store, 1, column_state), "\"\"");
	EXPECT_EQ(status_text(), "uplink");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_TRUE(gtk_widget_get_sensitive(save_button));
}

TEST_F(AddWindow, CancelAfterRejectedApplyStoresNothing)
{
	open({}, {"hostname"});
	GtkWidget *window = press_add();
	type_into(window, "hostname", "\"x\"");
	EXPECT_EQ(press_apply(window).size(), 1u);
	gtk_button_clicked(GTK_BUTTON(stock_button(window, "gtk-cancel")));
	process_events();
	EXPECT_TRUE(add_windows().empty());
	EXPECT_FALSE(add_window_open);
	EXPECT_EQ(gui_string_count, 1);
	EXPECT_EQ(pending_changes, 0);
}

TEST_F(AddWindowGrowth, EntriesBeyondMergedCapacityAllKept)
{
	// Two knobs of room, and no room at all for strings.
	lists = make_lists({{"a_enable"}}, {});
	lists.knob_capacity = 2;
	free(lists.strings);
	lists.strings = nullptr;
	lists.string_capacity = 0;
	create_main_window(&lists);
	char name[32];
	for (int i = 0; i < 20; i++) {
		GtkWidget *window = press_add();
		std::snprintf(name, sizeof name, i % 2 ? "k%02d" : "s%02d", i);
		type_into(window, name, i % 2 ? "\"YES\"" : "\"v\"");
		ASSERT_TRUE(press_apply(window).empty());
	}
	EXPECT_EQ(gui_knobs, lists.knobs);
	EXPECT_EQ(gui_strings, lists.strings);
	ASSERT_EQ(gui_knob_count, 11);
	ASSERT_EQ(gui_string_count, 10);
	for (int i = 0; i < 10; i++) {
		std::snprintf(name, sizeof name, "s%02d", 2 * i);
		EXPECT_STREQ(gui_strings[i].name, name);
		EXPECT_EQ(cell_text(string_store, i, column_name), name);
		std::snprintf(name, sizeof name, "k%02d", 2 * i + 1);
		EXPECT_STREQ(gui_knobs[i + 1].name, name);
		EXPECT_EQ(cell_text(knob_store, i + 1, column_name), name);
	}
	EXPECT_STREQ(gui_knobs[0].name, "a_enable");
	EXPECT_EQ(pending_changes, 20);
}

TEST_F(AddWindowGrowth, FailedGrowthKeepsWindowAndEntries)
{
#if defined(__SANITIZE_ADDRESS__)
	GTEST_SKIP() << "the sanitizer's allocator does not run under an address-space limit";
#endif
	// A full array of 100000 untouched entries: doubling it needs ~100 MB more
	// address space than the limit allows.
	constexpr int full = 100000;
	open({}, {"hostname"});
	rc_entry *big = static_cast<rc_entry *>(calloc(full, sizeof(rc_entry)));
	big[0] = lists.strings[0];
	free(lists.strings);
	lists.strings = gui_strings = big;
	lists.string_capacity = gui_string_count = full;
	GtkWidget *window = press_add();
	// A message shown once before the limit: the fonts it takes load now, as
	// the threads the font library starts for them, which the limit would stop.
	press_apply(window);
	type_into(window, "motd", "\"x\"");

	long pages = 0;
	FILE *statm = std::fopen("/proc/self/statm", "r");
	if (statm == nullptr)
		GTEST_SKIP() << "the limit is set from the process's size in /proc/self/statm (Linux)";
	ASSERT_EQ(std::fscanf(statm, "%ld", &pages), 1);
	std::fclose(statm);
	rlimit old_limit;
	getrlimit(RLIMIT_AS, &old_limit);
	rlimit limit = {static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + (64L << 20)), old_limit.rlim_max};
	setrlimit(RLIMIT_AS, &limit);
	std::vector<seen_dialog> seen = press_apply(window);
	setrlimit(RLIMIT_AS, &old_limit);

	ASSERT_EQ(seen.size(), 1u);
	EXPECT_EQ(seen[0].text, "The variable motd was not added");
	EXPECT_EQ(seen[0].detail, "There is not enough memory. Close other programs, then press Apply again.");
	EXPECT_EQ(seen[0].type, GTK_MESSAGE_ERROR);
	EXPECT_TRUE(exists(window));
	EXPECT_EQ(gui_strings, lists.strings);
	EXPECT_EQ(gui_string_count, full);
	EXPECT_EQ(pending_changes, 0);
}

TEST_F(AddWindow, WindowManagerCloseCountsAsCancel)
{
	open({}, {});
	GtkWidget *window = press_add();
	close_by_window_manager(window);
	process_events();
	EXPECT_FALSE(exists(window));
	EXPECT_FALSE(add_window_open);
	EXPECT_EQ(gui_string_count + gui_knob_count, 0);
	EXPECT_NE(press_add(), nullptr);
}
