// The details area: a label a screen reader reads, under the lists, telling all that is known of the selected row.
#include "gui/details_pane.h"

#include "boot/boot_value.h"
#include "boot/defaults.h"
#include "boot/descriptions.h"
#include "boot/services.h"
#include "boot/sources.h"
#include "boot/value_warnings.h"
#include "gui/display_text.h"
#include "gui/i18n.h"
#include "gui/main_window.h"
#include "manual/manual_page.h"

#include <algorithm>
#include <string_view>

namespace {

// TRANSLATORS: %1$s is a file, %2$d a line of it.
constexpr const char *set_in_line = N_("Set in '%1$s', line %2$d.");
// TRANSLATORS: %s is a file.
constexpr const char *set_in = N_("Set in '%s'.");
// TRANSLATORS: %1$s is an rc.d script, %2$d its line.
constexpr const char *default_in_script = N_("The default of the script '%1$s', line %2$d.");
// TRANSLATORS: %s is the service whose rc.conf.d file sets the row.
constexpr const char *read_when_starts = N_("It is read when %s starts.");
constexpr const char *changed_here = N_("Changed here, not saved yet.");
constexpr const char *added_here = N_("Added here, not saved yet.");
// TRANSLATORS: %s is a value, as rc.conf writes it.
constexpr const char *default_is = N_("Default: %s");
constexpr const char *no_default = N_("No default: only this machine's files set it.");
// TRANSLATORS: %s is a type as rc.conf(5) gives it: bool, str, int.
constexpr const char *type_is = N_("Type: %s");
// TRANSLATORS: %s is the text sh gives the value at boot.
constexpr const char *at_boot_is = N_("At boot: \"%s\"");
constexpr const char *at_boot_on = N_("At boot: on, as rc.subr reads this value.");
constexpr const char *at_boot_off = N_("At boot: off, as rc.subr reads this value.");
constexpr const char *at_boot_command = N_("At boot: the value runs a command, whose output it becomes.");
constexpr const char *at_boot_unknown = N_("At boot: what the value becomes cannot be worked out here.");
constexpr const char *warning_yes_no =
	N_("Warning: rc.subr does not read this value as YES or NO; it warns at boot and takes it as NO.");
constexpr const char *warning_number = N_("Warning: this setting takes a number, and its value is none.");

// Rows of the details area the height of this many lines of text, scrolled beyond.
constexpr int details_lines = 5;
// Pixels of the area's width the text leaves for the vertical scroll bar.
constexpr int details_margin = 24;

GtkWidget *expander;
GtkWidget *details_label;

// The installed rc.conf(5), read when first wanted.
manual_page page;
bool page_read;

const manual_page &manual()
{
	if (!page_read) {
		read_installed_manual_page(page);
		page_read = true;
	}
	return page;
}

// What the page says of entry's variable, nullptr for nothing; nothing
// either, before the page is read, unless read_page.
const manual_entry *manual_entry_of(const rc_entry &entry, bool *mentioned, bool read_page = true)
{
	*mentioned = false;
	if (!read_page && !page_read)
		return nullptr;
	manual_match match = find_in_manual(manual(), field_text(entry.name));
	*mentioned = match.mentioned;
	return match.entry;
}

const service_script *service_of(const rc_entry &entry)
{
	const source_file *file = source_of(entry);
	if (file != nullptr && !file->service.empty())
		return service_named(file->service);
	return nullptr;
}

// The short description: the defaults' whole comment, the service's, or the row's own comment.
std::string short_description(const rc_entry &entry)
{
	std::string name(field_text(entry.name));
	if (const service_script *service = service_of(entry))
		return describe_variable(service->name, name);
	std::string described = description_of(name);
	if (!described.empty())
		return described;
	std::string comment(field_text(entry.comment));
	std::size_t words = comment.find_first_not_of(" \t");
	return words == std::string::npos ? "" : comment.substr(words);
}

std::string where_set(const rc_entry &entry)
{
	if (entry.is_new != 0)
		return _(added_here);
	std::string where;
	const source_file *file = source_of(entry);
	if (file != nullptr) {
		std::string path = display_text(file->path);
		if (file->kind == source_kind::script)
			where = format_text(_(default_in_script), path.c_str(), entry.line);
		else if (entry.line > 0)
			where = format_text(_(set_in_line), path.c_str(), entry.line);
		else
			where = format_text(_(set_in), path.c_str());
		if (file->kind == source_kind::service_file)
			where += " " + format_text(_(read_when_starts), display_text(file->service).c_str());
	}
	if (entry.modified == 1)
		where = _(changed_here) + (where.empty() ? "" : " " + where);
	return where;
}

// The row's own text as sh reads it, where no expansion is in it.
std::string written_text(const rc_entry &entry)
{
	if (entry.is_knob != 0)
		return entry.knob_on != 0 ? "YES" : "NO";
	std::string_view value = field_text(entry.value);
	if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
		value = value.substr(1, value.size() - 2);
	return std::string(value);
}

// A variable rc.subr tests with checkyesno.
bool is_yes_no_variable(const rc_entry &entry, const std::string &type)
{
	std::string_view name = field_text(entry.name);
	bool enable = name.size() > 7 && name.substr(name.size() - 7) == "_enable";
	const service_script *service = service_of(entry);
	return enable || type == "bool" || (service != nullptr && service->rcvar == name);
}

// What the boot makes of the value, when that says more than its text does.
std::string at_boot(const rc_entry &entry, const std::string &type)
{
	shell_value value = entry_value_at_boot(entry);
	switch (value.kind) {
	case shell_kind::runs_command:
		return _(at_boot_command);
	case shell_kind::unknown:
		return _(at_boot_unknown);
	case shell_kind::unset:
		return "";
	case shell_kind::known:
		break;
	}
	if (is_yes_no_variable(entry, type) && entry.is_knob == 0) {
		yes_no read = read_yes_no(value.text);
		bool plain = value.text == "YES" || value.text == "NO";
		if (read != yes_no::neither && !plain)
			return _(read == yes_no::yes ? at_boot_on : at_boot_off);
	}
	if (value.text == written_text(entry))
		return "";
	return format_text(_(at_boot_is), display_text(value.text).c_str());
}

void add_line(std::string &text, const std::string &line)
{
	if (line.empty())
		return;
	if (!text.empty())
		text += '\n';
	text += line;
}

// The text wraps at the width the area is given, and asks for none of its own:
// a long description never widens the window, which stays as the user made it.
void on_details_scrolled_size_allocate(GtkWidget *, GtkAllocation *allocation, gpointer)
{
	gint now = 0;
	gtk_widget_get_size_request(details_label, &now, nullptr);
	int width = std::max(1, allocation->width - details_margin);
	if (width != now)
		gtk_widget_set_size_request(details_label, width, -1);
}

void on_details_pane_destroy(GtkWidget *, gpointer)
{
	expander = nullptr;
	details_label = nullptr;
}

} // namespace

GtkWidget *new_details_pane(bool expanded)
{
	// TRANSLATORS: the title of the area under the lists that tells all about the selected row.
	expander = gtk_expander_new_with_mnemonic(_("_Details"));
	gtk_expander_set_expanded(GTK_EXPANDER(expander), expanded);
	details_label = gtk_label_new("");
	gtk_label_set_line_wrap(GTK_LABEL(details_label), TRUE);
	gtk_label_set_selectable(GTK_LABEL(details_label), TRUE);
	gtk_misc_set_alignment(GTK_MISC(details_label), 0.0, 0.0);
	GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
	gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
	gtk_widget_set_size_request(details_label, 1, -1);
	g_signal_connect(scrolled, "size-allocate", G_CALLBACK(on_details_scrolled_size_allocate), nullptr);
	g_signal_connect(expander, "destroy", G_CALLBACK(on_details_pane_destroy), nullptr);
	gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scrolled), details_label);
	gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(scrolled))), GTK_SHADOW_NONE);
	PangoLayout *layout = gtk_widget_create_pango_layout(details_label, "X");
	int line_height = 0;
	pango_layout_get_pixel_size(layout, nullptr, &line_height);
	g_object_unref(layout);
	gtk_widget_set_size_request(scrolled, -1, details_lines * line_height);
	gtk_container_add(GTK_CONTAINER(expander), scrolled);
	return expander;
}

std::string details_text(const rc_entry &entry)
{
	std::string name = display_text(field_text(entry.name));
	bool mentioned = false;
	const manual_entry *manual_text = manual_entry_of(entry, &mentioned);
	std::string type = type_of(entry);
	std::string text = name;
	// The page's text says what the setting means; the defaults' comment stands in without it.
	std::string description = manual_text != nullptr ? display_text(manual_text->text)
							 : display_text(short_description(entry));
	if (!description.empty())
		text += (manual_text != nullptr ? "\n" : ": ") + description;
	if (!type.empty())
		add_line(text, format_text(_(type_is), display_text(type).c_str()));
	add_line(text, where_set(entry));
	const default_value *d = default_of(field_text(entry.name));
	add_line(text, d != nullptr ? format_text(_(default_is), display_text(default_text(*d)).c_str()) : _(no_default));
	add_line(text, at_boot(entry, type));
	switch (entry_warning(entry, type)) {
	case value_warning::not_yes_no:
		add_line(text, _(warning_yes_no));
		break;
	case value_warning::not_number:
		add_line(text, _(warning_number));
		break;
	case value_warning::none:
		break;
	}
	return text;
}

void read_manual()
{
	manual();
}

void show_details(const rc_entry *entry)
{
	if (details_label == nullptr)
		return;
	std::string text = entry != nullptr ? details_text(*entry) : "";
	gtk_label_set_text(GTK_LABEL(details_label), text.c_str());
}

int details_shown()
{
	if (expander == nullptr)
		return -1;
	return gtk_expander_get_expanded(GTK_EXPANDER(expander)) ? 1 : 0;
}

std::string type_of(const rc_entry &entry, bool read_page)
{
	bool mentioned = false;
	const manual_entry *described = manual_entry_of(entry, &mentioned, read_page);
	if (described != nullptr && !mentioned && !described->type.empty())
		return described->type;
	if (const service_script *service = service_of(entry)) {
		if (const script_note *note = note_of(*service, std::string(field_text(entry.name))))
			return note->type;
	}
	return "";
}

bool has_warning(const rc_entry &entry)
{
	return entry_warning(entry, type_of(entry, false)) != value_warning::none;
}
