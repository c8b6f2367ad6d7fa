// The Show choice, and which rows each of its views holds.
#include "gui/show_choice.h"

#include "gui/i18n.h"
#include "gui/main_window.h"
#include "rcfile/boot_value.h"
#include "rcfile/defaults.h"
#include "rcfile/sources.h"

#include <cstring>

namespace {

GtkWidget *combo;

// In the order of the combo box's items.
constexpr const char *choice_texts[] = {N_("All variables"), N_("Set on this machine"), N_("Changed from defaults")};

// A default as an entry of name read from no file, so that its own text is
// worked out against the values at boot.
rc_entry default_entry(const rc_entry &of, const default_value &d)
{
	rc_entry entry{};
	std::memcpy(entry.name, of.name, field_size);
	entry.is_knob = d.knob;
	entry.knob_on = entry.saved_knob_on = d.on;
	copy_field(entry.value, d.text);
	copy_field(entry.saved_value, d.text);
	return entry;
}

void on_show_combo_changed(GtkComboBox *, gpointer)
{
	fill_lists();
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

shown_rows shown_choice()
{
	int active = combo != nullptr ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : 0;
	return active == 1 ? shown_rows::set_here : active == 2 ? shown_rows::changed : shown_rows::all;
}

bool set_on_machine(const rc_entry &entry)
{
	const source_file *file = source_of(entry);
	return file != nullptr && (file->kind == source_kind::machine || file->kind == source_kind::later ||
				   file->kind == source_kind::service_file);
}

bool changed_from_default(const rc_entry &entry)
{
	const default_value *d = default_of(field_text(entry.name));
	if (d == nullptr)
		return true;
	if (holds_default(entry))
		return false;
	shell_value now = entry_value_at_boot(entry);
	shell_value before = entry_value_at_boot(default_entry(entry, *d));
	return now.kind != shell_kind::known || before.kind != shell_kind::known || now.text != before.text;
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
