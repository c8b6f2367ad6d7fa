// Entry lists for tests: read from text or loaded from files, freed with the test.
#pragma once

#include "boot/load.h"
#include "files/system_root.h"
#include "shell/reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// text as a stream; /dev/null for no text, as fmemopen may refuse a size of 0.
inline FILE *open_text(std::string_view text)
{
	return text.empty() ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char *>(text.data()), text.size(), "r");
}

// read_rc_stream of text.
inline int read_text(std::string_view text, rc_lists *lists)
{
	FILE *in = open_text(text);
	int result = read_rc_stream(in, lists);
	std::fclose(in);
	return result;
}

// A calloc'd copy of entries, as the reader leaves its arrays.
inline rc_entry *heap_array(const std::vector<rc_entry> &entries)
{
	auto *array = static_cast<rc_entry *>(std::calloc(entries.size() + 1, sizeof(rc_entry)));
	for (std::size_t i = 0; i < entries.size(); i++)
		array[i] = entries[i];
	return array;
}

// Lists that free their entries when they go.
struct owned_lists : rc_lists {
	owned_lists() : rc_lists{} {}
	// The lists text reads as.
	explicit owned_lists(std::string_view text) : rc_lists{} { EXPECT_EQ(read_text(text, this), 0); }
	// Lists of copies of the entries given.
	owned_lists(const std::vector<rc_entry> &knob_entries, const std::vector<rc_entry> &string_entries) : rc_lists{}
	{
		knobs = heap_array(knob_entries);
		knob_count = static_cast<int>(knob_entries.size());
		strings = heap_array(string_entries);
		string_count = static_cast<int>(string_entries.size());
	}
	~owned_lists() { free_lists(*this); }
	owned_lists(const owned_lists &) = delete;
	owned_lists &operator=(const owned_lists &) = delete;

	// The knobs, then the strings.
	std::vector<const rc_entry *> entries() const
	{
		std::vector<const rc_entry *> all;
		for (int i = 0; i < knob_count; i++)
			all.push_back(&knobs[i]);
		for (int i = 0; i < string_count; i++)
			all.push_back(&strings[i]);
		return all;
	}
};

// load_settings of the defaults and rc.conf under root, with root as the
// system root meanwhile, as "kelvane -R root" loads them.
inline int load_root(const std::filesystem::path &root, rc_lists *lists)
{
	if (set_system_root(root.c_str()) != 0)
		return -1;
	std::string defaults = under_root("/etc/defaults/rc.conf"), rc = under_root("/etc/rc.conf");
	int result = load_settings(defaults.c_str(), rc.c_str(), lists);
	set_system_root("/");
	return result;
}
