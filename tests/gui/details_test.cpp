// Where each row's value comes from and what it means: the details area, the Show choice, bold names and warnings.
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <string>
#include <vector>

namespace {

// A machine that changed a few settings, with sshd's script and its rc.conf.d
// file, and an rc.conf(5) of its own.
class Details : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_root("root", {{"/etc/defaults/rc.conf", "hostname=\"\"\t\t# Set this!\nsshd_enable=\"NO\"\t# Enable sshd\n"
							  "ntpd_enable=\"NO\"\t# Run ntpd, the network\n\t\t\t# time daemon.\n"
							  "tmpsize=\"20m\"\n"},
				   {"/etc/rc.conf", machine_file()},
				   {"/etc/rc.d/sshd", "# PROVIDE: sshd\nname=\"sshd\"\ndesc=\"Secure Shell Daemon\"\nrcvar=\"sshd_enable\"\n"
						      ": ${sshd_rsa_enable:=\"yes\"}\n: ${sshd_dsa_enable:=\"no\"}\nload_rc_config $name\n",
				    0555},
				   {"/etc/rc.conf.d/sshd", "sshd_dsa_enable=\"YES\"\n"},
				   {"/usr/share/man/man5/rc.conf.5",
				    ".Dd March 3, 2022\n.Dt RC.CONF 5\n.Os\n.Sh DESCRIPTION\n.Bl -tag -width indent\n"
				    ".It Va hostname\n.Pq Vt str\nThe fully qualified domain name of this host.\n"
				    ".It Va tmpsize\n.Pq Vt int\nThe size of\n.Pa /tmp .\n"
				    ".It Va ntpd_enable\n.Pq Vt bool\nRun\n.Xr ntpd 8 .\n.El\n"}});
	}

	virtual std::string machine_file() const
	{
		return "hostname=\"gate\"\nsshd_enable=\"NO\"\nkld_list=\"amdgpu\"\nkld_list=\"${kld_list} fuse\"\n"
		       "ntpd_enable=\"maybe\"\ntmpsize=\"lots\"\n";
	}

	// What the details area shows with the row of name selected; nullptr selects none.
	static std::string details_of(int page, const char *name)
	{
		select_row(page, name);
		GtkWidget *expander = widget_under(main_window, [](GtkWidget *w) { return GTK_IS_EXPANDER(w); });
		GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(gtk_bin_get_child(GTK_BIN(expander))));
		return gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(viewport))));
	}

	// The names a store shows.
	static std::vector<std::string> names(GtkListStore *store)
	{
		std::vector<std::string> shown;
		for (int row = 0; row < gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr); row++)
			shown.push_back(cell_text(store, row, column_name));
		return shown;
	}
	static int weight_of(GtkListStore *store, const char *name)
	{
		GtkTreeIter iter;
		gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(store), &iter, row_path(store, name).c_str());
		int weight = 0;
		gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, column_weight, &weight, -1);
		return weight;
	}
	static void show(int choice)
	{
		GtkWidget *combo = widget_under(main_window, [](GtkWidget *w) { return GTK_IS_COMBO_BOX(w); });
		ASSERT_NE(combo, nullptr);
		gtk_combo_box_set_active(GTK_COMBO_BOX(combo), choice);
	}
};

} // namespace

// Each row says where its value is set, what its default is, what the
// value means and what the boot makes of it.
TEST_F(Details, SayWhereEachValueComesFromAndWhatItMeans)
{
	std::string rc = root + "/etc/rc.conf";
	EXPECT_EQ(details_of(1, "hostname"), "hostname\nThe fully qualified domain name of this host.\nType: str\n"
					     "Set in '" + rc + "', line 1.\nDefault: \"\"");
	EXPECT_EQ(details_of(1, "kld_list"), "kld_list\nSet in '" + rc + "', line 4.\n"
					     "No default: only this machine's files set it.\nAt boot: \"amdgpu fuse\"");
	EXPECT_EQ(details_of(0, "sshd_rsa_enable"), "sshd_rsa_enable: Secure Shell Daemon\n"
						   "The default of the script '" + root + "/etc/rc.d/sshd', line 5.\n"
						   "Default: \"YES\"");
	EXPECT_EQ(details_of(0, "sshd_dsa_enable"),
		  "sshd_dsa_enable: Secure Shell Daemon\nSet in '" + root + "/etc/rc.conf.d/sshd', line 1. "
		  "It is read when sshd starts.\nDefault: \"NO\"");
	EXPECT_EQ(details_of(1, "ntpd_enable"),
		  "ntpd_enable\nRun ntpd(8).\nType: bool\nSet in '" + rc + "', line 5.\nDefault: \"NO\"\n"
		  "Warning: rc.subr does not read this value as YES or NO; it warns at boot and takes it as NO.");
	EXPECT_EQ(details_of(1, "tmpsize"), "tmpsize\nThe size of /tmp.\nType: int\nSet in '" + rc + "', line 6.\n"
					    "Default: \"20m\"\nWarning: this setting takes a number, and its value is none.");
	EXPECT_EQ(details_of(1, nullptr), "");
}

// What the machine's own files set is bold; a value the boot will not read
// as meant has a warning mark.
TEST_F(Details, MachineSetNamesAreBoldAndMisreadValuesMarked)
{
	EXPECT_EQ(weight_of(string_store, "hostname"), PANGO_WEIGHT_BOLD);
	EXPECT_EQ(weight_of(knob_store, "sshd_dsa_enable"), PANGO_WEIGHT_BOLD);
	EXPECT_EQ(weight_of(knob_store, "sshd_rsa_enable"), PANGO_WEIGHT_NORMAL);
	EXPECT_EQ(cell_of(string_store, "ntpd_enable", column_mark), warning_mark);
	EXPECT_EQ(cell_of(string_store, "tmpsize", column_mark), warning_mark);
	EXPECT_EQ(cell_of(string_store, "hostname", column_mark), "");
}

// The Show choice narrows both lists; a row changed in a narrowed view stays.
TEST_F(Details, ShowChoiceNarrowsBothLists)
{
	EXPECT_EQ(names(knob_store), (std::vector<std::string>{"sshd_dsa_enable", "sshd_enable", "sshd_rsa_enable"}));
	show(1);
	EXPECT_EQ(names(knob_store), (std::vector<std::string>{"sshd_dsa_enable", "sshd_enable"}));
	EXPECT_EQ(names(string_store), (std::vector<std::string>{"hostname", "kld_list", "ntpd_enable", "tmpsize"}));
	show(2);
	EXPECT_EQ(names(knob_store), (std::vector<std::string>{"sshd_dsa_enable"}));
	EXPECT_EQ(names(string_store), (std::vector<std::string>{"hostname", "kld_list", "ntpd_enable", "tmpsize"}));
	// hostname given its default's value is a change to save: it stays in sight.
	edit_value("hostname", "");
	EXPECT_EQ(names(string_store).front(), "hostname");
	show(1);
	show(2);
	EXPECT_EQ(names(string_store).front(), "hostname");
	show(0);
	EXPECT_EQ(names(knob_store).size(), 3u);
}

// Commands of the machine's file that may set variables the rows do not
// show are named once at start, with their lines.
class SettingLines : public Details {
	std::string machine_file() const override
	{
		return "hostname=\"gate\"\nwhile read a b; do\n\tifconfig_em0=\"$b\"\ndone </etc/hosts\n"
		       "eval \"sshd_enable=YES\"\n";
	}
};

TEST_F(SettingLines, AreNamedAtStart)
{
	EXPECT_EQ(status_text(), "'" + root + "/etc/rc.conf' may also set variables in ways the lists do not show, at lines 2, 5.");
}
