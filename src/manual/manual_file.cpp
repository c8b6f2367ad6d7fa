// Reading a manual page's file: plain text, or gzip data inflated with zlib, never more than a fixed bound.
#include "manual/manual_file.h"

#include "files/open_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>
#include <zlib.h>

namespace {

constexpr std::size_t chunk = 64 * 1024;

struct file_closer {
	void operator()(FILE *f) const { std::fclose(f); }
};

struct inflater {
	z_stream z{};
	bool ready = false;
	inflater() { ready = inflateInit2(&z, 15 + 16) == Z_OK; }
	~inflater()
	{
		if (ready)
			inflateEnd(&z);
	}
	inflater(const inflater &) = delete;
	inflater &operator=(const inflater &) = delete;
};

// Inflates the gzip members that begin in input (got bytes read so far)
// and go on in the rest of in, keeping the text of each member that
// inflates whole and checks out. Returns 0, or -1 on a read error or when
// no text is kept.
int inflate_file(FILE *in, std::vector<unsigned char> &input, std::size_t got, std::string &text)
{
	inflater inflating;
	if (!inflating.ready)
		return -1;
	z_stream &z = inflating.z;
	std::vector<unsigned char> output(chunk);
	std::size_t read_total = got;
	std::size_t member = 0; // where the text of the member being inflated begins
	bool stopped = false;   // at damaged data, or at the bound
	while (!stopped && got > 0) {
		z.next_in = input.data();
		z.avail_in = static_cast<uInt>(got);
		while (!stopped && z.avail_in > 0) {
			z.next_out = output.data();
			z.avail_out = static_cast<uInt>(output.size());
			int status = inflate(&z, Z_NO_FLUSH);
			std::size_t made = output.size() - z.avail_out;
			if (made > manual_size_limit - text.size()) {
				stopped = true;
				break;
			}
			text.append(reinterpret_cast<const char *>(output.data()), made);
			if (status == Z_STREAM_END) {
				// Another member may follow, as when gzip files are joined.
				member = text.size();
				stopped = inflateReset(&z) != Z_OK || text.size() == manual_size_limit;
			} else {
				stopped = status != Z_OK;
			}
		}
		if (stopped || read_total >= manual_size_limit)
			break;
		got = std::fread(input.data(), 1, std::min(chunk, manual_size_limit - read_total), in);
		read_total += got;
	}
	text.erase(member);
	return std::ferror(in) || text.empty() ? -1 : 0;
}

} // namespace

int read_manual_stream(FILE *in, std::string &text)
{
	text.clear();
	std::vector<unsigned char> input(chunk);
	std::size_t got = std::fread(input.data(), 1, chunk, in);
	int status = 0;
	if (got >= 2 && input[0] == 0x1f && input[1] == 0x8b) {
		status = inflate_file(in, input, got, text);
	} else {
		while (got > 0) {
			text.append(reinterpret_cast<const char *>(input.data()), got);
			if (text.size() >= manual_size_limit)
				break;
			got = std::fread(input.data(), 1, std::min(chunk, manual_size_limit - text.size()), in);
		}
		if (std::ferror(in))
			status = -1;
	}
	if (status == -1)
		text.clear();
	return status;
}

int read_manual_file(const char *path, std::string &text)
{
	text.clear();
	std::unique_ptr<FILE, file_closer> in(open_for_reading(path, manual_size_limit));
	if (!in)
		return -1;
	return read_manual_stream(in.get(), text);
}
