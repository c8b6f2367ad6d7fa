// The order of the window's changes, latest last, and the state or value Reset to Default gives an entry.
#include "edit/undo.h"

#include "boot/defaults.h"
#include "shell/value_check.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {

// Names of the entries changed, each once, in the order of their latest
// change. A name whose entry is no longer changed stays until it is passed.
std::vector<std::string> change_order;
// The same names, so that filling the lists with many changes is not quadratic.
std::unordered_set<std::string> ordered;

} // namespace

void forget_change_order()
{
	change_order.clear();
	ordered.clear();
}

void note_change(std::string_view name)
{
	if (!ordered.emplace(name).second)
		change_order.erase(std::find(change_order.begin(), change_order.end(), name));
	change_order.emplace_back(name);
}

void note_pending(std::string_view name)
{
	if (ordered.emplace(name).second)
		change_order.emplace_back(name);
}

std::string take_last_change(const std::function<bool(const std::string &)> &still_changed)
{
	while (!change_order.empty()) {
		std::string name = std::move(change_order.back());
		change_order.pop_back();
		ordered.erase(name);
		if (still_changed(name))
			return name;
	}
	return "";
}

bool with_default(const rc_entry &entry, rc_entry *reset)
{
	const default_value *d = default_of(field_text(entry.name));
	if (d == nullptr || holds_default(entry))
		return false;
	*reset = entry;
	if (entry.is_knob != 0) {
		reset->knob_on = d->on ? 1 : 0;
		return d->knob;
	}
	std::string value = default_text(*d);
	// A default shown as written, or cut, is no value to write.
	return copy_field(reset->value, value) == 0 && check_value(value) == value_fault::none &&
	       !names_equal(reset->value, entry.value);
}
