// Tests of merge_lists and sort_entries.
#include "boot/merge.h"

#include "owned_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

rc_entry knob(const char *name, int on, const char *comment = "")
{
	rc_entry e = {};
	copy_field(e.name, name);
	copy_field(e.comment, comment);
	e.is_knob = 1;
	e.knob_on = e.saved_knob_on = on;
	return e;
}

rc_entry string_entry(const char *name, const char *value, const char *comment = "")
{
	rc_entry e = {};
	copy_field(e.name, name);
	copy_field(e.value, value);
	copy_field(e.saved_value, value);
	copy_field(e.comment, comment);
	return e;
}

bool all_zero(const rc_entry *from, int count)
{
	const auto *bytes = reinterpret_cast<const unsigned char *>(from);
	for (std::size_t i = 0; i < count * sizeof(rc_entry); i++)
		if (bytes[i] != 0)
			return false;
	return true;
}

// The merge as the rule says it, one entry at a time: the defaults' knobs,
// their strings, the machine's knobs, its strings. A name keeps the place and
// comment of its first entry and takes the kind and state or value of its last.
void reference_merge(const rc_lists &def, const rc_lists &mach, std::vector<rc_entry> &knobs,
		     std::vector<rc_entry> &strings)
{
	std::vector<rc_entry> in;
	for (const rc_lists *l : {&def, &mach}) {
		in.insert(in.end(), l->knobs, l->knobs + l->knob_count);
		in.insert(in.end(), l->strings, l->strings + l->string_count);
	}
	for (const rc_entry &e : in) {
		std::vector<rc_entry> &mine = e.is_knob ? knobs : strings;
		std::vector<rc_entry> &other = e.is_knob ? strings : knobs;
		auto same = [&e](const rc_entry &x) { return std::strncmp(x.name, e.name, field_size) == 0; };
		auto found = std::find_if(mine.begin(), mine.end(), same);
		auto moved = std::find_if(other.begin(), other.end(), same);
		if (found != mine.end()) {
			if (e.is_knob) {
				found->knob_on = e.knob_on;
				found->saved_knob_on = e.saved_knob_on;
			} else {
				std::memcpy(found->value, e.value, field_size);
				std::memcpy(found->saved_value, e.saved_value, field_size);
				found->value_lock = e.value_lock;
			}
			found->source = e.source;
		} else {
			mine.push_back(e);
			if (moved != other.end()) {
				std::memcpy(mine.back().comment, moved->comment, field_size);
				mine.back().has_comment = moved->has_comment;
				other.erase(moved);
			}
		}
	}
}

// The sort as first described: sweeps of neighbour exchanges until none is
// made. Works on indices so that thousands of entries stay quick.
std::vector<int> reference_sort(const rc_entry *entries, int n)
{
	std::vector<int> order(n);
	for (int i = 0; i < n; i++)
		order[i] = i;
	bool exchanged = n >= 2;
	while (exchanged) {
		exchanged = false;
		for (int i = 0; i < n - 1 - i; i++)
			for (int k = i; k <= n - 2 - i; k++)
				if (std::strncmp(entries[order[k]].name, entries[order[k + 1]].name,
						 field_size) > 0) {
					std::swap(order[k], order[k + 1]);
					exchanged = true;
				}
	}
	return order;
}

// Random entries of both kinds drawn from a small pool of names, so that
// names repeat in both files and across kinds; the tag in the comment tells
// equal names apart. Some string values are locked.
std::vector<rc_entry> random_entries(std::mt19937 &rng, int count, bool knobs)
{
	// Some names share their first 16 bytes or run to the field's end.
	static const std::string stems[] = {"sshd", "SSHD", "_x", "ntpd", "a", "A", "\xc3\xa9t\xc3\xa9",
					    "ifconfig_em0_alias", "ifconfig_em0_\xc3\xa9", std::string(260, 'q')};
	std::vector<rc_entry> out;
	for (int i = 0; i < count; i++) {
		std::string name = stems[rng() % 10];
		name.insert(name.size() > 16 ? 16 + rng() % 2 : name.size(), std::to_string(rng() % 40));
		std::string tag = std::to_string(i);
		std::string value = "\"v" + std::to_string(rng() % 1000) + "\"";
		out.push_back(knobs ? knob(name.c_str(), rng() % 2, tag.c_str())
				    : string_entry(name.c_str(), value.c_str(), tag.c_str()));
		out.back().value_lock = !knobs && rng() % 4 == 0 ? value_too_long : 0;
		out.back().source = rng() % 8 == 0;
	}
	return out;
}

// Merges and compares every byte with reference_merge.
void expect_reference_merge(const owned_lists &d, const owned_lists &m)
{
	std::vector<rc_entry> knobs, strings;
	reference_merge(d, m, knobs, strings);
	rc_lists merged = d;
	merged.knobs = heap_array({d.knobs, d.knobs + d.knob_count});
	merged.strings = heap_array({d.strings, d.strings + d.string_count});
	ASSERT_EQ(0, merge_lists(&merged, &m));
	EXPECT_EQ(static_cast<int>(knobs.size()), merged.knob_count);
	EXPECT_EQ(static_cast<int>(strings.size()), merged.string_count);
	if (static_cast<int>(knobs.size()) == merged.knob_count && static_cast<int>(strings.size()) == merged.string_count) {
		EXPECT_EQ(0, std::memcmp(knobs.data(), merged.knobs, knobs.size() * sizeof(rc_entry)));
		EXPECT_EQ(0, std::memcmp(strings.data(), merged.strings, strings.size() * sizeof(rc_entry)));
	}
	std::free(merged.knobs);
	std::free(merged.strings);
}

} // namespace

TEST(Merge, SharedNameKeepsDefaultsPlaceAndCommentTakesMachineState)
{
	owned_lists def({knob("a_enable", 0, " first"), knob("b_enable", 0)},
			{string_entry("a_flags", "\"-x\"", " flags")});
	owned_lists mach({knob("a_enable", 1, " mine")}, {string_entry("a_flags", "\"-y\"")});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	ASSERT_EQ(2, def.knob_count);
	EXPECT_STREQ("a_enable", def.knobs[0].name);
	EXPECT_STREQ(" first", def.knobs[0].comment);
	EXPECT_EQ(1, def.knobs[0].knob_on);
	EXPECT_EQ(1, def.knobs[0].saved_knob_on);
	EXPECT_STREQ("\"-y\"", def.strings[0].value);
	EXPECT_STREQ("\"-y\"", def.strings[0].saved_value);
	EXPECT_STREQ(" flags", def.strings[0].comment);
}

TEST(Merge, LastMachineAssignmentDecides)
{
	owned_lists def({}, {string_entry("hostname", "\"\"")});
	owned_lists mach({}, {string_entry("hostname", "\"one\""), string_entry("hostname", "\"two\"")});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	ASSERT_EQ(1, def.string_count);
	EXPECT_STREQ("\"two\"", def.strings[0].value);
}

TEST(Merge, MachineOnlyNameTwiceIsOneEntryWithFirstCommentAndLastValue)
{
	owned_lists def({knob("a", 0)}, {});
	owned_lists mach({knob("new", 1, " why"), knob("new", 0, " later")}, {});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	ASSERT_EQ(2, def.knob_count);
	EXPECT_STREQ("new", def.knobs[1].name);
	EXPECT_STREQ(" why", def.knobs[1].comment);
	EXPECT_EQ(0, def.knobs[1].knob_on);
	EXPECT_EQ(0, def.knobs[1].saved_knob_on);
}

// One row a variable: the last kind read decides, and the entry keeps the
// default's comment.
TEST(Merge, OtherKindReplacesTheDefaultKeepingItsComment)
{
	owned_lists def({knob("sendmail_enable", 1, " mail")}, {string_entry("dumpdev", "\"AUTO\"", " dumps")});
	owned_lists mach({knob("dumpdev", 1)}, {string_entry("sendmail_enable", "\"NONE\"", " mine")});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	ASSERT_EQ(1, def.knob_count);
	EXPECT_STREQ("dumpdev", def.knobs[0].name);
	EXPECT_STREQ(" dumps", def.knobs[0].comment);
	EXPECT_EQ(1, def.knobs[0].saved_knob_on);
	ASSERT_EQ(1, def.string_count);
	EXPECT_STREQ("\"NONE\"", def.strings[0].value);
	EXPECT_STREQ(" mail", def.strings[0].comment);
	EXPECT_TRUE(all_zero(def.knobs + 1, def.knob_capacity - 1));
}

TEST(Merge, StringValueIsCarriedAsWholeField)
{
	owned_lists def({}, {string_entry("flags", "\"a much longer value\"")});
	owned_lists mach({}, {string_entry("flags", "\"-q\"")});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	EXPECT_EQ(0, std::memcmp(mach.strings[0].value, def.strings[0].value, field_size));
	EXPECT_EQ(0, std::memcmp(mach.strings[0].saved_value, def.strings[0].saved_value,
				 field_size));
}

TEST(Merge, CapacityIsTwiceBothCountsAndSpareRoomIsZero)
{
	owned_lists def({knob("a", 1), knob("b", 1), knob("c", 0)}, {string_entry("s", "\"1\"")});
	owned_lists mach({knob("b", 0), knob("d", 1)}, {});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	EXPECT_EQ(10, def.knob_capacity);
	EXPECT_EQ(4, def.knob_count);
	EXPECT_TRUE(all_zero(def.knobs + 4, 6));
	EXPECT_EQ(2, def.string_capacity);
	EXPECT_TRUE(all_zero(def.strings + 1, 1));
}

TEST(Merge, EmptyMachineLeavesDefaultsWithDoubleRoom)
{
	owned_lists def({knob("a", 1), knob("b", 0)}, {string_entry("s", "\"x\"", " c")});
	owned_lists mach({}, {});
	std::vector<rc_entry> before(def.knobs, def.knobs + 2);
	ASSERT_EQ(0, merge_lists(&def, &mach));
	EXPECT_EQ(0, std::memcmp(before.data(), def.knobs, 2 * sizeof(rc_entry)));
	EXPECT_EQ(4, def.knob_capacity);
	EXPECT_EQ(2, def.string_capacity);
}

TEST(Merge, KindNeitherFileHasGetsNoRoom)
{
	owned_lists def({}, {string_entry("s", "\"x\"")});
	owned_lists mach({}, {});
	ASSERT_EQ(0, merge_lists(&def, &mach));
	EXPECT_EQ(nullptr, def.knobs);
	EXPECT_EQ(0, def.knob_count);
	EXPECT_EQ(0, def.knob_capacity);
	EXPECT_EQ(1, def.string_count);
}

TEST(Merge, NoMemoryReturnsEnomemAndLeavesDefaultsUnchanged)
{
	// Counts this large ask for more slots than an int can count.
	owned_lists def({knob("a", 1)}, {});
	owned_lists mach({}, {});
	def.knob_count = 1 << 30;
	mach.knob_count = 1 << 30;
	rc_lists before = def;
	errno = 0;
	EXPECT_EQ(-1, merge_lists(&def, &mach));
	EXPECT_EQ(ENOMEM, errno);
	EXPECT_EQ(0, std::memcmp(&before, static_cast<rc_lists *>(&def), sizeof before));
	def.knob_count = 1;
}

TEST(Merge, ManyRandomEntriesMatchTheRule)
{
	std::mt19937 rng(7);
	for (int round = 0; round < 4; round++) {
		owned_lists d(random_entries(rng, 800, true), random_entries(rng, 800, false));
		owned_lists m(random_entries(rng, 800, true), random_entries(rng, 800, false));
		expect_reference_merge(d, m);
	}
}

// Neighbouring copies differ in kind, state, value, lock and comment, so a
// merge that took another copy than the last, or the comment of another than
// the first, differs from the rule.
TEST(Merge, ManyCopiesOfOneNameMatchTheRule)
{
	std::vector<rc_entry> knobs, strings;
	for (int i = 0; i < 1000; i++) {
		std::string tag = std::to_string(i);
		const char *name = i % 3 == 0 ? "only_mine" : "shared";
		knobs.push_back(knob(name, i % 2, tag.c_str()));
		strings.push_back(string_entry(name, ("\"" + tag + "\"").c_str(), tag.c_str()));
		strings.back().value_lock = i % 2 == 0 ? value_as_written : 0;
	}
	owned_lists d({knob("shared", 1, "d")}, {});
	owned_lists m(knobs, strings);
	expect_reference_merge(d, m);
}

TEST(Sort, ByteOrderPutsUpperThenUnderscoreThenLowerThenHighBytes)
{
	std::vector<rc_entry> e = {knob("b", 0), knob("\xc3\xa9", 0), knob("ab", 0), knob("a_b", 0),
				   knob("B", 0), knob("a", 0), knob("_a", 0), knob("A", 0)};
	sort_entries(e.data(), static_cast<int>(e.size()));
	const char *expected[] = {"A", "B", "_a", "a", "a_b", "ab", "b", "\xc3\xa9"};
	for (std::size_t i = 0; i < e.size(); i++)
		EXPECT_STREQ(expected[i], e[i].name) << i;
}

TEST(Sort, EqualNamesKeepTheirOrderAndEndUpTogether)
{
	std::vector<rc_entry> e = {knob("x", 0, "1"), knob("a", 0), knob("x", 1, "2"), knob("b", 0),
				   knob("x", 0, "3")};
	sort_entries(e.data(), 5);
	EXPECT_STREQ("1", e[2].comment);
	EXPECT_STREQ("2", e[3].comment);
	EXPECT_STREQ("3", e[4].comment);
	EXPECT_EQ(1, e[3].knob_on);
}

TEST(Sort, NoneOrOneEntryIsLeftAlone)
{
	sort_entries(nullptr, 0);
	rc_entry one = knob("z", 1, "c");
	rc_entry copy = one;
	sort_entries(&one, 1);
	EXPECT_EQ(0, std::memcmp(&copy, &one, sizeof one));
}

TEST(Sort, ManyRandomEntriesMatchNeighbourExchangeSort)
{
	std::mt19937 rng(11);
	for (int n : {2, 3, 17, 3000}) {
		std::vector<rc_entry> original = random_entries(rng, n, false);
		std::vector<int> order = reference_sort(original.data(), n);
		std::vector<rc_entry> sorted = original;
		sort_entries(sorted.data(), n);
		for (int i = 0; i < n; i++)
			ASSERT_EQ(0, std::memcmp(&original[order[i]], &sorted[i], sizeof(rc_entry))) << n << " " << i;
	}
}

TEST(NameOrder, AddedEntryTakesItsPlaceAndTheArrayGrows)
{
	rc_entry *entries = nullptr;
	int capacity = 0, count = 0;
	const struct {
		const char *name;
		int place;
	} cases[] = {{"ntpd_enable", 0}, {"apache_enable", 0}, {"zfs_enable", 2}, {"ntpd_flags", 2}, {"Zed", 0}};
	for (const auto &c : cases) {
		rc_entry entry{};
		copy_field(entry.name, c.name);
		EXPECT_EQ(insert_in_name_order(&entries, &capacity, &count, entry), c.place) << c.name;
	}
	std::string order;
	for (int i = 0; i < count; i++)
		order += std::string(entries[i].name) + " ";
	EXPECT_EQ(order, "Zed apache_enable ntpd_enable ntpd_flags zfs_enable ");
	EXPECT_GE(capacity, count);
	std::free(entries);
}
