// Resolving a path under a root folder one component at a time, as a chroot into it would.
#include "files/root_path.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The system's own check that each open stays below its folder, where it has one (FreeBSD 13 and later).
#ifdef O_RESOLVE_BENEATH
constexpr int open_beneath = O_RESOLVE_BENEATH;
#else
constexpr int open_beneath = 0;
#endif
#ifdef AT_RESOLVE_BENEATH
constexpr int at_beneath = AT_RESOLVE_BENEATH;
#else
constexpr int at_beneath = 0;
#endif

// Folders held open below the root at once; a path deeper than this is refused.
constexpr std::size_t depth_limit = 256;

// Puts the components of path that take a step on todo, the first one last,
// so that todo.back() is the next to walk.
void push_components(std::vector<std::string> &todo, std::string_view path)
{
	std::size_t end = path.size();
	while (end > 0) {
		std::size_t slash = path.rfind('/', end - 1);
		std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
		std::string_view part = path.substr(start, end - start);
		if (!part.empty() && part != ".")
			todo.emplace_back(part);
		end = start == 0 ? 0 : start - 1;
	}
}

// The folders walked into below the root, the deepest last; ".." is a step back up.
struct walk {
	int root;
	std::vector<int> below;

	explicit walk(int root_fd) : root(root_fd) {}
	~walk()
	{
		for (int fd : below)
			close(fd);
	}
	walk(const walk &) = delete;
	walk &operator=(const walk &) = delete;

	int here() const { return below.empty() ? root : below.back(); }
	void up()
	{
		if (below.empty())
			return;
		close(below.back());
		below.pop_back();
	}
	void to_root()
	{
		while (!below.empty())
			up();
	}
	// The folder walked into, handed over to the caller.
	int take()
	{
		if (below.empty())
			return fcntl(root, F_DUPFD_CLOEXEC, 0);
		int fd = below.back();
		below.pop_back();
		return fd;
	}
};

} // namespace

root_place::~root_place()
{
	if (folder != -1)
		close(folder);
}

int find_in_root(int root, std::string_view path, bool follow_last, root_place &place)
{
	std::vector<std::string> todo;
	push_components(todo, path);
	walk w(root);
	int links = 0;
	while (!todo.empty()) {
		std::string name = std::move(todo.back());
		todo.pop_back();
		if (name == "..") {
			w.up();
			continue;
		}
		bool last = todo.empty();
		int error = 0;
		if (!last) {
			if (w.below.size() >= depth_limit) {
				errno = ENAMETOOLONG;
				return -1;
			}
			// Most steps are folders: opened at once, never through a link.
			int fd = openat(w.here(), name.c_str(),
					O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | open_beneath);
			if (fd != -1) {
				w.below.push_back(fd);
				continue;
			}
			// A link gives ELOOP, or EMLINK on FreeBSD.
			error = errno;
			if (error != ELOOP && error != EMLINK && error != ENOTDIR)
				return -1;
		}
		if (!last || follow_last) {
			char target[PATH_MAX];
			ssize_t length = readlinkat(w.here(), name.c_str(), target, sizeof target);
			if (length >= 0) {
				if (++links > root_link_limit) {
					errno = ELOOP;
					return -1;
				}
				if (length == 0 || static_cast<std::size_t>(length) == sizeof target) {
					errno = length == 0 ? ENOENT : ENAMETOOLONG;
					return -1;
				}
				if (target[0] == '/')
					w.to_root();
				push_components(todo, std::string_view(target, static_cast<std::size_t>(length)));
				continue;
			}
			if (!last) {
				errno = error;
				return -1;
			}
			// EINVAL: no link. A missing last component may still be made.
			if (errno != EINVAL && errno != ENOENT)
				return -1;
		}
		place.folder = w.take();
		place.name = std::move(name);
		return place.folder == -1 ? -1 : 0;
	}
	// The path ends at a folder: the root, or one reached by "..".
	place.folder = w.take();
	place.name = ".";
	return place.folder == -1 ? -1 : 0;
}

int open_in_root(int root, std::string_view path, int flags, mode_t mode)
{
	root_place place;
	if (find_in_root(root, path, (flags & O_CREAT) == 0, place) == -1)
		return -1;
	return openat(place.folder, place.name.c_str(),
		      flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | open_beneath, mode);
}

int stat_in_root(int root, std::string_view path, struct stat &info)
{
	root_place place;
	if (find_in_root(root, path, true, place) == -1)
		return -1;
	return fstatat(place.folder, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW | at_beneath);
}

int access_in_root(int root, std::string_view path, int mode)
{
	root_place place;
	if (find_in_root(root, path, true, place) == -1)
		return -1;
	return faccessat(place.folder, place.name.c_str(), mode, AT_EACCESS | at_beneath);
}
