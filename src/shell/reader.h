// Reading one rc.conf file into knob and string arrays.
#pragma once

#include "model/rc_entry.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The names whose value "NO" makes a string, not a knob.
extern const char *const string_valued_names[36];

struct script_observer;

// Reads the file at path into lists, replacing all its fields, observer
// (unless nullptr) watching as read_observed_stream lets it. A file that
// is missing, no regular file or larger than file_size_bound gives two
// empty arrays (open_for_reading notes why; the commands of one that grew
// past the bound while it was read have been shown to observer). Always
// returns 0.
int read_rc_file(const char *path, rc_lists *lists, const script_observer *observer = nullptr);

// read_rc_file for a file whose changes must be noticed: its state is
// remembered as it is opened, before it is read, so that a change made
// while it is read counts as a change.
int read_remembered_file(const char *path, rc_lists *lists, const script_observer *observer = nullptr);

// Reads text into lists (unless nullptr), as read_rc_file does with a file's.
int read_rc_text(std::string_view text, rc_lists *lists, const script_observer *observer = nullptr);

// Reads an open stream into lists, as read_rc_file does with its file.
int read_rc_stream(FILE *in, rc_lists *lists);

// A word of a command, as written, continuations removed.
struct command_word {
	std::string text;        // cut to the tokenizer's word_text_limit
	std::size_t name_length; // of NAME in NAME=value, 0 for any other word
	bool cut;                // text holds only the word's beginning
	int line;                // where it begins
};

// A simple command that sh may run in the shell itself while it reads a
// file: not in a function body, a pipeline or the background. One at the
// top level runs whenever the file is read; one nested in if, case, a loop
// or braces only when the shell takes that way. Redirections are not among
// its words.
struct top_command {
	std::vector<command_word> words;
	bool words_cut;    // more words followed than are kept
	bool nested;       // inside a compound command
	int line;          // where it begins
	int list_position; // 0 for the first command of its and-or list
	bool after_and;    // it follows && (else || when list_position > 0)
};

// A compound command (if, a loop, case, braces) or a function definition
// that sh may run in the shell itself while it reads a file, as
// top_command: not in a function body or a subshell.
struct top_compound {
	std::string keyword;  // "if", "while", "until", "for", "case" or "{"; "()" for a definition
	std::string function; // a definition: the function's name
	bool nested;          // inside another compound command
	bool piped;           // in a pipeline of several: run in a subshell
	int line;             // where it begins
	int end_line;         // where it ends
};

// Where a comment stands.
struct comment_place {
	int line;
	bool starts_line; // its "#" is the first byte of the line
	bool alone;       // nothing but blanks stands before it on the line
};

// What a reader of rc.d scripts sees besides the entries, in the file's
// order: each such command once the complete command holding it has been
// read (none of those after a syntax error), and every comment (its text
// after the "#") as soon as it is read.
struct script_observer {
	std::function<void(const top_command &)> command;
	std::function<void(std::string_view text, comment_place place)> comment;
	// Only a return or exit that surely runs ends the file, not one in an
	// if or after && or ||: a script's reader follows the way the boot
	// takes, in which a script's checks pass.
	bool sure_ends_only = false;
	// When given: each compound command, reported just before the commands it
	// holds; none that runs in the background.
	std::function<void(const top_compound &)> compound = nullptr;
	// When given: each entry of the file, in its order, as it is filed:
	// before entries of one name are laid over each other in the lists.
	std::function<void(const rc_entry &)> entry = nullptr;
};

// read_rc_stream, showing observer the commands and comments; lists may be
// nullptr when only they are wanted. Reads no more than limit bytes, and
// returns -1 (lists empty) when the stream goes on past them, else 0.
int read_observed_stream(FILE *in, rc_lists *lists, const script_observer *observer,
			 std::size_t limit = SIZE_MAX);

// The line of the first return or exit at the top level of text, where the
// boot's reading of the file ends; 0 when it reads the text to its end.
// while_waiting, when given, is called now and then on a long text.
int early_end_line(std::string_view text, void (*while_waiting)() = nullptr);
