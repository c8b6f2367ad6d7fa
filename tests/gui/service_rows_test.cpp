// The rows of installed services in the window: another root, the knob a script enables, its note, and rc.conf.d.
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <string>

namespace {

// A jail's root: the defaults, an rc.conf, nginx installed by a package, the
// base system's sshd, and an rc.conf.d file that turns one of sshd's keys off.
class ServiceRows : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_root("jail", {{"/etc/defaults/rc.conf", ": ${_localbase:=\"/usr/local\"}\nlocal_startup=\"${_localbase}/etc/rc.d\"\n"
							  "sshd_enable=\"NO\"\t# Enable sshd\n"},
				   {"/etc/rc.conf", "hostname=\"www\"\n"},
				   {"/usr/local/etc/rc.d/nginx",
				    "#!/bin/sh\n\n# PROVIDE: nginx\n\n# nginx_enable (bool):\tSet to \"NO\" by default.\n"
				    "#\t\t\tSet it to \"YES\" to enable nginx\n# nginx_flags (str):\tSet to \"\" by default.\n\n"
				    ". /etc/rc.subr\n\nname=\"nginx\"\nrcvar=nginx_enable\n\n[ -z \"$nginx_enable\" ] && nginx_enable=\"NO\"\n"
				    "load_rc_config $name\n: ${nginx_flags=\"\"}\nrun_rc_command \"$1\"\n",
				    0555},
				   {"/etc/rc.d/sshd", "#!/bin/sh\n# PROVIDE: sshd\n. /etc/rc.subr\nname=\"sshd\"\ndesc=\"Secure Shell Daemon\"\n"
						      "rcvar=\"sshd_enable\"\n: ${sshd_rsa_enable:=\"yes\"}\n: ${sshd_dsa_enable:=\"no\"}\n"
						      "load_rc_config $name\nrun_rc_command \"$1\"\n",
				    0555},
				   {"/etc/rc.conf.d/sshd", "sshd_rsa_enable=\"NO\"\nhostname=\"not sshd's\"\n"}});
	}
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
	EXPECT_EQ(knob_state("nginx_enable"), "off");
	select_row(0, "nginx_enable");
	EXPECT_EQ(status_text(), "Default from '" + root + "/usr/local/etc/rc.d/nginx' \u2014 Set to \"NO\" by default. "
				 "Set it to \"YES\" to enable nginx");
	select_row(0, "sshd_dsa_enable");
	EXPECT_EQ(status_text(), "Default from '" + root + "/etc/rc.d/sshd' \u2014 Secure Shell Daemon");
	select_row(0, "sshd_enable");
	EXPECT_EQ(status_text(), " Enable sshd");
	EXPECT_EQ(cell_of(string_store, "nginx_flags", column_state), "\"\"");

	toggle_knob("nginx_enable");
	EXPECT_EQ(press_save().text, "Changes saved");
	std::string saved = read_file(root + "/etc/rc.conf");
	EXPECT_EQ(saved.substr(saved.rfind('\n', saved.size() - 2)), "\nnginx_enable=\"YES\"\n");
}

// sshd_rsa_enable is turned off in rc.conf.d/sshd, which the boot reads
// when sshd starts: the row says so and a change to it is refused.
TEST_F(ServiceRows, ARowSetInAServiceFileIsChangedThere)
{
	EXPECT_EQ(knob_state("sshd_rsa_enable"), "off");
	EXPECT_EQ(cell_of(knob_store, "sshd_rsa_enable", column_mark), "gtk-info");
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
