// The About dialog: one dialog however often About is pressed, and what it shows.
#include "gui/icons.h"
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<GtkAboutDialog *> shown_about_dialogs()
{
	std::vector<GtkAboutDialog *> found;
	GList *windows = gtk_window_list_toplevels();
	for (GList *l = windows; l != nullptr; l = l->next) {
		if (GTK_IS_ABOUT_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
			found.push_back(GTK_ABOUT_DIALOG(l->data));
	}
	g_list_free(windows);
	return found;
}

// Opens an empty main window and presses its About button presses times.
GtkAboutDialog *press_about(int presses)
{
	static rc_lists lists{};
	create_main_window(&lists);
	for (int i = 0; i < presses; i++)
		gtk_button_clicked(GTK_BUTTON(row_button(2)));
	process_events();
	std::vector<GtkAboutDialog *> dialogs = shown_about_dialogs();
	return dialogs.size() == 1 ? dialogs[0] : nullptr;
}

bool is_lower(char c)
{
	return c >= 'a' && c <= 'z';
}

std::vector<std::string> lines_of(const std::string &text)
{
	std::vector<std::string> lines;
	std::istringstream in(text);
	for (std::string line; std::getline(in, line);)
		lines.push_back(line);
	return lines;
}

// Runs with a scratch HOME and fails on toolkit criticals.
class About : public gui_test {};

} // namespace

TEST_F(About, TwoPressesShowOneDialog)
{
	GtkAboutDialog *about = press_about(2);
	ASSERT_NE(about, nullptr);
	EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(about)), GTK_WINDOW(main_window));
}

TEST_F(About, ShowsNameVersionCommentsAndLogo)
{
	GtkAboutDialog *about = press_about(1);
	ASSERT_NE(about, nullptr);
	EXPECT_STREQ(gtk_about_dialog_get_program_name(about), "Kelvane");
	EXPECT_STREQ(gtk_about_dialog_get_version(about), "0.6.8 \"Lanternfall\"");
	EXPECT_STREQ(gtk_about_dialog_get_comments(about), "A user-friendly rc.conf editor");
	ASSERT_NE(logo_pixbuf, nullptr);
	EXPECT_EQ(gtk_about_dialog_get_logo(about), logo_pixbuf);
	EXPECT_NE(gtk_about_dialog_get_copyright(about), nullptr);
	EXPECT_TRUE(g_str_has_prefix(gtk_about_dialog_get_website(about), "https://"));
}

TEST_F(About, CreditsOneAuthorAndOneArtistWithAddress)
{
	GtkAboutDialog *about = press_about(1);
	ASSERT_NE(about, nullptr);
	const gchar *const *people[] = {gtk_about_dialog_get_authors(about), gtk_about_dialog_get_artists(about)};
	for (const gchar *const *list : people) {
		ASSERT_NE(list, nullptr);
		ASSERT_NE(list[0], nullptr);
		EXPECT_EQ(list[1], nullptr);
		EXPECT_TRUE(g_str_has_suffix(list[0], ">")) << list[0];
		EXPECT_NE(std::string(list[0]).find(" <"), std::string::npos) << list[0];
	}
}

TEST_F(About, LicenseIsBrokenByHandIntoShortLines)
{
	GtkAboutDialog *about = press_about(1);
	ASSERT_NE(about, nullptr);
	EXPECT_FALSE(gtk_about_dialog_get_wrap_license(about));
	std::string license = gtk_about_dialog_get_license(about);
	ASSERT_FALSE(license.empty());
	EXPECT_EQ(license.back(), '\n');
	std::vector<std::string> lines = lines_of(license);
	for (const std::string &line : lines)
		EXPECT_LE(line.size(), 78u) << line;
	ASSERT_GT(lines.size(), 3u);
	EXPECT_TRUE(g_str_has_suffix(lines[0].c_str(), "All rights reserved."));
	EXPECT_TRUE(g_str_has_suffix(lines[1].c_str(), "All rights reserved."));
	EXPECT_EQ(lines[2], "");
}

TEST_F(About, LicenseListsTwoConditionsThenCapitalDisclaimer)
{
	GtkAboutDialog *about = press_about(1);
	ASSERT_NE(about, nullptr);
	std::vector<std::string> lines = lines_of(gtk_about_dialog_get_license(about));
	int items = 0;
	for (const std::string &line : lines)
		items += line.rfind("* ", 0) == 0;
	EXPECT_EQ(items, 2);
	std::size_t disclaimer = lines.size();
	while (disclaimer > 0 && !lines[disclaimer - 1].empty())
		disclaimer--;
	ASSERT_LT(disclaimer, lines.size());
	for (std::size_t i = disclaimer; i < lines.size(); i++)
		EXPECT_TRUE(std::none_of(lines[i].begin(), lines[i].end(), is_lower)) << lines[i];
}
