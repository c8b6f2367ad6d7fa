// Files changed behind the window's back: the Reload dialog, reading again, and the files passed over.
#include "boot/load.h"
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

class OutsideChanges : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_files("sshd_enable=\"NO\"\nntpd_enable=\"NO\"\nhostname=\"\"\n", "sshd_enable=\"YES\"\nhostname=\"box\"\n");
		toggle_knob("ntpd_enable");
		edit_value("hostname", "\"gate\"");
	}

	// Save refuses to write over a change it has not shown; Reload shows the
	// file as it is now with the changes still marked over it, dropping one
	// that the file now holds, and the next Save writes what the window shows,
	// as sh reads the three names.
	void expect_reload_before_save(const std::function<void(const std::string &)> &change, const char *shown,
				       const char *saved)
	{
		const std::string path = home.rc_path();
		change(path);
		std::string changed = read_file(path);
		answer_dialogs({GTK_RESPONSE_ACCEPT});
		gtk_button_clicked(GTK_BUTTON(save_button));
		ASSERT_EQ(answered_dialogs().size(), 1u);
		EXPECT_EQ(answered_dialogs()[0].text, "'" + path + "' was changed by another program");
		EXPECT_EQ(read_file(path), changed);
		EXPECT_EQ(rows_shown(), shown);
		EXPECT_EQ(press_save().text, "Changes saved");
		EXPECT_EQ(command_output("sh -c '. \"$1\"; printf %s,%s,%s \"$sshd_enable\" \"$ntpd_enable\" \"$hostname\"' sh " +
					 path),
			  saved);
	}
};

TEST_F(OutsideChanges, AppendedBehindItsBack)
{
	expect_reload_before_save([](const std::string &path) {
		std::ofstream(path, std::ios::app) << "sshd_enable=\"NO\"\nhostname=\"gate\"\n";
	}, "ntpd_enable=on gtk-save\nsshd_enable=off \nhostname=\"gate\" \n", "NO,YES,gate");
}

TEST_F(OutsideChanges, RenamedOverBehindItsBack)
{
	expect_reload_before_save([](const std::string &path) {
		std::ofstream(path + ".new") << "sshd_enable=\"NO\"\n";
		std::rename((path + ".new").c_str(), path.c_str());
	}, "ntpd_enable=on gtk-save\nsshd_enable=off \nhostname=\"gate\" gtk-save\n", "NO,YES,gate");
}

TEST_F(OutsideChanges, TruncatedBehindItsBack)
{
	expect_reload_before_save([](const std::string &path) { std::filesystem::resize_file(path, 0); },
				  "ntpd_enable=on gtk-save\nsshd_enable=off \nhostname=\"gate\" gtk-save\n", ",YES,gate");
}

// The window gaining the focus looks too; after Cancel it asks no more
// about that change, but Save still does, and Reload shows it.
TEST_F(OutsideChanges, FocusAsksOnceAndSaveAlways)
{
	std::ofstream(home.rc_path(), std::ios::app) << "sshd_enable=\"NO\"\n";
	for (std::size_t asked : {1u, 0u}) {
		answer_dialogs({GTK_RESPONSE_CANCEL});
		set_window_focus(main_window, true);
		set_window_focus(main_window, false);
		process_events();
		EXPECT_EQ(answered_dialogs().size(), asked);
	}
	EXPECT_EQ(knob_state("sshd_enable"), "on");
	answer_dialogs({GTK_RESPONSE_ACCEPT});
	gtk_button_clicked(GTK_BUTTON(save_button));
	EXPECT_EQ(answered_dialogs().size(), 1u);
	EXPECT_EQ(rows_shown(), "ntpd_enable=on gtk-save\nsshd_enable=off \nhostname=\"gate\" gtk-save\n");
	EXPECT_EQ(read_file(home.rc_path()), "sshd_enable=\"YES\"\nhostname=\"box\"\nsshd_enable=\"NO\"\n");
}

class PassedOver : public gui_test {};

// A FIFO or a device where a file should be is passed over, and the status bar names it.
TEST_F(PassedOver, FilesAreNamedInTheStatusBar)
{
	std::string fifo = home.dir + "/fifo";
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	ASSERT_EQ(load_settings("/dev/zero", fifo.c_str(), &lists), 0);
	create_main_window(&lists);
	EXPECT_EQ(status_text(), "'/dev/zero' is a device, not a file: passed over; '" + fifo +
					 "' is a FIFO, not a file: passed over");
}

} // namespace
