// Running a step of a benchmark in a child process, so that the child's peak memory is that step's alone.
#pragma once

#include <cstddef>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Runs work in a child process, where it fills results[0, n) and returns 0
// (or -1 when it fails); gives the results and the child's peak resident
// size in KB. Returns 0, or -1 when the child failed.
inline int run_in_child(const std::function<int(double *)> &work, double *results, std::size_t n, long *peak_kb)
{
	int fds[2];
	if (pipe(fds) != 0)
		return -1;
	auto bytes = static_cast<ssize_t>(n * sizeof *results);
	pid_t pid = fork();
	if (pid == 0) {
		close(fds[0]);
		std::vector<double> filled(n);
		_exit(work(filled.data()) == 0 && write(fds[1], filled.data(), n * sizeof *results) == bytes ? 0 : 1);
	}
	close(fds[1]);
	ssize_t got = pid > 0 ? read(fds[0], results, n * sizeof *results) : -1;
	close(fds[0]);
	int status = 0;
	rusage usage = {};
	if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || status != 0 || got != bytes)
		return -1;
	*peak_kb = usage.ru_maxrss;
	return 0;
}
