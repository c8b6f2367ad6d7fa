// The add window offers the names the boot knows that no row shows, and a chosen sample's value and comment.
#include "files/system_root.h"
#include "gui/main_window.h"
#include "gui_test_util.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

GtkLabel *note_under(GtkEntry *name)
{
	GtkWidget *frame = gtk_widget_get_parent(GTK_WIDGET(name));
	GList *children = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(frame)));
	GtkLabel *note = GTK_LABEL(g_list_nth_data(children, static_cast<guint>(g_list_index(children, frame) + 1)));
	g_list_free(children);
	return note;
}

class NameCompletion : public gui_test {
protected:
	void open(bool other_root)
	{
		if (other_root) {
			ASSERT_EQ(set_system_root(home.dir.c_str()), 0);
		}
		open_files("hostname=\"\"\n#hostname=\"sample of a row\"\n#kld_list=\"\"\t# Kernel modules to load\n"
			   "#geli_devices=\"da1 mirror/home\"\t# Devices to attach\n#sshd_enable=YES\n",
			   "");
		GtkWidget *window = press_add();
		ASSERT_NE(window, nullptr);
		name = add_field(window, "Name");
		value = add_field(window, "Value");
		offers = gtk_entry_completion_get_model(gtk_entry_get_completion(name));
	}

	std::vector<std::string> offered()
	{
		std::vector<std::string> names;
		GtkTreeIter iter;
		for (gboolean more = gtk_tree_model_get_iter_first(offers, &iter); more;
		     more = gtk_tree_model_iter_next(offers, &iter)) {
			gchar *text = nullptr;
			gtk_tree_model_get(offers, &iter, 0, &text, -1);
			names.push_back(text);
			g_free(text);
		}
		return names;
	}

	GtkEntry *name = nullptr;
	GtkEntry *value = nullptr;
	GtkTreeModel *offers = nullptr;
};

} // namespace

TEST_F(NameCompletion, OffersSamplesAndInterfacesAndFillsTheChosenOne)
{
	open(false);
	std::vector<std::string> names = offered();
	EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
	ASSERT_FALSE(names.empty());
	EXPECT_EQ(names[0], "geli_devices");
	// The loopback interface every machine has: lo0 on FreeBSD, lo here.
	EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string &n) { return n.rfind("ifconfig_lo", 0) == 0; }), 1);
	EXPECT_EQ(std::count(names.begin(), names.end(), "hostname"), 0);
	EXPECT_EQ(std::count(names.begin(), names.end(), "kld_list"), 1);
	GtkTreeIter iter;
	ASSERT_TRUE(gtk_tree_model_get_iter_first(offers, &iter));
	gboolean handled = FALSE;
	g_signal_emit_by_name(gtk_entry_get_completion(name), "match-selected", offers, &iter, &handled);
	EXPECT_STREQ(gtk_entry_get_text(value), "\"da1 mirror/home\"");
	gtk_entry_set_text(name, "geli_devices");
	EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(note_under(name))));
	EXPECT_STREQ(gtk_label_get_text(note_under(name)), "Devices to attach");
	gtk_entry_set_text(name, "geli_devices_x");
	EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(note_under(name))));
}

TEST_F(NameCompletion, AnotherRootsInterfacesAreNotThisMachines)
{
	open(true);
	std::vector<std::string> names = offered();
	EXPECT_EQ(names, (std::vector<std::string>{"geli_devices", "kld_list", "sshd_enable"}));
}
