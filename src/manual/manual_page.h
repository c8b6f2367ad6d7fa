// The manual page rc.conf(5): each variable it lists, with the type it gives and what it says, and finding a variable's entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One item of the page's list of variables. Its names are plain names or
// patterns, whose placeholders are written "<...>" (ifconfig_<interface>_descr,
// <name>_user) or "*" (jail_*), each standing for one or more letters,
// digits or underscores. An item may name several variables (".It Va a ,
// b", or items in a row with one text).
struct manual_entry {
	std::vector<std::string> names; // as the page writes them
	std::string type;               // as the page gives it ("bool", "str", "int"), "" when it gives none
	std::string text;               // plain sentences, as mdoc_plain_text writes them
	int line;                       // the page's line that gives its first name
};

// A name to find an entry by: one of its own, or a pattern its text
// describes (network_interfaces names ifconfig_<interface>) that no
// entry has as its own.
struct manual_name {
	std::string name;
	std::size_t entry;   // in manual_page::entries
	int literal;         // its characters outside placeholders
	bool mentioned;      // only named in the entry's text
};

// A page read: its entries in the page's order and the names to find them by.
struct manual_page {
	std::vector<manual_entry> entries;
	std::vector<manual_name> plain;    // the entries' plain names, sorted, each once (the first entry's)
	std::vector<manual_name> patterns; // most literal characters first, an entry's own before a mention
};

// What the page says of one variable.
struct manual_match {
	const manual_entry *entry = nullptr; // nullptr when the page says nothing of it
	std::string_view name;               // the name or pattern that matched, as the page holds it
	bool mentioned = false;              // name is only named in entry's text: entry's type is another variable's
};

// The entries of a page's mdoc text. Whatever cannot be read as an entry is
// passed over; an entry that the text's end cuts short (no next item,
// end of its list or new section) is left out.
manual_page parse_manual_page(std::string_view text);

// Reads the page at path, plain or gzip-compressed, within
// manual_size_limit. Returns 0, or -1 (page empty) when it cannot be read.
int read_manual_page(const char *path, manual_page &page);

// Reads the installed rc.conf(5) under the system root:
// /usr/share/man/man5/rc.conf.5.gz, else /usr/share/man/man5/rc.conf.5.
// Returns 0, or -1 (page empty) when neither can be read.
int read_installed_manual_page(manual_page &page);

// The entry for variable: its own, else the one of the pattern with the
// most literal characters that matches it, an entry's own pattern before
// one an entry's text names, and the earlier entry of two.
manual_match find_in_manual(const manual_page &page, std::string_view variable);

// Whether name, made of letters, digits and underscores, matches pattern;
// each placeholder stands for one or more such characters.
bool matches_pattern(std::string_view pattern, std::string_view name);
