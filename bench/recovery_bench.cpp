// Recovery benchmark: bringing back the changes kept in ~/.kelvane-pending, at three sizes.
//
// usage: recovery_bench [RUNS]
//
// For 1000, 10000 and 100000 kept changes, the time to read the file, check
// the changes as typed ones and lay them over the lists of the machine's
// file, median of RUNS runs (default 3): once for changes to names the file
// sets (half knobs, half strings, over a file of as many assignments), once
// for names it does not set, which come back as added entries. With a display, the same again in
// the window, where the lists are filled anew with the changes marked (one
// run each, in a child process of its own). The files go to a fresh folder
// under TMPDIR (or /tmp), removed at the end.
#include "edit/pending_changes.h"
#include "edit/recovery_file.h"
#include "gui/main_window.h"
#include "gui/outside_changes.h"
#include "in_child.h"
#include "shell/reader.h"
#include "timing.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int sizes[] = {1000, 10000, 100000};
constexpr const char *key = "/etc/rc.conf";

// The machine's file: count assignments, knobs and strings by turns.
std::string machine_text(int count)
{
	std::string text;
	for (int i = 0; i < count; i++)
		text += i % 2 == 0 ? "svc" + std::to_string(i) + "_enable=\"NO\"\n"
				   : "svc" + std::to_string(i) + "_flags=\"-a\"\n";
	return text;
}

// A change for each assignment of machine_text, or for as many names it does not set.
std::vector<rc_entry> kept_changes(int count, bool set_in_file)
{
	std::vector<rc_entry> changes(static_cast<std::size_t>(count));
	for (int i = 0; i < count; i++) {
		rc_entry &c = changes[static_cast<std::size_t>(i)];
		std::string stem = (set_in_file ? "svc" : "new") + std::to_string(i);
		c.modified = 1;
		c.is_new = set_in_file ? 0 : 1;
		c.is_knob = i % 2 == 0;
		c.knob_on = 1;
		copy_field(c.name, stem + (c.is_knob != 0 ? "_enable" : "_flags"));
		if (c.is_knob == 0)
			copy_field(c.value, "\"-b " + std::to_string(i) + "\"");
	}
	return changes;
}

// Reads the changes kept at path, checks them as typed ones and lays them
// over lists, as the window brings them back; the number laid over, or -1.
int bring_back(const std::string &path, rc_lists *lists)
{
	std::vector<rc_entry> changes, taken;
	std::vector<std::string> left_out, lost;
	if (read_recovery_file(path, key, changes) != kept_state::kept)
		return -1;
	take_kept_changes(*lists, changes, taken, left_out);
	if (lay_changes_over(lists, taken, lost) != 0)
		return -1;
	return static_cast<int>(taken.size() - lost.size());
}

// bring_back over the window's entries, then the window filled anew with the changes marked.
int bring_back_in_window(const std::string &path)
{
	std::vector<rc_entry> changes, taken;
	std::vector<std::string> left_out;
	if (read_recovery_file(path, key, changes) != kept_state::kept)
		return -1;
	take_kept_changes(*gui_lists, changes, taken, left_out);
	return bring_back_changes(taken) ? static_cast<int>(taken.size()) : -1;
}

// The time bring_back_in_window takes in a window on lists read from text, in a child process.
double time_in_window(const std::string &path, const std::string &text)
{
	double seconds = -1;
	long peak_kb = 0;
	auto work = [&](double *result) {
		if (!gtk_init_check(nullptr, nullptr))
			return -1;
		rc_lists lists = {};
		read_rc_text(text, &lists);
		create_main_window(&lists);
		auto start = clock_type::now();
		if (bring_back_in_window(path) < 0)
			return -1;
		result[0] = seconds_since(start);
		return 0;
	};
	return run_in_child(work, &seconds, 1, &peak_kb) == 0 ? seconds : -1;
}

} // namespace

int main(int argc, char **argv)
{
	int runs = argc > 1 ? std::atoi(argv[1]) : 3;
	if (runs < 1)
		runs = 1;
	const char *tmp = std::getenv("TMPDIR");
	std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kelvane-bench-XXXXXX";
	if (mkdtemp(dir.data()) == nullptr) {
		std::perror("recovery_bench: mkdtemp");
		return 1;
	}
	std::string path = dir + "/.kelvane-pending";
	bool window = std::getenv("DISPLAY") != nullptr;
	std::printf("%-8s %-22s %12s %12s\n", "changes", "names", "bring back", window ? "in a window" : "");
	int status = 0;
	for (int count : sizes) {
		std::string text = machine_text(count);
		for (bool set_in_file : {true, false}) {
			if (write_recovery_file(path, key, kept_changes(count, set_in_file)) != 0) {
				std::fprintf(stderr, "recovery_bench: cannot write %s\n", path.c_str());
				status = 1;
				break;
			}
			std::vector<double> times;
			for (int run = 0; run < runs; run++) {
				rc_lists lists = {};
				read_rc_text(text, &lists);
				auto start = clock_type::now();
				int laid = bring_back(path, &lists);
				times.push_back(seconds_since(start));
				free_lists(lists);
				if (laid != count) {
					std::fprintf(stderr, "recovery_bench: %d of %d changes brought back\n", laid, count);
					status = 1;
				}
			}
			std::printf("%-8d %-22s %10.3f s", count, set_in_file ? "set in the file" : "added", median(times));
			if (window)
				std::printf(" %10.3f s", time_in_window(path, text));
			std::printf("\n");
		}
	}
	std::filesystem::remove_all(dir);
	return status;
}
