// Working out the values at boot once, when they are first asked for.
#include "boot/boot_value.h"

#include "boot/boot_history.h"
#include "boot/sources.h"

#include <algorithm>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Where a value comes from: the source and line of the step that gave it.
struct origin {
	int source;
	int line;
};

// What the expansions of one request for an entry's own text may produce.
constexpr std::size_t request_budget = 1 << 20;

// What the files' words may produce together beyond what each may of its
// own, and again the services' words: far more than real files need.
constexpr std::size_t shared_budget = 1 << 20;

// The values of the last load, once worked out.
struct boot_values {
	bool done = false;
	shell_state files;                                // after every file
	std::unordered_map<std::string, std::vector<origin>> assigned; // each name's assignments in the files
	struct service_value {
		shell_value value;
		origin from;
	};
	std::unordered_map<std::string, service_value> services; // the services' own variables
	// What the boot would give them, were the machine's own files empty.
	shell_state defaults_only;
	std::unordered_map<std::string, shell_value> service_defaults;
};
boot_values values;

bool from_kind(const history_step &step, source_kind kind)
{
	const source_file *file = source_at(step.source);
	return file != nullptr && file->kind == kind;
}

// A step of a file the machine's own files come after: the defaults, vendor.conf.
bool from_defaults(const history_step &step)
{
	return from_kind(step, source_kind::defaults) || from_kind(step, source_kind::vendor);
}

// Service steps come from the scripts and rc.conf.d files, which name their service.
const std::string &service_of(const history_step &step)
{
	return source_at(step.source)->service;
}

shell_value unknown()
{
	return {shell_kind::unknown, ""};
}

// Runs step over state, noting where the files make assignments.
void run_file_step(shell_state &state, const history_step &step)
{
	switch (step.what) {
	case history_step::assignment:
		if (step.cut)
			set_variable(state, step.name, unknown());
		else
			assign_word(state, step.name, step.word);
		values.assigned[step.name].push_back({step.source, step.line});
		break;
	case history_step::expansion:
		if (!step.cut) {
			expand_word(state, step.word);
			break;
		}
		[[fallthrough]];
	case history_step::lost:
		// What it set cannot be known: any name may hold anything now.
		state.values.clear();
		state.others_unknown = true;
		break;
	case history_step::left_unset:
		break;
	}
}

// Each service's steps over the files' values, in its script's order; for
// the defaults, over the defaults' values and without its rc.conf.d files.
// The services' words share budget.
void run_services(const std::vector<const history_step *> &service_steps, std::size_t &budget, bool defaults)
{
	for (std::size_t first = 0; first < service_steps.size();) {
		const std::string &service = service_of(*service_steps[first]);
		shell_state own;
		own.under = defaults ? &values.defaults_only : &values.files;
		own.others_unknown = true;
		own.stopped = own.under->stopped;
		own.budget = budget;
		std::size_t end = first;
		for (; end < service_steps.size() && service_of(*service_steps[end]) == service; end++) {
			const history_step &step = *service_steps[end];
			if (defaults && from_kind(step, source_kind::service_file))
				continue;
			if (step.what == history_step::left_unset)
				set_variable(own, step.name, {});
			else if (step.cut)
				set_variable(own, step.name, unknown());
			else
				assign_word(own, step.name, step.word);
			if (defaults)
				values.service_defaults[step.name] = variable_value(own, step.name);
			else
				values.services[step.name] = {variable_value(own, step.name), {step.source, step.line}};
		}
		budget = own.budget;
		first = end;
	}
}

bool in_script_order(const history_step *a, const history_step *b)
{
	const std::string &service_a = service_of(*a);
	const std::string &service_b = service_of(*b);
	if (service_a != service_b)
		return service_a < service_b;
	if (a->order != b->order)
		return a->order < b->order;
	return a->source != b->source ? a->source < b->source : a->line < b->line;
}

void work_out_now()
{
	const std::vector<history_step> &steps = history();
	values.files.budget = shared_budget;
	values.files.values.reserve(steps.size());
	values.assigned.reserve(steps.size());
	std::vector<const history_step *> service_steps;
	// The defaults and vendor.conf come first: the state after them is the
	// boot's with the machine's own files empty.
	bool defaults_done = false;
	for (const history_step &step : steps) {
		if (is_service_source(step.source)) {
			service_steps.push_back(&step);
			continue;
		}
		if (!defaults_done && !from_defaults(step)) {
			values.defaults_only = values.files;
			defaults_done = true;
		}
		run_file_step(values.files, step);
	}
	if (!defaults_done)
		values.defaults_only = values.files;
	std::stable_sort(service_steps.begin(), service_steps.end(), in_script_order);
	std::size_t budget = shared_budget;
	run_services(service_steps, budget, false);
	budget = shared_budget;
	run_services(service_steps, budget, true);
}

// Works the values out unless they are; when memory runs out, every value is unknown.
void work_out()
{
	if (values.done)
		return;
	values = boot_values{};
	values.done = true;
	try {
		work_out_now();
	} catch (const std::bad_alloc &) {
		values = boot_values{};
		values.done = true;
		values.files.stopped = true;
	}
}

bool same(const origin &from, const rc_entry &entry)
{
	return from.source == entry.source && from.line == entry.line;
}

// Whether the files assign name where entry says they do.
bool assigned_at(const std::string &name, const rc_entry &entry)
{
	auto found = values.assigned.find(name);
	if (found == values.assigned.end())
		return false;
	for (const origin &from : found->second)
		if (same(from, entry))
			return true;
	return false;
}

// entry_value_at_boot, once the values are worked out.
shell_value value_of(const rc_entry &entry)
{
	std::string name(field_text(entry.name));
	if (entry.modified == 0 && entry.is_new == 0) {
		auto service = values.services.find(name);
		if (service != values.services.end() && same(service->second.from, entry))
			return service->second.value;
		if (service == values.services.end() && assigned_at(name, entry))
			return variable_value(values.files, name);
	}
	// A change appended to the machine's file runs only if sh reads that far.
	if (values.files.stopped)
		return unknown();
	if (entry.is_knob != 0)
		return {shell_kind::known, entry.knob_on != 0 ? "YES" : "NO"};
	if ((entry.value_lock & value_too_long) != 0)
		return unknown();
	shell_state request;
	request.under = &values.files;
	request.budget = request_budget;
	return expand_word(request, field_text(entry.value));
}

} // namespace

shell_value value_at_boot(std::string_view name)
{
	work_out();
	try {
		auto service = values.services.find(std::string(name));
		if (service != values.services.end())
			return service->second.value;
		return variable_value(values.files, name);
	} catch (const std::bad_alloc &) {
		return unknown();
	}
}

shell_value entry_value_at_boot(const rc_entry &entry)
{
	work_out();
	try {
		return value_of(entry);
	} catch (const std::bad_alloc &) {
		return unknown();
	}
}

shell_value default_value_at_boot(std::string_view name)
{
	work_out();
	try {
		auto service = values.service_defaults.find(std::string(name));
		if (service != values.service_defaults.end())
			return service->second;
		return variable_value(values.defaults_only, name);
	} catch (const std::bad_alloc &) {
		return unknown();
	}
}

void forget_boot_values()
{
	values = boot_values{};
}
