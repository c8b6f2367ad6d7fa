// Saving from the main window, its dialogs, and the two ways out.
#include "file_size_limit.h"
#include "gui/main_window.h"
#include "gui/save_quit.h"
#include "gui_test_util.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr const char *header = "\n# Kelvane generated deltas - ";

int count_of(const std::string &text, const std::string &part)
{
	int count = 0;
	for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
		count++;
	return count;
}

class SaveQuit : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_lists({{"a_enable", 1, "c"}, {"b_enable"}}, {{"host", "\"box\""}, {"flags", "\"-x\""}, {"note", "\"\""}});
	}

	// Resizes main_window and waits until the X server has done it.
	void resize_to(int width, int height)
	{
		gtk_window_resize(GTK_WINDOW(main_window), width, height);
		gint w = 0, h = 0;
		ASSERT_TRUE(wait_for([&] {
			gtk_window_get_size(GTK_WINDOW(main_window), &w, &h);
			return w == width && h == height;
		})) << w << "x" << h;
	}

	bool geometry_written() { return read_file(home.geometry_path()) == "geometry=640,500\n"; }

	// Connected after on_delete_event: nothing is stored before the window goes.
	static gboolean on_close_granted(GtkWidget *, GdkEvent *, SaveQuit *test)
	{
		EXPECT_FALSE(test->geometry_written()) << "stored before the window went";
		return FALSE;
	}

	// Connected after on_destroy: it has just stored the size; take the file away to see a second store.
	static void on_destroyed(GtkWidget *, SaveQuit *test)
	{
		test->stored_at_destroy += test->geometry_written();
		std::remove(test->home.geometry_path().c_str());
	}

	// Closes the window through the window manager, answering Yes to the expected number of questions.
	void expect_close_stores_size_once(std::size_t questions)
	{
		resize_to(640, 500);
		g_signal_connect(main_window, "delete_event", G_CALLBACK(on_close_granted), this);
		g_signal_connect(main_window, "destroy", G_CALLBACK(on_destroyed), this);
		answer_dialogs({GTK_RESPONSE_YES});
		EXPECT_TRUE(ends_main_loop([] { close_by_window_manager(main_window); }));
		process_events();
		EXPECT_EQ(stored_at_destroy, 1);
		EXPECT_EQ(answered_dialogs().size(), questions);
		EXPECT_FALSE(g_file_test(home.geometry_path().c_str(), G_FILE_TEST_EXISTS)) << "stored again";
	}

	int stored_at_destroy = 0; // how often on_destroy had just stored the size
};

TEST_F(SaveQuit, SaveAppendsChangesAndClearsMarksFirst)
{
	toggle_knob("a_enable");
	edit_value("host", "\"new\"");
	// Past the loop that keeps the window drawing while the shell judges the
	// file, the first main loop to run is the dialog's: the timeout sees the
	// marks while it is shown.
	static std::string mark_during_dialog;
	mark_during_dialog = "(not seen)";
	g_timeout_add(1, [](gpointer) -> gboolean {
		if (save_running())
			return TRUE;
		mark_during_dialog = cell_text(string_store, 0, column_mark);
		return FALSE;
	}, nullptr);
	seen_dialog dialog = press_save();
	EXPECT_EQ(dialog.text, "Changes saved");
	EXPECT_EQ(dialog.detail, "These were added at the end of '" + home.rc_path() +
					 "':\na_enable: \"YES\" -> \"NO\"\nhost: \"box\" -> \"new\"");
	EXPECT_EQ(dialog.type, GTK_MESSAGE_INFO);
	EXPECT_EQ(dialog.buttons, GTK_BUTTONS_OK);
	EXPECT_EQ(mark_during_dialog, "");
	std::string file = read_file(home.rc_path());
	EXPECT_EQ(file.rfind(header, 0), 0u);
	EXPECT_EQ(file.substr(file.find('\n', 1) + 1), "a_enable=\"NO\"\nhost=\"new\"\n");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_FALSE(gtk_widget_get_sensitive(save_button));
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), "");
}

TEST_F(SaveQuit, SaveWithoutChangesSaysSoAndWritesNothing)
{
	seen_dialog dialog = press_save();
	EXPECT_EQ(dialog.text, "There are no unsaved changes");
	EXPECT_EQ(dialog.type, GTK_MESSAGE_INFO);
	EXPECT_EQ(dialog.buttons, GTK_BUTTONS_OK);
	EXPECT_FALSE(g_file_test(home.rc_path().c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(SaveQuit, SaveAfterSortingWritesTheRowsOwnEntry)
{
	GtkTreeViewColumn *name = gtk_tree_view_get_column(page_view(0), 1);
	gtk_tree_view_column_clicked(name);
	gtk_tree_view_column_clicked(name);
	g_signal_emit_by_name(column_renderer(page_view(0), 2), "toggled", "0");
	press_save();
	std::string file = read_file(home.rc_path());
	EXPECT_EQ(count_of(file, "b_enable=\"YES\"\n"), 1);
	EXPECT_EQ(count_of(file, "a_enable"), 0);
}

TEST_F(SaveQuit, TwoSavesAppendTwoBlocks)
{
	toggle_knob("a_enable");
	press_save();
	edit_value("flags", "\"-y\"");
	press_save();
	std::string file = read_file(home.rc_path());
	EXPECT_EQ(count_of(file, header), 2);
	std::string second = file.substr(file.rfind(header));
	EXPECT_EQ(count_of(second, "flags=\"-y\"\n"), 1);
	EXPECT_EQ(count_of(second, "a_enable"), 0);
}

TEST_F(SaveQuit, FailedSaveKeepsEveryChange)
{
	std::string missing = home.dir + "/missing/rc.conf";
	const struct {
		std::string path, text;
	} cases[] = {
		{missing, "Can't open '" + missing + "' for writing. Changes not saved."},
		{home.rc_path(), "Can't write '" + home.rc_path() + "'. Changes not saved."},
	};
	toggle_knob("a_enable");
	for (const auto &c : cases) {
		setenv("KELVANE_RC", c.path.c_str(), 1);
		seen_dialog dialog;
		{
			file_size_limit full(c.path == missing ? RLIM_INFINITY : 0);
			dialog = press_save();
		}
		EXPECT_EQ(dialog.text, c.text);
		EXPECT_EQ(dialog.type, GTK_MESSAGE_ERROR);
		EXPECT_EQ(dialog.buttons, GTK_BUTTONS_CLOSE);
		EXPECT_TRUE(gtk_widget_get_sensitive(save_button));
		EXPECT_EQ(pending_changes, 1);
		EXPECT_EQ(lists.knobs[0].modified, 1);
		EXPECT_EQ(lists.knobs[0].saved_knob_on, 1);
		EXPECT_EQ(cell_text(knob_store, 0, column_mark), change_mark);
	}
}

// A file sh would misread is left as it is, with sh's words shown; once
// repaired, the same change saves.
TEST_F(SaveQuit, FileTheShellWouldMisreadIsReportedAndKeepsTheChange)
{
	const std::string path = home.rc_path();
	const std::string broken = "ifconfig_em0=\"inet 10.0.0.1\n";
	std::ofstream(path, std::ios::binary) << broken;
	std::string said = command_output("sh -n < " + path + " 2>&1");
	said = said.substr(0, said.find('\n'));
	ASSERT_NE(said, "");
	toggle_knob("a_enable");
	seen_dialog dialog = press_save();
	EXPECT_EQ(dialog.text, "'" + path + "' must be repaired first. Changes not saved.");
	EXPECT_EQ(dialog.detail, "The shell reports \"" + said +
					 "\". Until the file is repaired, the boot would not read lines added at its end. "
					 "Repair it with a text editor, then press Save again; your changes stay in the window.");
	EXPECT_EQ(dialog.type, GTK_MESSAGE_ERROR);
	EXPECT_EQ(dialog.buttons, GTK_BUTTONS_CLOSE);
	EXPECT_EQ(read_file(path), broken);
	EXPECT_TRUE(gtk_widget_get_sensitive(save_button));
	EXPECT_EQ(pending_changes, 1);
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), change_mark);
	std::ofstream(path, std::ios::binary) << "ifconfig_em0=\"inet 10.0.0.1\"\n";
	EXPECT_EQ(press_save().text, "Changes saved");
	EXPECT_EQ(count_of(read_file(path), "a_enable=\"NO\"\n"), 1);
}

TEST_F(SaveQuit, QuitWhenCleanEndsAtOnceAndStoresTheSize)
{
	resize_to(640, 500);
	answer_dialogs({GTK_RESPONSE_YES});
	EXPECT_TRUE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
	EXPECT_TRUE(answered_dialogs().empty());
	EXPECT_TRUE(geometry_written());
}

TEST_F(SaveQuit, QuitAnsweredOtherThanYesKeepsEverything)
{
	toggle_knob("a_enable");
	resize_to(640, 500);
	for (gint answer : {GTK_RESPONSE_NO, GTK_RESPONSE_DELETE_EVENT}) {
		answer_dialogs({answer});
		EXPECT_FALSE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
		ASSERT_EQ(answered_dialogs().size(), 1u);
		EXPECT_EQ(answered_dialogs()[0].text, "There are unsaved changes, quit anyway?");
		EXPECT_EQ(answered_dialogs()[0].detail, "Choose Save to save them and quit, or No to stay. If you quit "
							"now, these changes are lost:\na_enable: \"YES\" -> \"NO\"");
		EXPECT_EQ(answered_dialogs()[0].type, GTK_MESSAGE_QUESTION);
		EXPECT_EQ(answered_dialogs()[0].buttons, GTK_BUTTONS_YES_NO);
		EXPECT_EQ(pending_changes, 1);
		EXPECT_EQ(cell_text(knob_store, 0, column_mark), change_mark);
		EXPECT_FALSE(g_file_test(home.geometry_path().c_str(), G_FILE_TEST_EXISTS));
	}
}

TEST_F(SaveQuit, QuitAnsweredYesEndsAndStoresTheSize)
{
	toggle_knob("a_enable");
	resize_to(640, 500);
	answer_dialogs({GTK_RESPONSE_YES});
	EXPECT_TRUE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
	EXPECT_EQ(answered_dialogs().size(), 1u);
	EXPECT_TRUE(geometry_written());
}

// The question's Save writes the changes and quits; a save that fails says
// why and keeps the window and the changes.
TEST_F(SaveQuit, QuitQuestionsSaveSavesThenQuits)
{
	toggle_knob("a_enable");
	edit_value("host", "\"new\"");
	setenv("KELVANE_RC", (home.dir + "/missing/rc.conf").c_str(), 1);
	answer_dialogs({GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CLOSE});
	EXPECT_FALSE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
	ASSERT_EQ(answered_dialogs().size(), 2u);
	EXPECT_EQ(answered_dialogs()[1].text, "Can't open '" + home.dir + "/missing/rc.conf' for writing. Changes not saved.");
	EXPECT_EQ(pending_changes, 2);
	setenv("KELVANE_RC", home.rc_path().c_str(), 1);
	answer_dialogs({GTK_RESPONSE_ACCEPT});
	EXPECT_TRUE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
	EXPECT_EQ(answered_dialogs().size(), 1u) << "no message after a save that quits";
	std::string file = read_file(home.rc_path());
	EXPECT_EQ(file.substr(file.find('\n', 1) + 1), "a_enable=\"NO\"\nhost=\"new\"\n");
	EXPECT_EQ(pending_changes, 0);
}

TEST_F(SaveQuit, CloseAnsweredNoKeepsTheWindow)
{
	toggle_knob("a_enable");
	resize_to(640, 500);
	bool destroyed = false;
	g_signal_connect_swapped(main_window, "destroy", G_CALLBACK(+[](bool *d, GtkWidget *) { *d = true; }),
				 &destroyed);
	answer_dialogs({GTK_RESPONSE_NO});
	EXPECT_FALSE(ends_main_loop([] { close_by_window_manager(main_window); }));
	EXPECT_EQ(answered_dialogs().size(), 1u);
	EXPECT_FALSE(destroyed);
	EXPECT_EQ(pending_changes, 1);
	EXPECT_FALSE(g_file_test(home.geometry_path().c_str(), G_FILE_TEST_EXISTS));
}

TEST_F(SaveQuit, CloseWhenCleanDestroysAndStoresTheSizeOnce)
{
	expect_close_stores_size_once(0);
}

TEST_F(SaveQuit, CloseAnsweredYesDestroysAndStoresTheSizeOnce)
{
	toggle_knob("b_enable");
	expect_close_stores_size_once(1);
}

// Save, Quit, Add and the window manager's close take a value still being
// typed as confirmed; a refused one stops them, the text waiting in its cell.
TEST_F(SaveQuit, ValueStillBeingTypedIsNeverLost)
{
	const struct {
		const char *action;
		std::function<void()> press;
		const char *first_dialog; // the question, or the outcome of Save
	} cases[] = {
		{"Save", [] { gtk_button_clicked(GTK_BUTTON(save_button)); }, "Changes saved"},
		{"Quit", [] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }, "There are unsaved changes, quit anyway?"},
		{"close", [] { close_by_window_manager(main_window); }, "There are unsaved changes, quit anyway?"},
		{"Add", [] { gtk_button_clicked(GTK_BUTTON(row_button(1))); }, nullptr},
	};
	for (const auto &c : cases) {
		GtkEntry *editor = open_value_editor("host");
		ASSERT_NE(editor, nullptr) << c.action;
		gtk_entry_set_text(editor, "\"a\" \"b\"");
		answer_dialogs({GTK_RESPONSE_CLOSE});
		EXPECT_FALSE(ends_main_loop(c.press)) << c.action;
		ASSERT_EQ(answered_dialogs().size(), 1u) << c.action;
		EXPECT_EQ(answered_dialogs()[0].text, "The value of host was not changed");
		editor = value_editor_entry();
		ASSERT_NE(editor, nullptr) << c.action << ": the refused text is gone";

		gtk_entry_set_text(editor, ("\"by " + std::string(c.action) + "\"").c_str());
		answer_dialogs({GTK_RESPONSE_NO});
		EXPECT_FALSE(ends_main_loop(c.press)) << c.action;
		EXPECT_EQ(cell_text(string_store, 0, column_state), "\"by " + std::string(c.action) + "\"");
		if (c.first_dialog != nullptr) {
			ASSERT_FALSE(answered_dialogs().empty()) << c.action;
			EXPECT_EQ(answered_dialogs()[0].text, c.first_dialog);
		}
		for (GtkWidget *window : add_windows())
			gtk_widget_destroy(window);
	}
	EXPECT_EQ(count_of(read_file(home.rc_path()), "host=\"by Save\"\n"), 1);
}

// A file size limit makes the write fail: it is reported, the file is as it was.
TEST_F(SaveQuit, FileSizeLimitFailsTheSaveCleanly)
{
	const std::string before = "a_enable=\"YES\"\n";
	std::ofstream(home.rc_path(), std::ios::binary) << before;
	edit_value("host", ("\"" + std::string(200, 'x') + "\"").c_str());
	rlimit old_limit;
	getrlimit(RLIMIT_FSIZE, &old_limit);
	rlimit limit = {before.size() + 64, old_limit.rlim_max};
	setrlimit(RLIMIT_FSIZE, &limit);
	seen_dialog dialog = press_save();
	setrlimit(RLIMIT_FSIZE, &old_limit);
	EXPECT_EQ(dialog.text, "Can't write '" + home.rc_path() + "'. Changes not saved.");
	EXPECT_EQ(read_file(home.rc_path()), before);
	EXPECT_EQ(pending_changes, 1);
}

// Whatever the umask, a new rc.conf is for root's boot: others read it, none but its owner write it.
TEST_F(SaveQuit, NewFileIsMode0644WhateverTheUmask)
{
	toggle_knob("a_enable");
	for (mode_t mask : {000, 077}) {
		std::remove(home.rc_path().c_str());
		mode_t before = umask(mask);
		EXPECT_EQ(press_save().text, "Changes saved");
		umask(before);
		struct stat info;
		ASSERT_EQ(stat(home.rc_path().c_str(), &info), 0);
		EXPECT_EQ(info.st_mode & 07777, 0644u) << mask;
		EXPECT_EQ(info.st_uid, geteuid());
		toggle_knob("a_enable");
	}
}

// While the shell judges a long file the window keeps drawing, and nothing
// in it can save, quit or change an entry; afterwards all is as it was.
TEST_F(SaveQuit, WindowKeepsDrawingWhileTheShellJudges)
{
	{
		std::ofstream big(home.rc_path(), std::ios::binary);
		for (int i = 0; i < 300000; i++)
			big << "a" << i << "=\"value\"\n";
	}
	toggle_knob("a_enable");
	static int ticks_during_save;
	static bool anything_sensitive;
	static bool close_refused = true;
	ticks_during_save = 0;
	guint ticker = g_timeout_add(5, [](gpointer) -> gboolean {
		if (save_running()) {
			ticks_during_save++;
			for (GtkWidget *widget : {save_button, row_button(3), knob_view})
				anything_sensitive = anything_sensitive || gtk_widget_is_sensitive(widget);
			close_refused = close_refused && on_delete_event(main_window, nullptr, nullptr) == TRUE;
		}
		return TRUE;
	}, nullptr);
	EXPECT_EQ(press_save().text, "Changes saved");
	g_source_remove(ticker);
	EXPECT_GT(ticks_during_save, 0);
	EXPECT_FALSE(anything_sensitive);
	EXPECT_TRUE(close_refused);
	EXPECT_TRUE(gtk_widget_is_sensitive(row_button(3)) && gtk_widget_is_sensitive(knob_view));
	EXPECT_EQ(count_of(read_file(home.rc_path()), "a_enable=\"NO\"\n"), 1);
}

TEST_F(SaveQuit, ShellReadsTheSavedValuesAsShown)
{
	edit_value("host", "\"two words\"");
	edit_value("flags", "\"-a; -b # c\"");
	edit_value("note", "\"x\"");
	press_save();
	std::string output =
		command_output("sh -c '. \"$1\"; printf \"%s|%s|%s\" \"$host\" \"$flags\" \"$note\"' sh " + home.rc_path());
	std::string shown;
	for (int row = 0; row < 3; row++) {
		std::string value = cell_text(string_store, row, column_state);
		shown += (row > 0 ? "|" : "") + value.substr(1, value.size() - 2);
	}
	EXPECT_EQ(output, shown);
	EXPECT_EQ(shown, "two words|-a; -b # c|x");
}

// Twelve knobs, every one to be changed.
class ChangeList : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		std::vector<test_knob> knobs;
		for (const char *name : names)
			knobs.push_back({name});
		open_lists(knobs, {});
	}
	static constexpr const char *names[] = {"k01", "k02", "k03", "k04", "k05", "k06",
						"k07", "k08", "k09", "k10", "k11", "k12"};
};

// The tip says what Save would write at the moment it shows; the tip and the
// quit question list ten changes, then how many more.
TEST_F(ChangeList, TipAndQuitQuestionListTenThenHowManyMore)
{
	EXPECT_EQ(tip_text(save_button), "Save changes");
	toggle_knob("k01");
	EXPECT_EQ(tip_text(save_button), "Save these changes:\nk01: \"NO\" -> \"YES\"");
	std::string ten;
	for (int i = 1; i < 12; i++)
		toggle_knob(names[i]);
	for (int i = 0; i < 10; i++)
		ten += std::string("\n") + names[i] + ": \"NO\" -> \"YES\"";
	EXPECT_EQ(tip_text(save_button), "Save these changes:" + ten + "\nand 2 more");
	toggle_knob("k12");
	EXPECT_EQ(tip_text(save_button), "Save these changes:" + ten + "\nand 1 more");
	answer_dialogs({GTK_RESPONSE_NO});
	EXPECT_FALSE(ends_main_loop([] { gtk_button_clicked(GTK_BUTTON(row_button(3))); }));
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].detail,
		  "Choose Save to save them and quit, or No to stay. If you quit now, these changes are lost:" + ten +
			  "\nand 1 more");
}

} // namespace
