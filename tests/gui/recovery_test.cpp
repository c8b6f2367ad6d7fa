// Bringing back, at the next start, the changes kept when Kelvane was ended from outside.
#include "gui/main_window.h"
#include "gui/recovery.h"
#include "gui_test_util.h"
#include "rcfile/recovery_file.h"

#include <string>

namespace {

class Recovery : public gui_test {};

// Bring Back marks the kept changes, nothing saved; Drop forgets them;
// closing the question decides nothing, so they are offered again.
TEST_F(Recovery, KeptChangesComeBackOnlyWhenAsked)
{
	open_files("sshd_enable=\"NO\"\n", "sshd_enable=\"YES\"\n");
	rc_entry off{}, added{};
	copy_field(off.name, "sshd_enable");
	copy_field(added.name, "moused_enable");
	off.is_knob = off.modified = 1;
	added.is_knob = added.knob_on = added.is_new = added.modified = 1;
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
		EXPECT_EQ(pending_changes, c.pending) << c.answer;
		EXPECT_EQ(g_file_test(recovery_path().c_str(), G_FILE_TEST_EXISTS), c.file_stays) << c.answer;
	}
	EXPECT_EQ(cell_of(knob_store, "moused_enable", column_mark), change_mark);
	EXPECT_EQ(knob_state("sshd_enable"), "off");
	EXPECT_EQ(read_file(home.rc_path()), "sshd_enable=\"YES\"\n");
}

} // namespace
