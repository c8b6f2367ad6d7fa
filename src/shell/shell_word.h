// Expanding a word of rc.conf as /bin/sh does at boot, without running anything.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

// What a variable holds, or what a word expands to.
enum class shell_kind {
	unset,        // no value: sh has not set it (never the result of a word)
	known,        // text is the value
	unknown,      // it cannot be worked out here
	runs_command, // it comes from a command that sh runs at boot ($(...) or `...`)
};

struct shell_value {
	shell_kind kind = shell_kind::unset;
	std::string text; // known: the value
};

// The variables as sh holds them at one point of the files.
struct shell_state {
	std::unordered_map<std::string, shell_value> values;
	// A name that values lacks is looked up here, when given: a service's
	// own variables over those of the files.
	const shell_state *under = nullptr;
	// A name set nowhere is unknown, not unset: something the files ran may
	// have set it.
	bool others_unknown = false;
	// sh may have stopped at an error: nothing after it can be known.
	bool stopped = false;
	// Bytes the expansions may still produce and pattern steps they may
	// still take, shared by every word, beyond what each word may spend of
	// its own (in proportion to its length). A word that would spend more is
	// unknown, as is what it assigns, and spends nothing of this: the words
	// after it are worked out as before. It keeps time and memory in
	// proportion to the files, whatever they repeat.
	std::size_t budget = 0;
};

// What sh gives name in state. A name of small letters, digits and "_"
// that nothing has set is unset; one that holds a capital, or a special
// parameter, is unknown: the boot's environment and rc.subr set such names
// (PATH, HOME, SYSCTL) before the files are read.
shell_value variable_value(const shell_state &state, std::string_view name);

// The value of name=word, word as written (quotes included, continuations
// removed): quote removal, $name and ${name}, ${name:-w} ${name-w}
// ${name:+w} ${name+w} ${name:=w} ${name=w} ${name:?w} ${name?w}, ${#name},
// and the patterns of ${name%w} ${name%%w} ${name#w} ${name##w} (*, ?,
// [...] with ranges and "!", quoting). $(...) and `...` run a command.
// Everything else (tilde, $((...)), special and positional parameters,
// [:class:], [^...], $'...') is unknown; a form that sh may fail on also
// marks the state stopped. What ${v:=w} and ${v=w} assign goes into state.
shell_value expand_word(shell_state &state, std::string_view word);

// Runs name=word in state, as an assignment at the top level of a file.
void assign_word(shell_state &state, std::string_view name, std::string_view word);

// Sets name to value in state, as assign_word would.
void set_variable(shell_state &state, std::string_view name, shell_value value);
