// Save benchmark: what the boot shell's check of rc.conf adds to a Save.
//
// usage: save_check_bench EXAMPLES [SAVES]
//
// EXAMPLES is the folder holding rc.conf, SAVES the number of saves timed
// (default 200). Each save appends one changed knob and one changed string to
// a fresh copy of the sample in a scratch folder under TMPDIR (or /tmp),
// removed at the end; the copy is made outside the timed part.
#include "edit/delta_writer.h"
#include "model/rc_entry.h"
#include "shell/shell_check.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The median and the 90th percentile, in that order.
std::pair<double, double> spread(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	return {v[v.size() / 2], v[v.size() * 9 / 10]};
}

} // namespace

int main(int argc, char **argv)
{
	if (argc < 2) {
		std::fprintf(stderr, "usage: save_check_bench EXAMPLES [SAVES]\n");
		return 2;
	}
	int saves = argc > 2 ? std::atoi(argv[2]) : 200;
	if (saves < 1)
		saves = 1;
	std::ifstream in(std::string(argv[1]) + "/rc.conf", std::ios::binary);
	std::stringstream sample_text;
	sample_text << in.rdbuf();
	const std::string sample = sample_text.str();
	if (!in || sample.empty()) {
		std::fprintf(stderr, "save_check_bench: cannot read %s/rc.conf\n", argv[1]);
		return 1;
	}
	const char *tmp = std::getenv("TMPDIR");
	std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kelvane-bench-XXXXXX";
	if (mkdtemp(pattern.data()) == nullptr) {
		std::perror("save_check_bench: mkdtemp");
		return 1;
	}
	const std::string path = pattern + "/rc.conf";
	setenv("KELVANE_RC", path.c_str(), 1);

	std::vector<double> whole;
	std::vector<double> check;
	int failed = 0;
	for (int i = 0; i < saves; i++) {
		std::ofstream(path, std::ios::binary | std::ios::trunc) << sample;
		rc_entry entries[2] = {};
		copy_field(entries[0].name, "sshd_enable");
		entries[0].is_knob = 1;
		entries[0].knob_on = i % 2;
		entries[0].modified = 1;
		copy_field(entries[1].name, "hostname");
		copy_field(entries[1].value, "\"bench.example.org\"");
		entries[1].modified = 1;
		clock_type::time_point start = clock_type::now();
		failed += write_deltas(&entries[0], 1, &entries[1], 1) != deltas_written;
		whole.push_back(ms_since(start));

		std::string words;
		start = clock_type::now();
		failed += check_top_level(sample, boot_shell, shell_time_limit_ms, words) != ends_at_top_level;
		check.push_back(ms_since(start));
	}
	std::filesystem::remove_all(pattern);
	if (failed != 0) {
		std::fprintf(stderr, "save_check_bench: %d saves or checks failed\n", failed);
		return 1;
	}
	auto [whole_median, whole_p90] = spread(whole);
	auto [check_median, check_p90] = spread(check);
	std::printf("%d saves of %zu bytes of rc.conf (%s -n twice before the block, twice after)\n", saves,
		    sample.size(), boot_shell);
	std::printf("  whole write_deltas: median %.3f ms, 90th percentile %.3f ms\n", whole_median, whole_p90);
	std::printf("  one check:          median %.3f ms, 90th percentile %.3f ms (%.0f%% of the median save)\n",
		    check_median, check_p90, 100.0 * check_median / whole_median);
	return 0;
}
