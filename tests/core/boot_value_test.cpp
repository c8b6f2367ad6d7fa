// The values at boot against a real sh: generated file pairs that dash sources, services' values, and real files when given.
#include "boot/boot_value.h"

#include "boot/boot_history.h"
#include "boot/load.h"
#include "boot/value_warnings.h"
#include "boot/views.h"
#include "files/system_root.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Generated files assign the names of the pool; SELF in a word is the name
// it is assigned to, W and X any of the pool.
constexpr const char *pool[] = {"v0", "v1", "v2", "kld_list", "x_enable"};
constexpr const char *words[] = {
	"YES", "no", "\"two words\"", "'single q'", "\"a\"'b'c", "\"\"", "", "/usr/local/etc", "a\\ b", "\"it's\"",
	"'say \"hi\"'", "\"a\\\"b\"", "\"x\\\\y\\z\"", "'#'", "\"tab\there\"", "\"two\nlines\"", "\"$W\"", "${W}",
	"\"${W}/x\"", "$W", "\"pre${W:-d}post\"", "'$W'", "\"\\$W\"", "\"${SELF} m\"", "\"${SELF:+$SELF }m\"",
	"${W-unset}", "\"${W:=dflt}\"", "${W=eq}", "\"${W:-\"q r\"}\"", "${W:-'x y'}", "\"${W:-'x'}\"", "${#W}",
	"\"${#W}\"", "\"${W#?}\"", "${W%?}", "\"${W##*/}\"", "${W%%/*}", "${W#\"$X\"}", "${W%$X}", "\"${W#*a}\"",
	"${W%[a-c]*}", "${W#[!a]}", "\"$W$X\"", "$W'x'\"$X\"", "${W:+\"$X\"}", "\"${W+set}\"",
	"${W%\"${W#?}\"}", "${W##*[ /]}", "\"${W#${X%?}}\"", "\"$(c)\"", "`c`", "\"x$(c)y\"", "${W:-$(c)}",
	"\"${W:=`c`}\"", "${W:+$(c)}", "\"$(echo ')')\"", "\"${W#${X:-'*'}}\"", "${W%${X:-\"*\"b}}",
};
// Words whose value may not be worked out here.
constexpr const char *unknowable_words[] = {"~/x", "x:~", "\"$$\"", "$1", "${W:-~}", "\"${W#[^a]}\"",
					    "$((1+2))", "$HOME", "\"${W:?gone}\"", "${W?}"};
constexpr const char *default_words[] = {"dflt", "\"a b\"", "'q'", "$W", "\"${W}x\"", "$(c)", "\"\"", "x${W:-y}",
					 "${#W}"};
constexpr const char *default_forms[] = {": ${SELF:=D}", ": ${SELF=D}", ": \"${SELF:=D}\"", ": ${SELF:-D} ${X:=D}",
					 "X=\"$SELF\" : ${SELF:=D}"};
constexpr const char *indents[] = {"", "", " ", "\t"};
constexpr const char *comments[] = {"", "", " # say \"hi\" it's", "\t#c"};
constexpr const char *commands[] = {"kldload nvidia", "echo \"it's\" >/dev/null", ": 'a \" in single quotes'",
				    "true", "# SELF=\"commented\"", ""};
// Text that sets pool names only where sh does not run it, or other names.
constexpr const char *hidden[] = {
	"if false; then\n  SELF=\"if\"\nfi", "if true; then inner=1; fi", "while false; do SELF=w; done",
	"for i in 1 2; do\n\tinner=\"$i\"\ndone", "case $v0 in\nnone) SELF=c ;;\n*) inner=c\nesac", "( SELF=sub )",
	"f() {\n  SELF=f\n}", ": <<EOF\nSELF=\"heredoc\"\nEOF", "false && SELF=no", "SELF=bg &", "SELF=pipe | :",
	"SELF=temp kldload x", "SELF=\"$W\"; false || inner=y",
};
// Lines at which sh stops reading the file.
constexpr const char *errors[] = {"fi", ")", "SELF=\"open", "if true; then", "SELF=1; done"};

struct generated {
	std::string text;
	bool unknowable = false; // a word whose value may be unknown
	bool fails = false;      // sh stops at an error in it
};

std::string word_for(std::mt19937 &rng, const std::string &self, generated &g)
{
	std::string word = pick_one(rng, words);
	if (rng() % 12 == 0) {
		word = pick_one(rng, unknowable_words);
		g.unknowable = true;
	}
	word = replaced(replaced(word, "SELF", self), "W", pick_one(rng, pool));
	return replaced(word, "X", pick_one(rng, pool));
}

std::string unit(std::mt19937 &rng, generated &g)
{
	std::string self = pick_one(rng, pool);
	std::string text;
	switch (rng() % 8) {
	case 0:
	case 1:
	case 2:
		return pick_one(rng, indents) + self + "=" + word_for(rng, self, g) + pick_one(rng, comments);
	case 3:
		text = pick_one(rng, pool);
		return self + "=" + word_for(rng, self, g) + (rng() % 2 ? "; " : " ") + text + "=" + word_for(rng, text, g);
	case 4:
		text = replaced(pick_one(rng, default_forms), "D", pick_one(rng, default_words));
		return replaced(replaced(replaced(text, "SELF", self), "W", pick_one(rng, pool)), "X", pick_one(rng, pool));
	case 5:
		return self + "=" + word_for(rng, self, g) + " :";
	case 6:
		return replaced(pick_one(rng, commands), "SELF", self);
	default:
		return replaced(replaced(pick_one(rng, hidden), "SELF", self), "W", pick_one(rng, pool));
	}
}

generated generate(std::mt19937 &rng, bool may_fail)
{
	generated g;
	for (int n = std::uniform_int_distribution<int>(0, 9)(rng); n > 0; n--)
		g.text += unit(rng, g) + "\n";
	g.fails = may_fail && rng() % 8 == 0;
	if (g.fails)
		g.text += replaced(pick_one(rng, errors), "SELF", pick_one(rng, pool)) + "\nv2=after\n";
	return g;
}

std::string described(const shell_value &value)
{
	switch (value.kind) {
	case shell_kind::known:
		return "known '" + value.text + "'";
	case shell_kind::runs_command:
		return "runs a command";
	case shell_kind::unset:
		return "unset";
	default:
		return "unknown";
	}
}

// What dash gave a name in one run: nullptr when it left it unset.
const std::string *dash_value(const std::map<std::string, std::string> &run, const std::string &name)
{
	auto found = run.find(name);
	return found == run.end() ? nullptr : &found->second;
}

// Why the value worked out disagrees with dash's two runs (whose command
// substitutions print different text), or "".
std::string disagreement(const shell_value &ours, const std::string *first, const std::string *second,
			 bool unknowable)
{
	bool differ = (first == nullptr) != (second == nullptr) || (first != nullptr && *first != *second);
	switch (ours.kind) {
	case shell_kind::known:
		return first != nullptr && !differ && *first == ours.text ? "" : "not what dash gives";
	case shell_kind::unset:
		return first == nullptr && second == nullptr ? "" : "dash sets it";
	case shell_kind::runs_command:
		return first != nullptr && second != nullptr ? "" : "dash leaves it unset";
	default:
		return unknowable ? "" : "unknown, though every word can be worked out";
	}
}

// A driver's report: each field but a V begins a run; in a run, V and a
// name, then its value, for each name that run set.
std::vector<std::map<std::string, std::string>> reported_runs(const std::string &report)
{
	std::vector<std::map<std::string, std::string>> runs;
	std::vector<std::string> out = nul_fields(report);
	for (std::size_t at = 0; at < out.size(); at++) {
		if (out[at][0] != 'V')
			runs.emplace_back();
		else if (at + 1 < out.size() && !runs.empty())
			runs.back()[out[at].substr(1)] = out[at + 1], at++;
	}
	return runs;
}

} // namespace

// Two thousand generated pairs, each loaded as start-up loads it and sourced
// by dash twice (with no PATH, and a command c that prints "A b" in the
// first run and nothing in the second): every value worked out must be
// dash's in both runs; one said to come from a command must be set, and
// one that differs between the runs must be said to; unknown only where a
// word can be; and every row's value at boot is its name's.
TEST(BootValue, AgreesWithDashOnGeneratedFiles)
{
	constexpr int pairs = 2000;
	scratch_folder work;
	fs::create_directory(work.path / "root");
	ASSERT_EQ(set_system_root((work.path / "root").c_str()), 0);
	std::mt19937 rng(20261214);
	std::string report = "r() {", names;
	for (const char *name : pool) {
		report += std::string(" if [ -n \"${") + name + "+s}\" ]; then printf 'V%s\\0%s\\0' " + name + " \"$" + name +
			  "\"; fi;";
		names += std::string(" ") + name;
	}
	std::string driver = report + " }\nc() { printf %s \"$__c\"; }\n__d=$2\ncase $1 in 1) __c='A b' ;; *) __c= ;; esac\n"
				      "exec 3>&1 >/dev/null 2>&1 </dev/null\n__path=$PATH\n";
	std::vector<generated> defaults, machine;
	std::vector<std::map<std::string, shell_value>> ours(pairs);
	// Per pair and name with a row: whether the machine sets it, whether it
	// changed from its default, and whether that default's value is known.
	struct view {
		bool set_here, changed, default_known;
	};
	std::vector<std::map<std::string, view>> views(pairs);
	std::string views_driver = report + " }\nc() { :; }\n__d=$1\nexec 3>&1 >/dev/null 2>&1 </dev/null\n";
	int rows_checked = 0;
	for (int n = 0; n < pairs; n++) {
		defaults.push_back(generate(rng, false));
		machine.push_back(generate(rng, true));
		std::string id = std::to_string(n);
		fs::path d = work.path / ("d" + id), m = work.path / ("m" + id);
		write_whole(d, defaults[n].text);
		write_whole(m, machine[n].text);
		// A pair that may stop sh runs in a subshell, whose EXIT trap reports
		// what it had set; the others run in the driver itself, which is
		// quicker, and unset their names after.
		std::string sources = ". \"$__d/d" + id + "\"; . \"$__d/m" + id + "\"";
		driver += "printf 'P%s\\0' " + id + " >&3\n";
		if (machine[n].fails || machine[n].unknowable || defaults[n].unknowable)
			driver += "(PATH=; trap 'r >&3' EXIT; " + sources + ")\n";
		else
			driver += "PATH=; " + sources + "; r >&3; PATH=$__path; unset" + names + "\n";
		// The defaults alone, and the machine's file alone: what it assigns itself.
		views_driver += "printf 'P%s\\0' " + id + " >&3\n(PATH=; trap 'r >&3' EXIT; . \"$__d/d" + id +
				"\")\nprintf 'M\\0' >&3\n(PATH=; unset" + names + "; trap 'r >&3' EXIT; . \"$__d/m" + id + "\")\n";
		owned_lists lists;
		ASSERT_EQ(load_settings(d.c_str(), m.c_str(), &lists), 0);
		for (const char *name : pool)
			ours[n][name] = value_at_boot(name);
		for (const rc_entry *e : lists.entries()) {
			views[n][e->name] = {set_on_machine(*e), changed_from_default(*e),
					     default_value_at_boot(e->name).kind != shell_kind::runs_command};
			rows_checked++;
			EXPECT_EQ(described(entry_value_at_boot(*e)), described(value_at_boot(e->name)))
				<< e->name << "\n" << defaults[n].text << "\n--- machine:\n" << machine[n].text;
		}
	}
	set_system_root("/");
	// Each pair's run begins with P and its number.
	std::vector<std::map<std::string, std::string>> runs[2];
	for (int r = 0; r < 2; r++) {
		int status;
		std::string args = std::to_string(r + 1) + " " + work.path.string();
		runs[r] = reported_runs(sh_printed(work.path / "driver", driver, status, args));
		ASSERT_EQ(status, 0);
		ASSERT_EQ(runs[r].size(), static_cast<std::size_t>(pairs));
	}
	int failures = 0, known = 0, commands = 0, unknown = 0;
	for (int n = 0; n < pairs && failures < 10; n++) {
		std::string problems;
		for (const char *name : pool) {
			const shell_value &value = ours[n][name];
			known += value.kind == shell_kind::known;
			commands += value.kind == shell_kind::runs_command;
			unknown += value.kind == shell_kind::unknown;
			const std::string *first = dash_value(runs[0][n], name), *second = dash_value(runs[1][n], name);
			bool unknowable = defaults[n].unknowable || machine[n].unknowable;
			std::string why = disagreement(value, first, second, unknowable);
			if (!why.empty())
				problems += std::string(name) + ": " + described(value) + ", " + why + ": '" +
					    (first ? *first : "(unset)") + "' and '" + (second ? *second : "(unset)") + "'\n";
		}
		if (!problems.empty()) {
			ADD_FAILURE() << problems << "defaults:\n" << defaults[n].text << "\n--- machine:\n" << machine[n].text;
			failures++;
		}
	}
	EXPECT_GT(known, pairs);
	EXPECT_GT(commands, pairs / 20);

	// The views against the pairs' own assignments: "set on this machine" is
	// what the machine's file assigns itself; "changed from defaults" a
	// value at boot other than the defaults' alone. Names a ${v:=w} may set
	// as a side effect, values from commands or unknown, and files that may
	// fail where the machine's file is read alone, are left out.
	// Per pair, P and its number begin the run of the defaults alone, M that of the machine's file.
	int status;
	std::vector<std::map<std::string, std::string>> alone =
		reported_runs(sh_printed(work.path / "views_driver", views_driver, status, work.path.string()));
	ASSERT_EQ(status, 0);
	ASSERT_EQ(alone.size(), 2u * pairs);
	int view_checks = 0;
	for (int n = 0; n < pairs && failures < 10; n++) {
		std::string problems;
		for (const char *name : pool) {
			std::string side_effects[] = {"${" + std::string(name) + ":=", "${" + std::string(name) + "="};
			bool side = false;
			for (const std::string &form : side_effects)
				side = side || defaults[n].text.find(form) != std::string::npos ||
				       machine[n].text.find(form) != std::string::npos;
			auto row = views[n].find(name);
			if (side || ours[n][name].kind != shell_kind::known || row == views[n].end() ||
			    machine[n].unknowable || defaults[n].unknowable)
				continue;
			view_checks++;
			bool assigned = dash_value(alone[2 * n + 1], name) != nullptr;
			const std::string *before = dash_value(alone[2 * n], name);
			bool changed = before == nullptr || *before != ours[n][name].text;
			if (row->second.set_here != assigned)
				problems += std::string(name) + (assigned ? ": assigned by the machine's file, not shown so\n"
									  : ": shown as set on this machine\n");
			if (row->second.default_known && row->second.changed != changed)
				problems += std::string(name) + (changed ? ": changed from its default, not shown so"
									 : ": shown as changed from its default") +
					    " (at boot '" + ours[n][name].text + "', the defaults alone give '" +
					    (before != nullptr ? *before : "(unset)") + "')\n";
		}
		if (!problems.empty()) {
			ADD_FAILURE() << problems << "defaults:\n" << defaults[n].text << "\n--- machine:\n" << machine[n].text;
			failures++;
		}
	}
	EXPECT_GT(view_checks, pairs);
	std::printf("%d rows; of %d values: %d known, %d from commands, %d unknown\n", rows_checked,
		    pairs * static_cast<int>(std::size(pool)), known, commands, unknown);
}

// Real files, when KELVANE_REAL_FILES names a folder of them: the defaults
// file "defaults-rc.conf" with each "machine-*-rc.conf". Every row's value
// worked out must be what dash gives the name after sourcing the pair (no
// PATH), unless the machine's file runs commands that may set variables;
// prints per file how many values are known, come from commands, are
// unknown, and the lines that may set variables.
TEST(BootValue, AgreesWithDashOnRealFiles)
{
	const char *folder = std::getenv("KELVANE_REAL_FILES");
	if (folder == nullptr)
		GTEST_SKIP() << "set KELVANE_REAL_FILES to a folder of rc.conf files";
	scratch_folder work;
	fs::create_directory(work.path / "root");
	ASSERT_EQ(set_system_root((work.path / "root").c_str()), 0);
	fs::path defaults = fs::path(folder) / "defaults-rc.conf";
	std::vector<fs::path> machines;
	for (const auto &file : fs::directory_iterator(folder))
		if (file.path().filename().string().rfind("machine-", 0) == 0)
			machines.push_back(file.path());
	std::sort(machines.begin(), machines.end());
	for (const fs::path &machine : machines) {
		std::map<std::string, shell_value> values;
		{
			owned_lists lists;
			ASSERT_EQ(load_settings(defaults.c_str(), machine.c_str(), &lists), 0);
			for (const rc_entry *e : lists.entries())
				values[e->name] = entry_value_at_boot(*e);
		}
		std::vector<int> lines = machine_setting_lines();
		std::string script = "cd " + (work.path / "root").string() + " || exit 1\nexec 3>&1 >/dev/null 2>&1 </dev/null\n"
				     "PATH=\n. " + defaults.string() + "\n. " + machine.string() + "\n";
		for (const auto &[name, value] : values)
			script += "[ -n \"${" + name + "+s}\" ] && printf '%s\\0%s\\0' " + name + " \"$" + name + "\" >&3\n";
		int status;
		std::vector<std::string> out = nul_fields(sh_printed(work.path / "print", "(\n" + script + ")\n", status));
		ASSERT_NE(status, -1);
		std::map<std::string, std::string> dash;
		for (std::size_t at = 0; at + 1 < out.size(); at += 2)
			dash[out[at]] = out[at + 1];
		int known = 0, commands = 0, unknown = 0, wrong = 0;
		for (const auto &[name, value] : values) {
			known += value.kind == shell_kind::known;
			commands += value.kind == shell_kind::runs_command;
			unknown += value.kind == shell_kind::unknown || value.kind == shell_kind::unset;
			auto found = dash.find(name);
			if (value.kind == shell_kind::known && (found == dash.end() || found->second != value.text)) {
				wrong++;
				if (lines.empty())
					ADD_FAILURE() << machine.filename() << ": " << name << ": '" << value.text << "', dash gives '"
						      << (found == dash.end() ? "(unset)" : found->second) << "'";
			}
		}
		std::string named;
		for (int line : lines)
			named += " " + std::to_string(line);
		std::printf("%s: %zu rows: %d known, %d from commands, %d unknown; %d unlike dash; lines that may set "
			    "variables:%s\n",
			    machine.filename().c_str(), values.size(), known, commands, unknown, wrong,
			    named.empty() ? " none" : named.c_str());
	}
	set_system_root("/");
}

// A service's own variables take their rc.conf.d values where the script
// calls load_rc_config and its defaults where it gives them, each over the
// files' values; a name neither the files nor the service set is unknown
// there, and an rcvar nothing sets is unset.
TEST(BootValue, ServicesGiveValuesInTheScriptsOrder)
{
	scratch_folder work;
	fs::path root = work.path;
	write_whole(root / "etc/defaults/rc.conf", ": ${_localbase:=\"/usr/local\"}\nlocal_startup=\"${_localbase}/etc/rc.d\"\n"
						   "rc_conf_files=\"/etc/rc.conf\"\nfoo_enable=\"NO\"\n");
	write_whole(root / "etc/rc.conf", "foo_enable=\"YES\"\nfoo_args=\"-q\"\n");
	write_script(root / "etc/rc.d/foo", "#!/bin/sh\n# PROVIDE: foo\n. /etc/rc.subr\nname=foo\nrcvar=foo_enable\n"
					    "load_rc_config $name\n: ${foo_dir:=\"/var/foo\"}\n"
					    ": ${foo_flags:=\"-d ${foo_dir} ${foo_args}\"}\n: ${foo_user:=\"${foo_owner}\"}\n"
					    "run_rc_command \"$1\"\n");
	write_whole(root / "etc/rc.conf.d/foo", "foo_dir=\"/srv/foo\"\nfoo_args=\"${foo_args} -v\"\n");
	write_script(root / "usr/local/etc/rc.d/bar", "#!/bin/sh\n# PROVIDE: bar\n. /etc/rc.subr\nname=bar\n"
						      "rcvar=bar_enable\nload_rc_config $name\nrun_rc_command \"$1\"\n");
	owned_lists lists;
	ASSERT_EQ(load_root(root, &lists), 0);
	const std::pair<const char *, const char *> expected[] = {
		{"foo_enable", "known 'YES'"}, {"foo_dir", "known '/srv/foo'"}, {"foo_args", "known '-q -v'"},
		{"foo_flags", "known '-d /srv/foo -q -v'"}, {"foo_user", "unknown"}, {"bar_enable", "unset"},
	};
	for (const auto &[name, value] : expected) {
		EXPECT_EQ(described(value_at_boot(name)), value) << name;
		const rc_entry *row = entry_named(lists, name);
		ASSERT_NE(row, nullptr) << name;
		EXPECT_EQ(described(entry_value_at_boot(*row)), value) << name;
	}
	EXPECT_EQ(entry_warning(*entry_named(lists, "bar_enable"), ""), value_warning::not_yes_no);
	// A changed row is its own text, over the files' values.
	rc_entry changed = *entry_named(lists, "foo_args");
	copy_field(changed.value, "\"${foo_args} -x\"");
	changed.modified = 1;
	EXPECT_EQ(described(entry_value_at_boot(changed)), "known '-q -x'");
	changed = *entry_named(lists, "foo_enable");
	changed.knob_on = 0;
	changed.modified = 1;
	EXPECT_EQ(described(entry_value_at_boot(changed)), "known 'NO'");
}

// Lines whose words would spend without end leave their names unknown and
// spend nothing of what the simple values after them need: the files'
// values, and a service's.
TEST(BootValue, SimpleValuesStayKnownAfterCostlyOnes)
{
	scratch_folder work;
	std::string costly = "a=\"" + std::string(1000, 'x') + "\"\n";
	for (int i = 0; i < 6; i++)
		costly += "a=\"$a$a\"\n";
	for (int i = 0; i < 100; i++)
		costly += "b" + std::to_string(i) + "=\"$a$a\"\n";
	write_whole(work.path / "etc/defaults/rc.conf", costly + "p=/usr\n");
	write_whole(work.path / "etc/rc.conf", "c=\"${p}/local\"\n");
	write_script(work.path / "etc/rc.d/foo", "name=foo\nrcvar=foo_enable\n: ${foo_dir:=\"${p}/foo\"}\n");
	owned_lists lists;
	ASSERT_EQ(load_root(work.path, &lists), 0);
	EXPECT_EQ(described(value_at_boot("b99")), "unknown");
	EXPECT_EQ(described(value_at_boot("c")), "known '/usr/local'");
	EXPECT_EQ(described(value_at_boot("foo_dir")), "known '/usr/foo'");
}
