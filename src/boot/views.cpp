// The tests of the views: where a value comes from, and whether it is its default's.
#include "boot/views.h"

#include "boot/boot_value.h"
#include "boot/defaults.h"
#include "boot/sources.h"

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
	shell_value before = default_value_at_boot(field_text(entry.name));
	return now.kind != shell_kind::known || before.kind != shell_kind::known || now.text != before.text;
}
