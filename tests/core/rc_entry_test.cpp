// Tests of the bounded field helpers and grow_entries.
#include "model/rc_entry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

TEST(CopyField, CutsAtTwoHundredFiftyFourBytesAndKeepsTheNul)
{
	struct {
		std::size_t length;
		std::size_t kept;
		int result;
	} const cases[] = {{0, 0, 0}, {254, 254, 0}, {255, 254, -1}, {300, 254, -1}};
	for (const auto &c : cases) {
		char field[field_size];
		std::memset(field, 'z', sizeof field);
		EXPECT_EQ(c.result, copy_field(field, std::string(c.length, 'a'))) << c.length;
		EXPECT_EQ(c.kept, std::strlen(field)) << c.length;
		EXPECT_EQ(0, field[field_size - 1]) << c.length;
	}
}

TEST(CopyField, CutDoesNotSplitAUtf8Character)
{
	char field[field_size];
	// "é" takes bytes 253 and 254; only byte 253 would fit.
	EXPECT_EQ(-1, copy_field(field, std::string(253, 'a') + "\xc3\xa9"));
	EXPECT_EQ(std::string(253, 'a'), field);
	// A four-byte character at 251..254 goes whole.
	EXPECT_EQ(-1, copy_field(field, std::string(251, 'a') + "\xf0\x9f\x94\x92"));
	EXPECT_EQ(std::string(251, 'a'), field);
}

TEST(CopyField, ClearsTheRestOfTheField)
{
	char field[field_size];
	std::memset(field, 'z', sizeof field);
	copy_field(field, "ab");
	for (std::size_t i = 2; i < field_size; i++)
		ASSERT_EQ(0, field[i]) << i;
}

TEST(FieldText, StopsAtNulOrAtTheFieldsEnd)
{
	char field[field_size];
	copy_field(field, "abc");
	EXPECT_EQ("abc", field_text(field));
	std::memset(field, 'q', sizeof field);
	EXPECT_EQ(field_size, field_text(field).size());
}

TEST(NamesEqual, ComparesOnlyTheFirst255Bytes)
{
	std::string a(300, 'n');
	std::string b = a;
	b[280] = 'm';
	EXPECT_TRUE(names_equal(a.c_str(), b.c_str()));
	b[254] = 'm';
	EXPECT_FALSE(names_equal(a.c_str(), b.c_str()));
	EXPECT_FALSE(names_equal("sshd_enable", "SSHD_enable"));
	EXPECT_FALSE(names_equal("ntpd", "ntpd_enable"));
}

TEST(GrowEntries, RoomLeftChangesNothing)
{
	auto *entries = static_cast<rc_entry *>(std::calloc(4, sizeof(rc_entry)));
	rc_entry *before = entries;
	int capacity = 4;
	EXPECT_EQ(0, grow_entries(&entries, &capacity, 3));
	EXPECT_EQ(4, capacity);
	EXPECT_EQ(before, entries);
	std::free(entries);
}

TEST(GrowEntries, FullArrayDoublesKeepsEntriesAndZeroesNewSlots)
{
	auto *entries = static_cast<rc_entry *>(std::calloc(16, sizeof(rc_entry)));
	int capacity = 16;
	for (int i = 0; i < 16; i++)
		copy_field(entries[i].name, std::to_string(i));
	ASSERT_EQ(0, grow_entries(&entries, &capacity, 16));
	EXPECT_EQ(32, capacity);
	EXPECT_STREQ("15", entries[15].name);
	rc_entry zero = {};
	for (int i = 16; i < 32; i++)
		ASSERT_EQ(0, std::memcmp(&zero, &entries[i], sizeof zero)) << i;
	std::free(entries);
}

TEST(GrowEntries, NoArrayYetGetsRoom)
{
	rc_entry *entries = nullptr;
	int capacity = 0;
	ASSERT_EQ(0, grow_entries(&entries, &capacity, 0));
	ASSERT_NE(nullptr, entries);
	EXPECT_GT(capacity, 0);
	EXPECT_EQ(0, entries[capacity - 1].is_knob);
	std::free(entries);
}

TEST(GrowEntries, CapacityBeyondAnIntFailsAndChangesNothing)
{
	rc_entry spare = {};
	rc_entry *entries = &spare;
	int capacity = INT_MAX / 2 + 1;
	EXPECT_EQ(-1, grow_entries(&entries, &capacity, capacity));
	EXPECT_EQ(&spare, entries);
	EXPECT_EQ(INT_MAX / 2 + 1, capacity);
}
