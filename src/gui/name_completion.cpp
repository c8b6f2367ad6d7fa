// The add window's name completion: samples of the defaults and this machine's interfaces.
#include "gui/name_completion.h"

#include "boot/addable_names.h"
#include "files/system_root.h"
#include "gui/display_text.h"
#include "gui/editing.h"
#include "gui/main_window.h"

#include <string>

namespace {

// Columns of the completion's list.
enum { offer_name = 0, offer_value, offer_note };

// The fields the completion works on; set while the add window is open.
GtkEntry *value_field;
GtkLabel *note_label;

// What the value field takes of a sample: a knob's word, a string as it
// reads in rc.conf; nothing for an empty one, which an empty field means.
std::string typed_form(const rc_entry &sample)
{
	if (sample.is_knob != 0)
		return sample.knob_on != 0 ? "YES" : "NO";
	std::string value = display_text(field_text(sample.value));
	return value == "\"\"" ? "" : value;
}

std::string trimmed(std::string text)
{
	std::size_t first = text.find_first_not_of(" \t");
	return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The note of the offered name that name holds exactly, "" for none.
std::string note_of(GtkTreeModel *offers, const char *name)
{
	GtkTreeIter iter;
	for (gboolean more = gtk_tree_model_get_iter_first(offers, &iter); more;
	     more = gtk_tree_model_iter_next(offers, &iter)) {
		gchar *offered = nullptr;
		gchar *note = nullptr;
		gtk_tree_model_get(offers, &iter, offer_name, &offered, offer_note, &note, -1);
		bool same = g_strcmp0(offered, name) == 0;
		std::string found = same && note != nullptr ? note : "";
		g_free(offered);
		g_free(note);
		if (same)
			return found;
	}
	return "";
}

void on_name_changed(GtkEditable *name, gpointer completion)
{
	GtkTreeModel *offers = gtk_entry_completion_get_model(GTK_ENTRY_COMPLETION(completion));
	std::string note = note_of(offers, gtk_entry_get_text(GTK_ENTRY(name)));
	gtk_label_set_text(note_label, note.c_str());
	gtk_widget_set_visible(GTK_WIDGET(note_label), !note.empty());
}

gboolean on_completion_match_selected(GtkEntryCompletion *, GtkTreeModel *offers, GtkTreeIter *iter, gpointer)
{
	gchar *value = nullptr;
	gtk_tree_model_get(offers, iter, offer_value, &value, -1);
	gtk_entry_set_text(value_field, value != nullptr ? value : "");
	g_free(value);
	// The toolkit then puts the name into the field, which shows its note.
	return FALSE;
}

void on_name_destroy(GtkWidget *, gpointer)
{
	value_field = nullptr;
	note_label = nullptr;
}

} // namespace

void offer_names(GtkEntry *name, GtkEntry *value, GtkLabel *note)
{
	value_field = value;
	note_label = note;
	GtkListStore *offers = gtk_list_store_new(3, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
	// Another root's interfaces are not this machine's.
	for (const rc_entry &offered : addable_names(system_root().empty())) {
		if (find_entry(gui_knobs, gui_knob_count, offered.name) >= 0 ||
		    find_entry(gui_strings, gui_string_count, offered.name) >= 0)
			continue;
		GtkTreeIter row;
		gtk_list_store_append(offers, &row);
		std::string shown = display_text(field_text(offered.name));
		std::string note = trimmed(display_text(field_text(offered.comment)));
		gtk_list_store_set(offers, &row, offer_name, shown.c_str(), offer_value, typed_form(offered).c_str(),
				   offer_note, note.c_str(), -1);
	}
	GtkEntryCompletion *completion = gtk_entry_completion_new();
	gtk_entry_completion_set_model(completion, GTK_TREE_MODEL(offers));
	g_object_unref(offers);
	gtk_entry_completion_set_text_column(completion, offer_name);
	gtk_entry_completion_set_minimum_key_length(completion, 1);
	gtk_entry_set_completion(name, completion);
	g_object_unref(completion);
	g_signal_connect(completion, "match-selected", G_CALLBACK(on_completion_match_selected), nullptr);
	g_signal_connect(name, "changed", G_CALLBACK(on_name_changed), completion);
	g_signal_connect(name, "destroy", G_CALLBACK(on_name_destroy), nullptr);
	gtk_widget_set_no_show_all(GTK_WIDGET(note), TRUE);
	gtk_widget_hide(GTK_WIDGET(note));
}
