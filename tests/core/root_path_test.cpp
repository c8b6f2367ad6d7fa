// Tests of hostile system roots: links and words that point out of the root, FIFOs and devices where rc.conf should be.
#include "boot/load.h"
#include "edit/delta_writer.h"
#include "files/file_state.h"
#include "files/system_root.h"

#include "owned_lists.h"
#include "scratch_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Every entry under folder with what it holds: a file's bytes, a link's target.
std::string listing(const fs::path &folder)
{
	std::string all;
	for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder))
		all += entry.path().string() + ": " +
		       (entry.is_symlink() ? fs::read_symlink(entry).string() : entry.is_regular_file() ? read_whole(entry) : "") + "\n";
	return all;
}

// A FIFO at path and a reader kept open on it: once a writer has opened it
// and gone, poll reports the hang-up, and what it wrote waits to be read.
int watched_fifo(const fs::path &path)
{
	mkfifo(path.c_str(), 0644);
	return open(path.c_str(), O_RDONLY | O_NONBLOCK);
}

bool never_written(int reader)
{
	pollfd watch = {reader, POLLIN, 0};
	return reader != -1 && poll(&watch, 1, 0) == 0;
}

} // namespace

// Each root is built to reach a scratch "host" folder; it is loaded, then
// saved to: nothing of the host is shown, the host stays byte for byte as it
// was, no FIFO is opened for writing, and the block goes only where the
// root's own paths lead.
TEST(HostileRoot, NothingOutsideTheRootIsReadOrWritten)
{
	scratch_folder work;
	const fs::path host = work.path / "host", jail = work.path / "jail", rc = jail / "etc/rc.conf";
	const std::string h = host.string();
	write_whole(host / "rc.conf", "host_only_enable=\"YES\"\n");
	write_whole(host / "defaults/rc.conf", "host_default_enable=\"YES\"\n");
	write_whole(host / "x.conf", "host_x=\"1\"\n");
	write_script(host / "rcd/hostsvc", "#!/bin/sh\n# PROVIDE: hostsvc\nname=hostsvc\nrcvar=hostsvc_enable\n");
	int host_fifo = watched_fifo(host / "fifo");
	unsetenv("KELVANE_RC");
	const std::string host_before = listing(host);
	auto link = [](const std::string &target, const fs::path &at) {
		fs::remove(at);
		fs::create_directories(at.parent_path());
		fs::create_symlink(target, at);
	};
	const struct {
		const char *what;
		std::function<void()> make;
		int result;
		const char *saved_in; // under the root, "" for nowhere
	} cases[] = {
		{"rc.conf an absolute link to the host's", [&] { link(h + "/rc.conf", rc); }, deltas_open_failed, ""},
		{"rc.conf a ../ link to the host's", [&] { link("../../host/rc.conf", rc); }, deltas_written, "/host/rc.conf"},
		{"/etc a link to a host folder", [&] { fs::remove_all(jail / "etc"); link(h, jail / "etc"); }, deltas_open_failed, ""},
		{"rc_conf_files and local_startup words /../host", [] {}, deltas_written, "/etc/rc.conf"},
		{"rc.conf a link to a FIFO of the root", [&] { link("/run/fifo", rc); }, deltas_not_regular, ""},
		{"rc.conf a link to the host's FIFO", [&] { link(h + "/fifo", rc); }, deltas_open_failed, ""},
		{"rc.conf a link to /dev/null, itself a link to /dev/null",
		 [&] { link("/dev/null", rc); link("/dev/null", jail / "dev/null"); }, deltas_open_failed, ""},
	};
	for (const auto &c : cases) {
		fs::remove_all(jail);
		write_whole(jail / "etc/defaults/rc.conf",
			    "rc_conf_files=\"/etc/rc.conf /../host/x.conf\"\nlocal_startup=\"/../host/rcd\"\n");
		write_whole(rc, "sshd_enable=\"YES\"\n");
		write_whole(jail / "host/rc.conf", "jail_host_enable=\"YES\"\n");
		write_whole(jail / "host/x.conf", "jail_x=\"1\"\n");
		fs::create_directories(jail / "run");
		int jail_fifo = watched_fifo(jail / "run/fifo");
		c.make();
		ASSERT_EQ(set_system_root(jail.c_str()), 0);
		owned_lists lists;
		ASSERT_EQ(load_settings((jail / "etc/defaults/rc.conf").c_str(), local_rc_path(), &lists), 0) << c.what;
		for (const char *name : {"host_only_enable", "host_default_enable", "host_x", "hostsvc_enable"})
			EXPECT_EQ(entry_named(lists, name), nullptr) << c.what << ": " << name;
		// The root's own files are read in their place.
		EXPECT_EQ(entry_named(lists, "jail_x") != nullptr, std::string(c.what).rfind("/etc", 0) != 0) << c.what;
		rc_entry knobs[] = {{}};
		copy_field(knobs[0].name, "saved_enable");
		knobs[0].is_knob = knobs[0].modified = knobs[0].knob_on = 1;
		EXPECT_EQ(write_deltas(knobs, 1, nullptr, 0), c.result) << c.what;
		bool saved = read_whole(jail.string() + c.saved_in).find("\nsaved_enable=\"YES\"\n") != std::string::npos;
		EXPECT_EQ(saved, c.saved_in[0] != '\0') << c.what;
		EXPECT_EQ(listing(host), host_before) << c.what;
		EXPECT_TRUE(never_written(host_fifo) && never_written(jail_fifo)) << c.what;
		close(jail_fifo);
		set_system_root("/");
		forget_files();
	}
	close(host_fifo);
}
