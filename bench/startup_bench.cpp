// Start-up benchmark: time from starting a program to the mapping of its first top-level window.
//
// usage: startup_bench RUNS MINIMAL EDITOR [LABEL DEFAULTS RC]...
//
// Under the X server named by DISPLAY, starts the minimal window program and
// the editor on each pair of rc.conf files (or with "-R" and a folder in
// place of the pair, on the system whose root that is) RUNS times each, interleaved so that
// a busy moment of the machine hits every program alike, and prints each median
// beside its ratio to the minimal program's. Only GDK is linked: the X events
// are read through a filter on the root window, which needs Xlib's structures
// but none of its functions.
#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr gint64 map_timeout_us = 30 * G_USEC_PER_SEC;
constexpr gint64 destroy_timeout_us = 10 * G_USEC_PER_SEC;

// One program to time, with the rc.conf pair it is given.
struct target {
	const char *label;
	const char *program;
	const char *defaults_path; // nullptr for the minimal program, "-R" for a root
	const char *rc_path;       // or the root
	std::vector<double> times_ms;
};

// What the root window's filter has seen of the program being timed.
Window mapped_window;  // its first top-level window, 0 until that maps
gint64 mapped_at;      // monotonic time of that MapNotify, in microseconds
bool window_destroyed; // mapped_window is gone from the server

// Notes the first top-level window that maps, and when it is destroyed.
GdkFilterReturn on_root_event(GdkXEvent *xevent, GdkEvent *, gpointer)
{
	const XEvent *event = static_cast<const XEvent *>(xevent);
	// Menus and tooltips are override-redirect: only a real top-level counts.
	if (event->type == MapNotify && mapped_window == 0 && !event->xmap.override_redirect) {
		mapped_at = g_get_monotonic_time();
		mapped_window = event->xmap.window;
	} else if (event->type == DestroyNotify && event->xdestroywindow.window == mapped_window) {
		window_destroyed = true;
	}
	return GDK_FILTER_REMOVE;
}

// Keeps the main loop waking up, so that deadlines and a dead child are noticed.
gboolean on_tick(gpointer)
{
	return TRUE;
}

// Forks and executes t's program with t's rc.conf pair. Returns the child's pid, or -1.
pid_t start(const target &t)
{
	pid_t pid = fork();
	if (pid != 0)
		return pid;
	if (t.defaults_path != nullptr && std::strcmp(t.defaults_path, "-R") == 0) {
		execl(t.program, t.program, "-R", t.rc_path, static_cast<char *>(nullptr));
		_exit(127);
	}
	if (t.defaults_path != nullptr) {
		setenv("KELVANE_RC_DEFAULTS", t.defaults_path, 1);
		setenv("KELVANE_RC", t.rc_path, 1);
	}
	execl(t.program, t.program, static_cast<char *>(nullptr));
	_exit(127);
}

// Runs the main loop until the program's window maps. Returns 0, or -1 after
// saying why when the program ends first or the time runs out (the program is
// then reaped).
int wait_for_map(const target &t, pid_t pid, gint64 deadline)
{
	while (mapped_window == 0) {
		int status;
		if (waitpid(pid, &status, WNOHANG) == pid) {
			std::fprintf(stderr, "startup_bench: %s: %s ended (wait status %d) before its window appeared\n",
				     t.label, t.program, status);
			return -1;
		}
		if (g_get_monotonic_time() > deadline) {
			kill(pid, SIGKILL);
			waitpid(pid, &status, 0);
			std::fprintf(stderr, "startup_bench: %s: %s showed no window in time\n", t.label, t.program);
			return -1;
		}
		g_main_context_iteration(nullptr, TRUE);
	}
	return 0;
}

// Times one start of t; stops the program and waits until its window is gone,
// so that nothing of it is left on the server for the next run. Returns 0 or -1.
int time_once(target &t, bool keep)
{
	mapped_window = 0;
	window_destroyed = false;
	gdk_display_sync(gdk_display_get_default());
	gint64 started = g_get_monotonic_time();
	pid_t pid = start(t);
	if (pid < 0) {
		std::perror("startup_bench: fork");
		return -1;
	}
	if (wait_for_map(t, pid, started + map_timeout_us) != 0)
		return -1;
	if (keep)
		t.times_ms.push_back(static_cast<double>(mapped_at - started) / 1000.0);
	kill(pid, SIGTERM);
	waitpid(pid, nullptr, 0);
	gint64 deadline = g_get_monotonic_time() + destroy_timeout_us;
	while (!window_destroyed && g_get_monotonic_time() < deadline)
		g_main_context_iteration(nullptr, TRUE);
	return 0;
}

// The middle value, or the mean of the two middle values.
double median(std::vector<double> values)
{
	std::sort(values.begin(), values.end());
	std::size_t n = values.size();
	return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The usage line, on standard error.
void usage()
{
	std::fprintf(stderr, "usage: startup_bench RUNS MINIMAL EDITOR [LABEL DEFAULTS RC]...\n");
}

} // namespace

int main(int argc, char **argv)
{
	if (!gdk_init_check(&argc, &argv)) {
		std::fprintf(stderr, "startup_bench: cannot open the display\n");
		return 1;
	}
	if (argc < 4 || (argc - 4) % 3 != 0 || std::atoi(argv[1]) < 1) {
		usage();
		return 64;
	}
	int runs = std::atoi(argv[1]);
	std::vector<target> targets;
	targets.push_back({"minimal window", argv[2], nullptr, nullptr, {}});
	for (int i = 4; i < argc; i += 3)
		targets.push_back({argv[i], argv[3], argv[i + 1], argv[i + 2], {}});

	GdkWindow *root = gdk_get_default_root_window();
	gdk_window_set_events(root, GDK_SUBSTRUCTURE_MASK);
	gdk_window_add_filter(root, on_root_event, nullptr);
	g_timeout_add(20, on_tick, nullptr);

	// One untimed start each fills the file and font caches.
	for (target &t : targets) {
		if (time_once(t, false) != 0)
			return 1;
	}
	for (int run = 0; run < runs; run++) {
		for (target &t : targets) {
			if (time_once(t, true) != 0)
				return 1;
		}
	}

	double base = median(targets[0].times_ms);
	std::printf("%d runs each; time from start to the mapped main window:\n", runs);
	std::printf("%-24s %10s %10s %10s %8s\n", "program", "median ms", "min ms", "max ms", "ratio");
	for (const target &t : targets) {
		auto [low, high] = std::minmax_element(t.times_ms.begin(), t.times_ms.end());
		std::printf("%-24s %10.1f %10.1f %10.1f %7.2fx\n", t.label, median(t.times_ms), *low,
			    *high, median(t.times_ms) / base);
	}
	return 0;
}
