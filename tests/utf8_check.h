// Whether bytes are valid UTF-8, as text meant for the window must be.
#pragma once

#include <string>

// Whether text is made of whole UTF-8 sequences.
inline bool is_utf8(const std::string &text)
{
	for (std::size_t i = 0; i < text.size();) {
		auto c = static_cast<unsigned char>(text[i]);
		std::size_t n = c < 0x80 ? 1 : c >= 0xc2 && c < 0xe0 ? 2 : c >= 0xe0 && c < 0xf0 ? 3 : c >= 0xf0 && c < 0xf5 ? 4 : 0;
		if (n == 0 || i + n > text.size())
			return false;
		for (std::size_t k = 1; k < n; k++)
			if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
				return false;
		i += n;
	}
	return true;
}
