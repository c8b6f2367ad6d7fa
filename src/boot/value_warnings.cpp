// rc.subr's reading of yes/no values, and the warnings of values the boot takes otherwise than written.
#include "boot/value_warnings.h"

#include "boot/boot_value.h"

namespace {

constexpr std::string_view yes_words[] = {"YES", "TRUE", "ON", "1"};
constexpr std::string_view no_words[] = {"NO", "FALSE", "OFF", "0"};

// Values a script reads itself before rc.subr's test sees them.
struct script_word {
	std::string_view variable;
	std::string_view word; // in any case
};
constexpr script_word script_words[] = {
	{"sendmail_enable", "NONE"}, // rc.d/sendmail turns it into NO for all of sendmail's daemons
};

template <std::size_t N> bool among(std::string_view value, const std::string_view (&words)[N])
{
	for (std::string_view word : words)
		if (equal_ignoring_case(value, word))
			return true;
	return false;
}

// A decimal number with an optional sign, or a hexadecimal one.
bool is_number(std::string_view value)
{
	bool hex = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
	std::size_t at = hex ? 2 : value.size() > 1 && (value[0] == '-' || value[0] == '+') ? 1 : 0;
	if (at >= value.size())
		return false;
	for (; at < value.size(); at++) {
		char c = value[at];
		bool digit = c >= '0' && c <= '9';
		if (!digit && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
			return false;
	}
	return true;
}

bool ends_with(std::string_view text, std::string_view end)
{
	return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

yes_no read_yes_no(std::string_view value)
{
	if (among(value, yes_words))
		return yes_no::yes;
	if (among(value, no_words))
		return yes_no::no;
	return yes_no::neither;
}

value_warning warning_of(std::string_view name, std::string_view type, const shell_value &at_boot)
{
	bool unset = at_boot.kind == shell_kind::unset;
	if (!unset && at_boot.kind != shell_kind::known)
		return value_warning::none;
	if (ends_with(name, "_enable") || type == "bool") {
		for (const script_word &w : script_words)
			if (name == w.variable && equal_ignoring_case(at_boot.text, w.word))
				return value_warning::none;
		return unset || read_yes_no(at_boot.text) == yes_no::neither ? value_warning::not_yes_no : value_warning::none;
	}
	if (type == "int" && !unset && !at_boot.text.empty() && !equal_ignoring_case(at_boot.text, "NO") &&
	    !is_number(at_boot.text))
		return value_warning::not_number;
	return value_warning::none;
}

value_warning entry_warning(const rc_entry &entry, std::string_view type)
{
	// Only a yes/no or a number can be misread: the others need no value worked out.
	std::string_view name = field_text(entry.name);
	if (!ends_with(name, "_enable") && type != "bool" && type != "int")
		return value_warning::none;
	return warning_of(name, type, entry_value_at_boot(entry));
}
