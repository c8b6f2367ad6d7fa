// Remembering the state of the files read, and telling whether another program has changed them since.
#include "files/file_state.h"

#include "files/open_file.h"
#include "files/system_root.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct remembered {
	std::string path;
	file_state state;
};

// The files remembered since the last forget_files, in order.
std::vector<remembered> files;

constexpr std::uint64_t fnv_prime = 1099511628211ull;

// Hashes the first size bytes of fd, leaving its offset as it is; false on a read error.
bool hash_descriptor(int fd, off_t size, file_state &state)
{
	char buffer[65536];
	std::uint64_t hash = empty_hash;
	off_t done = 0;
	while (done < size) {
		std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - done, sizeof buffer));
		ssize_t got = pread(fd, buffer, want, done);
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0)
			return false;
		if (got == 0)
			break;
		hash = hash_text(std::string_view(buffer, static_cast<std::size_t>(got)), hash);
		done += got;
	}
	state.size = done;
	state.hash = hash;
	return true;
}

} // namespace

std::uint64_t hash_text(std::string_view text, std::uint64_t hash)
{
	for (char c : text) {
		hash ^= static_cast<unsigned char>(c);
		hash *= fnv_prime;
	}
	return hash;
}

file_state state_of(const struct stat &info, std::uint64_t hash)
{
	file_state state{};
	state.exists = true;
	state.device = info.st_dev;
	state.inode = info.st_ino;
	state.type = info.st_mode & S_IFMT;
	state.mtime_sec = info.st_mtim.tv_sec;
	state.mtime_nsec = info.st_mtim.tv_nsec;
	if (S_ISREG(info.st_mode)) {
		state.size = info.st_size;
		state.hash = hash;
	}
	return state;
}

file_state take_file_state(const char *path)
{
	// As open_for_reading does: no device is opened and no FIFO waited on.
	struct stat info;
	if (stat_system_file(path, info) == -1)
		return file_state{};
	file_state state = state_of(info, empty_hash);
	if (!S_ISREG(info.st_mode))
		return state;
	// A file that cannot be read whole keeps a hash no text is likely to have.
	state.hash = 0;
	int fd = open_system_file(path, O_RDONLY);
	if (fd == -1)
		return state;
	file_state opened = descriptor_state(fd);
	close(fd);
	return opened.exists && opened.type == S_IFREG ? opened : state;
}

file_state descriptor_state(int fd)
{
	struct stat info;
	file_state state{};
	if (fstat(fd, &info) == -1)
		return state;
	state = state_of(info, empty_hash);
	// One larger than any file Kelvane reads is not read to be hashed either.
	bool too_large = static_cast<std::uintmax_t>(info.st_size) > file_size_bound;
	if (S_ISREG(info.st_mode) && (too_large || !hash_descriptor(fd, info.st_size, state)))
		state.hash = 0;
	return state;
}

bool same_state(const file_state &a, const file_state &b)
{
	if (!a.exists || !b.exists)
		return a.exists == b.exists;
	return a.device == b.device && a.inode == b.inode && a.type == b.type && a.size == b.size &&
	       a.mtime_sec == b.mtime_sec && a.mtime_nsec == b.mtime_nsec && a.hash == b.hash;
}

void forget_files()
{
	files.clear();
}

void remember_file(const char *path)
{
	remember_file(path, take_file_state(path));
}

void remember_file(const char *path, const file_state &state)
{
	for (remembered &file : files) {
		if (file.path == path) {
			file.state = state;
			return;
		}
	}
	files.push_back({path, state});
}

void remember_state(const char *path, const file_state &state)
{
	for (remembered &file : files) {
		if (file.path == path)
			file.state = state;
	}
}

const file_state *remembered_state(const char *path)
{
	for (const remembered &file : files) {
		if (file.path == path)
			return &file.state;
	}
	return nullptr;
}

std::vector<changed_file> changed_files()
{
	std::vector<changed_file> changed;
	for (const remembered &file : files) {
		file_state now = take_file_state(file.path.c_str());
		if (!same_state(now, file.state))
			changed.push_back({file.path, now});
	}
	return changed;
}
