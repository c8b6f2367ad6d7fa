// One rc.conf variable and the two arrays of them that the whole program shares.
#pragma once

#include <cstddef>
#include <string_view>

// Size of every text field. A field holds at most field_size - 1 bytes of
// text followed by its NUL.
constexpr std::size_t field_size = 255;

struct rc_entry {
	char name[field_size];
	char value[field_size];       // strings only: current text, quotes included
	char saved_value[field_size]; // strings only: text as last read or saved
	char comment[field_size];     // without the "#" and the newline
	int has_comment;              // 1: write comment beside the next save
	int is_new;                   // nonzero: added in this run, not yet saved
	int modified;                 // 1: to be written at the next save
	int is_knob;                  // 1: knob ("YES"/"NO"), 0: string
	int knob_on;                  // knobs only: current state
	int saved_knob_on;            // knobs only: state as last read or saved
	rc_entry *next;               // links nothing: the reader files records straight into arrays
	int value_lock;               // strings only: value_lock bits; a locked value is never edited or written
	int source;                   // 0 for an entry added here, else 1 + the index of its file in sources()
	int line;                     // line of the assignment that gives the state or value, from 1
};

// Why a string's value read from a file is shown marked and kept as it is.
enum value_lock_bits {
	value_too_long = 1,   // only its beginning fits in the field
	value_as_written = 2, // no double-quoted text reads as it: the field holds the file's own text
};

// The knob and string arrays of one file, or the merged pair. Slots from the
// count up to the capacity are zero-filled.
struct rc_lists {
	rc_entry *knobs;
	int knob_count;
	rc_entry *strings;
	int string_count;
	int knob_capacity;
	int string_capacity;
};

// Copies src into a field, cut to field_size - 1 bytes without splitting a
// UTF-8 character, always NUL-terminated. Returns 0, or -1 when src was cut.
int copy_field(char (&dst)[field_size], std::string_view src);

// The text of a field: up to its NUL, at most field_size bytes.
std::string_view field_text(const char (&field)[field_size]);

// Byte-wise comparison over at most field_size bytes; case matters.
bool names_equal(const char *a, const char *b);

// Frees both arrays of lists and empties it.
void free_lists(rc_lists &lists);

// Index of the first of the count entries whose name equals name, or -1.
int find_entry(const rc_entry *entries, int count, const char *name);

// The entry named name among both kinds of lists, or null.
const rc_entry *entry_named(const rc_lists &lists, const char *name);

// Whether c may begin a shell variable's name: a letter or an underscore.
bool is_name_start(char c);

// Whether c may stand in a shell variable's name: a letter, a digit or an underscore.
bool is_name_char(char c);

// Whether text is a whole shell variable name, as sh takes it in an assignment.
bool is_variable_name(std::string_view text);

// Whether text is upper, a word in capitals, with any of its ASCII letters in small ones.
bool equal_ignoring_case(std::string_view text, std::string_view upper);

// Makes room for at least one more entry behind count by doubling *capacity;
// *entries may move, and the new slots are left as they come, so that memory
// no entry takes is never touched. Returns 0, or -1 when memory runs out
// (array and capacity unchanged).
int make_room(rc_entry **entries, int *capacity, int count);

// make_room, with the new slots zero-filled.
int grow_entries(rc_entry **entries, int *capacity, int count);

// Takes the entry at index out of the count entries, moving those behind it
// up, and zero-fills the slot this frees at the end.
void remove_entry(rc_entry *entries, int *count, int index);
