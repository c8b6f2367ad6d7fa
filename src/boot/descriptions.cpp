// The defaults file's comments: the one beside an assignment, and the indented comment lines below it.
#include "boot/descriptions.h"

#include <unordered_map>

namespace {

// Bytes of a description kept; the longest in a real defaults file are a few hundred.
constexpr std::size_t description_limit = 2048;

std::unordered_map<std::string, std::string> descriptions;
std::string last_comment;     // the latest comment, until its line's command comes
int last_comment_line = 0;
std::string *open = nullptr;  // the description that the next indented line goes on with
std::string open_name;        // whose it is
int open_line = 0;            // the line it has reached
bool open_claimed = false;    // made by the last assignment

std::string_view trimmed(std::string_view text)
{
	std::size_t first = text.find_first_not_of(" \t");
	if (first == std::string_view::npos)
		return {};
	return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A line of '#', '-' or '=' only parts sections of the file.
bool is_separator(std::string_view text)
{
	return text.find_first_not_of("#-=* \t") == std::string_view::npos;
}

void append(std::string &to, std::string_view text)
{
	if (to.size() >= description_limit)
		return;
	if (!to.empty())
		to += ' ';
	to.append(text.substr(0, description_limit - to.size()));
}

} // namespace

void clear_descriptions()
{
	descriptions.clear();
	last_comment.clear();
	last_comment_line = 0;
	open = nullptr;
}

void note_comment(std::string_view text, comment_place place)
{
	int line = place.line;
	std::string_view body = trimmed(text);
	// An indented comment alone on the line below; one at the line's start opens a section.
	bool goes_on = open != nullptr && line == open_line + 1 && place.alone && !place.starts_line && !body.empty() &&
		       !is_separator(body);
	if (goes_on) {
		append(*open, body);
		open_line = line;
		return;
	}
	open = nullptr;
	last_comment = body;
	last_comment_line = line;
}

void note_assignment(std::string_view name, int line)
{
	// The comment is the last assignment's of its line: "a=1; b=2 # b's".
	if (open != nullptr && open_line == line && open_claimed)
		descriptions.erase(open_name);
	open = nullptr;
	if (line != last_comment_line || last_comment.empty())
		return;
	auto [at, fresh] = descriptions.try_emplace(std::string(name));
	open_claimed = fresh;
	if (!fresh)
		return;
	append(at->second, last_comment);
	open = &at->second;
	open_name = at->first;
	open_line = line;
}

std::string description_of(std::string_view name)
{
	auto at = descriptions.find(std::string(name));
	return at == descriptions.end() ? "" : at->second;
}
