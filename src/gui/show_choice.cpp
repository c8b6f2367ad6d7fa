// The Show choice, and which rows each of its views holds.
#include "gui/show_choice.h"

#include "boot/views.h"
#include "gui/i18n.h"
#include "gui/main_window.h"

namespace {

// The rows each choice shows.
enum class shown_rows { all, set_here, changed };

GtkWidget *combo;

// In the order of the combo box's items.
constexpr const char *choice_texts[] = {N_("All variables"), N_("Set on this machine"), N_("Changed from defaults")};

void on_show_combo_changed(GtkComboBox *, gpointer)
{
	fill_lists();
}

// The choice now.
shown_rows shown_choice()
{
	int active = combo != nullptr ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : 0;
	return active == 1 ? shown_rows::set_here : active == 2 ? shown_rows::changed : shown_rows::all;
}

} // namespace

GtkWidget *new_show_choice()
{
	GtkWidget *box = gtk_hbox_new(FALSE, 6);
	// TRANSLATORS: heads the choice of which variables the lists show.
	GtkWidget *label = gtk_label_new_with_mnemonic(_("Sh_ow:"));
	combo = gtk_combo_box_new_text();
	for (const char *text : choice_texts)
		gtk_combo_box_append_text(GTK_COMBO_BOX(combo), _(text));
	gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
	gtk_label_set_mnemonic_widget(GTK_LABEL(label), combo);
	g_signal_connect(combo, "changed", G_CALLBACK(on_show_combo_changed), nullptr);
	gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(box), combo, FALSE, FALSE, 0);
	return box;
}

bool row_shown(const rc_entry &entry)
{
	if (entry.modified == 1 || entry.is_new != 0)
		return true;
	switch (shown_choice()) {
	case shown_rows::set_here:
		return set_on_machine(entry);
	case shown_rows::changed:
		return changed_from_default(entry);
	case shown_rows::all:
		break;
	}
	return true;
}
