// Helpers for driving real GTK widgets from a test.
#pragma once

#include "model/rc_entry.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// One message dialog as the test saw it, answered.
struct seen_dialog {
	std::string text;
	std::string detail; // the secondary text, "" when there is none
	std::string title;
	GtkMessageType type;
	GtkButtonsType buttons;
	GtkWidget *parent; // the window it is transient for
};

// Queues answers for the message dialogs that will be run next, in order:
// each one is answered with the next response once it is shown, and recorded.
void answer_dialogs(std::vector<gint> responses);

// The dialogs answered since the last call of answer_dialogs.
const std::vector<seen_dialog> &answered_dialogs();

// Runs the main loop until nothing is pending.
void process_events();

// Runs the main loop until condition holds, for at most ten seconds; returns
// whether it held.
bool wait_for(const std::function<bool()> &condition);

// Presses and releases a key, with the modifiers of state held, in the window
// of widget, which has the focus there.
void send_key(GtkWidget *widget, guint keyval, guint state = 0);

// send_key for every character of text.
void send_keys(GtkWidget *widget, const char *text);

// What the window manager does when the user closes window.
void close_by_window_manager(GtkWidget *window);

// Runs action from inside gtk_main. Returns true when the action ended the
// loop (gtk_main_quit), false when the loop was still running after it.
bool ends_main_loop(const std::function<void()> &action);

// A fresh HOME directory, with KELVANE_RC naming rc.conf inside it; removed at the end.
struct temp_home {
	temp_home();
	~temp_home();
	std::string dir;
	std::string rc_path() const { return dir + "/rc.conf"; }
	std::string geometry_path() const { return dir + "/.kelvanerc"; }
};

// A knob or a string for the lists of a test.
struct test_knob {
	const char *name;
	int on = 0;
	const char *comment = "";
};
struct test_string {
	const char *name;
	const char *value;
	const char *comment = "";
};

// A file of a system root: its path under the root, its text and its mode.
struct root_file {
	std::string path, text;
	mode_t mode = 0644;
};

// Base of the window tests: a temporary HOME, the machine's own root, and a
// toolkit critical aborts the test. The open_ functions build the window.
class gui_test : public testing::Test {
protected:
	void SetUp() override;
	// On lists made with make_lists.
	void open_lists(const std::vector<test_knob> &knobs, const std::vector<test_string> &strings);
	// On the defaults and rc.conf given, written into HOME and read as the program reads them.
	void open_files(const std::string &defaults, const std::string &rc);
	// On a system root in HOME's folder named folder, holding files, with KELVANE_RC unset.
	void open_root(const std::string &folder, const std::vector<root_file> &files);
	temp_home home;
	std::string root; // set by open_root
	rc_lists lists = {};
};

// Lists as merging leaves them: calloc'd arrays with spare room, saved state
// equal to the current one, and has_comment set as a file would leave it.
rc_lists make_lists(const std::vector<test_knob> &knobs, const std::vector<test_string> &strings);

// Whole contents of a file, "" when it cannot be read.
std::string read_file(const std::string &path);

// Writes text to path with the given mode, making the folders above it.
void write_file(const std::string &path, const std::string &text, mode_t mode = 0644);

// What command prints on its standard output.
std::string command_output(const std::string &command);

// The widgets under root, root and the internal ones (a dialog's buttons)
// too, that match, in the order of the tree; the first of them or nullptr.
std::vector<GtkWidget *> widgets_under(GtkWidget *root, const std::function<bool(GtkWidget *)> &match);
GtkWidget *widget_under(GtkWidget *root, const std::function<bool(GtkWidget *)> &match);

// The tree view of a notebook page: 0 knobs, 1 strings.
GtkTreeView *page_view(int page);

// The renderer of a view's column.
GtkCellRenderer *column_renderer(GtkTreeView *view, int column);

// The main window's buttons in packing order: 0 Save, 1 Add, 2 About, 3 Quit.
GtkWidget *row_button(int index);

// A store's text cell, by row number in the store's current order.
std::string cell_text(GtkListStore *store, int row, int column);

// A knob_store check box, by row number.
bool cell_state(int row);

// Path string of the row that shows name, "" when none does.
std::string row_path(GtkListStore *store, const char *name);

// cell_text of the row that shows name; "on" or "off" for the knob row that shows name.
// Both are "(no row)" when no row shows name.
std::string cell_of(GtkListStore *store, const char *name, int column);
std::string knob_state(const char *name);

// Each row as "name=state mark\n": knobs then strings, in the stores' order.
std::string rows_shown();

// The name of the row selected in the list of page, "" when none is.
std::string selected_name(int page);

// Clicks Save and answers its one message with OK; returns that message.
seen_dialog press_save();

// Clicks the check box of the knob row that shows name.
void toggle_knob(const char *name);

// Confirms text in the Value cell of the string row that shows name.
void edit_value(const char *name, const char *text);

// The add windows that exist now.
std::vector<GtkWidget *> add_windows();

// Presses the main window's Add button; returns the window it built, or nullptr.
GtkWidget *press_add();

// The entry of the add window's frame labelled label, in the test's language.
GtkEntry *add_field(GtkWidget *window, const char *label);

// The button of a stock item under root, nullptr when there is none.
GtkWidget *stock_button(GtkWidget *root, const char *stock);

// Types the add window's three texts.
void type_into(GtkWidget *window, const char *name, const char *value, const char *comment = "");

// Presses Apply and returns the messages it showed, answered with response.
// An answer left unused stays queued, so the watch for dialogs keeps running.
std::vector<seen_dialog> press_apply(GtkWidget *window, gint response = GTK_RESPONSE_CLOSE);

// The Value cell's editor while one is open in the Strings list, else nullptr.
GtkEntry *value_editor_entry();

// Opens the Value cell's editor on the string row that shows name, as a
// click on the cell does, and returns it (nullptr when none opened).
GtkEntry *open_value_editor(const char *name);

// What the X server does when it gives window the keyboard focus or takes it
// away; the toolkit moves the focus between widgets only within a window that has it.
void set_window_focus(GtkWidget *window, bool in);

// Brings the tab of page to the front and selects the row that shows name in
// its list; nullptr unselects.
void select_row(int page, const char *name);

// The message the status bar shows.
std::string status_text();

// The text of the tooltip widget shows when asked, "" when it shows none.
std::string tip_text(GtkWidget *widget);

// Number of entries of both kinds whose modified is 1.
int modified_count();
