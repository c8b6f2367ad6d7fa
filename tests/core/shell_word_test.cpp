// Tests of expanding a word as sh does: a table whose known values dash confirms, and what stops or assigns.
#include "shell/shell_word.h"

#include "scratch_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The variables every case starts from, as name and word.
constexpr const char *setup[][2] = {
	{"s", "set"}, {"e", ""}, {"t", "'a*b'"}, {"p", "'*'"}, {"q", "'?'"}, {"sp", "'a  b'"}, {"bs", "'\\*'"},
	{"path", "/usr/local/etc"},
};

shell_state start()
{
	shell_state state;
	state.budget = 1 << 20;
	for (const auto &variable : setup)
		assign_word(state, variable[0], variable[1]);
	return state;
}

// "=text" for a known value, "?" for unknown, "!" for one a command gives.
std::string described(const shell_value &value)
{
	switch (value.kind) {
	case shell_kind::known:
		return "=" + value.text;
	case shell_kind::runs_command:
		return "!";
	case shell_kind::unset:
		return "unset";
	default:
		return "?";
	}
}

struct word_case {
	const char *word;
	const char *expected;
};

constexpr word_case cases[] = {
	// Quotes, and the words of ${...} inside and outside double quotes.
	{"$s'$s'\"$s\"", "=set$sset"},
	{"\"\\a\\\\b\\\"c\\$d\\`\"", "=\\a\\b\"c$d`"},
	{"\\a\\\\b", "=a\\b"},
	{"\"${u:-'q'}\"", "='q'"},
	{"${u:-'q'}", "=q"},
	{"\"${u:-\"q r\"}\"", "=q r"},
	{"\"${u:-\"a}\"}\"", "=a}"},
	{"\"${u:-a\\b\\$}\"", "=a\\b$"},
	{"${u:-a\\b\\$}", "=ab$"},
	{"\"${u:-\\}}\"", "=}"},
	{"\"${u:-'}'}\"", "=''}"},
	{"\"${u:-\\'}\"", "=\\'"},
	{"${u:-\"'\"}", "='"},
	{"\"${u:-\"x\"'a b'}\"", "=x'a b'"},
	{"${u:-$sp}", "=a  b"},
	{"${u:-${u:-${s}}}", "=set"},
	{"${u:-$}", "=$"},
	{"\"$ x\"", "=$ x"},
	// Unset and empty differ.
	{"${e:-x}${e-y}${e:+z}${e+w}", "=xw"},
	{"${u:-x}${u-y}${u:+z}${u+w}", "=xy"},
	{"${s:-x}${s-y}${s:+z}${s+w}", "=setsetzw"},
	{"${u-x}${u=y}$u", "=xyy"},
	{"${e:=q}", "=q"},
	{"${#s}${#u}${#e}", "=300"},
	{"\"${#t}x\"", "=3x"},
	// Patterns: quoted bytes are plain, an unquoted expansion's are special.
	{"\"${s#'s'}\"", "=et"},
	{"${t#\"a\"'*'}", "=b"},
	{"\"${t#a*}\"", "=*b"},
	{"\"${t#\"a*\"}\"", "=b"},
	{"${t#a\\*}", "=b"},
	{"\"${t#$q}\"", "=*b"},
	{"${t#\"$q\"}", "=a*b"},
	{"${t#a$bs}", "=b"},
	{"${t%${t#?}}", "=a*"},
	{"${t%\"${t#?}\"}", "=a"},
	{"${s#*}${s##*}${s%*}${s%%*}", "=setset"},
	{"${path##*/}:${path%/*}:${path#*/}:${path%%/*}", "=etc:/usr/local:usr/local/etc:"},
	{"${t#[a-c]}${t#[!a]}${t#[]a]}", "=*ba*b*b"},
	{"${t#[a}", "=a*b"},
	{"${s%[b-a]}", "=set"},
	{"${u#x}", "="},
	// Commands: run only where sh expands them.
	{"$(c)", "!"},
	{"`c`", "!"},
	{"\"x$(echo ')')y\"", "!"},
	{"${u:-$(c)}", "!"},
	{"${s:-$(c)}", "=set"},
	{"${s:+`c`}", "!"},
	{"${u:+$(c)}", "="},
	{"${#s}$(c)${U}", "!"},
	// What only the boot knows, or what sh reads otherwise than dash.
	{"~/x", "?"},
	{"a:~", "?"},
	{"${u:-~}", "?"},
	{"x~", "=x~"},
	{"\"~\"", "=~"},
	{"$$", "?"},
	{"$1", "?"},
	{"${1:-x}", "?"},
	{"$HOME", "?"},
	{"${_x:-x}", "=x"},
	{"${U:-x}", "?"},
	{"$'x'", "?"},
	{"\"$'x'\"", "=$'x'"},
	{"${t#[^a]}", "?"},
	{"${t#[[:alpha:]]}", "?"},
	{"'open", "?"},
	{"\"open", "?"},
};

} // namespace

// Each word of the table expands to what the table says; where it says the
// value is known, dash gives that value too (c is a function printing X).
TEST(ShellWord, ExpandsAsDashDoes)
{
	std::string script = "c() { printf X; }\n";
	for (const auto &variable : setup)
		script += std::string(variable[0]) + "=" + variable[1] + "\n";
	std::vector<std::string> known;
	for (const word_case &c : cases) {
		shell_state state = start();
		EXPECT_EQ(described(expand_word(state, c.word)), c.expected) << c.word;
		if (c.expected[0] == '=') {
			script += "(x=" + std::string(c.word) + "; printf '%s\\0' \"$x\")\n";
			known.push_back(c.expected + 1);
		}
	}
	scratch_folder work;
	write_whole(work.path / "cases", script);
	std::string command = "PATH= /bin/sh " + (work.path / "cases").string() + " >" + (work.path / "out").string();
	ASSERT_EQ(std::system(command.c_str()), 0);
	EXPECT_EQ(nul_fields(read_whole(work.path / "out")), known);
}

// ${v:=w} and ${v=w} assign where sh expands them, and only there; what a
// command gives, or what may not run, is assigned as such.
TEST(ShellWord, AssignsWhereShExpands)
{
	shell_state state = start();
	expand_word(state, "${a:=x}${e:=y}${s:=z}${b=}${s:+${c:=w}}${u:+${d:=w}}");
	EXPECT_EQ(described(variable_value(state, "a")), "=x");
	EXPECT_EQ(described(variable_value(state, "e")), "=y");
	EXPECT_EQ(described(variable_value(state, "s")), "=set");
	EXPECT_EQ(described(variable_value(state, "b")), "=");
	EXPECT_EQ(described(variable_value(state, "c")), "=w");
	EXPECT_EQ(described(variable_value(state, "d")), "unset");
	expand_word(state, "${f:=$(c)}${U:+${g:=x}}");
	EXPECT_EQ(described(variable_value(state, "f")), "!");
	EXPECT_EQ(described(variable_value(state, "g")), "?");
	assign_word(state, "h", "\"$f and $s\"");
	EXPECT_EQ(described(variable_value(state, "h")), "!");
	EXPECT_FALSE(state.stopped);
}

// Where sh may stop with an error, nothing after it can be known.
TEST(ShellWord, WhatMayStopShStopsTheState)
{
	for (const char *word : {"${u:?}", "${e:?gone}", "${U?}", "${s/e/x}", "${1=x}", "$((1+2))", "${#s:-x}", "${"}) {
		shell_state state = start();
		EXPECT_EQ(described(expand_word(state, word)), "?") << word;
		EXPECT_TRUE(state.stopped) << word;
		EXPECT_EQ(described(variable_value(state, "s")), "?") << word;
		assign_word(state, "n", "new");
		EXPECT_EQ(described(variable_value(state, "n")), "?") << word;
	}
	shell_state state = start();
	EXPECT_EQ(described(expand_word(state, "${s:?}${e?}")), "=set");
	EXPECT_FALSE(state.stopped);
}

// A value that doubles on every line stays within what the budget allows;
// a word that would spend more is unknown, as is what it assigns after,
// and the simple words after it are worked out. A pattern matches in time
// in proportion to text and pattern.
TEST(ShellWord, BoundsWhatRepeatedWordsCost)
{
	shell_state state;
	state.budget = 1 << 16;
	assign_word(state, "a", "x");
	for (int i = 0; i < 40; i++)
		assign_word(state, "a", "$a$a");
	EXPECT_EQ(described(variable_value(state, "a")), "?");
	assign_word(state, "big", std::string(40000, 'x'));
	assign_word(state, "p", "/usr");
	for (int i = 0; i < 20; i++)
		assign_word(state, "b", "$big$big${n=$big}");
	EXPECT_EQ(described(variable_value(state, "b")), "?");
	EXPECT_EQ(described(variable_value(state, "n")), "?");
	assign_word(state, "c", "\"${p}/local\"");
	EXPECT_EQ(described(variable_value(state, "c")), "=/usr/local");
	EXPECT_FALSE(state.stopped);
	shell_state patterns;
	patterns.budget = 1 << 24;
	assign_word(patterns, "a", std::string(4000, 'a'));
	assign_word(patterns, "b", "${a%%*a*a*a*a*a*a*a*a*b}");
	EXPECT_EQ(variable_value(patterns, "b").text.size(), 4000u);
}

// Lookups fall through to the state below; a name set nowhere is unset,
// unless the state says that anything may hold anything.
TEST(ShellWord, LooksThroughToTheStateBelow)
{
	shell_state files = start();
	shell_state own;
	own.under = &files;
	own.budget = 1 << 10;
	assign_word(own, "s", "mine");
	EXPECT_EQ(described(variable_value(own, "s")), "=mine");
	EXPECT_EQ(described(variable_value(files, "s")), "=set");
	EXPECT_EQ(described(variable_value(own, "t")), "=a*b");
	EXPECT_EQ(described(variable_value(own, "nothing")), "unset");
	own.others_unknown = true;
	EXPECT_EQ(described(variable_value(own, "nothing")), "?");
	EXPECT_EQ(described(variable_value(own, "e")), "=");
}

// Words of random shell bytes expand without reading outside them, each to
// a value or to what cannot be known, within the budget.
TEST(ShellWord, RandomWordsExpandWithinBounds)
{
	constexpr char alphabet[] = "ab_:=-+?%#*[]!^~$${}()\"'\\` \t\n;|&<>xy01";
	shell_state state = start();
	std::size_t budget = state.budget;
	unsigned seed = 1;
	for (int n = 0; n < 20000; n++) {
		std::string word;
		for (int i = seed % 24; i > 0; i--, seed = seed * 1103515245 + 12345)
			word += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
		seed = seed * 1103515245 + 12345;
		shell_value value = expand_word(state, word);
		EXPECT_TRUE(value.kind != shell_kind::unset && (value.kind == shell_kind::known || value.text.empty())) << word;
		if (state.stopped)
			state = start();
		EXPECT_LE(state.budget, budget);
	}
}
