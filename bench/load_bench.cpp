// Load benchmark: tokenizer speed, loading at three sizes, whole console runs, rc.d scripts and hostile input.
//
// usage: load_bench KELVANE EXAMPLES [RUNS [ROOT EMPTY-ROOT]]
//
// KELVANE is the built program, EXAMPLES the folder holding defaults-rc.conf
// and rc.conf, RUNS the number of runs of each whole process (default 200).
// ROOT is a system root with rc.d scripts (scripts/service_root.sh makes
// one), EMPTY-ROOT the same files without them.
// Generated files go to a fresh folder under TMPDIR (or /tmp), removed at the
// end. Each size of the read-merge-sort step, and each hostile input, runs in
// its own child process, so that the child's peak resident size (from wait4)
// is that step's alone.
#include "boot/load.h"
#include "boot/merge.h"
#include "boot/services.h"
#include "files/open_file.h"
#include "files/system_root.h"
#include "in_child.h"
#include "shell/reader.h"
#include "shell/tokenizer.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr long tokenizer_bytes = 64L << 20;
constexpr int sizes[] = {1000, 10000, 100000};
constexpr int copies = 80000;
constexpr long blank_line_bytes = 100000000;
// The longest line of blanks a file may hold and still be read: what it
// holds besides them takes the rest of the bound.
constexpr long readable_line_bytes = static_cast<long>(file_size_bound) - 16;

// The folder of generated files.
std::string work_dir;

constexpr const char *stems[] = {"sshd", "ntpd", "ifconfig_em0", "pf", "jail", "moused", "zfs",
				 "syslogd", "firewall", "ipv6_gateway", "nfs_server", "powerd"};
constexpr const char *comments[] = {"Set to YES to run it at boot", "Flags passed on start",
				    "Path of the program, if you want a different one",
				    "(or NO)", "See rc.conf(5) for the choices"};

// One line as a defaults file mixes them: assignments with a trailing
// comment, comment lines, blank and indented lines, the odd "${...}" value.
std::string defaults_line(std::mt19937 &rng, long i)
{
	std::string name = std::string(stems[rng() % 12]) + std::to_string(i);
	const char *comment = comments[rng() % 5];
	switch (rng() % 10) {
	case 0:
		return "# " + std::string(comment) + ", the line above explains why.\n";
	case 1:
		return "\n";
	case 2:
		return "\t\t\t\t# " + std::string(comment) + "\n";
	case 3:
		return name + "_program=\"${" + name + "_prefix}/sbin/" + name + "\"\t# " + comment + "\n";
	case 4:
	case 5:
		return name + "_flags=\"-s -p /var/run/" + name + ".pid\"\t# " + comment + "\n";
	default:
		return name + "_enable=\"" + (rng() % 3 ? "NO" : "YES") + "\"\t\t# " + comment + "\n";
	}
}

// Writes at least bytes bytes of defaults_line lines to a file. Returns the
// size written, or -1.
long write_tokenizer_input(const std::string &path, long bytes)
{
	FILE *f = std::fopen(path.c_str(), "w");
	if (f == nullptr)
		return -1;
	std::mt19937 rng(1);
	long written = 0;
	for (long i = 0; written < bytes; i++) {
		std::string line = defaults_line(rng, i);
		written += static_cast<long>(std::fwrite(line.data(), 1, line.size(), f));
	}
	return std::fclose(f) == 0 ? written : -1;
}

// The defaults file of n assignments, with banners and comments between them,
// and the machine's: n assignments, half of them names the defaults hold.
int write_pair(int n, const std::string &defaults, const std::string &machine)
{
	std::mt19937 rng(static_cast<unsigned>(n));
	FILE *d = std::fopen(defaults.c_str(), "w");
	if (d == nullptr)
		return -1;
	FILE *m = std::fopen(machine.c_str(), "w");
	if (m == nullptr) {
		std::fclose(d);
		return -1;
	}
	std::vector<std::string> names;
	for (int i = 0; i < n; i++) {
		if (i % 50 == 0)
			std::fprintf(d, "\n###  Section %d  ###\n# %s\n", i / 50, comments[rng() % 5]);
		names.push_back(std::string(stems[rng() % 12]) + "_" + std::to_string(rng() % 100000) + "_" +
				(i % 3 ? "enable" : "flags"));
		const char *value = i % 3 ? (rng() % 2 ? "\"YES\"" : "\"NO\"") : "\"-a -b\"";
		std::fprintf(d, "%s=%s\t\t# %s\n", names.back().c_str(), value, comments[rng() % 5]);
	}
	for (int i = 0; i < n; i++) {
		std::string name = i % 2 ? names[rng() % names.size()] : "local_" + std::to_string(rng()) + "_enable";
		std::fprintf(m, "%s=\"%s\"\n", name.c_str(), rng() % 2 ? "YES" : "-x");
	}
	int closed = std::fclose(d) | std::fclose(m);
	return closed == 0 ? 0 : -1;
}

// Writes copies assignments of one knob, turned on and off in turn, the
// first one on when first_on is set.
int write_copies(const std::string &path, bool first_on)
{
	FILE *f = std::fopen(path.c_str(), "w");
	if (f == nullptr)
		return -1;
	for (int i = 0; i < copies; i++)
		std::fprintf(f, "moused_enable=\"%s\"\n", (i % 2 == 0) == first_on ? "YES" : "NO");
	return std::fclose(f) == 0 ? 0 : -1;
}

// Writes a name, a line of bytes blanks, and one assignment after it.
int write_blank_line(const std::string &path, long bytes)
{
	FILE *f = std::fopen(path.c_str(), "w");
	if (f == nullptr)
		return -1;
	std::string blanks(1 << 20, ' ');
	std::fputs("a", f);
	for (long left = bytes; left > 0; left -= static_cast<long>(blanks.size()))
		std::fwrite(blanks.data(), 1, std::min(blanks.size(), static_cast<std::size_t>(left)), f);
	std::fputs("\nb=\"x\"\n", f);
	return std::fclose(f) == 0 ? 0 : -1;
}

// Times the tokenizer over the file of size bytes: the best of three passes,
// in MB/s (10^6 bytes); 0 when the file yields no token.
double tokenizer_rate(const std::string &path, long size)
{
	double best = 0;
	for (int pass = 0; pass < 3; pass++) {
		FILE *f = std::fopen(path.c_str(), "r");
		if (f == nullptr)
			return 0;
		auto start = clock_type::now();
		long bytes = 0;
		set_tokenizer_input(f);
		while (next_token() != token_end)
			bytes += static_cast<long>(token_text().size());
		double took = seconds_since(start);
		std::fclose(f);
		best = std::max(best, static_cast<double>(size) / 1e6 / took);
		if (bytes == 0)
			return 0;
	}
	return best;
}

// A step measured in a child: works on the two files and gives its wall and
// CPU seconds. Returns 0, or -1 when it failed.
using step_fn = int (*)(const std::string &defaults, const std::string &machine, double *wall, double *cpu);


// What start-up does with the two files, timed; the arrays are freed after.
int load_merge_sort(const std::string &defaults, const std::string &machine, double *wall, double *cpu)
{
	rc_lists merged = {};
	rc_lists mine = {};
	auto start = clock_type::now();
	std::clock_t cpu_start = std::clock();
	read_rc_file(defaults.c_str(), &merged);
	read_rc_file(machine.c_str(), &mine);
	flush_tokenizer();
	if (merge_lists(&merged, &mine) != 0)
		return -1;
	sort_entries(merged.knobs, merged.knob_count);
	sort_entries(merged.strings, merged.string_count);
	*wall = seconds_since(start);
	*cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
	free_lists(mine);
	free_lists(merged);
	return 0;
}

// Times reading the first file alone; fails unless it holds exactly one
// string, the assignment behind the blank line.
int read_only(const std::string &path, const std::string &, double *wall, double *cpu)
{
	rc_lists lists = {};
	auto start = clock_type::now();
	std::clock_t cpu_start = std::clock();
	read_rc_file(path.c_str(), &lists);
	flush_tokenizer();
	*wall = seconds_since(start);
	*cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
	int result = lists.knob_count == 0 && lists.string_count == 1 ? 0 : -1;
	free_lists(lists);
	return result;
}

// Loads the system whose root is the first argument, as start-up does with -R.
int load_root(const std::string &root, const std::string &, double *wall, double *cpu)
{
	auto start = clock_type::now();
	std::clock_t cpu_start = std::clock();
	if (set_system_root(root.c_str()) != 0)
		return -1;
	rc_lists merged = {};
	std::string defaults = under_root("/etc/defaults/rc.conf"), rc = under_root("/etc/rc.conf");
	if (load_settings(defaults.c_str(), rc.c_str(), &merged) != 0)
		return -1;
	*wall = seconds_since(start);
	*cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
	free_lists(merged);
	return 0;
}

// Runs step runs times in a child; gives the median wall and CPU times and
// the child's peak resident size in KB. Returns 0, or -1 when the child failed.
int measure_in_child(step_fn step, const std::string &defaults, const std::string &machine, int runs,
		     double took[2], long *peak_kb)
{
	auto steps = [&](double *medians) {
		std::vector<double> walls, cpus;
		for (int i = 0; i < runs; i++) {
			double wall = 0, cpu = 0;
			if (step(defaults, machine, &wall, &cpu) != 0)
				return -1;
			walls.push_back(wall);
			cpus.push_back(cpu);
		}
		medians[0] = median(walls);
		medians[1] = median(cpus);
		return 0;
	};
	return run_in_child(steps, took, 2, peak_kb);
}

// Wall and CPU (user and system) time of one process run.
struct process_time {
	double wall;
	double cpu;
};

double timeval_seconds(const timeval &t)
{
	return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Starts argv with the given environment, output discarded, and waits for
// it; wall is -1 when it could not run or ended with another status.
process_time time_process(const std::vector<const char *> &argv, char *const *envp, int expected_status)
{
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
	posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
	auto start = clock_type::now();
	pid_t pid;
	int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv.data()), envp);
	posix_spawn_file_actions_destroy(&actions);
	int status = 0;
	rusage usage = {};
	if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid)
		return {-1, -1};
	double wall = seconds_since(start);
	if (!WIFEXITED(status) || WEXITSTATUS(status) != expected_status)
		return {-1, -1};
	return {wall, timeval_seconds(usage.ru_utime) + timeval_seconds(usage.ru_stime)};
}

// "12.3x", or blank when there is nothing to compare with.
std::string ratio(double now, double before)
{
	if (before <= 0)
		return "";
	char text[32];
	std::snprintf(text, sizeof text, "%.1fx", now / before);
	return text;
}

void report_tokenizer()
{
	std::string path = work_dir + "/large-rc.conf";
	long size = write_tokenizer_input(path, tokenizer_bytes);
	if (size < 0) {
		std::printf("(a) cannot write %s\n", path.c_str());
		return;
	}
	double rate = tokenizer_rate(path, size);
	std::printf("(a) tokenizer over %.1f MB of rc.conf lines: %.0f MB/s, best of 3 (target >= 300)\n",
		    static_cast<double>(size) / 1e6, rate);
	unlink(path.c_str());
}

void report_load()
{
	std::printf("(b) read_rc_file x2 + merge_lists + sort_entries, n assignments per file:\n");
	std::printf("    %8s %10s %7s %10s %7s %12s\n", "n", "wall s", "ratio", "CPU s", "ratio", "peak RSS MB");
	double previous[2] = {0, 0};
	for (int n : sizes) {
		std::string d = work_dir + "/defaults-" + std::to_string(n);
		std::string m = work_dir + "/rc-" + std::to_string(n);
		double took[2] = {0, 0};
		long peak_kb = 0;
		int runs = n >= 100000 ? 5 : 21;
		if (write_pair(n, d, m) != 0 || measure_in_child(load_merge_sort, d, m, runs, took, &peak_kb) != 0) {
			std::printf("    %8d failed\n", n);
			return;
		}
		std::printf("    %8d %10.5f %7s %10.5f %7s %12.1f\n", n, took[0], ratio(took[0], previous[0]).c_str(),
			    took[1], ratio(took[1], previous[1]).c_str(), peak_kb / 1024.0);
		previous[0] = took[0];
		previous[1] = took[1];
		unlink(d.c_str());
		unlink(m.c_str());
	}
	double idle[2] = {0, 0};
	long idle_kb = 0;
	if (measure_in_child(load_merge_sort, "/dev/null", "/dev/null", 1, idle, &idle_kb) == 0)
		std::printf("    (two empty files: peak RSS %.1f MB)\n", idle_kb / 1024.0);
	std::printf("    targets: 100000 under 0.2 s; 10x the entries at most ~12x the time\n");
}

// Input no real file holds, which must still load in linear time and in
// memory bounded by its tokens.
void report_hostile()
{
	std::string d = work_dir + "/copies-defaults";
	std::string m = work_dir + "/copies-rc";
	double took[2] = {0, 0};
	long peak_kb = 0;
	if (write_copies(d, true) != 0 || write_copies(m, false) != 0 ||
	    measure_in_child(load_merge_sort, d, m, 3, took, &peak_kb) != 0)
		std::printf("(d) loading %d copies of one name failed\n", copies);
	else
		std::printf("(d) read_rc_file x2 + merge_lists + sort_entries, %d copies of one knob in each file: "
			    "wall %.5f s, CPU %.5f s, peak RSS %.1f MB, median of 3\n",
			    copies, took[0], took[1], peak_kb / 1024.0);
	unlink(d.c_str());
	unlink(m.c_str());

	std::string blank = work_dir + "/blank-line";
	if (write_blank_line(blank, readable_line_bytes) != 0 ||
	    measure_in_child(read_only, blank, blank, 1, took, &peak_kb) != 0)
		std::printf("(e) reading a name before a line of blanks failed\n");
	else
		std::printf("(e) read_rc_file of a name, %.1f MB of blanks and a newline: peak RSS %.1f MB, "
			    "wall %.3f s\n", static_cast<double>(readable_line_bytes) / 1e6, peak_kb / 1024.0, took[0]);
	unlink(blank.c_str());
}

void report_services(const std::string &root, const std::string &empty_root)
{
	double with[2] = {0, 0}, without[2] = {0, 0};
	long with_kb = 0, without_kb = 0;
	if (measure_in_child(load_root, root, "", 21, with, &with_kb) != 0 ||
	    measure_in_child(load_root, empty_root, "", 21, without, &without_kb) != 0) {
		std::printf("(f) loading %s failed\n", root.c_str());
		return;
	}
	std::printf("(f) load_settings under a root, the sample pair, median of 21: with its rc.d scripts "
		    "%.2f ms (CPU %.2f ms, peak RSS %.1f MB), without them %.2f ms (CPU %.2f ms, %.1f MB): "
		    "the scripts add %.2f ms (target: a few ms for 300)\n",
		    with[0] * 1e3, with[1] * 1e3, with_kb / 1024.0, without[0] * 1e3, without[1] * 1e3,
		    without_kb / 1024.0, (with[0] - without[0]) * 1e3);
}

// A root whose rc.d folders hold what no script is: a 100 MB line, a
// binary file, a FIFO, a device, a link that loops and 10,000 files.
int write_hostile_root(const std::string &root)
{
	for (const char *dir : {"/etc", "/etc/defaults", "/etc/rc.d", "/usr", "/usr/local", "/usr/local/etc",
				"/usr/local/etc/rc.d"})
		if (mkdir((root + dir).c_str(), 0755) != 0)
			return -1;
	std::string rc_d = root + "/etc/rc.d/";
	FILE *f = std::fopen((rc_d + "long").c_str(), "w");
	if (f == nullptr)
		return -1;
	std::fputs("#!/bin/sh\n# PROVIDE: long\nname=long\nrcvar=long_enable\n: ${long_flags:=\"", f);
	std::string run(1 << 20, 'x');
	for (long left = blank_line_bytes; left > 0; left -= static_cast<long>(run.size()))
		std::fwrite(run.data(), 1, std::min(run.size(), static_cast<std::size_t>(left)), f);
	std::fputs("\"}\n", f);
	std::fclose(f);
	std::mt19937 rng(5);
	std::string noise(1 << 20, '\0');
	for (char &c : noise)
		c = static_cast<char>(rng());
	f = std::fopen((rc_d + "binary").c_str(), "w");
	if (f == nullptr)
		return -1;
	std::fwrite(noise.data(), 1, noise.size(), f);
	std::fclose(f);
	if (mkfifo((rc_d + "fifo").c_str(), 0755) != 0 || symlink("/dev/zero", (rc_d + "zero").c_str()) != 0 ||
	    symlink((rc_d + "loop").c_str(), (rc_d + "loop").c_str()) != 0)
		return -1;
	chmod((rc_d + "long").c_str(), 0755);
	chmod((rc_d + "binary").c_str(), 0755);
	for (int i = 0; i < 10000; i++) {
		std::string name = root + "/usr/local/etc/rc.d/s" + std::to_string(i);
		f = std::fopen(name.c_str(), "w");
		if (f == nullptr)
			return -1;
		std::fprintf(f, "#!/bin/sh\n%s# PROVIDE: s%d\nname=s%d\nrcvar=s%d_enable\n", i % 2 ? "" : "#", i, i, i);
		std::fclose(f);
		chmod(name.c_str(), 0755);
	}
	f = std::fopen((root + "/etc/defaults/rc.conf").c_str(), "w");
	if (f == nullptr)
		return -1;
	std::fputs("local_startup=\"/usr/local/etc/rc.d\"\n", f);
	return std::fclose(f) == 0 ? 0 : -1;
}

void report_hostile_scripts()
{
	std::string root = work_dir + "/hostile-root";
	double took[2] = {0, 0};
	long peak_kb = 0;
	if (mkdir(root.c_str(), 0755) != 0 || write_hostile_root(root) != 0 ||
	    measure_in_child(load_root, root, "", 1, took, &peak_kb) != 0)
		std::printf("(g) loading a root of hostile rc.d entries failed\n");
	else
		std::printf("(g) load_settings under a root whose rc.d holds a %.0f MB line, 1 MB of noise, a FIFO, "
			    "/dev/zero, a looping link and 10,000 scripts: wall %.3f s, CPU %.3f s, peak RSS %.1f MB\n",
			    static_cast<double>(blank_line_bytes) / 1e6, took[0], took[1], peak_kb / 1024.0);
	std::string command = "rm -rf '" + root + "'";
	if (std::system(command.c_str()) != 0)
		std::printf("(g) could not remove %s\n", root.c_str());
}

// A name of the benchmark script's service: "s" and i in base 36, short
// enough that its largest case stays under the bound on a script's size.
std::string script_variable(int i)
{
	std::string digits;
	do {
		digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[i % 36]);
		i /= 36;
	} while (i > 0);
	return "s" + digits;
}

// A root with empty files and one rc.d script that gives defaults variables
// their defaults with ": ${v:=1}" and evals more with eval ': ${v:=1}'.
int write_script_root(const std::string &root, int defaults, int evals)
{
	for (const char *dir : {"", "/etc", "/etc/defaults", "/etc/rc.d"})
		if (mkdir((root + dir).c_str(), 0755) != 0)
			return -1;
	for (const char *file : {"/etc/defaults/rc.conf", "/etc/rc.conf"}) {
		FILE *f = std::fopen((root + file).c_str(), "w");
		if (f == nullptr || std::fclose(f) != 0)
			return -1;
	}
	std::string path = root + "/etc/rc.d/s";
	FILE *f = std::fopen(path.c_str(), "w");
	if (f == nullptr)
		return -1;
	std::fputs("#!/bin/sh\n# PROVIDE: s\n. /etc/rc.subr\nname=s\nrcvar=s_enable\nload_rc_config $name\n", f);
	for (int i = 0; i < defaults; i++)
		std::fprintf(f, ": ${%s:=1}\n", script_variable(i).c_str());
	for (int i = defaults; i < defaults + evals; i++)
		std::fprintf(f, "eval ': ${%s:=1}'\n", script_variable(i).c_str());
	std::fputs("run_rc_command \"$1\"\n", f);
	return std::fclose(f) == 0 && chmod(path.c_str(), 0755) == 0 ? 0 : -1;
}

// load_root, failing unless every variable of the script is among the entries.
int load_script_root(const std::string &root, const std::string &count, double *wall, double *cpu)
{
	auto start = clock_type::now();
	std::clock_t cpu_start = std::clock();
	if (set_system_root(root.c_str()) != 0)
		return -1;
	rc_lists merged = {};
	std::string defaults = under_root("/etc/defaults/rc.conf"), rc = under_root("/etc/rc.conf");
	if (load_settings(defaults.c_str(), rc.c_str(), &merged) != 0)
		return -1;
	*wall = seconds_since(start);
	*cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
	// The rcvar is one more.
	bool all = merged.knob_count + merged.string_count == std::atoi(count.c_str()) + 1;
	free_lists(merged);
	return all ? 0 : -1;
}

// Loading a root whose one rc.d script gives many defaults, directly and through eval.
void report_script_sizes()
{
	constexpr int cases[][2] = {{10000, 0}, {20000, 0}, {40000, 0}, {0, 20000}, {40000, 20000}};
	std::printf("(h) load_settings under a root with one rc.d script of many defaults, median of 3:\n");
	std::printf("    %9s %7s %10s %10s %10s %12s\n", "defaults", "evals", "KB", "wall s", "CPU s", "peak RSS MB");
	for (const auto &c : cases) {
		std::string root = work_dir + "/script-" + std::to_string(c[0]) + "-" + std::to_string(c[1]);
		double took[2] = {0, 0};
		long peak_kb = 0;
		struct stat st = {};
		if (write_script_root(root, c[0], c[1]) != 0 || stat((root + "/etc/rc.d/s").c_str(), &st) != 0 ||
		    measure_in_child(load_script_root, root, std::to_string(c[0] + c[1]), 3, took, &peak_kb) != 0)
			std::printf("    %9d %7d failed\n", c[0], c[1]);
		else
			std::printf("    %9d %7d %10.1f %10.4f %10.4f %12.1f\n", c[0], c[1],
				    static_cast<double>(st.st_size) / 1024.0, took[0], took[1], peak_kb / 1024.0);
		std::string command = "rm -rf '" + root + "'";
		if (std::system(command.c_str()) != 0)
			std::printf("    could not remove %s\n", root.c_str());
	}
	std::printf("    target: 40000 defaults and 20000 evals well under 1 s; twice the lines, about twice the time\n");
}

void report_processes(const char *kelvane, const std::string &examples, int runs)
{
	std::string defaults = examples + "/defaults-rc.conf";
	std::string rc = examples + "/rc.conf";
	std::string env_defaults = "KELVANE_RC_DEFAULTS=" + defaults;
	std::string env_rc = "KELVANE_RC=" + rc;
	std::string env_home = "HOME=" + work_dir;
	char *envp[] = {env_defaults.data(), env_rc.data(), env_home.data(), nullptr};
	std::string script = ". " + defaults + "; . " + rc;
	std::vector<const char *> console = {kelvane, "-c", nullptr};
	std::vector<const char *> version = {kelvane, "-v", nullptr};
	std::vector<const char *> shell = {"/bin/sh", "-c", script.c_str(), nullptr};
	std::vector<const char *> *programs[] = {&version, &console, &shell};
	const char *labels[] = {"kelvane -v", "kelvane -c", "sh -c '. defaults; . rc.conf'"};
	std::vector<double> wall[3], cpu[3];
	// Interleaved, so that a busy moment of the machine hits all three alike.
	for (int i = 0; i < runs; i++)
		for (int p = 0; p < 3; p++) {
			process_time t = time_process(*programs[p], envp, 0);
			if (t.wall < 0) {
				std::printf("(c) %s failed or ended with an unexpected status\n", labels[p]);
				return;
			}
			wall[p].push_back(t.wall);
			cpu[p].push_back(t.cpu);
		}
	std::printf("(c) whole process on the sample pair, median of %d runs each:\n", runs);
	std::printf("    %-32s %9s %9s\n", "", "wall ms", "CPU ms");
	for (int p = 0; p < 3; p++)
		std::printf("    %-32s %9.3f %9.3f\n", labels[p], median(wall[p]) * 1e3, median(cpu[p]) * 1e3);
	std::printf("    kelvane -c / kelvane -v: wall %.2f, CPU %.2f (target <= 1.2); sh for information\n",
		    median(wall[1]) / median(wall[0]), median(cpu[1]) / median(cpu[0]));
}

} // namespace

int main(int argc, char **argv)
{
	if (argc < 3 || argc == 5 || argc > 6 || (argc >= 4 && std::atoi(argv[3]) < 1)) {
		std::fprintf(stderr, "usage: load_bench KELVANE EXAMPLES [RUNS [ROOT EMPTY-ROOT]]\n");
		return 64;
	}
	const char *tmp = std::getenv("TMPDIR");
	std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kelvane-bench-XXXXXX";
	if (mkdtemp(templ.data()) == nullptr) {
		std::perror("mkdtemp");
		return 1;
	}
	work_dir = templ;
	std::setvbuf(stdout, nullptr, _IOLBF, 0);

	report_tokenizer();
	report_load();
	report_processes(argv[1], argv[2], argc >= 4 ? std::atoi(argv[3]) : 200);
	report_hostile();
	if (argc == 6)
		report_services(argv[4], argv[5]);
	report_hostile_scripts();
	report_script_sizes();
	rmdir(work_dir.c_str());
	return 0;
}
