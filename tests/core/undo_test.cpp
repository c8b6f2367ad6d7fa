// Tests of the order of changes that Ctrl+Z follows; the window tests try Reset to Default.
#include "edit/undo.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// The latest change whose name still_changed lists comes first, each once.
TEST(ChangeOrder, LatestStillChangedFirstAndOnce)
{
	forget_change_order();
	for (const char *name : {"a", "b", "c", "a"})
		note_change(name);
	note_pending("b");
	note_pending("d");
	std::set<std::string> changed = {"a", "b", "d"};
	auto still = [&](const std::string &name) { return changed.count(name) != 0; };
	std::string order;
	for (std::string name; !(name = take_last_change(still)).empty();)
		order += name;
	EXPECT_EQ(order, "dab") << "c is no change any more";
	forget_change_order();
	note_change("a");
	forget_change_order();
	EXPECT_EQ(take_last_change(still), "");
}

} // namespace
