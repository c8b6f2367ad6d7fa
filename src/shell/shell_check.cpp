// Running the boot shell's syntax check over rc.conf's text, fed through a pipe, within a time limit.
#include "shell/shell_check.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

// The saved block starts with a newline, so the probe line does too.
constexpr std::string_view probe = "\nfi\n";
constexpr std::size_t words_limit = 1024; // bytes of the shell's message kept

// Milliseconds until deadline, rounded up; 0 once it has passed.
int ms_left(clock_type::time_point deadline)
{
	auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_type::now()).count();
	return left > 0 ? static_cast<int>(left) : 0;
}

// A pipe whose ends are closed on exec and lie above the standard three, so
// that the child's dup2 onto 0, 1 and 2 always makes a fresh descriptor.
int make_pipe(int ends[2])
{
	int made[2];
	if (pipe(made) == -1)
		return -1;
	for (int i = 0; i < 2; i++) {
		ends[i] = fcntl(made[i], F_DUPFD_CLOEXEC, 3);
		close(made[i]);
	}
	if (ends[0] != -1 && ends[1] != -1)
		return 0;
	for (int i = 0; i < 2; i++) {
		if (ends[i] != -1)
			close(ends[i]);
	}
	return -1;
}

// Starts "shell -n" reading input, writing both its streams to output. The
// environment is empty: nothing of the caller's (ENV, say) reaches the shell.
pid_t spawn_shell(const char *shell, int input, int output)
{
	posix_spawn_file_actions_t actions;
	if (posix_spawn_file_actions_init(&actions) != 0)
		return -1;
	char name[] = "sh";
	char check_only[] = "-n";
	char *argv[] = {name, check_only, nullptr};
	char *envp[] = {nullptr};
	pid_t child = -1;
	if (posix_spawn_file_actions_adddup2(&actions, input, 0) != 0 ||
	    posix_spawn_file_actions_adddup2(&actions, output, 1) != 0 ||
	    posix_spawn_file_actions_adddup2(&actions, output, 2) != 0 ||
	    posix_spawn(&child, shell, &actions, nullptr, argv, envp) != 0)
		child = -1;
	posix_spawn_file_actions_destroy(&actions);
	return child;
}

// Writes the next part of input; false once the child no longer reads.
bool give_input(int fd, std::string_view input, std::size_t &sent)
{
	ssize_t done = write(fd, input.data() + sent, input.size() - sent);
	if (done >= 0) {
		sent += static_cast<std::size_t>(done);
		return true;
	}
	return errno == EINTR || errno == EAGAIN;
}

// Adds what the child wrote to words, up to words_limit bytes; false at its end.
bool take_output(int fd, std::string &words)
{
	char buffer[512];
	ssize_t got = read(fd, buffer, sizeof buffer);
	if (got < 0)
		return errno == EINTR || errno == EAGAIN;
	if (got == 0)
		return false;
	std::size_t room = words_limit - words.size();
	words.append(buffer, std::min(static_cast<std::size_t>(got), room));
	return true;
}

// One run of the shell: its deadline and what to call while it works.
struct run_limits {
	clock_type::time_point deadline;
	void (*while_waiting)();
};

// Milliseconds to wait next: up to the deadline, in slices when someone waits.
int next_wait(const run_limits &limits)
{
	int left = ms_left(limits.deadline);
	return limits.while_waiting != nullptr ? std::min(left, wait_slice_ms) : left;
}

void call_waiting(const run_limits &limits)
{
	if (limits.while_waiting != nullptr)
		limits.while_waiting();
}

// Feeds input to the child while reading what it says, until it closes its
// output (true) or the deadline passes (false). Closes to_child: its end is
// the child's end of input. Both are polled so that neither side waits on
// the other with a full pipe.
bool exchange(int to_child, int from_child, std::string_view input, const run_limits &limits, std::string &words)
{
	std::size_t sent = 0;
	bool answered = false;
	while (!answered) {
		if (to_child != -1 && sent == input.size()) {
			close(to_child);
			to_child = -1;
		}
		int wait = next_wait(limits);
		if (wait == 0)
			break;
		// poll skips an entry whose descriptor is -1.
		pollfd ends[2] = {{from_child, POLLIN, 0}, {to_child, POLLOUT, 0}};
		int ready = poll(ends, 2, wait);
		call_waiting(limits);
		if (ready == -1 && errno != EINTR)
			break;
		if (ready <= 0)
			continue;
		if (ends[0].revents != 0)
			answered = !take_output(from_child, words);
		if (ends[1].revents != 0 && !give_input(to_child, input, sent)) {
			close(to_child);
			to_child = -1;
		}
	}
	if (to_child != -1)
		close(to_child);
	return answered;
}

// Collects the child's exit once it has answered, killing it when it does not
// end before the deadline. Having closed its output it is on its way out, so
// it is looked for again after short pauses.
int finish(pid_t child, bool answered, const run_limits &limits)
{
	const timespec nap = {0, 100000}; // a tenth of a millisecond
	int status = 0;
	pid_t done = 0;
	while (answered && done == 0 && ms_left(limits.deadline) > 0) {
		done = waitpid(child, &status, WNOHANG);
		if (done == 0) {
			nanosleep(&nap, nullptr);
			call_waiting(limits);
		} else if (done == -1 && errno == EINTR) {
			done = 0;
		}
	}
	if (done == 0) {
		kill(child, SIGKILL);
		while (waitpid(child, &status, 0) == -1 && errno == EINTR)
			continue;
		return shell_silent;
	}
	// A lost exit (done == -1) or a signal says nothing about the file.
	if (done == -1 || !WIFEXITED(status))
		return shell_silent;
	return WEXITSTATUS(status) == 0 ? ends_at_top_level : shell_refuses;
}

// One run of "shell -n" over input: ends_at_top_level when it passes,
// shell_refuses with its words when it fails, or why it gave no answer.
int run_shell(const char *shell, std::string_view input, int limit_ms, void (*while_waiting)(), std::string &words)
{
	int to_child[2];
	int from_child[2];
	if (make_pipe(to_child) == -1)
		return shell_not_started;
	if (make_pipe(from_child) == -1) {
		close(to_child[0]);
		close(to_child[1]);
		return shell_not_started;
	}
	run_limits limits = {clock_type::now() + std::chrono::milliseconds(limit_ms), while_waiting};
	pid_t child = -1;
	int flags = fcntl(to_child[1], F_GETFL);
	if (flags != -1 && fcntl(to_child[1], F_SETFL, flags | O_NONBLOCK) == 0)
		child = spawn_shell(shell, to_child[0], from_child[1]);
	close(to_child[0]);
	close(from_child[1]);
	if (child == -1) {
		close(to_child[1]);
		close(from_child[0]);
		return shell_not_started;
	}
	// A child that stops reading early must fail our write, not end the program.
	struct sigaction ignore {};
	struct sigaction previous {};
	ignore.sa_handler = SIG_IGN;
	sigemptyset(&ignore.sa_mask);
	bool ignoring = sigaction(SIGPIPE, &ignore, &previous) == 0;
	bool answered = exchange(to_child[1], from_child[0], input, limits, words);
	if (ignoring)
		sigaction(SIGPIPE, &previous, nullptr);
	close(from_child[0]);
	return finish(child, answered, limits);
}

// A shell that refuses an empty script, or reads a lone fi as nothing amiss,
// says nothing about any file.
bool judges_soundly(const char *shell, int limit_ms, void (*while_waiting)())
{
	std::string said;
	return run_shell(shell, "", limit_ms, while_waiting, said) == ends_at_top_level &&
	       run_shell(shell, probe.substr(1), limit_ms, while_waiting, said) == shell_refuses;
}

} // namespace

int check_top_level(std::string_view text, const char *shell, int limit_ms, std::string &words,
		    void (*while_waiting)())
{
	words.clear();
	int parsed = run_shell(shell, text, limit_ms, while_waiting, words);
	while (!words.empty() && (words.back() == '\n' || words.back() == ' '))
		words.pop_back();
	if (parsed == shell_refuses && !judges_soundly(shell, limit_ms, while_waiting))
		return shell_unsound;
	if (parsed != ends_at_top_level)
		return parsed;
	std::string probed(text);
	probed += probe;
	std::string said;
	int probed_result = run_shell(shell, probed, limit_ms, while_waiting, said);
	if (probed_result == shell_refuses)
		return ends_at_top_level;
	if (probed_result == ends_at_top_level)
		return judges_soundly(shell, limit_ms, while_waiting) ? ends_inside : shell_unsound;
	return probed_result;
}
