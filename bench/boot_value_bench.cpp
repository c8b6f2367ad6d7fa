// Values-at-boot benchmark: what noting the files' commands adds to loading, and working the values out.
//
// usage: boot_value_bench [RUNS [DEFAULTS MACHINE]]
//
// Without files it generates a pair of 1000 variables each, built the way
// real files build values: plain words, references to other variables, lists
// grown line by line, patterns, ": ${v:=w}" defaults and the odd command
// substitution. Each figure is the median of RUNS (default 200) runs, in
// milliseconds: load_settings of the pair; noting the pair's commands alone,
// which is what the history adds to it; the first value_at_boot after a
// load, which works out every value; and entry_value_at_boot of every row.
#include "boot/boot_history.h"
#include "boot/boot_value.h"
#include "boot/load.h"
#include "files/system_root.h"
#include "shell/reader.h"
#include "shell/tokenizer.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Line i of a generated file; names are stem_i, and a line refers to names before it.
std::string line(std::mt19937 &rng, const std::string &stem, int i)
{
	std::string name = stem + std::to_string(i);
	std::string before = stem + std::to_string(i > 0 ? static_cast<int>(rng() % i) : 0);
	switch (rng() % 20) {
	case 0:
	case 1:
		return name + "=\"${" + before + "}/sbin/" + name + "\"\t# under another\n";
	case 2:
		return "kld_list=\"${kld_list} " + name + "\"\n";
	case 3:
		return name + "=\"${" + before + "##*/}\"\n";
	case 4:
		return ": ${" + name + ":=\"/usr/local/" + name + "\"}\n";
	case 5:
		return name + "=\"$(hostname)\"\n";
	case 6:
		return name + "=\"${" + before + ":-none} ${#" + before + "}\"\n";
	case 7:
	case 8:
	case 9:
		return name + "_enable=\"" + (rng() % 2 ? "YES" : "NO") + "\"\t\t# a knob\n";
	default:
		return name + "=\"-s -p /var/run/" + name + ".pid\"\t# flags\n";
	}
}

int write_generated(const std::string &path, const std::string &stem, unsigned seed)
{
	FILE *f = std::fopen(path.c_str(), "w");
	if (f == nullptr)
		return -1;
	std::mt19937 rng(seed);
	for (int i = 0; i < 1000; i++)
		std::fputs(line(rng, stem, i).c_str(), f);
	return std::fclose(f) == 0 ? 0 : -1;
}


// The commands the load's observer sees in path.
std::vector<top_command> commands_of(const std::string &path)
{
	std::vector<top_command> seen;
	script_observer watch;
	watch.command = [&seen](const top_command &c) { seen.push_back(c); };
	watch.comment = [](std::string_view, comment_place) {};
	FILE *in = std::fopen(path.c_str(), "r");
	if (in != nullptr) {
		read_observed_stream(in, nullptr, &watch);
		std::fclose(in);
	}
	flush_tokenizer();
	return seen;
}

int measure(const char *what, const std::string &defaults, const std::string &machine, int runs)
{
	std::vector<double> load, noting, first, rows;
	std::vector<top_command> commands[2] = {commands_of(defaults), commands_of(machine)};
	int row_count = 0, known = 0;
	for (int run = 0; run < runs; run++) {
		rc_lists lists = {};
		auto start = clock_type::now();
		if (load_settings(defaults.c_str(), machine.c_str(), &lists) != 0)
			return -1;
		load.push_back(ms_since(start));
		start = clock_type::now();
		value_at_boot("hostname");
		first.push_back(ms_since(start));
		start = clock_type::now();
		known = 0;
		for (rc_entry *entries : {lists.knobs, lists.strings}) {
			int count = entries == lists.knobs ? lists.knob_count : lists.string_count;
			for (int i = 0; i < count; i++)
				known += entry_value_at_boot(entries[i]).kind == shell_kind::known;
		}
		rows.push_back(ms_since(start));
		row_count = lists.knob_count + lists.string_count;
		free_lists(lists);
		start = clock_type::now();
		clear_history();
		for (int file = 0; file < 2; file++)
			for (const top_command &command : commands[file])
				note_command(file + 1, command);
		noting.push_back(ms_since(start));
	}
	std::printf("%s: %d rows (%d known at boot), %zu steps\n", what, row_count, known, history().size());
	std::printf("  load_settings              %8.3f ms\n", median(load));
	std::printf("  noting the commands alone  %8.3f ms\n", median(noting));
	std::printf("  first value_at_boot        %8.3f ms\n", median(first));
	std::printf("  entry_value_at_boot, all   %8.3f ms\n", median(rows));
	return 0;
}

} // namespace

int main(int argc, char **argv)
{
	int runs = argc > 1 ? std::atoi(argv[1]) : 200;
	if (runs < 1)
		runs = 1;
	char folder[] = "/tmp/kelvane-boot-value-XXXXXX";
	if (mkdtemp(folder) == nullptr)
		return 1;
	std::string root = std::string(folder) + "/root";
	std::string defaults = std::string(folder) + "/defaults", machine = std::string(folder) + "/machine";
	int result = 1;
	if (mkdir(root.c_str(), 0755) == 0 && set_system_root(root.c_str()) == 0 &&
	    write_generated(defaults, "d", 1) == 0 && write_generated(machine, "m", 2) == 0) {
		result = measure("generated pair of 1000 variables each", defaults, machine, runs);
		if (result == 0 && argc > 3)
			result = measure("given pair", argv[2], argv[3], runs);
	}
	std::remove(defaults.c_str());
	std::remove(machine.c_str());
	rmdir(root.c_str());
	rmdir(folder);
	return result == 0 ? 0 : 1;
}
