// What Kelvane read of each file it may write or that decides what it shows, to notice changes made behind its back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// A file as it stood: which file the path named, its size, time and a hash of its bytes.
struct file_state {
	bool exists;
	dev_t device;
	ino_t inode;
	mode_t type;            // the S_IFMT bits
	off_t size;             // regular files: the bytes hashed
	std::int64_t mtime_sec;
	long mtime_nsec;
	std::uint64_t hash;     // regular files: of their first size bytes
};

// The hash of no bytes, where hash_text starts.
constexpr std::uint64_t empty_hash = 14695981039346656037ull;

// The hash of text, going on from hash (FNV-1a): hash_text(b, hash_text(a)) hashes a then b.
std::uint64_t hash_text(std::string_view text, std::uint64_t hash = empty_hash);

// The state of a file described by info whose bytes hash to hash.
file_state state_of(const struct stat &info, std::uint64_t hash);

// The state of path now, reading it whole when it is a regular file; never
// blocks. A path under the system root is resolved inside it.
file_state take_file_state(const char *path);

// The state of the file open on fd, reading a regular file whole without
// moving its offset; a file that cannot be read whole, or is larger than
// file_size_bound, gets hash 0, and one fstat cannot describe is taken as
// missing.
file_state descriptor_state(int fd);

// Whether two states are of the same file holding the same bytes.
bool same_state(const file_state &a, const file_state &b);

// Forgets every file remembered.
void forget_files();

// Remembers the state of path now. Taken before the file is read, so that a
// change made while it is read counts as a change.
void remember_file(const char *path);

// Remembers state as the state of path.
void remember_file(const char *path, const file_state &state);

// Replaces the remembered state of path, which must be remembered already.
void remember_state(const char *path, const file_state &state);

// The remembered state of path, or nullptr when it is not remembered.
const file_state *remembered_state(const char *path);

// A remembered file that is no longer as remembered.
struct changed_file {
	std::string path;
	file_state now;
};

// The remembered files whose state now differs, in the order remembered.
std::vector<changed_file> changed_files();
