// Tests of laying the changes a window holds over the files as read again.
#include "edit/pending_changes.h"
#include "shell/reader.h"

#include "owned_lists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

rc_entry change(const char *name, int knob, const char *value)
{
	rc_entry entry{};
	copy_field(entry.name, name);
	entry.modified = 1;
	entry.is_knob = knob >= 0;
	entry.knob_on = knob == 1;
	copy_field(entry.value, value);
	return entry;
}

// The entries marked as changes: " K:name=1" for a knob, " S:name=value"
// for a string, "+" after a new one.
std::string changed(const rc_lists &lists)
{
	std::string out;
	for (int i = 0; i < lists.knob_count + lists.string_count; i++) {
		bool knob = i < lists.knob_count;
		const rc_entry &e = knob ? lists.knobs[i] : lists.strings[i - lists.knob_count];
		if (e.modified != 0)
			out += std::string(knob ? " K:" : " S:") + e.name + "=" +
			       (knob ? std::to_string(e.knob_on) : std::string(field_text(e.value))) + (e.is_new ? "+" : "");
	}
	return out;
}

// Each change takes the kind its value makes there, one entry a name; an
// equal one is dropped, one the window could not show as a change is lost.
TEST(PendingChanges, LaidOverTheFileAsItIsNow)
{
	constexpr std::string_view file_text = "a_enable=YES\nb_enable=NO\nhost=box\nsendmail_enable=NONE\nodd='$x'\n";
	const struct {
		rc_entry change;
		const char *expected;
		const char *lost;
	} cases[] = {
		{change("a_enable", 0, ""), " K:a_enable=0", ""},
		{change("host", -1, "\"box\""), "", ""},
		{change("sendmail_enable", 1, ""), " S:sendmail_enable=\"YES\"", ""},
		{change("b_enable", -1, "\"maybe\""), " S:b_enable=\"maybe\"", ""},
		{change("b_enable", -1, "\"Yes\""), " K:b_enable=1", ""},
		{change("gone_enable", 1, ""), " K:gone_enable=1+", ""},
		{change("odd", -1, "\"y\""), "", "odd"},
	};
	for (const auto &c : cases) {
		owned_lists lists(file_text);
		int entries = lists.knob_count + lists.string_count;
		std::vector<std::string> lost;
		ASSERT_EQ(lay_changes_over(&lists, {c.change}, lost), 0);
		EXPECT_EQ(changed(lists), c.expected) << c.change.name;
		EXPECT_EQ(lost.empty() ? "" : lost[0], c.lost);
		EXPECT_EQ(lists.knob_count + lists.string_count, entries + (std::strchr(c.expected, '+') != nullptr));
	}
}

// Knobs say YES or NO, strings their quoted value, an added entry not_set before its value.
TEST(ChangeLines, NameOldValueAndNewValue)
{
	rc_entry knob = change("sshd_enable", 1, ""), string = change("host", -1, "\"gate\"");
	copy_field(string.saved_value, "\"box\"");
	rc_entry added = change("label", -1, "\"$(id -u)\""), added_knob = change("new_enable", 0, "");
	added.is_new = added_knob.is_new = 1;
	EXPECT_EQ(change_lines({knob, string, added, added_knob}, "(unset)"),
		  (std::vector<std::string>{"sshd_enable: \"NO\" -> \"YES\"", "host: \"box\" -> \"gate\"",
					    "label: (unset) -> \"$(id -u)\"", "new_enable: (unset) -> \"NO\""}));
	knob.saved_knob_on = 1;
	knob.knob_on = 0;
	EXPECT_EQ(change_lines({knob}, "")[0], "sshd_enable: \"YES\" -> \"NO\"");
}

} // namespace
