// The window in each language the program speaks: its texts, its messages,
// its mnemonics and its buttons. The locale comes from KELVANE_TEST_LOCALE.
#include "gui/about_dialog.h"
#include "gui/details_pane.h"
#include "gui/editing.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "gui/mark_tips.h"
#include "gui_test_util.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// What the window shows in one language; English is the program's own.
struct language {
	const char *locale;
	const char *knobs_tab, *strings_tab, *value_title, *about, *add_title, *no_changes, *not_changed, *changed_tip;
	const char *no_default;
	const char *undo_item, *reset_item, *save_these;
};

constexpr language languages[] = {
	{"C.UTF-8", "Knobs", "Strings", "Value", "A_bout", "Add new entry", "There are no unsaved changes",
	 "The value of hostname was not changed", "Changed, not saved yet", "No default: only this machine's files set it.",
	 "_Undo Change", "_Reset to Default", "Save these changes:"},
	{"de_DE.UTF-8", "Schalter", "Werte", "Wert", "_Info", "Neuen Eintrag hinzufügen",
	 "Es gibt keine ungespeicherten Änderungen", "Der Wert von hostname wurde nicht geändert",
	 "Geändert, noch nicht gespeichert", "Keine Vorgabe: nur die Dateien dieses Rechners setzen sie.",
	 "Änderung _zurücknehmen", "Auf _Vorgabe zurücksetzen", "Diese Änderungen speichern:"},
	{"fr_FR.UTF-8", "Interrupteurs", "Valeurs", "Valeur", "À _propos", "Ajouter une entrée",
	 "Aucune modification à enregistrer", "La valeur de hostname n'a pas été modifiée",
	 "Modifiée, pas encore enregistrée",
	 "Aucune valeur par défaut : seuls les fichiers de cette machine la définissent.",
	 "_Annuler la modification", "_Rétablir la valeur par défaut", "Enregistrer ces modifications\u00a0:"},
	{"ru_RU.UTF-8", "Переключатели", "Значения", "Значение", "О _программе", "Добавить запись",
	 "Нет несохранённых изменений", "Значение hostname не изменено", "Изменено, ещё не сохранено",
	 "Значения по умолчанию нет: его задают только файлы этой машины.",
	 "_Отменить изменение", "_Сбросить к значению по умолчанию", "Сохранить эти изменения:"},
};

const language &current()
{
	const char *locale = std::getenv("KELVANE_TEST_LOCALE");
	for (const language &l : languages)
		if (locale != nullptr && std::strcmp(locale, l.locale) == 0)
			return l;
	return languages[1];
}

GtkWidget *toplevel_of_type(GType type)
{
	GList *windows = gtk_window_list_toplevels();
	GtkWidget *found = nullptr;
	for (GList *l = windows; l != nullptr; l = l->next)
		if (G_TYPE_CHECK_INSTANCE_TYPE(l->data, type) && gtk_widget_get_visible(GTK_WIDGET(l->data)) &&
		    l->data != main_window)
			found = GTK_WIDGET(l->data);
	g_list_free(windows);
	return found;
}

bool begins_with_capital(const std::string &text)
{
	return !text.empty() && g_unichar_isupper(g_utf8_get_char(text.c_str()));
}

class Language : public gui_test {
protected:
	void SetUp() override
	{
		gui_test::SetUp();
		open_lists({{"sshd_enable", 1}, {"wpa_supplicant_enable_long"}},
			   {{"hostname", "\"box\"", "the host"},
			    {"rfcomm_pppd_server_two_channel", "\"inet 192.168.100.200 netmask 255.255.255.0\""}});
		ASSERT_TRUE(wait_for([] { return gtk_widget_get_mapped(main_window); }));
	}
};

// The window, its row menu, the Save tip and the messages speak the language.
TEST_F(Language, WindowAndMessagesSpeakTheLanguage)
{
	const language &l = current();
	GtkNotebook *book = GTK_NOTEBOOK(notebook);
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 0)), l.knobs_tab);
	EXPECT_STREQ(gtk_notebook_get_tab_label_text(book, gtk_notebook_get_nth_page(book, 1)), l.strings_tab);
	// S marks the changed rows: no word to translate.
	for (int page = 0; page < 2; page++)
		EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(page_view(page), 0)), "S");
	EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(page_view(1), 2)), l.value_title);
	EXPECT_STREQ(mark_meaning(change_mark), l.changed_tip);
	select_row(1, "hostname");
	EXPECT_EQ(details_text(lists.strings[0]), std::string("hostname: the host\n") + l.no_default);
	EXPECT_EQ(widgets_under(row_button(2),
			  [&](GtkWidget *w) {
				  return GTK_IS_LABEL(w) && std::strcmp(gtk_label_get_label(GTK_LABEL(w)), l.about) == 0;
			  }).size(),
		  1u);
	std::vector<std::string> items;
	GtkWidget *menu = GTK_WIDGET(gtk_menu_get_for_attach_widget(knob_view)->data);
	for (GtkWidget *label : widgets_under(menu, [](GtkWidget *w) { return GTK_IS_LABEL(w); }))
		items.push_back(gtk_label_get_label(GTK_LABEL(label)));
	EXPECT_EQ(items, (std::vector<std::string>{l.undo_item, l.reset_item}));
	GtkWidget *window = press_add();
	ASSERT_NE(window, nullptr);
	EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), l.add_title);

	EXPECT_EQ(press_save().text, l.no_changes);
	toggle_knob("sshd_enable");
	EXPECT_EQ(tip_text(save_button), std::string(l.save_these) + "\nsshd_enable: \"YES\" -> \"NO\"");
	answer_dialogs({GTK_RESPONSE_CLOSE});
	edit_value("hostname", "\"a\" \"b\"");
	process_events();
	ASSERT_EQ(answered_dialogs().size(), 1u);
	const seen_dialog &refused = answered_dialogs()[0];
	EXPECT_EQ(refused.title, "Kelvane");
	EXPECT_EQ(refused.text, l.not_changed);
	EXPECT_TRUE(begins_with_capital(refused.detail)) << refused.detail;
}

// A mnemonic picks one widget: two labels with the same key in one window
// leave one of them out of reach.
TEST_F(Language, MnemonicsAreUniqueInEveryWindow)
{
	on_about_clicked(nullptr, nullptr);
	ASSERT_TRUE(wait_for([] { return toplevel_of_type(GTK_TYPE_ABOUT_DIALOG) != nullptr; }));
	GList *menus = gtk_menu_get_for_attach_widget(knob_view);
	ASSERT_NE(menus, nullptr);
	const struct {
		const char *window;
		GtkWidget *root;
		std::size_t least;
	} cases[] = {
		{"main", main_window, 4},
		{"add", press_add(), 2},
		{"about", toplevel_of_type(GTK_TYPE_ABOUT_DIALOG), 3},
		{"row menu", GTK_WIDGET(menus->data), 2},
	};
	for (const auto &c : cases) {
		ASSERT_NE(c.root, nullptr) << c.window;
		std::map<guint, std::string> keys;
		for (GtkWidget *label : widgets_under(c.root, [](GtkWidget *w) {
			     return GTK_IS_LABEL(w) && gtk_label_get_mnemonic_keyval(GTK_LABEL(w)) != GDK_VoidSymbol;
		     })) {
			guint key = gdk_keyval_to_lower(gtk_label_get_mnemonic_keyval(GTK_LABEL(label)));
			const char *text = gtk_label_get_label(GTK_LABEL(label));
			auto [at, added] = keys.emplace(key, text);
			EXPECT_TRUE(added) << c.window << ": \"" << text << "\" and \"" << at->second << "\"";
		}
		EXPECT_GE(keys.size(), c.least) << c.window;
	}
}

// Every button of the main and the add window shows its icon and label
// whole, with room to spare on both sides, at the window's first size.
TEST_F(Language, ButtonsFitTheirLabels)
{
	constexpr int least_room = 12; // pixels between the button's edge and what it shows
	std::vector<GtkWidget *> buttons;
	for (int i = 0; i < 4; i++)
		buttons.push_back(row_button(i));
	GtkWidget *window = press_add();
	ASSERT_NE(window, nullptr);
	for (GtkWidget *button : widgets_under(window, [](GtkWidget *w) { return GTK_IS_BUTTON(w); }))
		buttons.push_back(button);
	ASSERT_TRUE(wait_for([&] { return gtk_widget_get_mapped(buttons.back()); }));
	process_events();
	for (GtkWidget *button : buttons) {
		GtkAllocation outer, label, image;
		gtk_widget_get_allocation(button, &outer);
		std::vector<GtkWidget *> labels = widgets_under(button, [](GtkWidget *w) { return GTK_IS_LABEL(w); });
		std::vector<GtkWidget *> images = widgets_under(button, [](GtkWidget *w) { return GTK_IS_IMAGE(w); });
		ASSERT_EQ(labels.size(), 1u);
		ASSERT_EQ(images.size(), 1u);
		const char *text = gtk_label_get_label(GTK_LABEL(labels[0]));
		GtkRequisition natural;
		gtk_widget_size_request(labels[0], &natural);
		gtk_widget_get_allocation(labels[0], &label);
		gtk_widget_get_allocation(images[0], &image);
		EXPECT_GE(label.width, natural.width) << text;
		int left = std::min(label.x, image.x), right = std::max(label.x + label.width, image.x + image.width);
		EXPECT_GE(left - outer.x, least_room) << text;
		EXPECT_GE(outer.x + outer.width - right, least_room) << text;
	}
}

// Without a remembered size the longest name of each list shows whole, and
// nothing scrolls sideways: the check boxes and a typical value show too.
TEST_F(Language, FirstWidthShowsNamesAndValuesWhole)
{
	const char *longest[] = {"wpa_supplicant_enable_long", "rfcomm_pppd_server_two_channel"};
	for (int page = 0; page < 2; page++) {
		gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
		GtkTreeView *view = page_view(page);
		GtkAdjustment *side = gtk_tree_view_get_hadjustment(view);
		PangoLayout *layout = gtk_widget_create_pango_layout(GTK_WIDGET(view), longest[page]);
		int name_width = 0;
		pango_layout_get_pixel_size(layout, &name_width, nullptr);
		g_object_unref(layout);
		EXPECT_TRUE(wait_for([&] {
			return gtk_widget_get_mapped(GTK_WIDGET(view)) && gtk_adjustment_get_page_size(side) > 1 &&
			       gtk_adjustment_get_upper(side) <= gtk_adjustment_get_page_size(side) &&
			       gtk_tree_view_column_get_width(gtk_tree_view_get_column(view, column_name)) >= name_width;
		})) << longest[page];
	}
}

// Typing reaches the list at once; text only the other tab holds brings it
// to the front, where Enter opens the value found; Ctrl+Page Up goes back,
// and Space in a search ticks the knob found.
TEST_F(Language, KeyboardFindsAndActsAcrossTabs)
{
	set_window_focus(main_window, true);
	EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(main_window)), knob_view);
	send_keys(knob_view, "hostn");
	EXPECT_TRUE(wait_for([] { return status_text() == "the host"; }));
	EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook)), 1);
	send_key(string_view, GDK_Return);
	EXPECT_TRUE(wait_for([] { return value_editor_entry() != nullptr; }));
	send_key(main_window, GDK_Page_Up, GDK_CONTROL_MASK);
	EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook)), 0);
	EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(main_window)), knob_view);
	EXPECT_EQ(status_text(), "") << "no knob is selected";
	send_keys(knob_view, "sshd");
	EXPECT_TRUE(wait_for([] { return gtk_grab_get_current() != nullptr; })) << "no search box";
	send_key(knob_view, GDK_space);
	EXPECT_FALSE(cell_state(0));
	EXPECT_EQ(pending_changes, 1);
}

// The add window's questions in the language, for a name in the list and a
// command at boot, and a value typed without quotes.
TEST_F(Language, AddWindowAsksInTheLanguage)
{
	GtkWidget *window = press_add();
	const struct {
		const char *name, *value, *question;
	} cases[] = {{"hostname", "x", "%s is already in the list. Go to its row?"},
		     {"label", "$(hostname -s)", "The value of %s runs a command at every boot. Keep it?"}};
	for (const auto &c : cases) {
		type_into(window, c.name, c.value);
		std::vector<seen_dialog> seen = press_apply(window, GTK_RESPONSE_YES);
		ASSERT_EQ(seen.size(), 1u) << c.name;
		EXPECT_EQ(seen[0].text, format_text(_(c.question), c.name));
	}
	// In name order, between hostname and rfcomm_pppd_server_two_channel.
	EXPECT_STREQ(gui_strings[1].name, "label");
	EXPECT_STREQ(gui_strings[1].value, "\"$(hostname -s)\"");
}

// A window that cannot save says why above the lists, in the language, and
// a click on a value says why nothing happens.
class ReadOnlyLanguage : public gui_test {};

TEST_F(ReadOnlyLanguage, WindowSaysWhy)
{
	const std::string path = home.dir + "/no-such-folder/rc.conf";
	setenv("KELVANE_RC", path.c_str(), 1);
	open_lists({}, {{"hostname", "\"box\""}});
	GList *children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(main_window))));
	EXPECT_EQ(std::string(gtk_label_get_text(GTK_LABEL(children->data))),
		  format_text(_("You may not change '%s': run Kelvane as root to save changes."), path.c_str()));
	g_list_free(children);
	answer_dialogs({GTK_RESPONSE_CLOSE});
	open_value_editor("hostname");
	ASSERT_TRUE(wait_for([] { return !answered_dialogs().empty(); }));
	EXPECT_EQ(answered_dialogs()[0].text, format_text(_("The value of %s cannot be edited here"), "hostname"));
}

} // namespace
