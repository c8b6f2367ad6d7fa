// Toggling and editing rows, the change counter, and the status bar comment.
#include "edit/typed_value.h"
#include "gui/editing.h"
#include "gui/main_window.h"
#include "gui_test_util.h"
#include "shell/value_check.h"

#include <gdk/gdkkeysyms.h>

#include <string>

namespace {

TEST(FindEntry, FirstEntryOfTheNameWins)
{
	rc_entry entries[3] = {};
	copy_field(entries[0].name, "a");
	copy_field(entries[1].name, "b");
	copy_field(entries[2].name, "b");
	EXPECT_EQ(find_entry(entries, 3, "b"), 1);
	EXPECT_EQ(find_entry(entries, 3, "c"), -1);
	EXPECT_EQ(find_entry(entries, 1, "b"), -1) << "only entries below the count are searched";
}

TEST(CountEdit, FollowsTheCounterRules)
{
	struct {
		int modified, is_new;
		bool differs;
		int modified_after, pending_after;
		edit_mark mark;
	} const cases[] = {
		{0, 0, true, 1, 2, edit_mark::set},      {1, 0, true, 1, 1, edit_mark::set},
		{1, 0, false, 0, 0, edit_mark::cleared}, {0, 0, false, 0, 1, edit_mark::cleared},
		{1, 238, false, 1, 1, edit_mark::kept},  {1, 238, true, 1, 1, edit_mark::set},
	};
	for (const auto &c : cases) {
		rc_entry entry = {};
		entry.modified = c.modified;
		entry.is_new = c.is_new;
		int pending = 1;
		EXPECT_EQ(count_edit(entry, c.differs, &pending), c.mark);
		EXPECT_EQ(entry.modified, c.modified_after);
		EXPECT_EQ(pending, c.pending_after);
	}
}

TEST(Differs, ComparesWithTheSavedStateAndCountsAddedStrings)
{
	rc_entry string = {};
	copy_field(string.value, "\"x\"");
	copy_field(string.saved_value, "\"x\"");
	EXPECT_FALSE(value_differs(string));
	string.is_new = 238;
	EXPECT_TRUE(value_differs(string));
	rc_entry knob = {};
	knob.knob_on = knob.saved_knob_on = 1;
	EXPECT_FALSE(knob_differs(knob));
	knob.knob_on = 0;
	EXPECT_TRUE(knob_differs(knob));
}

class Editing : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_lists({{"a_enable", 1, "first knob"}, {"b_enable"}}, {{"host", "\"box\"", "the name"}, {"flags", "\"-x\""}});
	}
	static bool save_sensitive() { return gtk_widget_get_sensitive(save_button); }
};

// A knob toggled away and back leaves no trace; Save stays sensitive until
// the last knob is back.
TEST_F(Editing, KnobToggledAwayAndBackLeavesNoTrace)
{
	toggle_knob("a_enable");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), change_mark);
	EXPECT_TRUE(save_sensitive());
	EXPECT_FALSE(cell_state(0));
	toggle_knob("b_enable");
	EXPECT_EQ(pending_changes, 2);
	toggle_knob("a_enable");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_EQ(lists.knobs[0].modified, 0);
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), "");
	EXPECT_TRUE(save_sensitive());
	toggle_knob("b_enable");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_FALSE(save_sensitive());
}

TEST_F(Editing, StringEditedTwiceCountsOnceAndBackClears)
{
	edit_value("host", "\"one\"");
	edit_value("host", "\"two\"");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_STREQ(lists.strings[0].value, "\"two\"");
	edit_value("host", "\"box\"");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_EQ(cell_text(string_store, 0, column_mark), "");
	EXPECT_FALSE(save_sensitive());
}

TEST_F(Editing, ConfirmingAnUnchangedValueKeepsOtherChanges)
{
	toggle_knob("b_enable");
	edit_value("flags", "\"-x\"");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_EQ(cell_text(string_store, 1, column_mark), "");
	EXPECT_TRUE(save_sensitive());
}

TEST_F(Editing, CounterMatchesModifiedEntries)
{
	toggle_knob("a_enable");
	edit_value("host", "\"x\"");
	edit_value("flags", "\"-y\"");
	toggle_knob("b_enable");
	toggle_knob("a_enable");
	edit_value("flags", "\"-x\"");
	EXPECT_EQ(pending_changes, modified_count());
	EXPECT_EQ(pending_changes, 2);
	EXPECT_STREQ(lists.strings[0].value, "\"x\"");
}

// A refused text changes nothing and comes back in the cell's editor.
TEST_F(Editing, RefusedValueKeepsTheRowAndReopensTheEditorWithTheText)
{
	edit_value("flags", "\"-y\"");
	const std::string too_long = "\"" + std::string(300, 'x') + "\"";
	for (const char *typed : {"\"new", "\"a\";echo INJECTED;\"b\"", "$(echo ')", "\"x\"\nreboot", too_long.c_str()}) {
		answer_dialogs({GTK_RESPONSE_CLOSE});
		edit_value("host", typed);
		process_events();
		ASSERT_EQ(answered_dialogs().size(), 1u) << typed;
		EXPECT_EQ(answered_dialogs()[0].text, "The value of host was not changed");
		EXPECT_EQ(answered_dialogs()[0].detail, std::string(value_fault_text(check_value(typed_value(typed)))) +
								" Correct the text in the cell, or press Escape to keep the value it had.");
		EXPECT_EQ(answered_dialogs()[0].type, GTK_MESSAGE_ERROR);
		EXPECT_STREQ(lists.strings[0].value, "\"box\"") << typed;
		EXPECT_EQ(cell_text(string_store, 0, column_state), "\"box\"");
		EXPECT_EQ(pending_changes, 1);
		GtkEntry *editor = value_editor_entry();
		ASSERT_NE(editor, nullptr) << typed;
		EXPECT_STREQ(gtk_entry_get_text(editor), typed);
		g_object_set(editor, "editing-canceled", TRUE, nullptr);
		gtk_cell_editable_editing_done(GTK_CELL_EDITABLE(editor));
		gtk_cell_editable_remove_widget(GTK_CELL_EDITABLE(editor));
	}
}

// A click elsewhere takes the focus from the editor: its text counts as
// confirmed, and goes through the same check. Another window taking the
// focus leaves the editor open.
TEST_F(Editing, EditorLosingTheFocusConfirmsItsText)
{
	set_window_focus(main_window, true);
	GtkEntry *editor = open_value_editor("host");
	ASSERT_NE(editor, nullptr);
	gtk_entry_set_text(editor, "\"typed\"");
	set_window_focus(main_window, false);
	set_window_focus(main_window, true);
	EXPECT_EQ(value_editor_entry(), editor);
	gtk_widget_grab_focus(GTK_WIDGET(page_view(1)));
	process_events();
	EXPECT_EQ(value_editor_entry(), nullptr);
	EXPECT_STREQ(lists.strings[0].value, "\"typed\"");
	EXPECT_EQ(cell_text(string_store, 0, column_mark), change_mark);
	EXPECT_EQ(pending_changes, 1);

	// The refusal is shown while the focus moves; an entry left blinking its
	// cursor there warns (fatal here) at its next blink.
	g_object_set(gtk_settings_get_default(), "gtk-cursor-blink-time", 100, nullptr);
	editor = open_value_editor("flags");
	gtk_entry_set_text(editor, "\"a\" \"b\"");
	g_timeout_add(300, [](gpointer) -> gboolean {
		answer_dialogs({GTK_RESPONSE_CLOSE});
		return FALSE;
	}, nullptr);
	gtk_widget_grab_focus(row_button(1));
	EXPECT_TRUE(wait_for([] { return !answered_dialogs().empty(); }));
	process_events();
	EXPECT_EQ(answered_dialogs().size(), 1u);
	EXPECT_STREQ(lists.strings[1].value, "\"-x\"");
	ASSERT_NE(value_editor_entry(), nullptr);
	EXPECT_STREQ(gtk_entry_get_text(value_editor_entry()), "\"a\" \"b\"");
}

TEST_F(Editing, EscapeStillCancelsTheEdit)
{
	GtkEntry *editor = open_value_editor("host");
	ASSERT_NE(editor, nullptr);
	gtk_entry_set_text(editor, "\"typed\"");
	GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
	event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(editor))));
	event->key.keyval = GDK_Escape;
	gtk_widget_event(GTK_WIDGET(editor), event);
	gdk_event_free(event);
	process_events();
	EXPECT_EQ(value_editor_entry(), nullptr);
	EXPECT_STREQ(lists.strings[0].value, "\"box\"");
	EXPECT_EQ(pending_changes, 0);
}

// A value read too long for its field, or in a form no double-quoted text
// reads as, is shown marked and never edited: the file keeps it whole.
TEST_F(Editing, LockedValuesAreMarkedAndCannotBeEdited)
{
	const struct {
		int lock;
		const char *shown, *message;
	} cases[] = {
		{value_too_long, "\"-x\"\u2026", "It is longer than 254 bytes. rc.conf keeps the value it holds; change it "
						 "with a text editor."},
		{value_as_written, "\"-x\" (as written)",
		 "It is written in a form that cannot be shown here as one quoted text. rc.conf keeps the value it "
		 "holds; change it with a text editor."},
	};
	for (const auto &c : cases) {
		lists.strings[1].value_lock = c.lock;
		gtk_list_store_clear(string_store);
		append_row(string_store, lists.strings[0]);
		append_row(string_store, lists.strings[1]);
		EXPECT_EQ(cell_text(string_store, 1, column_state), c.shown);
		answer_dialogs({GTK_RESPONSE_CLOSE, GTK_RESPONSE_CLOSE});
		open_value_editor("flags");
		process_events();
		EXPECT_EQ(value_editor_entry(), nullptr);
		edit_value("flags", "\"-y\"");
		ASSERT_EQ(answered_dialogs().size(), 2u);
		for (const seen_dialog &dialog : answered_dialogs()) {
			EXPECT_EQ(dialog.text, "The value of flags cannot be edited here");
			EXPECT_EQ(dialog.detail, c.message);
		}
		EXPECT_STREQ(lists.strings[1].value, "\"-x\"");
		EXPECT_EQ(pending_changes, 0);
	}
}

// Save follows the text being typed: it is there to take it as soon as it
// differs from the row's value.
TEST_F(Editing, SaveTakesTheTextBeingTyped)
{
	GtkEntry *editor = open_value_editor("host");
	ASSERT_NE(editor, nullptr);
	EXPECT_FALSE(save_sensitive());
	gtk_entry_set_text(editor, "\"new\"");
	EXPECT_TRUE(save_sensitive());
	gtk_entry_set_text(editor, "\"box\"");
	EXPECT_FALSE(save_sensitive());
	gtk_entry_set_text(editor, "\"new\"");
	EXPECT_EQ(press_save().text, "Changes saved");
	EXPECT_NE(read_file(home.rc_path()).find("host=\"new\"\n"), std::string::npos);
	EXPECT_FALSE(save_sensitive());
}

// Bytes that are not UTF-8 reach the toolkit as U+FFFD; confirming what the
// row shows keeps the entry's own bytes.
TEST_F(Editing, TextThatIsNotUtf8IsShownReadablyAndKeptUnlessEdited)
{
	copy_field(lists.strings[0].value, "\"caf\xe9\"");
	copy_field(lists.strings[0].saved_value, "\"caf\xe9\"");
	copy_field(lists.strings[0].comment, "r\xe9seau");
	gtk_list_store_clear(string_store);
	append_row(string_store, lists.strings[0]);
	const std::string shown = "\"caf\xEF\xBF\xBD\"";
	EXPECT_EQ(cell_text(string_store, 0, column_state), shown);
	select_row(1, "host");
	EXPECT_EQ(status_text(), "r\xEF\xBF\xBDseau");
	edit_value("host", shown.c_str());
	EXPECT_STREQ(lists.strings[0].value, "\"caf\xe9\"");
	EXPECT_EQ(pending_changes, 0);
	answer_dialogs({GTK_RESPONSE_CLOSE});
	edit_value("host", "\"caf\xEF\xBF\xBD!\"");
	EXPECT_EQ(answered_dialogs().size(), 1u) << "a stand-in character would replace the bytes";
	edit_value("host", "\"caf\xC3\xA9\"");
	EXPECT_STREQ(lists.strings[0].value, "\"caf\xC3\xA9\"");
}

TEST_F(Editing, RowOutsideTheStoreChangesNothing)
{
	g_signal_emit_by_name(column_renderer(page_view(0), 2), "toggled", "7");
	g_signal_emit_by_name(column_renderer(page_view(1), 2), "edited", "7", "\"x\"");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_EQ(modified_count(), 0);
}

// The status bar speaks of the row selected in the tab in front, and of none
// when none is.
TEST_F(Editing, StatusBarFollowsTheSelectionOfTheTabInFront)
{
	select_row(0, "a_enable");
	EXPECT_EQ(status_text(), "first knob");
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 1);
	EXPECT_EQ(status_text(), "");
	select_row(1, "host");
	EXPECT_EQ(status_text(), "the name");
	gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 0);
	EXPECT_EQ(status_text(), "first knob");
	select_row(1, "flags");
	EXPECT_EQ(status_text(), "");
	select_row(1, "host");
	select_row(1, nullptr);
	EXPECT_EQ(status_text(), "");
}

// A value typed without quotes gets them, as in the add window.
TEST_F(Editing, TypedValueIsQuotedForTheUser)
{
	edit_value("host", "a\"b\\");
	EXPECT_STREQ(lists.strings[0].value, "\"a\\\"b\\\\\"");
	EXPECT_EQ(cell_text(string_store, 0, column_state), "\"a\\\"b\\\\\"");
	EXPECT_EQ(pending_changes, 1);
}

// A value that runs a command at every boot is asked about: No opens the
// editor again with the text, Yes takes it.
TEST_F(Editing, ACommandAtBootIsAskedAbout)
{
	for (gint answer : {GTK_RESPONSE_NO, GTK_RESPONSE_YES}) {
		answer_dialogs({answer});
		edit_value("host", "`hostname -s`");
		process_events();
		ASSERT_EQ(answered_dialogs().size(), 1u);
		EXPECT_EQ(answered_dialogs()[0].text, "The value of host runs a command at every boot. Keep it?");
		EXPECT_EQ(answered_dialogs()[0].type, GTK_MESSAGE_WARNING);
		EXPECT_EQ(answered_dialogs()[0].buttons, GTK_BUTTONS_YES_NO);
		GtkEntry *editor = value_editor_entry();
		EXPECT_EQ(editor != nullptr, answer == GTK_RESPONSE_NO);
		if (editor != nullptr) {
			EXPECT_STREQ(gtk_entry_get_text(editor), "`hostname -s`");
			EXPECT_STREQ(lists.strings[0].value, "\"box\"");
			g_object_set(editor, "editing-canceled", TRUE, nullptr);
			gtk_cell_editable_editing_done(GTK_CELL_EDITABLE(editor));
			gtk_cell_editable_remove_widget(GTK_CELL_EDITABLE(editor));
		}
	}
	EXPECT_STREQ(lists.strings[0].value, "\"`hostname -s`\"");
}

} // namespace
