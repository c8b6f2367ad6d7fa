// Tests of the command line: options, exit statuses, outputs and the order of start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct run_result {
	int status; // exit status, or 128 + signal
	std::string out;
	std::string err;
};

// Folder of the files the runs read; removed after the suite.
std::string data_dir;

const std::string version_line = "Kelvane 0.6.8 \"Lanternfall\"\n";
const std::string usage = "usage: kelvane [-c] [-v] [-h] [-R dir]\n"
			  "\t-c\tforce console mode\n"
			  "\t-v\tshow version and exit\n"
			  "\t-h\tshow this screen\n"
			  "\t-R dir\tedit the system whose root is dir (a jail, a mounted disk)\n";

// Reads both pipes to their ends, whichever the child fills first; kills
// the child when they are still open after limit_ms.
void drain(int out_fd, int err_fd, run_result &r, pid_t child, int limit_ms)
{
	pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
	std::string *sinks[2] = {&r.out, &r.err};
	int open_fds = 2;
	char buf[4096];
	auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
	while (open_fds > 0) {
		auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
		int ready = poll(fds, 2, left.count() > 0 ? static_cast<int>(left.count()) : 0);
		if (ready == 0 && child > 0) {
			kill(child, SIGKILL);
			child = -1;
		}
		if (ready < 0 && errno != EINTR)
			return;
		for (int i = 0; i < 2; i++) {
			if (fds[i].fd < 0 || fds[i].revents == 0)
				continue;
			ssize_t n = read(fds[i].fd, buf, sizeof buf);
			if (n > 0) {
				sinks[i]->append(buf, static_cast<std::size_t>(n));
			} else if (n == 0 || errno != EINTR) {
				close(fds[i].fd);
				fds[i].fd = -1;
				open_fds--;
			}
		}
	}
}

// Passed on when set, so that a sanitizer build keeps its settings.
constexpr const char *sanitizer_variables[] = {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"};

// Runs kelvane with args and the environment env (plus the sanitizer
// settings), killing it when it has not ended after limit_ms.
run_result run(std::vector<std::string> args, std::vector<std::string> env, int limit_ms = 20000)
{
	run_result r = {-1, "", ""};
	for (const char *name : sanitizer_variables)
		if (const char *value = std::getenv(name))
			env.push_back(std::string(name) + "=" + value);
	int out[2], err[2];
	if (pipe(out) != 0 || pipe(err) != 0)
		return r;
	std::vector<char *> argv = {const_cast<char *>(KELVANE_BIN)};
	for (auto &a : args)
		argv.push_back(a.data());
	argv.push_back(nullptr);
	std::vector<char *> envp;
	for (auto &e : env)
		envp.push_back(e.data());
	envp.push_back(nullptr);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, out[1], 1);
	posix_spawn_file_actions_adddup2(&actions, err[1], 2);
	posix_spawn_file_actions_addclose(&actions, out[0]);
	posix_spawn_file_actions_addclose(&actions, err[0]);
	pid_t pid = -1;
	int spawned = posix_spawn(&pid, KELVANE_BIN, &actions, nullptr, argv.data(), envp.data());
	posix_spawn_file_actions_destroy(&actions);
	close(out[1]);
	close(err[1]);
	drain(out[0], err[0], r, spawned == 0 ? pid : -1, limit_ms);
	int status = 0;
	if (spawned == 0 && waitpid(pid, &status, 0) == pid)
		r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	return r;
}

std::string data_path(const char *name)
{
	return data_dir + "/" + name;
}

// An environment with no DISPLAY that points at the small sample pair.
std::vector<std::string> console_env(std::vector<std::string> extra = {})
{
	std::vector<std::string> env = {"HOME=" + data_dir, "KELVANE_RC_DEFAULTS=" + data_path("defaults"),
					"KELVANE_RC=" + data_path("rc")};
	env.insert(env.begin(), extra.begin(), extra.end());
	return env;
}

// A display that no server answers.
const std::string no_server_display = "DISPLAY=:9987";

class Cli : public testing::Test {
protected:
	static void SetUpTestSuite()
	{
		char templ[] = "/tmp/kelvane-cli-XXXXXX";
		ASSERT_NE(nullptr, mkdtemp(templ));
		data_dir = templ;
		std::ofstream(data_path("defaults")) << "# defaults\nsshd_enable=\"NO\"\t# secure shell\n"
							"hostname=\"\"\n";
		std::ofstream(data_path("rc")) << "sshd_enable=\"YES\"\nhostname=\"box\"\n";
		std::filesystem::create_directory(data_path("folder"));
		std::ofstream(data_path("long_name")) << std::string(10 << 20, 'n') << "=\"x\"\n";
		std::ofstream(data_path("long_value")) << "v=\"" << std::string(10 << 20, 'v') << "\"\n";
		std::mt19937 rng(3);
		std::string noise(1 << 20, '\0');
		for (char &c : noise)
			c = static_cast<char>(rng());
		std::ofstream(data_path("noise"), std::ios::binary) << noise;
	}
	static void TearDownTestSuite()
	{
		std::filesystem::remove_all(data_dir);
	}
};

} // namespace

TEST_F(Cli, OptionsDecideOutputAndStatus)
{
	enum output { none, version, usage_only, usage_with_diagnostic, no_folder };
	struct {
		std::vector<std::string> args;
		int status;
		output shown;
	} const cases[] = {
		{{"-v"}, 0, version},
		{{"-h"}, 64, usage_only},
		{{"-x"}, 64, usage_with_diagnostic},
		{{"-q"}, 64, usage_with_diagnostic},
		{{"-c"}, 0, none},
		{{"-cc"}, 0, none},
		{{"-c", "-c"}, 0, none},
		{{"-cv"}, 0, version},
		{{"-c", "-v"}, 0, version},
		{{"-c", "-h"}, 64, usage_only},
		{{"-cx"}, 64, usage_with_diagnostic},
		{{"-v", "-h"}, 0, version},
		{{"-h", "-v"}, 64, usage_only},
		{{"-vx"}, 0, version},
		{{"--", "-v"}, 0, none},
		{{"rc.conf", "-v"}, 0, none},
		{{}, 0, none},
		{{"-R", data_dir}, 0, none},
		{{"-R", data_dir, "-c"}, 0, none},
		{{"-c", "-R" + data_dir, "-v"}, 0, version},
		{{"-R", data_dir, "-h"}, 64, usage_only},
		{{"-R"}, 64, usage_with_diagnostic},
		{{"-c", "-R"}, 64, usage_with_diagnostic},
		{{"-v", "-R"}, 0, version},
		{{"-R", data_path("rc")}, 1, no_folder},
		{{"-R", data_path("missing")}, 1, no_folder},
		{{"-R", data_path("missing"), "-v"}, 0, version},
	};
	for (const auto &c : cases) {
		std::string label = c.args.empty() ? "(none)" : c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "") + " " +
									(c.args.size() > 2 ? c.args[2] : "");
		run_result r = run(c.args, console_env());
		EXPECT_EQ(c.status, r.status) << label;
		if (c.shown == version) {
			EXPECT_EQ(0u, r.out.rfind(version_line, 0)) << label;
			EXPECT_EQ(4, std::count(r.out.begin(), r.out.end(), '\n')) << label;
			EXPECT_EQ('\n', r.out.back()) << label;
		} else {
			EXPECT_EQ(c.shown == none || c.shown == no_folder ? "" : usage, r.out) << label;
		}
		bool one_line = std::count(r.err.begin(), r.err.end(), '\n') == 1 && r.err.back() == '\n';
		EXPECT_EQ(c.shown == usage_with_diagnostic || c.shown == no_folder, one_line) << label << ": " << r.err;
		// The diagnostic names the option letter at fault, or the folder.
		if (c.shown == usage_with_diagnostic || c.shown == no_folder) {
			std::string named = c.shown == no_folder ? c.args[1] : c.args.back().substr(c.args.back().size() - 1);
			EXPECT_NE(std::string::npos, r.err.find(named)) << r.err;
		}
	}
}

// A folder cannot be read, a FIFO would wait for a writer and /dev/zero
// never end: each file a console run reads is passed over, named, and the
// start goes on at once. -v and -h read no file.
TEST_F(Cli, FilesThatAreNoRegularFilesArePassedOverAtOnce)
{
	std::string fifo = data_path("fifo");
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	std::string later = data_path("later-defaults");
	std::ofstream(later) << "rc_conf_files=\"" << data_path("rc") << " " << fifo << " /dev/zero\"\n";
	const struct {
		std::vector<std::string> args;
		std::string defaults, rc, named;
	} cases[] = {
		{{}, data_path("defaults"), data_path("folder"), "'" + data_path("folder") + "' is a folder"},
		{{"-c"}, data_path("defaults"), data_path("folder"), "'" + data_path("folder") + "' is a folder"},
		{{"-c"}, fifo, data_path("rc"), "'" + fifo + "' is a FIFO"},
		{{"-c"}, "/dev/zero", data_path("rc"), "'/dev/zero' is a device"},
		{{"-c"}, data_path("defaults"), fifo, "'" + fifo + "' is a FIFO"},
		{{"-c"}, later, data_path("rc"), "'" + fifo + "' is a FIFO, not a file: passed over\nkelvane: '/dev/zero' is a device"},
	};
	for (const auto &c : cases) {
		run_result r = run(c.args, {"HOME=" + data_dir, "KELVANE_RC_DEFAULTS=" + c.defaults, "KELVANE_RC=" + c.rc}, 1000);
		EXPECT_EQ(0, r.status) << c.named;
		EXPECT_EQ("kelvane: " + c.named + ", not a file: passed over\n", r.err);
		EXPECT_EQ("", r.out) << c.named;
	}
	std::vector<std::string> env = console_env({"KELVANE_RC=" + data_path("folder")});
	EXPECT_EQ("", run({"-v"}, env).err);
	EXPECT_EQ(64, run({"-h"}, env).status);
	std::filesystem::remove(fifo);
}

TEST_F(Cli, DisplayStartsTheToolkitBeforeAnyFileIsRead)
{
	ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X9987"));
	for (const std::string &display : {no_server_display, std::string("DISPLAY=")}) {
		run_result r = run({}, console_env({display, "KELVANE_RC=" + data_path("folder")}));
		EXPECT_NE(0, r.status) << display;
		EXPECT_NE(2, r.status) << display;
		EXPECT_NE(std::string::npos, r.err.find("cannot open display")) << display << ": " << r.err;
	}
}

TEST_F(Cli, ConsoleOptionIgnoresTheDisplay)
{
	run_result r = run({"-c"}, console_env({no_server_display}));
	EXPECT_EQ(0, r.status);
	EXPECT_EQ("", r.out + r.err);
}

TEST_F(Cli, OddFilesEndNormallyWithoutOutput)
{
	struct {
		std::string defaults;
		std::string rc;
	} const cases[] = {
		{"", ""},
		{data_path("missing"), data_path("missing-too")},
		{data_path("long_name"), data_path("long_value")},
		{data_path("noise"), data_path("noise")},
	};
	for (const auto &c : cases) {
		run_result r = run({"-c"}, {"HOME=" + data_dir, "KELVANE_RC_DEFAULTS=" + c.defaults, "KELVANE_RC=" + c.rc});
		EXPECT_EQ(0, r.status) << c.defaults;
		EXPECT_EQ("", r.out + r.err) << c.defaults;
	}
}
