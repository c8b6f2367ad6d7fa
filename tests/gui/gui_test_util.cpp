// Helpers for the window tests: answering dialogs, temporary files, test lists, and reaching the widgets.
#include "gui_test_util.h"

#include "boot/load.h"
#include "edit/delta_writer.h"
#include "files/file_state.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "gui/i18n.h"
#include "gui/main_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::deque<gint> pending_responses; // answers for the dialogs still to come
std::vector<seen_dialog> seen;      // the dialogs answered so far
guint watch_id;                     // the timeout that looks for dialogs

GtkMessageDialog *find_shown_dialog()
{
	GtkMessageDialog *found = nullptr;
	GList *windows = gtk_window_list_toplevels();
	for (GList *l = windows; l != nullptr; l = l->next) {
		if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
			found = GTK_MESSAGE_DIALOG(l->data);
	}
	g_list_free(windows);
	return found;
}

// GtkMessageDialog keeps the buttons type write-only: read it off the buttons.
GtkButtonsType buttons_of(GtkDialog *dialog)
{
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_YES) != nullptr)
		return GTK_BUTTONS_YES_NO;
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_CLOSE) != nullptr)
		return GTK_BUTTONS_CLOSE;
	if (gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_OK) != nullptr)
		return GTK_BUTTONS_OK;
	return GTK_BUTTONS_NONE;
}

gboolean on_watch_timeout(gpointer)
{
	if (pending_responses.empty()) {
		watch_id = 0;
		return FALSE;
	}
	GtkMessageDialog *dialog = find_shown_dialog();
	if (dialog == nullptr)
		return TRUE;
	gchar *text = nullptr;
	gchar *detail = nullptr;
	GtkMessageType type;
	g_object_get(dialog, "text", &text, "secondary-text", &detail, "message-type", &type, nullptr);
	const gchar *title = gtk_window_get_title(GTK_WINDOW(dialog));
	seen.push_back({text != nullptr ? text : "", detail != nullptr ? detail : "", title != nullptr ? title : "", type,
			buttons_of(GTK_DIALOG(dialog)),
			GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(dialog)))});
	g_free(text);
	g_free(detail);
	gint response = pending_responses.front();
	pending_responses.pop_front();
	gtk_dialog_response(GTK_DIALOG(dialog), response);
	if (pending_responses.empty()) {
		watch_id = 0;
		return FALSE;
	}
	return TRUE;
}

bool loop_outlived_action; // set by the idle that runs when the action did not quit
guint action_done_id;      // that idle, removed when the action quit the loop

gboolean on_action_done(gpointer)
{
	loop_outlived_action = true;
	gtk_main_quit();
	return FALSE;
}

gboolean on_run_action(gpointer action)
{
	(*static_cast<const std::function<void()> *>(action))();
	// Runs only if the action left the loop going: a quit loop dispatches no more.
	action_done_id = g_idle_add(on_action_done, nullptr);
	return FALSE;
}

GtkWidget *nth_child(GtkWidget *container, int index)
{
	GList *children = gtk_container_get_children(GTK_CONTAINER(container));
	GtkWidget *child = GTK_WIDGET(g_list_nth_data(children, static_cast<guint>(index)));
	g_list_free(children);
	return child;
}

bool iter_at(GtkListStore *store, const std::string &path, GtkTreeIter *iter)
{
	return gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(store), iter, path.c_str());
}

void fill(rc_entry &entry, const char *name, const char *comment)
{
	copy_field(entry.name, name);
	copy_field(entry.comment, comment);
	entry.has_comment = 1;
}

} // namespace

void answer_dialogs(std::vector<gint> responses)
{
	seen.clear();
	pending_responses.assign(responses.begin(), responses.end());
	if (watch_id == 0 && !pending_responses.empty())
		watch_id = g_timeout_add(5, on_watch_timeout, nullptr);
}

const std::vector<seen_dialog> &answered_dialogs()
{
	return seen;
}

void process_events()
{
	while (gtk_events_pending())
		gtk_main_iteration_do(FALSE);
}

bool wait_for(const std::function<bool()> &condition)
{
	gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
	// Wakes the loop up to look at the clock when no event comes.
	guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return TRUE; }, nullptr);
	bool held;
	while (!(held = condition()) && g_get_monotonic_time() < deadline)
		gtk_main_iteration_do(TRUE);
	g_source_remove(tick);
	return held;
}

void send_key(GtkWidget *widget, guint keyval, guint state)
{
	GdkKeymapKey *keys = nullptr;
	gint n_keys = 0;
	gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &n_keys);
	gunichar character = gdk_keyval_to_unicode(keyval);
	gchar text[8] = {};
	if (character != 0)
		g_unichar_to_utf8(character, text);
	for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
		GdkEvent *event = gdk_event_new(type);
		event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(gtk_widget_get_toplevel(widget))));
		event->key.send_event = TRUE;
		event->key.time = GDK_CURRENT_TIME;
		event->key.keyval = keyval;
		event->key.state = state;
		event->key.string = g_strdup(text);
		event->key.length = static_cast<gint>(strlen(text));
		event->key.hardware_keycode = n_keys > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
		gtk_main_do_event(event);
		gdk_event_free(event);
	}
	g_free(keys);
}

void send_keys(GtkWidget *widget, const char *text)
{
	for (const char *c = text; *c != '\0'; c++)
		send_key(widget, gdk_unicode_to_keyval(static_cast<unsigned char>(*c)));
}

void close_by_window_manager(GtkWidget *window)
{
	GdkEvent *event = gdk_event_new(GDK_DELETE);
	event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
	event->any.send_event = TRUE;
	gtk_main_do_event(event);
	gdk_event_free(event);
}

bool ends_main_loop(const std::function<void()> &action)
{
	loop_outlived_action = false;
	g_idle_add(on_run_action, const_cast<std::function<void()> *>(&action));
	gtk_main();
	if (!loop_outlived_action)
		g_source_remove(action_done_id);
	return !loop_outlived_action;
}

temp_home::temp_home()
{
	char pattern[] = "/tmp/kelvane-gui-XXXXXX";
	dir = mkdtemp(pattern);
	setenv("HOME", dir.c_str(), 1);
	setenv("KELVANE_RC", rc_path().c_str(), 1);
}

temp_home::~temp_home()
{
	std::error_code ignored;
	std::filesystem::remove_all(dir, ignored);
}

void gui_test::SetUp()
{
	// Windows open at the middle of the screen. With the pointer there, the
	// X server's focus would follow it into whichever test's window lies
	// under it, so a window here gets the focus only from its own test.
	gdk_display_warp_pointer(gdk_display_get_default(), gdk_screen_get_default(), 0, 0);
	gdk_flush();
	// A critical is a failed precondition in the toolkit, a warning such as
	// Pango's on invalid UTF-8 a misuse: either is a bug in the caller.
	g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_FATAL_MASK));
	// What an earlier test in the same process read is no file of this one,
	// nor its root the machine's.
	forget_files();
	clear_read_notes();
	set_system_root("/");
}

void gui_test::open_lists(const std::vector<test_knob> &knobs, const std::vector<test_string> &strings)
{
	lists = make_lists(knobs, strings);
	create_main_window(&lists);
}

void gui_test::open_files(const std::string &defaults, const std::string &rc)
{
	std::string defaults_path = home.dir + "/defaults";
	write_file(defaults_path, defaults);
	write_file(home.rc_path(), rc);
	ASSERT_EQ(load_settings(defaults_path.c_str(), home.rc_path().c_str(), &lists), 0);
	create_main_window(&lists);
}

void gui_test::open_root(const std::string &folder, const std::vector<root_file> &files)
{
	root = home.dir + "/" + folder;
	for (const root_file &file : files)
		write_file(root + file.path, file.text, file.mode);
	unsetenv("KELVANE_RC");
	ASSERT_EQ(set_system_root(root.c_str()), 0);
	std::string defaults = under_root("/etc/defaults/rc.conf");
	ASSERT_EQ(load_settings(defaults.c_str(), local_rc_path(), &lists), 0);
	create_main_window(&lists);
	// What is read once the window is up, as a manual page, is read now.
	process_events();
}

rc_lists make_lists(const std::vector<test_knob> &knobs, const std::vector<test_string> &strings)
{
	rc_lists lists = {};
	lists.knob_capacity = 2 * static_cast<int>(knobs.size()) + 2;
	lists.string_capacity = 2 * static_cast<int>(strings.size()) + 2;
	lists.knobs = static_cast<rc_entry *>(calloc(lists.knob_capacity, sizeof(rc_entry)));
	lists.strings = static_cast<rc_entry *>(calloc(lists.string_capacity, sizeof(rc_entry)));
	for (const test_knob &k : knobs) {
		rc_entry &entry = lists.knobs[lists.knob_count++];
		fill(entry, k.name, k.comment);
		entry.is_knob = 1;
		entry.knob_on = entry.saved_knob_on = k.on;
	}
	for (const test_string &s : strings) {
		rc_entry &entry = lists.strings[lists.string_count++];
		fill(entry, s.name, s.comment);
		copy_field(entry.value, s.value);
		copy_field(entry.saved_value, s.value);
	}
	return lists;
}

std::string read_file(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

void write_file(const std::string &path, const std::string &text, mode_t mode)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path, std::ios::binary) << text;
	chmod(path.c_str(), mode);
}

std::string command_output(const std::string &command)
{
	std::string output;
	std::FILE *pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return output;
	char buffer[4096];
	for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
		output.append(buffer, n);
	pclose(pipe);
	return output;
}

std::vector<GtkWidget *> widgets_under(GtkWidget *root, const std::function<bool(GtkWidget *)> &match)
{
	std::vector<GtkWidget *> found;
	if (match(root))
		found.push_back(root);
	if (GTK_IS_CONTAINER(root)) {
		std::vector<GtkWidget *> children;
		gtk_container_forall(
			GTK_CONTAINER(root),
			[](GtkWidget *child, gpointer list) { static_cast<std::vector<GtkWidget *> *>(list)->push_back(child); },
			&children);
		for (GtkWidget *child : children) {
			std::vector<GtkWidget *> below = widgets_under(child, match);
			found.insert(found.end(), below.begin(), below.end());
		}
	}
	return found;
}

GtkWidget *widget_under(GtkWidget *root, const std::function<bool(GtkWidget *)> &match)
{
	std::vector<GtkWidget *> found = widgets_under(root, match);
	return found.empty() ? nullptr : found[0];
}

GtkTreeView *page_view(int page)
{
	GtkWidget *scrolled = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), page);
	return GTK_TREE_VIEW(gtk_bin_get_child(GTK_BIN(scrolled)));
}

GtkCellRenderer *column_renderer(GtkTreeView *view, int column)
{
	GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(gtk_tree_view_get_column(view, column)));
	GtkCellRenderer *renderer = GTK_CELL_RENDERER(cells->data);
	g_list_free(cells);
	return renderer;
}

GtkWidget *row_button(int index)
{
	return nth_child(widget_under(main_window, [](GtkWidget *w) { return GTK_IS_BUTTON_BOX(w); }), index);
}

std::string cell_text(GtkListStore *store, int row, int column)
{
	GtkTreeIter iter;
	if (!iter_at(store, std::to_string(row), &iter))
		return "(no row)";
	gchar *text = nullptr;
	gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, column, &text, -1);
	std::string result = text != nullptr ? text : "(null)";
	g_free(text);
	return result;
}

bool cell_state(int row)
{
	GtkTreeIter iter;
	gboolean on = FALSE;
	if (iter_at(knob_store, std::to_string(row), &iter))
		gtk_tree_model_get(GTK_TREE_MODEL(knob_store), &iter, column_state, &on, -1);
	return on != FALSE;
}

std::string row_path(GtkListStore *store, const char *name)
{
	GtkTreeModel *model = GTK_TREE_MODEL(store);
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
	     more = gtk_tree_model_iter_next(model, &iter)) {
		gchar *row_name = nullptr;
		gtk_tree_model_get(model, &iter, column_name, &row_name, -1);
		bool found = g_strcmp0(row_name, name) == 0;
		g_free(row_name);
		if (found) {
			gchar *path = gtk_tree_model_get_string_from_iter(model, &iter);
			std::string result = path;
			g_free(path);
			return result;
		}
	}
	return "";
}

std::string cell_of(GtkListStore *store, const char *name, int column)
{
	std::string path = row_path(store, name);
	return path.empty() ? "(no row)" : cell_text(store, std::stoi(path), column);
}

std::string knob_state(const char *name)
{
	std::string path = row_path(knob_store, name);
	return path.empty() ? "(no row)" : cell_state(std::stoi(path)) ? "on" : "off";
}

std::string rows_shown()
{
	std::string shown;
	for (GtkListStore *store : {knob_store, string_store}) {
		for (int row = 0; row < gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr); row++) {
			std::string state = store == knob_store ? (cell_state(row) ? "on" : "off")
								: cell_text(store, row, column_state);
			shown += cell_text(store, row, column_name) + "=" + state + " " + cell_text(store, row, column_mark) +
				 "\n";
		}
	}
	return shown;
}

std::string selected_name(int page)
{
	GtkTreeModel *model = nullptr;
	GtkTreeIter iter;
	gchar *name = nullptr;
	if (gtk_tree_selection_get_selected(gtk_tree_view_get_selection(page_view(page)), &model, &iter))
		gtk_tree_model_get(model, &iter, column_name, &name, -1);
	std::string result = name != nullptr ? name : "";
	g_free(name);
	return result;
}

seen_dialog press_save()
{
	answer_dialogs({GTK_RESPONSE_OK});
	gtk_button_clicked(GTK_BUTTON(save_button));
	return answered_dialogs().empty() ? seen_dialog{} : answered_dialogs()[0];
}

void toggle_knob(const char *name)
{
	std::string path = row_path(knob_store, name);
	g_signal_emit_by_name(column_renderer(page_view(0), 2), "toggled", path.c_str());
}

void edit_value(const char *name, const char *text)
{
	std::string path = row_path(string_store, name);
	g_signal_emit_by_name(column_renderer(page_view(1), 2), "edited", path.c_str(), text);
}

std::vector<GtkWidget *> add_windows()
{
	std::vector<GtkWidget *> found;
	GList *windows = gtk_window_list_toplevels();
	for (GList *l = windows; l != nullptr; l = l->next) {
		// In the language the test runs in.
		if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(l->data)), _("Add new entry")) == 0)
			found.push_back(GTK_WIDGET(l->data));
	}
	g_list_free(windows);
	return found;
}

GtkWidget *press_add()
{
	std::vector<GtkWidget *> before = add_windows();
	gtk_button_clicked(GTK_BUTTON(row_button(1)));
	process_events();
	for (GtkWidget *window : add_windows()) {
		if (std::find(before.begin(), before.end(), window) == before.end())
			return window;
	}
	return nullptr;
}

GtkEntry *add_field(GtkWidget *window, const char *label)
{
	GtkWidget *frame = widget_under(window, [&](GtkWidget *w) {
		return GTK_IS_FRAME(w) && g_strcmp0(gtk_frame_get_label(GTK_FRAME(w)), _(label)) == 0;
	});
	return frame != nullptr ? GTK_ENTRY(gtk_bin_get_child(GTK_BIN(frame))) : nullptr;
}

GtkWidget *stock_button(GtkWidget *root, const char *stock)
{
	return widget_under(root, [&](GtkWidget *w) {
		return GTK_IS_BUTTON(w) && g_strcmp0(gtk_button_get_label(GTK_BUTTON(w)), stock) == 0;
	});
}

void type_into(GtkWidget *window, const char *name, const char *value, const char *comment)
{
	gtk_entry_set_text(add_field(window, "Name"), name);
	gtk_entry_set_text(add_field(window, "Value"), value);
	gtk_entry_set_text(add_field(window, "Optional Comment"), comment);
}

std::vector<seen_dialog> press_apply(GtkWidget *window, gint response)
{
	answer_dialogs({response});
	gtk_button_clicked(GTK_BUTTON(stock_button(window, "gtk-apply")));
	process_events();
	return answered_dialogs();
}

GtkEntry *value_editor_entry()
{
	return GTK_ENTRY(widget_under(GTK_WIDGET(page_view(1)), [](GtkWidget *w) { return GTK_IS_ENTRY(w); }));
}

GtkEntry *open_value_editor(const char *name)
{
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 1);
	GtkTreeView *view = page_view(1);
	GtkTreePath *path = gtk_tree_path_new_from_string(row_path(string_store, name).c_str());
	gtk_widget_grab_focus(GTK_WIDGET(view));
	gtk_tree_view_set_cursor(view, path, gtk_tree_view_get_column(view, column_state), TRUE);
	gtk_tree_path_free(path);
	process_events();
	return value_editor_entry();
}

void set_window_focus(GtkWidget *window, bool in)
{
	GdkEvent *event = gdk_event_new(GDK_FOCUS_CHANGE);
	event->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
	event->focus_change.send_event = TRUE;
	event->focus_change.in = in;
	gtk_main_do_event(event);
	gdk_event_free(event);
}

void select_row(int page, const char *name)
{
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
	GtkTreeSelection *selection = gtk_tree_view_get_selection(page_view(page));
	if (name == nullptr) {
		gtk_tree_selection_unselect_all(selection);
		return;
	}
	GtkTreeIter iter;
	if (iter_at(page == 0 ? knob_store : string_store,
		    row_path(page == 0 ? knob_store : string_store, name), &iter))
		gtk_tree_selection_select_iter(selection, &iter);
}

std::string status_text()
{
	GtkWidget *area = gtk_statusbar_get_message_area(GTK_STATUSBAR(status_bar));
	return gtk_label_get_text(GTK_LABEL(nth_child(area, 0)));
}

std::string tip_text(GtkWidget *widget)
{
	// A tooltip brings its own window, whose label shows the text.
	GList *before = gtk_window_list_toplevels();
	GtkTooltip *tooltip = GTK_TOOLTIP(g_object_new(GTK_TYPE_TOOLTIP, nullptr));
	GList *after = gtk_window_list_toplevels();
	GtkWidget *window = nullptr;
	for (GList *l = after; l != nullptr; l = l->next)
		if (g_list_find(before, l->data) == nullptr)
			window = GTK_WIDGET(l->data);
	g_list_free(before);
	g_list_free(after);
	gboolean shown = FALSE;
	g_signal_emit_by_name(widget, "query-tooltip", 1, 1, FALSE, tooltip, &shown);
	std::vector<GtkWidget *> labels = widgets_under(window, [](GtkWidget *w) { return GTK_IS_LABEL(w); });
	std::string text = shown && labels.size() == 1 ? gtk_label_get_text(GTK_LABEL(labels[0])) : "";
	g_object_unref(tooltip);
	return text;
}

int modified_count()
{
	int count = 0;
	for (int i = 0; i < gui_knob_count; i++)
		count += gui_knobs[i].modified == 1;
	for (int i = 0; i < gui_string_count; i++)
		count += gui_strings[i].modified == 1;
	return count;
}
