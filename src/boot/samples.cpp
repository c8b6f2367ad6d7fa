// The commented-out samples of the defaults file, kept as text and read only when asked for.
#include "boot/samples.h"

#include "shell/reader.h"
#include "shell/tokenizer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::vector<std::string> texts; // as written after their "#", the first of each name

} // namespace

void clear_samples()
{
	texts.clear();
}

void note_sample(std::string_view comment)
{
	std::size_t end = 0;
	while (end < comment.size() && is_name_char(comment[end]))
		end++;
	if (end == 0 || end == comment.size() || comment[end] != '=' || (comment[0] >= '0' && comment[0] <= '9'))
		return;
	for (const std::string &text : texts)
		if (text.compare(0, end + 1, comment.substr(0, end + 1)) == 0)
			return;
	texts.emplace_back(comment);
}

std::vector<rc_entry> read_samples()
{
	std::vector<rc_entry> samples;
	// One at a time: a sample that leaves a quote open spoils only itself.
	for (std::string &text : texts) {
		rc_lists lists = {};
		read_rc_text(text, &lists);
		if (lists.knob_count + lists.string_count == 1)
			samples.push_back(lists.knob_count == 1 ? lists.knobs[0] : lists.strings[0]);
		free_lists(lists);
	}
	flush_tokenizer();
	for (rc_entry &sample : samples)
		sample.has_comment = 0;
	return samples;
}
