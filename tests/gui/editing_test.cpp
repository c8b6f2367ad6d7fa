// Toggling and editing rows, the change counter, and the status bar comment.
#include "gui/editing.h"
#include "gui/main_window.h"
#include "gui_test_util.h"

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

TEST(FirstLine, TextStopsAtTheFirstLineBreak)
{
	const char *const cases[][2] = {
		{"\"a\"", "\"a\""}, {"\"a\"\nrm -rf /", "\"a\""}, {"\"a\"\r\n\"b\"", "\"a\""},
		{"\"a\rb\"", "\"a"}, {"\n\"a\"", ""},
	};
	for (const auto &c : cases)
		EXPECT_EQ(first_line(c[0]), c[1]) << c[0];
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
		lists = make_lists({{"a_enable", 1, "first knob"}, {"b_enable", 0, ""}},
				   {{"host", "\"box\"", "the name"}, {"flags", "\"-x\"", ""}});
		create_main_window(&lists);
	}
	bool save_sensitive() { return gtk_widget_get_sensitive(save_button); }
	rc_lists lists;
};

TEST_F(Editing, KnobToggledAwayAndBackLeavesNoTrace)
{
	toggle_knob("a_enable");
	EXPECT_EQ(pending_changes, 1);
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), change_mark);
	EXPECT_TRUE(save_sensitive());
	EXPECT_FALSE(cell_state(0));
	toggle_knob("a_enable");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_EQ(lists.knobs[0].modified, 0);
	EXPECT_EQ(cell_text(knob_store, 0, column_mark), "");
	EXPECT_FALSE(save_sensitive());
}

TEST_F(Editing, SaveStaysSensitiveUntilTheLastKnobIsBack)
{
	toggle_knob("a_enable");
	toggle_knob("b_enable");
	EXPECT_EQ(pending_changes, 2);
	toggle_knob("a_enable");
	EXPECT_EQ(pending_changes, 1);
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
	edit_value("host", "x");
	edit_value("flags", "\"-y\"");
	toggle_knob("b_enable");
	toggle_knob("a_enable");
	edit_value("flags", "\"-x\"");
	EXPECT_EQ(pending_changes, modified_count());
	EXPECT_EQ(pending_changes, 2);
	EXPECT_STREQ(lists.strings[0].value, "x") << "values are stored as typed";
}

TEST_F(Editing, ValueIsCutAtItsFirstLineBreak)
{
	edit_value("host", "\"new\"\nreboot");
	EXPECT_STREQ(lists.strings[0].value, "\"new\"");
	EXPECT_EQ(cell_text(string_store, 0, column_state), "\"new\"");
	edit_value("flags", "\"-y\"\r");
	EXPECT_STREQ(lists.strings[1].value, "\"-y\"");
}

// sh would read the lines after an open quote into the value.
TEST_F(Editing, ValueWithAnOpenQuoteIsRefused)
{
	edit_value("flags", "\"-y\"");
	for (const char *open : {"\"new", "\"a\"b\"", "x\\"}) {
		answer_dialogs({GTK_RESPONSE_CLOSE});
		edit_value("host", open);
		process_events();
		ASSERT_EQ(answered_dialogs().size(), 1u) << open;
		EXPECT_EQ(answered_dialogs()[0].type, GTK_MESSAGE_ERROR);
		EXPECT_STREQ(lists.strings[0].value, "\"box\"") << open;
		EXPECT_EQ(cell_text(string_store, 0, column_state), "\"box\"");
		EXPECT_EQ(pending_changes, 1);
	}
}

TEST_F(Editing, RowOutsideTheStoreChangesNothing)
{
	g_signal_emit_by_name(column_renderer(page_view(0), 2), "toggled", "7");
	g_signal_emit_by_name(column_renderer(page_view(1), 2), "edited", "7", "\"x\"");
	EXPECT_EQ(pending_changes, 0);
	EXPECT_EQ(modified_count(), 0);
}

TEST_F(Editing, SelectedRowShowsItsCommentInEitherTab)
{
	select_row(0, "a_enable");
	EXPECT_EQ(status_text(), "first knob");
	select_row(1, "host");
	EXPECT_EQ(status_text(), "the name");
	select_row(1, "flags");
	EXPECT_EQ(status_text(), "");
	select_row(1, "host");
	select_row(1, nullptr);
	EXPECT_EQ(status_text(), "");
}

} // namespace
