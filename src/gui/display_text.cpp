// Making texts read from rc.conf fit to be shown: rc.conf files in Latin-1 or KOI8-R exist.
#include "gui/display_text.h"

#include <glib.h>

namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";
constexpr std::string_view ellipsis = "\xE2\x80\xA6";
constexpr std::string_view line_break = "\xE2\x8F\x8E"; // RETURN SYMBOL, for a value that spans lines

} // namespace

std::string display_text(std::string_view bytes, bool cut)
{
	std::string shown;
	shown.reserve(bytes.size() + ellipsis.size());
	while (!bytes.empty()) {
		const gchar *end = nullptr;
		g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), &end);
		std::size_t valid = static_cast<std::size_t>(end - bytes.data());
		for (std::string_view rest = bytes.substr(0, valid); !rest.empty();) {
			std::size_t newline = rest.find('\n');
			shown.append(rest.substr(0, newline));
			if (newline == std::string_view::npos)
				break;
			shown.append(line_break);
			rest.remove_prefix(newline + 1);
		}
		if (valid == bytes.size())
			break;
		// A NUL is not invalid UTF-8, but it would end the text early.
		shown.append(replacement_character);
		bytes.remove_prefix(valid + 1);
	}
	if (cut)
		shown.append(ellipsis);
	return shown;
}
