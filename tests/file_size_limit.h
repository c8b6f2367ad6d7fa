// A full disk for tests of failed writes, the same on Linux and FreeBSD: a
// write past a file size limit fails with EFBIG. FreeBSD has no full device.
#pragma once

#include <algorithm>
#include <signal.h>
#include <sys/resource.h>

// While alive, writes past bytes fail (RLIM_INFINITY: no new limit), and
// SIGXFSZ, which would end the test, is ignored.
class file_size_limit {
public:
	explicit file_size_limit(rlim_t bytes)
	{
		getrlimit(RLIMIT_FSIZE, &old_limit);
		rlimit limit = {std::min(bytes, old_limit.rlim_max), old_limit.rlim_max};
		setrlimit(RLIMIT_FSIZE, &limit);
		struct sigaction ignore {};
		ignore.sa_handler = SIG_IGN;
		sigaction(SIGXFSZ, &ignore, &old_action);
	}
	~file_size_limit()
	{
		setrlimit(RLIMIT_FSIZE, &old_limit);
		sigaction(SIGXFSZ, &old_action, nullptr);
	}
	file_size_limit(const file_size_limit &) = delete;
	file_size_limit &operator=(const file_size_limit &) = delete;

private:
	rlimit old_limit {};
	struct sigaction old_action {};
};
