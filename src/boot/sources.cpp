// The files of the last load and the source each entry names.
#include "boot/sources.h"

#include <climits>

namespace {

std::vector<source_file> files;

} // namespace

const std::vector<source_file> &sources()
{
	return files;
}

int add_source(std::string path, source_kind kind, std::string service)
{
	if (files.size() >= static_cast<std::size_t>(INT_MAX))
		return 0;
	files.push_back({std::move(path), kind, std::move(service)});
	return static_cast<int>(files.size());
}

void clear_sources()
{
	files.clear();
}

void mark_source(rc_lists &lists, int source)
{
	for (int i = 0; i < lists.knob_count; i++)
		lists.knobs[i].source = source;
	for (int i = 0; i < lists.string_count; i++)
		lists.strings[i].source = source;
}

const source_file *source_at(int source)
{
	if (source <= 0 || static_cast<std::size_t>(source) > files.size())
		return nullptr;
	return &files[static_cast<std::size_t>(source - 1)];
}

bool is_service_source(int source)
{
	const source_file *file = source_at(source);
	return file != nullptr && (file->kind == source_kind::script || file->kind == source_kind::service_file);
}

const source_file *source_of(const rc_entry &entry)
{
	return source_at(entry.source);
}

bool set_later(const rc_entry &entry)
{
	const source_file *file = source_of(entry);
	return file != nullptr && (file->kind == source_kind::later || file->kind == source_kind::service_file);
}
