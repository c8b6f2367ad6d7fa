// The reader against a real sh: generated file pairs sourced by /bin/sh, and real pairs when a folder of them is given.
#include "boot/merge.h"
#include "shell/reader.h"
#include "shell/tokenizer.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One row of the window: a knob's state, or a string's value text.
struct row {
	std::string name;
	bool knob;
	bool on;
	std::string text;
};

// The rows start-up makes of the two files.
std::vector<row> rows_of(const std::string &defaults, const std::string &machine)
{
	owned_lists merged(defaults), mine(machine);
	flush_tokenizer();
	EXPECT_EQ(merge_lists(&merged, &mine), 0);
	std::vector<row> rows;
	for (int i = 0; i < merged.knob_count; i++)
		rows.push_back({merged.knobs[i].name, true, merged.knobs[i].knob_on != 0, ""});
	for (int i = 0; i < merged.string_count; i++)
		rows.push_back({merged.strings[i].name, false, false, std::string(field_text(merged.strings[i].value))});
	return rows;
}

// Whether a row agrees with the value sh gave its variable: a knob is the
// YES or NO sh read; a string's text reads (as evaluated) as sh's value.
std::string disagreement(const row &r, const std::string &sh_value, const std::string &evaluated)
{
	if (r.knob)
		return upper(sh_value) == (r.on ? "YES" : "NO") ? "" : "knob " + std::string(r.on ? "on" : "off");
	bool string_valued = false;
	for (const char *listed : string_valued_names)
		string_valued = string_valued || r.name == listed;
	if (upper(sh_value) == "YES" || (upper(sh_value) == "NO" && !string_valued))
		return "a string, not a knob";
	return evaluated == sh_value ? "" : "shown " + r.text + " reads as '" + evaluated + "'";
}

// Generated files. Every top-level assignment goes to a name of the pool;
// what must not make a row (compound commands, here documents, quoted text
// spanning lines, commands) either never runs or assigns the "inner_" names,
// so that sh's final value of each pool name is its last top-level word.
constexpr const char *pool[] = {"v0", "v1", "v2", "v3", "v4", "sendmail_enable"};
constexpr const char *inner[] = {"inner_a", "inner_b"};

// Words whose value does not depend on where they stand: they read only
// "base", set before the files are sourced and never assigned in them.
constexpr const char *words[] = {
	"YES", "no", "Yes", "\"NO\"", "'yes'", "\"y\"es", "word", "\"two words\"", "'single q'", "\"a\"'b'c",
	"\"\"", "", "/usr/local/etc", "\"it's\"", "'say \"hi\"'", "\"a\\\"b\"", "\"x\\\\y\\z\"", "a\\ b",
	"\"$base\"", "${base}", "\"${base}/x\"", "$base", "\"pre${base:-d}post\"", "'$base'", "\"\\$base\"",
	"\"two\nlines\"", "'two\nlines'", "~/x", "x:~", "\"$(echo sub)\"", "`echo bq`", "\"a\"$base\"b\"",
	"$base'x'", "\"abc\\\ndef\"", "ab\\\ncd", "\"tab\there\"", "${base#b}", "\"${base%?}\"", "\"$$\"", "'#'",
	"\"v1=inside\nv2=inside\"", "'${x'", "\"$\"'{base}'", "\\$base", "$(echo ')')",
};
constexpr const char *indents[] = {"", "", " ", "\t", "    "};
constexpr const char *comments[] = {"", "", " # say \"hi\" it's", "\t#c", " #"};
constexpr const char *commands[] = {
	"kldload nvidia", "root@barokah:~ # cat /etc/rc.conf", "Starting sshd.", "$nothing=\"x\"",
	"echo \"it's\" >/dev/null", ": 'a \" in single quotes'", "true", "# v0=\"commented\"", "",
};
// Text that assigns pool names where sh does not run it, or inner names.
constexpr const char *hidden[] = {
	"if false; then\n  POOL=\"if\"\nfi", "if true; then INNER=1; fi", "while false; do POOL=w; done",
	"for i in 1 2; do\n\tINNER=\"$i\"\ndone", "case $base in\nnone) POOL=c ;;\n*) INNER=c\nesac",
	"{ INNER=b; }", "( POOL=sub )", "f() {\n  POOL=f\n}", ": <<EOF\nPOOL=\"heredoc\"\nEOF",
	": <<-'END'\n\tPOOL=x\n\tEND", ": \"quoted\nPOOL=x\"", "false && POOL=no", "POOL=bg &", "POOL=pipe | :",
	"POOL=temp kldload x", "POOL=x; false || INNER=y", "f() {\n  return\n}", "( exit 3 )", "return | :",
	"exit &",
};
// Lines at which sh stops reading the file: a syntax error, with what comes
// before it on its own line never run either, or a return or exit.
constexpr const char *errors[] = {"fi", ")", ";;", "echo (x)", "POOL=\"open", "if true; then", "POOL=x && fi",
				  "POOL=1; done", "case x in", "return", "exit 2", "POOL=1; return; POOL=2",
				  "if true; then\n  return\nfi", "{ exit; }", "! return 2>/dev/null"};

std::string unit(std::mt19937 &rng)
{
	const char *name = pick_one(rng, pool);
	std::string assignment = std::string(name) + "=" + pick_one(rng, words);
	switch (rng() % 6) {
	case 0:
	case 1:
		return pick_one(rng, indents) + assignment + pick_one(rng, comments);
	case 2:
		return pick_one(rng, indents) + assignment + (rng() % 2 ? "; " : " ") + pick_one(rng, pool) + "=" +
		       pick_one(rng, words) + pick_one(rng, comments);
	case 3:
		return pick_one(rng, commands);
	default:
		return replaced(replaced(pick_one(rng, hidden), "POOL", name), "INNER", pick_one(rng, inner));
	}
}

// A file; *fails, when given, tells whether sh stops at an error in it.
std::string generate(std::mt19937 &rng, bool *fails = nullptr)
{
	std::string text;
	for (int n = std::uniform_int_distribution<int>(0, 8)(rng); n > 0; n--)
		text += unit(rng) + "\n";
	bool failing = fails != nullptr && rng() % 6 == 0;
	if (failing)
		text += replaced(pick_one(rng, errors), "POOL", pick_one(rng, pool)) + (rng() % 2 ? "\nv4=after\n" : "");
	else if (rng() % 4 == 0 && !text.empty())
		text.pop_back(); // no newline at the end
	if (fails != nullptr)
		*fails = failing;
	return text;
}

} // namespace

// Thousands of generated pairs, each sourced by /bin/sh in a scratch folder
// with no PATH: every variable sh sets by a top-level assignment has exactly
// one row, in the tab its value calls for, whose text sh reads as the value
// sh gave it; no other variable has a row.
TEST(ShellReading, RowsAgreeWithShOnGeneratedFiles)
{
	constexpr int pairs = 2000;
	scratch_folder work;
	fs::create_directory(work.path / "empty");
	std::mt19937 rng(20261209);
	std::vector<std::string> defaults, machine;
	std::vector<std::vector<row>> rows;
	std::string names;
	for (const char *name : pool)
		names += std::string(" ") + name;
	for (const char *name : inner)
		names += std::string(" ") + name;
	// sh ends at a syntax error: such a pair runs in a subshell, whose EXIT
	// trap reports what it had set. Others run in the driver itself, which
	// is quicker, and unset their names after.
	std::string driver = "__d=$1; cd \"$__d/empty\" || exit 1; exec 3>&1 >/dev/null 2>&1 </dev/null; "
			     "HOME=/home/k; base='b a  se'; __path=$PATH\n";
	for (int n = 0; n < pairs; n++) {
		bool fails = false;
		defaults.push_back(generate(rng));
		machine.push_back(generate(rng, &fails));
		std::string id = std::to_string(n);
		std::string sources = ". \"$__d/d" + id + "\"; . \"$__d/m" + id + "\"";
		std::string report = ". \"$__d/r" + id + "\" >&3";
		if (fails)
			driver += "(PATH=; trap '" + report + "' EXIT; " + sources + ")\n";
		else
			driver += "PATH=; " + sources + "; " + report + "; PATH=$__path; unset" + names + "\n";
		rows.push_back(rows_of(defaults[n], machine[n]));
		write_whole(work.path / ("d" + id), defaults[n]);
		write_whole(work.path / ("m" + id), machine[n]);
		// What the window shows, evaluated as an assignment the way sh would
		// evaluate the file's own word.
		std::string shown = "printf 'P%s\\0' " + id + "\nfor n in" + names +
				    "; do eval \"[ -n \\\"\\${$n+s}\\\" ] && printf 'V%s\\0%s\\0' \\$n \\\"\\$$n\\\"\"; done\n";
		for (std::size_t r = 0; r < rows[n].size(); r++) {
			if (!rows[n][r].knob)
				shown += "x=" + rows[n][r].text + "\nprintf 'R%s\\0%s\\0' " + std::to_string(r) + " \"$x\"\n";
		}
		write_whole(work.path / ("r" + id), shown);
	}
	int status;
	std::vector<std::string> out = nul_fields(sh_printed(work.path / "driver", driver, status, work.path.string()));
	ASSERT_EQ(status, 0);
	std::size_t at = 0;
	int failures = 0;
	for (int n = 0; n < pairs && failures < 10; n++) {
		std::string context = "defaults:\n" + defaults[n] + "\nmachine:\n" + machine[n];
		ASSERT_TRUE(at < out.size() && out[at] == "P" + std::to_string(n)) << "sh gave no report\n" << context;
		at++;
		std::map<std::string, std::string> sh_values;
		std::map<std::size_t, std::string> evaluated;
		for (; at < out.size() && out[at][0] != 'P'; at += 2) {
			if (out[at][0] == 'V')
				sh_values[out[at].substr(1)] = out[at + 1];
			else
				evaluated[std::stoul(out[at].substr(1))] = out[at + 1];
		}
		std::set<std::string> inner_names(std::begin(inner), std::end(inner));
		std::string problems;
		std::map<std::string, int> seen;
		for (std::size_t r = 0; r < rows[n].size(); r++) {
			const row &shown = rows[n][r];
			seen[shown.name]++;
			if (!sh_values.count(shown.name) || inner_names.count(shown.name))
				problems += shown.name + ": shown, but no top-level assignment sets it\n";
			else if (std::string why = disagreement(shown, sh_values[shown.name], evaluated[r]); !why.empty())
				problems += shown.name + ": " + why + ", sh gives '" + sh_values[shown.name] + "'\n";
		}
		for (const auto &[name, value] : sh_values) {
			if (!inner_names.count(name) && seen[name] != 1)
				problems += name + ": " + std::to_string(seen[name]) + " rows\n";
		}
		if (!problems.empty()) {
			ADD_FAILURE() << problems << context;
			failures++;
		}
	}
}

// Real files, when KELVANE_REAL_FILES names a folder of them: the defaults
// file "defaults-rc.conf" with each "machine-*-rc.conf". bash reads them (its
// DEBUG trap sees every assignment with its word as written, just before
// sh runs it) and prints the top-level commands of each; every top-level
// assignment must have one row whose text reads, where the assignment
// stands, as the file's own word. Prints what it counted.
TEST(ShellReading, RowsAgreeWithShOnRealFiles)
{
	const char *folder = std::getenv("KELVANE_REAL_FILES");
	if (folder == nullptr || std::system("bash -c true 2>/dev/null") != 0)
		GTEST_SKIP() << "set KELVANE_REAL_FILES to a folder of rc.conf files (bash is needed too)";
	scratch_folder work;
	fs::path defaults = fs::path(folder) / "defaults-rc.conf";
	int total = 0, missing = 0, doubled = 0, wrong = 0, pairs = 0;
	for (const auto &file : fs::directory_iterator(folder)) {
		std::string file_name = file.path().filename().string();
		if (file_name.rfind("machine-", 0) != 0)
			continue;
		pairs++;
		std::vector<row> rows = rows_of(read_whole(defaults), read_whole(file.path()));
		std::map<std::string, std::vector<const row *>> by_name;
		std::string row_texts;
		for (const row &r : rows) {
			by_name[r.name].push_back(&r);
			row_texts += "__row_" + r.name + "=" + sh_quoted(r.knob ? "KNOB" : r.text) + "\n";
		}
		// The top-level commands, as bash prints a function made of each file.
		std::string script = "for f in \"$1\" \"$2\"; do eval \"__f() {\n$(cat \"$f\")\n}\"; declare -f __f; done";
		write_whole(work.path / "top", script);
		std::string command = "bash --posix " + (work.path / "top").string() + " " + defaults.string() + " " +
				      file.path().string() + " >" + (work.path / "top.out").string();
		ASSERT_EQ(std::system(command.c_str()), 0) << file_name;
		std::set<std::string> top_level;
		std::istringstream top(read_whole(work.path / "top.out"));
		for (std::string line; std::getline(top, line);) {
			std::size_t name_end = line.find('=');
			if (line.rfind("    ", 0) == 0 && line[4] != ' ' && name_end != std::string::npos &&
			    line.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_", 4) ==
				    name_end &&
			    line[4] != '_')
				top_level.insert(line.substr(4, name_end - 4));
		}
		// Each assignment's word and the row's text, evaluated just before sh runs it.
		write_whole(work.path / "values",
			   row_texts + "exec 3>\"$3\"\n__check() {\n"
				       "case $BASH_COMMAND in [A-Za-z_]*=*) ;; *) return ;; esac\n"
				       "__n=${BASH_COMMAND%%=*}\ncase $__n in *[!A-Za-z0-9_]*) return ;; esac\n"
				       "eval \"__w=${BASH_COMMAND#*=}\" 2>/dev/null\n"
				       "eval \"__r=\\${__row_$__n-MISSING}\"\n"
				       "case $__r in KNOB|MISSING) ;; *) eval \"__r=$__r\" ;; esac\n"
				       "printf '%s\\0%s\\0%s\\0' \"$__n\" \"$__w\" \"$__r\" >&3\n}\n"
				       "set -T\ntrap __check DEBUG\ncd \"$4\" && PATH= && . \"$1\" && . \"$2\"\n");
		fs::create_directory(work.path / "empty");
		command = "bash --posix " + (work.path / "values").string() + " " + defaults.string() + " " +
			  file.path().string() + " " + (work.path / "values.out").string() + " " +
			  (work.path / "empty").string() + " >/dev/null 2>&1";
		// A file may end in a syntax error: what bash ran before it counts.
		if (std::system(command.c_str()) == -1)
			FAIL() << "cannot run bash";
		std::map<std::string, std::pair<std::string, std::string>> last; // name: file's value, row's
		std::vector<std::string> out = nul_fields(read_whole(work.path / "values.out"));
		for (std::size_t i = 0; i + 2 < out.size(); i += 3)
			last[out[i]] = {out[i + 1], out[i + 2]};
		for (const std::string &name : top_level) {
			total++;
			const std::vector<const row *> &found = by_name[name];
			if (found.size() != 1) {
				(found.empty() ? missing : doubled)++;
				ADD_FAILURE() << file_name << ": " << name << " has " << found.size() << " rows";
				continue;
			}
			auto value = last.find(name);
			if (value == last.end())
				continue;
			row shown = *found[0];
			std::string why = disagreement(shown, value->second.first, value->second.second);
			if (!why.empty()) {
				wrong++;
				ADD_FAILURE() << file_name << ": " << name << ": " << why << ", sh gives '"
					      << value->second.first << "'";
			}
		}
	}
	std::printf("%d pairs: %d top-level variables, %d missing, %d doubled, %d wrong\n", pairs, total, missing,
		    doubled, wrong);
}
