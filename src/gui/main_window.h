// The editor's main window and the GUI state that every handler shares.
#pragma once

#include "model/rc_entry.h"

#include <gtk/gtk.h>

#include <initializer_list>
#include <string>

// Columns of knob_store and string_store; the weight is the name's, bold
// when the machine's own files set the value.
enum { column_mark = 0, column_name = 1, column_state = 2, column_weight = 3 };

// The name a row of model shows.
std::string row_name(GtkTreeModel *model, GtkTreeIter *iter);

// The cell renderer of a column of view.
GtkCellRenderer *column_renderer_of(GtkWidget *view, int column);

// The change mark of column 0: a stock icon id, or "" for none.
constexpr const char *change_mark = "gtk-save";
// The mark of a row whose variable a file read after rc.conf sets.
constexpr const char *later_mark = "gtk-info";
// The mark of a row whose value the boot will not read as meant.
constexpr const char *warning_mark = "gtk-dialog-warning";

// Pages of notebook.
enum { knobs_page = 0, strings_page = 1 };

extern rc_lists *gui_lists;      // the merged lists; its arrays move when they grow
extern rc_entry *gui_knobs;      // gui_lists->knobs
extern int gui_knob_count;       // knob entries in use, one row each
extern rc_entry *gui_strings;    // gui_lists->strings
extern int gui_string_count;     // string entries in use, one row each
extern int pending_changes;      // entries whose modified is 1
extern guint info_context_id;    // status bar context "Info", 0 before first use
extern GtkWidget *main_window;
extern GtkWidget *save_button;
extern GtkWidget *notebook;      // page 0 "Knobs", page 1 "Strings"
extern GtkWidget *status_bar;
extern GtkListStore *knob_store;
extern GtkListStore *string_store;
extern GtkWidget *knob_view;     // the Knobs tab's list
extern GtkWidget *string_view;   // the Strings tab's list
extern bool read_only;           // this user may not save to the local rc.conf: nothing can be changed

// The mark of entry's row while it is not changed: warning_mark, later_mark or "".
const char *resting_mark(const rc_entry &entry);

// Sets every row's mark and weight anew from its entry.
void refresh_rows();

// Appends the row of entry to store (knob_store or string_store), marked as
// a change when it is modified, else with its resting_mark. The row stays
// valid when the store is sorted.
GtkTreeIter append_row(GtkListStore *store, const rc_entry &entry);

// Inserts the row of entry into store where name order puts it, before the
// first row whose name sorts after it, as append_row does otherwise; a store
// the user sorted by a column puts it in that order instead.
GtkTreeIter insert_row(GtkListStore *store, const rc_entry &entry);

// The list of the tab in front: knob_view or string_view.
GtkWidget *visible_view();

// Brings the tab step places on to the front, round from the last to the
// first, once a value being edited is taken. Returns true: the key is used.
bool switch_tab(int step);

// Ctrl+Page Down and Up go to the next and the previous tab, as in other
// programs. Returns whether event was one of them.
bool switch_tab_key(const GdkEventKey *event);

// What a string's row shows of its value: the text, readable, marked when cut.
std::string shown_value(const rc_entry &entry);

// A button of a stock item, with room around its icon and label for long translations.
GtkWidget *new_stock_button(const char *stock);

// A printf format filled in, for a translated text with paths or names in it.
std::string format_text(const char *format, ...) G_GNUC_PRINTF(1, 2);

// A button added to a message dialog, and the answer it gives.
struct dialog_choice {
	const char *label; // a stock id or a translated label with a mnemonic
	gint response;
};

// Runs a message dialog over parent, titled with the program's name, and
// destroys it before returning the answer. detail, unless empty, is the
// smaller text under text: which variable, and what to do. choices come after
// the buttons of buttons; the last of them is the default.
gint run_message_over(GtkWidget *parent, GtkMessageType type, GtkButtonsType buttons, const std::string &text,
		      const std::string &detail = "", std::initializer_list<dialog_choice> choices = {});

// run_message_over main_window.
gint run_message(GtkMessageType type, GtkButtonsType buttons, const std::string &text,
		 const std::string &detail = "", std::initializer_list<dialog_choice> choices = {});

// Fills both lists anew from the entries in use, marking the changes, and
// sets pending_changes and Save from them. Start-up and every reload fill them here.
void fill_lists();

// Builds the window from the merged, sorted lists, connects every handler
// and shows it, without running the main loop.
void create_main_window(rc_lists *lists);

// create_main_window, keeps changes when the program is ended from outside,
// offers the changes kept from the last run, then runs the main loop until
// the user quits. Returns 0.
int build_main_window(rc_lists *lists);
