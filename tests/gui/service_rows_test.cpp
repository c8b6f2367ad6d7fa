// The rows of installed services in the window: another root, the knob a script enables, its note, and rc.conf.d.
#include "gui/main_window.h"
#include "gui_test_util.h"
#include "rcfile/delta_writer.h"
#include "rcfile/load.h"
#include "rcfile/system_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

void write(const std::string &path, const std::string &text, mode_t mode = 0644)
{
	std::filesystem::create_directories(std::filesystem::path(path).parent_path());
	std::ofstream(path) << text;
	chmod(path.c_str(), mode);
}

// A jail's root: the defaults, an rc.conf, nginx installed by a package, the
// base system's sshd, and an rc.conf.d file that turns one of sshd's keys off.
class ServiceRows : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		root = home.dir + "/jail";
		write(root + "/etc/defaults/rc.conf", ": ${_localbase:=\"/usr/local\"}\nlocal_startup=\"${_localbase}/etc/rc.d\"\n"
						      "sshd_enable=\"NO\"\t# Enable sshd\n");
		write(root + "/etc/rc.conf", "hostname=\"www\"\n");
		write(root + "/usr/local/etc/rc.d/nginx",
		      "#!/bin/sh\n\n# PROVIDE: nginx\n\n# nginx_enable (bool):\tSet to \"NO\" by default.\n"
		      "#\t\t\tSet it to \"YES\" to enable nginx\n# nginx_flags (str):\tSet to \"\" by default.\n\n"
		      ". /etc/rc.subr\n\nname=\"nginx\"\nrcvar=nginx_enable\n\n[ -z \"$nginx_enable\" ] && nginx_enable=\"NO\"\n"
		      "load_rc_config $name\n: ${nginx_flags=\"\"}\nrun_rc_command \"$1\"\n",
		      0555);
		write(root + "/etc/rc.d/sshd", "#!/bin/sh\n# PROVIDE: sshd\n. /etc/rc.subr\nname=\"sshd\"\ndesc=\"Secure Shell Daemon\"\n"
					       "rcvar=\"sshd_enable\"\n: ${sshd_rsa_enable:=\"yes\"}\n: ${sshd_dsa_enable:=\"no\"}\n"
					       "load_rc_config $name\nrun_rc_command \"$1\"\n",
		      0555);
		write(root + "/etc/rc.conf.d/sshd", "sshd_rsa_enable=\"NO\"\nhostname=\"not sshd's\"\n");
		unsetenv("KELVANE_RC");
		ASSERT_EQ(set_system_root(root.c_str()), 0);
		std::string defaults = under_root("/etc/defaults/rc.conf");
		ASSERT_EQ(load_settings(defaults.c_str(), local_rc_path(), &lists), 0);
		create_main_window(&lists);
	}
	void TearDown() override
	{
		set_system_root("/");
	}

	std::string root;
	rc_lists lists;
};

} // namespace

TEST_F(ServiceRows, TheTitleNamesTheFileOfTheRootBeingChanged)
{
	EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(main_window)), "Kelvane 0.6.8 \"Lanternfall\" - " + root + "/etc/rc.conf");
	EXPECT_EQ(cell_text(string_store, 0, column_name), "hostname");
	EXPECT_EQ(cell_text(string_store, 0, column_state), "\"www\"");
}

// Nothing sets nginx_enable: its script's default makes it a knob that is
// off, its header says what it is for, and ticking it saves it to rc.conf.
TEST_F(ServiceRows, AServiceThatNothingEnablesIsAKnobToTick)
{
	std::string path = row_path(knob_store, "nginx_enable");
	ASSERT_NE(path, "");
	EXPECT_FALSE(cell_state(std::stoi(path)));
	select_row(0, "nginx_enable");
	EXPECT_EQ(status_text(), "Default from '" + root + "/usr/local/etc/rc.d/nginx' \u2014 Set to \"NO\" by default. "
				 "Set it to \"YES\" to enable nginx");
	select_row(0, "sshd_dsa_enable");
	EXPECT_EQ(status_text(), "Default from '" + root + "/etc/rc.d/sshd' \u2014 Secure Shell Daemon");
	select_row(0, "sshd_enable");
	EXPECT_EQ(status_text(), " Enable sshd");
	EXPECT_EQ(cell_text(string_store, std::stoi(row_path(string_store, "nginx_flags")), column_state), "\"\"");

	toggle_knob("nginx_enable");
	answer_dialogs({GTK_RESPONSE_OK});
	gtk_button_clicked(GTK_BUTTON(save_button));
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "Changes saved");
	std::string saved = read_file(root + "/etc/rc.conf");
	EXPECT_EQ(saved.substr(saved.rfind('\n', saved.size() - 2)), "\nnginx_enable=\"YES\"\n");
}

// sshd_rsa_enable is turned off in rc.conf.d/sshd, which the boot reads
// when sshd starts: the row says so and a change to it is refused.
TEST_F(ServiceRows, ARowSetInAServiceFileIsChangedThere)
{
	std::string path = row_path(knob_store, "sshd_rsa_enable");
	ASSERT_NE(path, "");
	EXPECT_FALSE(cell_state(std::stoi(path)));
	EXPECT_EQ(cell_text(knob_store, std::stoi(path), column_mark), "gtk-info");
	select_row(0, "sshd_rsa_enable");
	std::string file = root + "/etc/rc.conf.d/sshd";
	EXPECT_EQ(status_text(), "Set in '" + file + "', which is read when sshd starts, after '" + root + "/etc/rc.conf'");
	answer_dialogs({GTK_RESPONSE_CLOSE});
	toggle_knob("sshd_rsa_enable");
	ASSERT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(answered_dialogs()[0].text, "The variable sshd_rsa_enable cannot be changed here");
	EXPECT_EQ(answered_dialogs()[0].detail, "It is set in '" + file + "', which is read when sshd starts, after '" + root +
							"/etc/rc.conf', so a change saved here would not count. Change it in '" +
							file + "'.");
	EXPECT_EQ(pending_changes, 0);
}
