// Scratch folders and files for tests, plain or gzip-compressed.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <zlib.h>

// A fresh folder under /tmp, removed with all it holds when the test ends.
struct temp_folder {
	temp_folder()
	{
		char pattern[] = "/tmp/kelvane-test-XXXXXX";
		if (mkdtemp(pattern) != nullptr)
			path = pattern;
	}
	~temp_folder()
	{
		if (!path.empty())
			std::filesystem::remove_all(path);
	}
	temp_folder(const temp_folder &) = delete;
	temp_folder &operator=(const temp_folder &) = delete;
	std::filesystem::path path;
};

// Writes bytes to path as they are, making the folders it needs.
inline void write_bytes(const std::filesystem::path &path, const std::string &bytes)
{
	std::filesystem::create_directories(path.parent_path());
	std::ofstream(path, std::ios::binary) << bytes;
}

// text as gzip writes it, one member.
inline std::string gzip_of(const std::string &text)
{
	z_stream z{};
	deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
	std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
	z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
	z.avail_in = static_cast<uInt>(text.size());
	z.next_out = reinterpret_cast<Bytef *>(out.data());
	z.avail_out = static_cast<uInt>(out.size());
	deflate(&z, Z_FINISH);
	out.resize(z.total_out);
	deflateEnd(&z);
	return out;
}
