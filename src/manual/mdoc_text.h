// Plain text from mdoc, the language of FreeBSD's manual pages: macros, escapes, lists and displays as a reader sees them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One line of a page as roff reads it: continuation lines joined, comments
// and the bodies of macro definitions left out. number is the line of the
// page it begins on.
struct mdoc_line {
	std::string text;
	int number;
};

// One argument of a macro line, its escapes not yet decoded.
struct mdoc_arg {
	std::string_view text;
	bool quoted; // written in double quotes: never a macro or a delimiter
};

// The lines of a page, in order.
std::vector<mdoc_line> mdoc_lines(std::string_view page);

// The macro a line calls ("It" for ".It Va x"); "" for a text line.
std::string_view mdoc_macro(std::string_view line);

// The arguments of a macro line, the macro's name first; each views line.
// A quoted argument's doubled quotes ("") stay doubled in its text.
std::vector<mdoc_arg> mdoc_args(std::string_view line);

// Whether an argument calls a macro from inside a line (Va, Xr, Ns...).
bool is_callable_macro(const mdoc_arg &arg);

// Whether an argument is one of mdoc's punctuation marks: ( [ | . , : ; ) ] ? !
bool is_delimiter(const mdoc_arg &arg);

// The text an argument stands for: its escapes decoded, and in a quoted
// one each doubled quote as one.
std::string arg_text(const mdoc_arg &arg);

// Text with its roff escapes turned into the characters they stand for (\-
// as "-", \(em as an em dash, \& as nothing, \e as a backslash), as valid
// UTF-8 without control characters other than tabs and line breaks.
std::string decode_escapes(std::string_view text);

// Lines [begin, end) of mdoc as plain sentences: macros dropped and their
// arguments kept, ".Xr sshd 8" as "sshd(8)", quoting macros as quotes,
// paragraphs separated by a blank line, list items and display lines each
// on their own line. page_name is what a bare .Nm stands for.
std::string mdoc_plain_text(const mdoc_line *begin, const mdoc_line *end, std::string_view page_name);
