// Files for tests that hand text to a real sh: a scratch folder, writing and reading files, what sh prints.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

// A fresh folder under /tmp, removed with everything in it at the end.
class scratch_folder {
public:
	scratch_folder()
	{
		char pattern[] = "/tmp/kelvane-test-XXXXXX";
		if (mkdtemp(pattern) != nullptr)
			path = pattern;
	}
	~scratch_folder()
	{
		if (!path.empty())
			std::filesystem::remove_all(path);
	}
	scratch_folder(const scratch_folder &) = delete;
	scratch_folder &operator=(const scratch_folder &) = delete;
	std::filesystem::path path;
};

inline std::string read_whole(const std::filesystem::path &path)
{
	std::stringstream text;
	text << std::ifstream(path, std::ios::binary).rdbuf();
	return text.str();
}

// Writes text to path, making the folders above it.
inline void write_whole(const std::filesystem::path &path, const std::string &text)
{
	std::filesystem::create_directories(path.parent_path());
	std::ofstream(path, std::ios::binary) << text;
}

// write_whole, for a script: executable, as a package installs it.
inline void write_script(const std::filesystem::path &path, const std::string &text)
{
	write_whole(path, text);
	chmod(path.c_str(), 0755);
}

// What /bin/sh prints when it runs script, written to path first, with args;
// status is what std::system returns for it.
inline std::string sh_printed(const std::filesystem::path &path, const std::string &script, int &status,
			      const std::string &args = "")
{
	write_whole(path, script);
	std::string out = path.string() + ".out";
	status = std::system(("/bin/sh " + path.string() + " " + args + " >" + out).c_str());
	return read_whole(out);
}

// The NUL-ended fields a shell wrote with printf '%s\0'.
inline std::vector<std::string> nul_fields(const std::string &text)
{
	std::vector<std::string> fields;
	for (std::size_t at = 0, end; (end = text.find('\0', at)) != std::string::npos; at = end + 1)
		fields.push_back(text.substr(at, end - at));
	return fields;
}

inline std::string replaced(std::string text, const std::string &from, const std::string &to)
{
	for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
		text.replace(at, from.size(), to);
	return text;
}

// text as one word of sh that reads as text.
inline std::string sh_quoted(const std::string &text)
{
	return "'" + replaced(text, "'", "'\\''") + "'";
}

// text with its ASCII small letters as capitals.
inline std::string upper(std::string text)
{
	for (char &c : text)
		c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
	return text;
}

template <std::size_t N> const char *pick_one(std::mt19937 &rng, const char *const (&from)[N])
{
	return from[rng() % N];
}
