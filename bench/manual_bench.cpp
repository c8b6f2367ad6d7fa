// Manual page benchmark: reading rc.conf(5) plain and gzip-compressed, finding the entries of many variables, and hostile pages.
//
// usage: manual_bench PAGE [RUNS]
//
// PAGE is an rc.conf(5) page in mdoc (as /usr/share/man/man5/rc.conf.5),
// RUNS the number of reads of each form (default 200). A gzip-compressed
// copy is written under TMPDIR (or /tmp) and removed at the end. Prints the
// median time of a read and its parts, and of a lookup; then, for pages as
// large as a page may be and built to be slow, the time to read each and
// to find 100 names in it, and the peak memory of a child process doing so.
#include "in_child.h"
#include "manual/manual_file.h"
#include "manual/manual_page.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

template <typename F> double median_of(int runs, F run)
{
	std::vector<double> times;
	for (int i = 0; i < runs; i++) {
		auto start = clock_type::now();
		run();
		times.push_back(seconds_since(start));
	}
	return median(times);
}

int write_gzip(const std::string &path, const std::string &text)
{
	gzFile out = gzopen(path.c_str(), "wb9");
	if (out == nullptr)
		return -1;
	int written = gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
	return gzclose(out) == Z_OK && written == static_cast<int>(text.size()) ? 0 : -1;
}

// Names of the kinds the window looks up: each entry's own, one that each
// pattern stands for, and names the page does not list.
std::vector<std::string> names_to_find(const manual_page &page)
{
	std::vector<std::string> names;
	for (const manual_name &n : page.patterns) {
		std::string name;
		for (std::size_t i = 0; i < n.name.size(); i++) {
			if (n.name[i] == '<') {
				name += "em0";
				i = n.name.find('>', i);
			} else {
				name += n.name[i] == '*' ? std::string("x") : std::string(1, n.name[i]);
			}
		}
		names.push_back(name);
	}
	for (const manual_name &n : page.plain)
		names.push_back(n.name);
	for (std::size_t i = 0, n = names.size(); i < n; i++)
		names.push_back(names[i] + "_unknown");
	return names;
}

// Pages of manual_size_limit bytes, each made of one piece repeated
// between a start and an end.
struct hostile_page {
	const char *what;
	const char *start;
	const char *piece; // "#" stands for a number that changes
	const char *end;
};

constexpr hostile_page hostile_pages[] = {
	{"one item naming every variable", ".Bl -tag\n.It Va a0", " , a#", "\nText.\n.El\n"},
	{"an item for each pattern", ".Bl -tag\n", ".It Va x# Ns _ Ns Aq Ar n\nText.\n", ".El\n"},
	{"one text naming a pattern a line", ".Bl -tag\n.It Va a\n", ".Va p# Ns _ Ns Aq Ar n\n", ".It Va b\nx\n.El\n"},
	{"enclosures in enclosures", ".Bl -tag\n.It Va a\n.Pq", " Pq", " x\n.El\n"},
	{"lists in lists", ".Bl -tag\n.It Va a\n", ".Bl -tag\n.It x\n", ".El\n"},
	{"a display of short lines", ".Bl -tag\n.It Va a\n.Bd -literal\n", "x\n", ".Ed\n.El\n"},
	{"escapes left open", ".Bl -tag\n.It Va a\n", "\\[\\(\\*(\\f\\s\\h'", "\n.El\n"},
};

std::string hostile_text(const hostile_page &h, const std::string &real)
{
	std::string text = h.start;
	std::string piece = h.piece;
	std::size_t mark = piece.find('#');
	for (long i = 0; text.size() + piece.size() + 16 < manual_size_limit; i++) {
		if (!real.empty())
			text += real;
		else if (mark == std::string::npos)
			text += piece;
		else
			text += piece.substr(0, mark) + std::to_string(i) + piece.substr(mark + 1);
	}
	return text + h.end;
}

// Reads text and finds 100 names in it, in a child process: the two
// times, and the child's peak memory. Returns 0, or -1 when the child fails.
int measure_hostile(const std::string &text, double took[2], long *peak_kb)
{
	auto reading = [&text](double *times) {
		auto start = clock_type::now();
		manual_page page = parse_manual_page(text);
		times[0] = seconds_since(start);
		start = clock_type::now();
		for (int i = 0; i < 100; i++)
			find_in_manual(page, "x" + std::to_string(i * 977) + "_em0");
		times[1] = seconds_since(start);
		return 0;
	};
	return run_in_child(reading, took, 2, peak_kb);
}

} // namespace

int main(int argc, char **argv)
{
	if (argc < 2) {
		std::fprintf(stderr, "usage: manual_bench PAGE [RUNS]\n");
		return 2;
	}
	int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
	std::string text;
	if (read_manual_file(argv[1], text) == -1) {
		std::fprintf(stderr, "manual_bench: cannot read %s\n", argv[1]);
		return 1;
	}
	const char *tmp = std::getenv("TMPDIR");
	std::string gz = std::string(tmp != nullptr ? tmp : "/tmp") + "/manual_bench." + std::to_string(getpid()) + ".gz";
	if (write_gzip(gz, text) == -1) {
		std::fprintf(stderr, "manual_bench: cannot write %s\n", gz.c_str());
		return 1;
	}
	manual_page page;
	double plain = median_of(runs, [&] { read_manual_page(argv[1], page); });
	double compressed = median_of(runs, [&] { read_manual_page(gz.c_str(), page); });
	std::string inflated;
	double inflating = median_of(runs, [&] { read_manual_file(gz.c_str(), inflated); });
	double parsing = median_of(runs, [&] { page = parse_manual_page(text); });
	std::remove(gz.c_str());

	std::vector<std::string> names = names_to_find(page);
	std::size_t found = 0;
	double lookups = median_of(std::max(1, runs / 10), [&] {
		found = 0;
		for (const std::string &name : names)
			found += find_in_manual(page, name).entry != nullptr;
	});
	std::printf("page: %zu bytes, %zu entries, %zu plain names, %zu patterns (own and named in texts)\n",
		    text.size(), page.entries.size(), page.plain.size(), page.patterns.size());
	std::printf("read plain:           %8.2f ms (median of %d)\n", plain * 1e3, runs);
	std::printf("read gzip-compressed: %8.2f ms, of which inflating %.2f ms\n", compressed * 1e3, inflating * 1e3);
	std::printf("parse the text alone: %8.2f ms\n", parsing * 1e3);
	std::printf("find %zu names:       %8.2f ms, %.2f us each, %zu found\n", names.size(), lookups * 1e3,
		    lookups * 1e6 / static_cast<double>(names.size()), found);

	std::printf("pages of %zu bytes:\n", manual_size_limit);
	const hostile_page real = {"the page repeated", "", "", ""};
	for (const hostile_page *h = &real; h != std::end(hostile_pages); h = h == &real ? hostile_pages : h + 1) {
		double took[2];
		long peak_kb = 0;
		if (measure_hostile(hostile_text(*h, h == &real ? text : ""), took, &peak_kb) == -1) {
			std::fprintf(stderr, "manual_bench: the child reading %s failed\n", h->what);
			return 1;
		}
		std::printf("  %-36s read %6.0f ms, 100 lookups %6.1f ms, peak %4ld MB\n", h->what, took[0] * 1e3,
			    took[1] * 1e3, peak_kb / 1024);
	}
	return 0;
}
