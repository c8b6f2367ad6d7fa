// Bringing back, at the next start, the changes kept when Kelvane was ended from outside.
#include "edit/recovery_file.h"
#include "gui/main_window.h"
#include "gui/recovery.h"
#include "gui_test_util.h"

#include <string>
#include <sys/stat.h>

namespace {

class Recovery : public gui_test {};

rc_entry kept(const char *name, int knob_on, const char *value = "")
{
	rc_entry change{};
	copy_field(change.name, name);
	copy_field(change.value, value);
	change.is_knob = value[0] == '\0';
	change.knob_on = knob_on;
	change.modified = 1;
	return change;
}

// Bring Back marks the kept changes, nothing saved; Drop forgets them;
// closing the question decides nothing, so they are offered again. The offer
// lists them as the Save tip does. A file others may write is not read, and
// the status bar says so.
TEST_F(Recovery, KeptChangesComeBackOnlyWhenAsked)
{
	open_files("sshd_enable=\"NO\"\n", "sshd_enable=\"YES\"\n");
	rc_entry off = kept("sshd_enable", 0), added = kept("moused_enable", 1);
	added.is_new = 1;
	const struct {
		gint answer;
		int pending;
		bool file_stays;
	} cases[] = {{GTK_RESPONSE_DELETE_EVENT, 0, true}, {GTK_RESPONSE_REJECT, 0, false}, {GTK_RESPONSE_ACCEPT, 2, false}};
	for (const auto &c : cases) {
		ASSERT_EQ(write_recovery_file(recovery_path(), recovery_key(home.rc_path().c_str()), {off, added}), 0);
		answer_dialogs({c.answer});
		offer_recovery();
		ASSERT_EQ(answered_dialogs().size(), 1u) << c.answer;
		EXPECT_EQ(answered_dialogs()[0].text,
			  "Changes to '" + home.rc_path() + "' were not saved when Kelvane was last ended");
		EXPECT_NE(answered_dialogs()[0].detail.find(
				  "These were kept:\nsshd_enable: \"YES\" -> \"NO\"\nmoused_enable: (not set) -> \"YES\"\n"),
			  std::string::npos);
		EXPECT_EQ(pending_changes, c.pending) << c.answer;
		EXPECT_EQ(g_file_test(recovery_path().c_str(), G_FILE_TEST_EXISTS), c.file_stays) << c.answer;
	}
	EXPECT_EQ(cell_of(knob_store, "moused_enable", column_mark), change_mark);
	EXPECT_EQ(knob_state("sshd_enable"), "off");
	EXPECT_EQ(read_file(home.rc_path()), "sshd_enable=\"YES\"\n");

	ASSERT_EQ(write_recovery_file(recovery_path(), recovery_key(home.rc_path().c_str()), {off}), 0);
	chmod(recovery_path().c_str(), 0644);
	answer_dialogs({});
	offer_recovery();
	EXPECT_TRUE(answered_dialogs().empty());
	EXPECT_EQ(status_text(), "'" + recovery_path() + "' was not read: its mode is not 0600");
	EXPECT_TRUE(g_file_test(recovery_path().c_str(), G_FILE_TEST_EXISTS));
}

// A value that runs a command asks what typing it asks, and comes back only
// on Yes; a change Kelvane would refuse typed is named as left out.
TEST_F(Recovery, ACommandAsksAsTypingItDoes)
{
	open_files("", "hostname=\"box\"\n");
	for (gint keep : {GTK_RESPONSE_NO, GTK_RESPONSE_YES}) {
		ASSERT_EQ(write_recovery_file(recovery_path(), recovery_key(home.rc_path().c_str()),
					      {kept("hostname", 0, "\"$(hostname -s)\""), kept("a;b", 1)}),
			  0);
		answer_dialogs({GTK_RESPONSE_ACCEPT, keep});
		offer_recovery();
		ASSERT_EQ(answered_dialogs().size(), 2u);
		EXPECT_NE(answered_dialogs()[0].detail.find("hostname: \"box\" -> \"$(hostname -s)\"\n\nLeft out: a;b."),
			  std::string::npos);
		EXPECT_EQ(answered_dialogs()[1].text, "The value of hostname runs a command at every boot. Keep it?");
		EXPECT_EQ(pending_changes, keep == GTK_RESPONSE_YES ? 1 : 0);
	}
}

} // namespace
