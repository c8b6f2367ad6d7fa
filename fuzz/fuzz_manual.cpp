// Fuzz target: reads arbitrary bytes as a manual page's file, plain or gzip-compressed, and finds each entry's variables in what it gives.
#include "manual/manual_file.h"
#include "manual/manual_page.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Whether text is valid UTF-8 with no control character but a tab or a line break.
bool plain_utf8(std::string_view text)
{
	for (std::size_t i = 0; i < text.size();) {
		auto c = static_cast<unsigned char>(text[i]);
		if (c < 0x80) {
			if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f)
				return false;
			i++;
			continue;
		}
		std::size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
		if (c < 0xc2 || c > 0xf4 || i + length > text.size())
			return false;
		for (std::size_t k = 1; k < length; k++)
			if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
				return false;
		i += length;
	}
	return true;
}

// A variable a name or pattern of the page stands for: each placeholder as "x".
std::string instance_of(std::string_view name)
{
	std::string variable;
	for (std::size_t i = 0; i < name.size(); i++) {
		if (name[i] == '<') {
			std::size_t close = name.find('>', i);
			if (close != std::string_view::npos) {
				variable += 'x';
				i = close;
				continue;
			}
		}
		variable += name[i] == '*' ? 'x' : name[i];
	}
	return variable;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	// Some systems refuse a memory stream of size 0.
	FILE *in = size == 0 ? std::fopen("/dev/null", "r") : fmemopen(const_cast<std::uint8_t *>(data), size, "r");
	if (in == nullptr)
		return 0;
	std::string text;
	int status = read_manual_stream(in, text);
	std::fclose(in);
	if (text.size() > manual_size_limit || (status != 0 && !text.empty()))
		std::abort();
	manual_page page = parse_manual_page(text);
	for (const manual_entry &entry : page.entries) {
		if (entry.names.empty() || !plain_utf8(entry.text))
			std::abort();
		// Every variable an entry names is found, in that entry or in one whose pattern says more.
		for (const std::string &name : entry.names) {
			std::string variable = instance_of(name);
			if (!matches_pattern(name, variable) || find_in_manual(page, variable).entry == nullptr)
				std::abort();
		}
	}
	return 0;
}
