// The services of rc.d scripts against a real sh: generated roots whose scripts dash runs with an rc.subr of our own.
#include "boot/defaults.h"
#include "boot/load.h"
#include "boot/service_script.h"
#include "boot/services.h"
#include "boot/sources.h"
#include "files/system_root.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// No name begins another, so that each variable has one service.
constexpr const char *names[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};
constexpr const char *suffixes[] = {"_enable", "_flags", "_dir"};
constexpr const char *default_words[] = {"NO", "YES", "yes", "", "-a -b", "/var/run/${name}.pid", "${name}"};
constexpr const char *file_values[] = {"\"YES\"", "NO", "yes", "\"\"", "maybe", "-f", "\"a b\"", "'x'"};
// A default in each form real scripts use; V is the variable, W the word.
constexpr const char *default_forms[] = {
	": ${V:=\"W\"}", ": ${V=\"W\"}", "V=${V:-\"W\"}", "V=${V-\"W\"}", "[ -z \"$V\" ] && V=\"W\"",
	": ${V:=W}", "V=\"${V:-W}\"", "eval \": \\${${name}SUFFIX:=\\\"W\\\"}\"",
};
// What gives no default: never run at boot, or not in the shell that reads the script.
constexpr const char *hidden_forms[] = {
	"V_precmd()\n{\n\t: ${V:=\"hidden\"}\n}", "case \"$1\" in\nstop) : ${V:=\"hidden\"} ;;\nesac",
	"if false; then\n\tV=${V:-\"hidden\"}\nfi", "(: ${V:=\"hidden\"})",
};
constexpr const char *name_forms[] = {
	"name=\"NAME\"", "name=NAME", "name=${0##*/}",
	"case \"$0\" in\n/etc/rc*)\n\tname=\"$_file\"\n\t;;\n*)\n\tname=\"$0\"\n\t;;\nesac\nname=\"${name##*/}\"",
};
// The last two cannot be known without running the script.
constexpr const char *rcvar_forms[] = {
	"rcvar=NAME_enable", "rcvar=\"${name}_enable\"", "rcvar=`set_rcvar`", "rcvar=$(set_rcvar)", "",
	"if [ -n \"$2\" ]; then\n\t:\nelse\n\trcvar=NAME_enable\nfi",
	"rcvar=$(echo NAME_enable)", "if [ -n \"$2\" ]; then\n\trcvar=NAME_x\nelse\n\trcvar=NAME_enable\nfi",
};
constexpr int unknown_rcvar_forms = 2;

struct generated_service {
	std::string name;
	std::string file;  // path under the root
	bool boot_runs;    // the boot would run it: executable, PROVIDE in a local folder, no sample
	bool knowable;     // its name and rcvar can be known without running it
	bool has_rcvar;
};

std::string default_unit(std::mt19937 &rng, const std::string &name)
{
	std::string suffix = pick_one(rng, suffixes);
	std::string form = pick_one(rng, default_forms);
	std::string word = pick_one(rng, default_words);
	if (form.find("eval") != std::string::npos)
		return replaced(replaced(form, "SUFFIX", suffix), "W", word);
	if (form.find("V:=W}") != std::string::npos && word.find_first_of(" $") != std::string::npos)
		word = "plain";
	return replaced(replaced(form, "V", name + suffix), "W", word);
}

std::string assignments(std::mt19937 &rng, const std::vector<std::string> &of, int most)
{
	std::string text;
	for (int n = static_cast<int>(rng() % (most + 1)); n > 0; n--)
		text += of[rng() % of.size()] + pick_one(rng, suffixes) + "=" + pick_one(rng, file_values) + "\n";
	return text;
}

std::string script(std::mt19937 &rng, const std::string &name, bool provides, generated_service &service)
{
	std::string text = "#!/bin/sh\n#\n";
	if (provides)
		text += "# PROVIDE: " + name + "\n# REQUIRE: LOGIN\n";
	text += "#\n# " + name + "_enable (bool):\tSet to \"NO\" by default.\n#\n\n. /etc/rc.subr\n\n";
	text += replaced(pick_one(rng, name_forms), "NAME", name) + "\n";
	std::size_t rcvar_form = rng() % std::size(rcvar_forms);
	text += replaced(rcvar_forms[rcvar_form], "NAME", name) + "\n";
	service.knowable = rcvar_form < std::size(rcvar_forms) - unknown_rcvar_forms;
	service.has_rcvar = rcvar_form != 4;
	if (rng() % 2)
		text += "desc=\"The " + name + " daemon\"\n";
	for (int n = static_cast<int>(rng() % 3); n > 0; n--)
		text += default_unit(rng, name) + "\n";
	if (rng() % 5 != 0)
		text += std::string("load_rc_config ") + (rng() % 2 ? "$name" : "\"${name}\"") + "\n";
	// A check the boot passes: what follows it is read.
	if (rng() % 3 == 0)
		text += rng() % 2 ? "[ -n \"$2\" ] && exit 1\n" : "if [ -n \"$2\" ]; then\n\treturn 1\nfi\n";
	for (int n = static_cast<int>(rng() % 4); n > 0; n--)
		text += default_unit(rng, name) + "\n";
	if (rng() % 2)
		text += replaced(pick_one(rng, hidden_forms), "V", name + pick_one(rng, suffixes)) + "\n";
	return text + "\nrun_rc_command \"$1\"\n";
}

// rc.subr's part that the scripts call, as the boot has it: rc.conf is read
// before any script starts, load_rc_config reads a service's rc.conf.d files.
std::string rc_subr(const fs::path &root, const std::string &variables)
{
	return "checkyesno() {\n\teval \"_v=\\${$1}\"\n\tcase $_v in\n"
	       "\t[Yy][Ee][Ss]|[Tt][Rr][Uu][Ee]|[Oo][Nn]|1) return 0 ;;\n\t*) return 1 ;;\n\tesac\n}\n"
	       "set_rcvar() { echo \"${name}_enable\"; }\n"
	       "load_rc_config() {\n\t[ -n \"$1\" ] || return 0\n\tfor _d in /etc ${local_startup}; do\n"
	       "\t\t_d=" + root.string() + "${_d%/rc.d}/rc.conf.d/$1\n"
	       "\t\tif [ -f \"$_d\" ]; then\n\t\t\t. \"$_d\"\n\t\telif [ -d \"$_d\" ]; then\n"
	       "\t\t\tfor _f in \"$_d\"/*; do [ -f \"$_f\" ] && . \"$_f\"; done\n\t\tfi\n\tdone\n}\n"
	       "run_rc_command() {\n\tprintf 'S%s\\0R%s\\0' \"$name\" \"$rcvar\"\n"
	       "\tif [ -n \"$rcvar\" ] && checkyesno \"$rcvar\"; then printf 'on\\0'; else printf 'off\\0'; fi\n"
	       "\tfor _v in " + variables + "; do\n"
	       "\t\teval \"[ -n \\\"\\${$_v+s}\\\" ] && printf 'V%s\\0%s\\0' \\$_v \\\"\\$$_v\\\"\"\n\tdone\n"
	       "\texit 0\n}\n";
}

std::vector<generated_service> generate_root(std::mt19937 &rng, const fs::path &root)
{
	std::vector<generated_service> g;
	std::vector<std::string> used;
	for (const char *name : names)
		if (rng() % 2)
			used.push_back(name);
	if (used.empty())
		used.push_back(names[0]);
	bool two_local = rng() % 3 == 0;
	std::string defaults = ": ${_localbase:=\"/usr/local\"}\n";
	defaults += two_local ? "local_startup=\"${_localbase}/etc/rc.d /opt/rc.d\"\n"
			      : "local_startup=\"${_localbase}/etc/rc.d\"\n";
	defaults += "rc_conf_files=\"/etc/rc.conf /etc/rc.conf.local\"\n" + assignments(rng, used, 3);
	write_whole(root / "etc/defaults/rc.conf", defaults);
	if (rng() % 3 == 0)
		write_whole(root / "etc/defaults/vendor.conf", assignments(rng, used, 2));
	write_whole(root / "etc/rc.conf", assignments(rng, used, 4));
	if (rng() % 3 == 0)
		write_whole(root / "etc/rc.conf.local", assignments(rng, used, 2));
	const char *folders[] = {"etc/rc.d", "usr/local/etc/rc.d", "opt/rc.d"};
	for (const std::string &name : used) {
		generated_service s{name, "", true, true, true};
		std::size_t folder = rng() % (two_local ? 3 : 2);
		bool provides = folder == 0 || rng() % 5 != 0;
		bool executable = rng() % 8 != 0;
		bool sample = folder != 0 && rng() % 8 == 0;
		s.file = std::string(folders[folder]) + "/" + name + (sample ? ".sample" : "");
		s.boot_runs = provides && executable && !sample;
		(executable ? write_script : write_whole)(root / s.file, script(rng, name, provides, s));
		// Its rc.conf.d files: one file, or a folder of them, under /etc or a local folder.
		std::string base = rng() % 2 ? "etc" : folder == 2 ? "opt" : "usr/local/etc";
		std::vector<std::string> own = {name};
		switch (rng() % 4) {
		case 0:
			write_whole(root / base / "rc.conf.d" / name, assignments(rng, own, 2) + "other_x=1\n");
			break;
		case 1:
			write_whole(root / base / "rc.conf.d" / name / "b", assignments(rng, own, 2));
			write_whole(root / base / "rc.conf.d" / name / "a", assignments(rng, own, 2));
			break;
		default:
			break;
		}
		g.push_back(s);
	}
	return g;
}

struct row {
	bool knob;
	bool on;
	std::string text;
	bool from_service; // its value comes from a script or an rc.conf.d file
};

std::map<std::string, row> rows_of(const owned_lists &lists)
{
	std::map<std::string, row> rows;
	for (const rc_entry *e : lists.entries()) {
		const source_file *file = source_of(*e);
		bool from_service = file != nullptr && (file->kind == source_kind::script ||
							 file->kind == source_kind::service_file);
		rows[e->name] = {e->is_knob != 0, e->knob_on != 0, std::string(field_text(e->value)), from_service};
	}
	return rows;
}

bool yes_to_rc_subr(const std::string &value)
{
	std::string word = upper(value);
	return word == "YES" || word == "TRUE" || word == "ON" || word == "1";
}

} // namespace

// Hundreds of generated roots: base and local scripts in every form above,
// vendor.conf, rc.conf.local and rc.conf.d files and folders. dash reads the
// files as the boot does, then runs each script the boot would run, with an
// rc.subr of the test's own, and reports what the script's variables hold
// when it starts the service. Each knowable service's rcvar must have a row
// in the state the boot gives it, each of its variables that sh sets a row
// that reads as sh's value, and one it leaves unset no row; a script the
// boot does not run, or whose rcvar cannot be known, gives no row at all.
TEST(Services, RowsAgreeWithShOnGeneratedRoots)
{
	constexpr int roots = 150;
	scratch_folder work;
	std::mt19937 rng(20261209);
	std::string all_variables;
	for (const char *name : names)
		for (const char *suffix : suffixes)
			all_variables += std::string(" ") + name + suffix;
	std::vector<std::vector<generated_service>> generated;
	std::vector<std::map<std::string, row>> shown;
	std::string driver = "exec 2>/dev/null </dev/null\n";
	std::string evaluate;
	for (int r = 0; r < roots; r++) {
		fs::path root = work.path / ("r" + std::to_string(r));
		generated.push_back(generate_root(rng, root));
		write_whole(root / "rc.subr", rc_subr(root, all_variables));
		owned_lists lists;
		ASSERT_EQ(load_root(root, &lists), 0);
		shown.push_back(rows_of(lists));
		// As /etc/rc: the files once, exported to each script run in a shell of its own.
		std::string files = "set -a; . " + root.string() + "/etc/defaults/rc.conf; ";
		for (const char *later : {"/etc/defaults/vendor.conf", "/etc/rc.conf", "/etc/rc.conf.local"})
			files += "[ -r " + root.string() + later + " ] && . " + root.string() + later + "; ";
		driver += "printf 'P%s\\0' " + std::to_string(r) + "\n(" + files + "\n";
		for (const generated_service &s : generated.back()) {
			if (!s.boot_runs)
				continue;
			fs::path copy = root / "run" / s.name;
			write_whole(copy, replaced(read_whole(root / s.file), ". /etc/rc.subr", ". " + root.string() + "/rc.subr"));
			driver += "(PATH=; export PATH; /bin/sh " + copy.string() + " start)\n";
		}
		driver += ")\n";
		for (const auto &[name, r] : shown.back())
			if (!r.knob)
				evaluate += "x=" + r.text + "\nprintf '%s\\0' \"$x\"\n";
	}
	int status;
	std::vector<std::string> out = nul_fields(sh_printed(work.path / "driver", driver, status));
	ASSERT_EQ(status, 0);
	// What each string row reads as, in the order the rows were written out.
	evaluate = "PATH=\nexec 2>/dev/null\n" + evaluate;
	std::vector<std::string> values = nul_fields(sh_printed(work.path / "evaluate", evaluate, status));
	ASSERT_EQ(status, 0);
	std::size_t next_value = 0;
	std::vector<std::map<std::string, std::string>> evaluated(roots);
	for (int r = 0; r < roots; r++)
		for (const auto &[name, shown_row] : shown[r])
			if (!shown_row.knob && next_value < values.size())
				evaluated[r][name] = values[next_value++];
	ASSERT_EQ(next_value, values.size());

	std::size_t at = 0;
	int failures = 0, services_checked = 0;
	for (int r = 0; r < roots && failures < 10; r++) {
		ASSERT_TRUE(at < out.size() && out[at] == "P" + std::to_string(r));
		at++;
		std::string problems;
		while (at + 2 < out.size() && out[at][0] == 'S') {
			std::string name = out[at].substr(1), rcvar = out[at + 1].substr(1);
			bool on = out[at + 2] == "on";
			at += 3;
			std::map<std::string, std::string> sh_values;
			for (; at + 1 < out.size() && out[at][0] == 'V'; at += 2)
				sh_values[out[at].substr(1)] = out[at + 1];
			const generated_service *s = nullptr;
			for (const generated_service &g : generated[r])
				s = g.name == name ? &g : s;
			if (s == nullptr || !s->knowable)
				continue;
			services_checked++;
			for (const char *suffix : suffixes) {
				std::string variable = name + suffix;
				auto found = shown[r].find(variable);
				bool is_rcvar = s->has_rcvar && variable == rcvar;
				if (found == shown[r].end()) {
					if (sh_values.count(variable) || is_rcvar)
						problems += variable + ": no row, sh gives '" + sh_values[variable] + "'\n";
					continue;
				}
				const row &shown_row = found->second;
				if (!sh_values.count(variable)) {
					if (!is_rcvar || shown_row.on)
						problems += variable + ": a row, but sh leaves it unset\n";
				} else if (shown_row.knob) {
					if (shown_row.on != yes_to_rc_subr(sh_values[variable]))
						problems += variable + ": knob " + (shown_row.on ? "on" : "off") + ", sh gives '" +
							    sh_values[variable] + "'\n";
				} else if (evaluated[r][variable] != sh_values[variable]) {
					problems += variable + ": shown " + shown_row.text + ", sh gives '" + sh_values[variable] +
						    "'\n";
				}
				if (is_rcvar && shown_row.knob && shown_row.on != on)
					problems += variable + ": knob disagrees with checkyesno\n";
			}
		}
		// What no script the boot runs, or no knowable one, may give.
		for (const generated_service &s : generated[r]) {
			if (s.boot_runs && s.knowable)
				continue;
			for (const char *suffix : suffixes) {
				auto found = shown[r].find(s.name + suffix);
				if (found != shown[r].end() && found->second.from_service)
					problems += s.name + suffix + ": a row from a script the boot does not read so\n";
			}
		}
		if (!problems.empty()) {
			std::string context;
			fs::path root = work.path / ("r" + std::to_string(r));
			for (const auto &file : fs::recursive_directory_iterator(root)) {
				if (file.is_regular_file() && file.path().filename() != "rc.subr" &&
				    file.path().parent_path().filename() != "run")
					context += "--- " + file.path().string() + "\n" + read_whole(file.path());
			}
			ADD_FAILURE() << problems << context;
			failures++;
		}
	}
	EXPECT_GT(services_checked, roots);
}

// Real scripts, when KELVANE_REAL_SCRIPTS names a folder with base/ (as
// /etc/rc.d) and local/ (as /usr/local/etc/rc.d), and KELVANE_REAL_FILES one
// with defaults-rc.conf and machine-*-rc.conf files. For each machine, dash
// reads the files, then runs each script the boot runs with the test's
// rc.subr (no command of the system can run: PATH is empty) and reports the
// environment it starts the service with. Every rcvar dash knows must have
// a row in that state, unless our reading passed the script over; every row
// a script gives must read as dash's value. Prints what it counted.
TEST(Services, RowsAgreeWithShOnRealScripts)
{
	const char *scripts = std::getenv("KELVANE_REAL_SCRIPTS");
	const char *files = std::getenv("KELVANE_REAL_FILES");
	if (scripts == nullptr || files == nullptr)
		GTEST_SKIP() << "set KELVANE_REAL_SCRIPTS and KELVANE_REAL_FILES to folders of real files";
	scratch_folder work;
	fs::path root = work.path / "root";
	write_whole(root / "etc/defaults/rc.conf", read_whole(fs::path(files) / "defaults-rc.conf"));
	for (auto [from, to] : {std::pair{"base", "etc/rc.d"}, std::pair{"local", "usr/local/etc/rc.d"}}) {
		for (const auto &file : fs::directory_iterator(fs::path(scripts) / from)) {
			std::string text = read_whole(file.path());
			write_script(root / to / file.path().filename(), text);
			text = replaced(text, ". /etc/rc.subr", ". " + (root / "rc.subr").string());
			write_script(root / "run" / to / file.path().filename(), replaced(text, ". /etc/network.subr", ":"));
		}
	}
	std::string subr = replaced(rc_subr(root, ""), "run_rc_command() {\n",
				       "run_rc_command() {\n\texec >&3\n\t/usr/bin/env -0\n\tprintf '\\0'\n");
	write_whole(root / "rc.subr", subr);
	int machines = 0, knobs = 0, services = 0, passed_over = 0, wrong = 0, defaults = 0;
	std::map<std::string, bool> passed;
	for (const auto &machine : fs::directory_iterator(files)) {
		if (machine.path().filename().string().rfind("machine-", 0) != 0)
			continue;
		machines++;
		write_whole(root / "etc/rc.conf", read_whole(machine.path()));
		owned_lists lists;
		ASSERT_EQ(load_root(root, &lists), 0);
		std::map<std::string, row> rows = rows_of(lists);
		std::map<std::string, const service_script *> read;
		for (const service_script &s : loaded_services())
			read[s.path] = &s;
		std::string driver = "exec 3>&1 >/dev/null 2>&1 </dev/null\nset -a; . " + root.string() +
				     "/etc/defaults/rc.conf; . " + root.string() + "/etc/rc.conf; set +a\n";
		for (const char *folder : {"etc/rc.d", "usr/local/etc/rc.d"}) {
			for (const auto &file : fs::directory_iterator(root / folder)) {
				std::string text = read_whole(file.path());
				if (std::string(folder) != "etc/rc.d" && text.find("\n# PROVIDE:") == std::string::npos)
					continue;
				// -a: what the script sets before it reads rc.subr is in the environment too.
				driver += "printf '#script\\0%s\\0' " + file.path().string() + " >&3\n(PATH=; /bin/sh -a " +
					  (root / "run" / folder / file.path().filename()).string() + " start >/dev/null)\n";
			}
		}
		int status;
		// Per script: #script, its path, the environment, "", S name, R rcvar, on/off.
		std::vector<std::string> out = nul_fields(sh_printed(work.path / "driver", driver, status));
		ASSERT_NE(status, -1);
		std::string evaluate = "PATH=\nexec 2>/dev/null\n";
		std::vector<std::pair<std::string, std::string>> compared; // row, dash's value
		for (std::size_t at = 0; at + 1 < out.size();) {
			if (out[at] != "#script") {
				at++;
				continue;
			}
			std::string path = out[at + 1];
			std::map<std::string, std::string> env;
			for (at += 2; at < out.size() && out[at].find('=') != std::string::npos; at++)
				env[out[at].substr(0, out[at].find('='))] = out[at].substr(out[at].find('=') + 1);
			// A script that ends before it starts its service reports nothing more.
			if (at + 3 >= out.size() || out[at] != "" || out[at + 1][0] != 'S')
				continue;
			std::string rcvar = out[at + 2].substr(1);
			bool on = out[at + 3] == "on";
			at += 4;
			if (rcvar.empty())
				continue;
			services++;
			auto script = read.find(path);
			if (script == read.end() || script->second->rcvar != rcvar) {
				passed_over++;
				passed[fs::path(path).filename().string() + " (rcvar " + rcvar + ")"] = true;
				continue;
			}
			auto found = rows.find(rcvar);
			bool row_on = found != rows.end() &&
				      (found->second.knob ? found->second.on : yes_to_rc_subr(env[rcvar]));
			knobs++;
			if (found == rows.end() || row_on != on) {
				wrong++;
				ADD_FAILURE() << machine.path().filename() << ": " << rcvar << " of " << path << ": row "
					      << (found == rows.end() ? "missing" : row_on ? "on" : "off") << ", boot "
					      << (on ? "on" : "off");
			}
			for (const script_step &step : script->second->steps) {
				auto shown_row = rows.find(step.variable);
				if (step.what != script_step::give_default || shown_row == rows.end() ||
				    !shown_row->second.from_service || shown_row->second.knob)
					continue;
				defaults++;
				// In the environment the script starts with, as the boot evaluates it.
				evaluate += "(";
				for (const auto &[name, value] : env)
					if (shown_row->second.text.find(name) != std::string::npos)
						evaluate += name + "=" + sh_quoted(value) + "; ";
				evaluate += "x=" + shown_row->second.text + "; printf '%s\\0' \"$x\")\n";
				compared.push_back({step.variable + " of " + path, env[step.variable]});
			}
		}
		std::vector<std::string> values = nul_fields(sh_printed(work.path / "evaluate", evaluate, status));
		ASSERT_EQ(status, 0);
		ASSERT_EQ(values.size(), compared.size());
		for (std::size_t i = 0; i < values.size(); i++) {
			if (values[i] != compared[i].second) {
				wrong++;
				ADD_FAILURE() << machine.path().filename() << ": " << compared[i].first << ": shown '" << values[i]
					      << "', boot '" << compared[i].second << "'";
			}
		}
	}
	std::printf("%d machines: %d services started with an rcvar, %d knobs checked, %d passed over, "
		    "%d string defaults checked, %d wrong\n", machines, services, knobs, passed_over, defaults, wrong);
	for (const auto &[what, _] : passed)
		std::printf("passed over: %s\n", what.c_str());
}

// What no script is, in the folders the boot runs scripts from, is passed
// over without blocking or failing the load: a FIFO, a device, a link that
// loops, a folder, a binary file, a file that is not executable.
TEST(Services, PassesOverWhatIsNoScript)
{
	scratch_folder work;
	fs::path rc_d = work.path / "etc/rc.d";
	std::string script = "#!/bin/sh\n# PROVIDE: real\nname=real\nrcvar=real_enable\n";
	write_script(rc_d / "real", script);
	write_whole(rc_d / "plain", replaced(script, "real", "plain"));
	write_script(rc_d / "binary", std::string("\x7f" "ELF\0\1\2name=bin\0rcvar=bin_enable\n", 28));
	ASSERT_EQ(mkfifo((rc_d / "fifo").c_str(), 0755), 0);
	ASSERT_EQ(symlink("/dev/zero", (rc_d / "zero").c_str()), 0);
	ASSERT_EQ(symlink((rc_d / "loop").c_str(), (rc_d / "loop").c_str()), 0);
	fs::create_directories(rc_d / "folder");
	std::vector<service_script> found = read_services(rc_d.string(), {(work.path / "missing").string()});
	ASSERT_EQ(found.size(), 1u);
	EXPECT_EQ(found[0].name, "real");
	EXPECT_EQ(found[0].rcvar, "real_enable");
}

// A default is what the boot gives a variable when the machine's own files
// (rc.conf, the later files, rc.conf.d) set nothing: the defaults file,
// then the script's own defaults, and off for an rcvar nothing sets.
TEST(Services, DefaultsAreWhatTheBootGivesWithoutTheMachinesFiles)
{
	scratch_folder work;
	fs::path root = work.path;
	write_whole(root / "etc/defaults/rc.conf", "a_flags=\"\"\nb_enable=\"NO\"\nlocal_startup=\"/usr/local/etc/rc.d\"\n");
	write_whole(root / "etc/rc.conf", "a_enable=YES\na_flags=\"-y\"\nhostname=\"h\"\n");
	write_whole(root / "etc/rc.conf.d/a", "a_dir=\"/e\"\n");
	write_script(root / "usr/local/etc/rc.d/a",
		   "# PROVIDE: a\nname=a\nrcvar=a_enable\n: ${a_flags:=\"-x\"}\nload_rc_config $name\n: ${a_dir=\"/d\"}\n");
	owned_lists lists;
	ASSERT_EQ(load_root(root, &lists), 0);
	auto described = [](const char *name) {
		const default_value *d = default_of(name);
		return d == nullptr ? std::string("none") : d->knob ? (d->on ? "on" : "off") : d->text;
	};
	EXPECT_EQ(described("a_enable"), "off");
	EXPECT_EQ(described("a_flags"), "\"-x\"");
	EXPECT_EQ(described("a_dir"), "\"/d\"");
	EXPECT_EQ(described("b_enable"), "off");
	EXPECT_EQ(described("hostname"), "none");
	std::map<std::string, bool> held;
	for (const rc_entry *e : lists.entries())
		held[e->name] = holds_default(*e);
	EXPECT_EQ(held, (std::map<std::string, bool>{{"a_dir", false}, {"a_enable", false}, {"a_flags", false},
						     {"b_enable", true}, {"hostname", false}, {"local_startup", true}}));
}
