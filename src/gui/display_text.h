// Texts from rc.conf as the toolkit may show them.
#pragma once

#include <string>
#include <string_view>

// bytes as valid UTF-8 on one line: each byte that is not part of a UTF-8
// character becomes U+FFFD, a line break U+23CE; a text that was cut ends in
// an ellipsis.
std::string display_text(std::string_view bytes, bool cut = false);
