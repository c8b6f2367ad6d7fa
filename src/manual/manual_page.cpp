// The manual page rc.conf(5) read into entries: the items of its list of variables, their names, types and texts.
#include "manual/manual_page.h"

#include "files/system_root.h"
#include "manual/manual_file.h"
#include "manual/mdoc_text.h"
#include "model/rc_entry.h"

#include <algorithm>

namespace {

// The characters of name outside its placeholders; -1 when name is no
// variable name or pattern.
int literal_characters(std::string_view name)
{
	int literal = 0;
	for (std::size_t i = 0; i < name.size(); i++) {
		if (name[i] == '<') {
			std::size_t end = name.find_first_of("<> \t", i + 1);
			if (end == std::string_view::npos || name[end] != '>' || end == i + 1)
				return -1;
			i = end;
		} else if (name[i] != '*') {
			if (!is_name_char(name[i]) || (i == 0 && name[i] >= '0' && name[i] <= '9'))
				return -1;
			literal++;
		}
	}
	return literal;
}

bool is_pattern(std::string_view name)
{
	return name.find_first_of("<*") != std::string_view::npos;
}

// The names that the words and macros of args from at on write with Va,
// with the placeholders that Ar, Ao and Aq write and the words that Ns
// joins to them, and the type a ".Pq Vt" among them gives.
struct named {
	std::vector<std::string> names;
	std::string type;
};

named names_in(const std::vector<mdoc_arg> &args, std::size_t at)
{
	named found;
	std::string name;
	bool variable = false;   // Va wrote part of name
	bool joined = false;     // the next word joins name
	int angles = 0;          // Ao not yet closed
	int line_angles = 0;     // Aq, closed at the end
	enum { plain, var, placeholder } writes = plain;
	auto end_name = [&]() {
		for (; line_angles > 0; line_angles--)
			name += '>';
		if (variable && literal_characters(name) > 0)
			found.names.push_back(name);
		name.clear();
		variable = false;
		angles = 0;
	};
	for (std::size_t i = at; i < args.size(); i++) {
		const mdoc_arg &arg = args[i];
		if (is_callable_macro(arg)) {
			std::string_view m = arg.text;
			if (m == "Va") {
				writes = var;
			} else if (m == "Ar") {
				writes = placeholder;
			} else if (m == "Ns") {
				joined = true;
				writes = plain;
			} else if (m == "Ao" || m == "Aq") {
				if (!joined)
					end_name();
				name += '<';
				(m == "Ao" ? angles : line_angles)++;
				joined = true;
				writes = placeholder;
			} else if (m == "Ac") {
				if (angles > 0) {
					name += '>';
					angles--;
				}
				joined = false;
				writes = plain;
			} else if (m == "Pq" && i + 2 < args.size() && args[i + 1].text == "Vt") {
				end_name();
				found.type = arg_text(args[i + 2]);
				return found;
			} else {
				writes = plain;
			}
			continue;
		}
		if (is_delimiter(arg)) {
			end_name();
			joined = false;
			continue;
		}
		std::string word = arg_text(arg);
		if (writes == placeholder && angles == 0 && line_angles == 0)
			word = "<" + word + ">";
		if (!joined)
			end_name();
		name += word;
		variable = variable || writes == var;
		joined = angles > 0 || line_angles > 0;
	}
	end_name();
	return found;
}

// The type the first line of an entry's text gives, as ".Pq Vt bool"; "" when it gives none.
std::string type_line(const mdoc_line &line)
{
	if (mdoc_macro(line.text).empty())
		return {};
	std::vector<mdoc_arg> args = mdoc_args(line.text);
	if (args.size() >= 3 && args[0].text == "Pq" && args[1].text == "Vt")
		return arg_text(args[2]);
	if (args.size() >= 2 && args[0].text == "Vt")
		return arg_text(args[1]);
	return {};
}

// The page's name, from the first .Nm that gives one.
std::string page_name_of(const std::vector<mdoc_line> &lines)
{
	for (const mdoc_line &line : lines) {
		if (mdoc_macro(line.text) != "Nm")
			continue;
		std::vector<mdoc_arg> args = mdoc_args(line.text);
		if (args.size() > 1)
			return arg_text(args[1]);
	}
	return "rc.conf";
}

// An item of the list being read: what its head lines give.
struct open_entry {
	std::vector<std::string> names;
	std::string type;
	std::size_t line = 0;  // its first head line
	std::size_t body = 0;  // the first line after its head lines
	std::size_t depth = 0; // of its list
};

struct page_reader {
	const std::vector<mdoc_line> &lines;
	std::string page_name;
	manual_page page;
	std::vector<manual_name> named; // each pattern an entry's text names, each time

	void add(open_entry &entry, std::size_t end)
	{
		std::size_t body = entry.body;
		if (entry.type.empty() && body < end) {
			entry.type = type_line(lines[body]);
			if (!entry.type.empty())
				body++;
		}
		std::size_t index = page.entries.size();
		for (std::string &name : entry.names) {
			int literal = literal_characters(name);
			(is_pattern(name) ? page.patterns : page.plain).push_back({name, index, literal, false});
		}
		std::string text = mdoc_plain_text(lines.data() + body, lines.data() + end, page_name);
		page.entries.push_back({std::move(entry.names), std::move(entry.type), std::move(text), lines[entry.line].number});
		for (std::size_t i = body; i < end; i++) {
			if (mdoc_macro(lines[i].text).empty())
				continue;
			for (std::string &pattern : names_in(mdoc_args(lines[i].text), 0).names)
				if (is_pattern(pattern))
					named.push_back({std::move(pattern), index, 0, true});
		}
	}
};

// The patterns the entries' texts name, each once with the entry naming
// it most often (the first of those). A pattern that an entry has as its
// own is that entry's, and one that begins with a placeholder could stand
// for any service's variables.
std::vector<manual_name> mentions_of(const std::vector<manual_name> &own, std::vector<manual_name> named)
{
	std::vector<std::string_view> taken;
	for (const manual_name &n : own)
		taken.push_back(n.name);
	std::sort(taken.begin(), taken.end());
	std::stable_sort(named.begin(), named.end(),
			 [](const manual_name &a, const manual_name &b) { return a.name < b.name; });
	std::vector<manual_name> mentions;
	for (std::size_t i = 0, end; i < named.size(); i = end) {
		std::size_t best = i, best_count = 0;
		auto same = [&](std::size_t a, std::size_t b) { return named[a].name == named[b].name; };
		for (end = i; end < named.size() && same(end, i);) {
			std::size_t run = end;
			while (end < named.size() && same(end, run) && named[end].entry == named[run].entry)
				end++;
			if (end - run > best_count) {
				best = run;
				best_count = end - run;
			}
		}
		const std::string &pattern = named[i].name;
		bool general = pattern[0] == '<' || pattern[0] == '*';
		if (!general && !std::binary_search(taken.begin(), taken.end(), pattern)) {
			mentions.push_back(std::move(named[best]));
			mentions.back().literal = literal_characters(mentions.back().name);
		}
	}
	return mentions;
}

} // namespace

bool matches_pattern(std::string_view pattern, std::string_view name)
{
	if (name.empty() || !std::all_of(name.begin(), name.end(), is_name_char))
		return false;
	// The pattern as literal pieces, each after the least number of
	// characters its placeholders before it take.
	std::size_t at = 0, p = 0;
	bool first = true;
	while (p <= pattern.size()) {
		std::size_t least = 0;
		while (p < pattern.size() && (pattern[p] == '<' || pattern[p] == '*')) {
			p = pattern[p] == '*' ? p + 1 : pattern.find('>', p) + 1;
			if (p == 0)
				return false;
			least++;
		}
		std::size_t end = pattern.find_first_of("<*", p);
		std::string_view piece = pattern.substr(p, (end == std::string_view::npos ? pattern.size() : end) - p);
		bool last = end == std::string_view::npos;
		if (first && least == 0) {
			if (name.substr(0, piece.size()) != piece)
				return false;
			at = piece.size();
		} else if (last) {
			// The last piece ends the name; the leftmost match of each piece before leaves it the most room.
			std::size_t rest = name.size() - piece.size();
			return name.size() >= at + least + piece.size() && name.substr(rest) == piece;
		} else {
			std::size_t found = at + least <= name.size() ? name.find(piece, at + least) : name.npos;
			if (found == std::string_view::npos)
				return false;
			at = found + piece.size();
		}
		if (last)
			return at == name.size();
		first = false;
		p = end;
	}
	return false;
}

manual_page parse_manual_page(std::string_view text)
{
	std::vector<mdoc_line> lines = mdoc_lines(text);
	page_reader reader{lines, page_name_of(lines), {}, {}};
	std::size_t depth = 0;     // lists open
	bool in_entry = false;
	open_entry entry;
	for (std::size_t i = 0; i < lines.size(); i++) {
		std::string_view macro = mdoc_macro(lines[i].text);
		if (macro == "Bl") {
			depth++;
		} else if (macro == "El" && depth > 0) {
			if (in_entry && depth == entry.depth) {
				reader.add(entry, i);
				in_entry = false;
			}
			depth--;
		} else if (macro == "Sh" || macro == "Ss") {
			if (in_entry)
				reader.add(entry, i);
			in_entry = false;
			depth = 0;
		} else if (macro == "It" && (!in_entry || depth == entry.depth)) {
			named head = names_in(mdoc_args(lines[i].text), 1);
			// Items in a row with no text between share the text of the last.
			if (in_entry && entry.body == i && entry.type.empty()) {
				for (std::string &name : head.names)
					entry.names.push_back(std::move(name));
				entry.type = head.type;
				entry.body = i + 1;
				continue;
			}
			if (in_entry)
				reader.add(entry, i);
			in_entry = !head.names.empty();
			entry = {std::move(head.names), std::move(head.type), i, i + 1, depth};
		}
	}
	manual_page &page = reader.page;
	std::vector<manual_name> mentions = mentions_of(page.patterns, std::move(reader.named));
	page.patterns.insert(page.patterns.end(), std::make_move_iterator(mentions.begin()),
			     std::make_move_iterator(mentions.end()));
	std::stable_sort(page.plain.begin(), page.plain.end(),
			 [](const manual_name &a, const manual_name &b) { return a.name < b.name; });
	page.plain.erase(std::unique(page.plain.begin(), page.plain.end(),
				     [](const manual_name &a, const manual_name &b) { return a.name == b.name; }),
			 page.plain.end());
	std::stable_sort(page.patterns.begin(), page.patterns.end(), [](const manual_name &a, const manual_name &b) {
		if (a.literal != b.literal)
			return a.literal > b.literal;
		if (a.mentioned != b.mentioned)
			return b.mentioned;
		return a.entry < b.entry;
	});
	return std::move(reader.page);
}

int read_manual_page(const char *path, manual_page &page)
{
	page = {};
	std::string text;
	if (read_manual_file(path, text) == -1)
		return -1;
	page = parse_manual_page(text);
	return 0;
}

int read_installed_manual_page(manual_page &page)
{
	if (read_manual_page(under_root("/usr/share/man/man5/rc.conf.5.gz").c_str(), page) == 0)
		return 0;
	return read_manual_page(under_root("/usr/share/man/man5/rc.conf.5").c_str(), page);
}

manual_match find_in_manual(const manual_page &page, std::string_view variable)
{
	auto own = std::lower_bound(page.plain.begin(), page.plain.end(), variable,
				    [](const manual_name &n, std::string_view name) { return n.name < name; });
	if (own != page.plain.end() && own->name == variable)
		return {&page.entries[own->entry], own->name, false};
	for (const manual_name &n : page.patterns)
		if (matches_pattern(n.name, variable))
			return {&page.entries[n.entry], n.name, n.mentioned};
	return {};
}
