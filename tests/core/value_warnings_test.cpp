// Tests of rc.subr's yes/no reading and of the warnings of values the boot will not read as meant.
#include "boot/value_warnings.h"

#include <gtest/gtest.h>

namespace {

struct yes_no_case {
	const char *value;
	yes_no expected;
};

constexpr yes_no_case yes_no_cases[] = {
	{"YES", yes_no::yes},     {"yes", yes_no::yes},      {"yEs", yes_no::yes},     {"TRUE", yes_no::yes},
	{"true", yes_no::yes},    {"On", yes_no::yes},       {"1", yes_no::yes},       {"NO", yes_no::no},
	{"no", yes_no::no},       {"False", yes_no::no},     {"off", yes_no::no},      {"0", yes_no::no},
	{"", yes_no::neither},    {"Y", yes_no::neither},    {"YES ", yes_no::neither}, {" NO", yes_no::neither},
	{"\"YES\"", yes_no::neither}, {"01", yes_no::neither}, {"NONE", yes_no::neither}, {"enable", yes_no::neither},
	{"yess", yes_no::neither},
};

struct warning_case {
	const char *name;
	const char *type;
	shell_value at_boot;
	value_warning expected;
};

const warning_case warning_cases[] = {
	{"sshd_enable", "", {shell_kind::known, "YES"}, value_warning::none},
	{"sshd_enable", "", {shell_kind::known, "true"}, value_warning::none},
	{"sshd_enable", "", {shell_kind::known, "yse"}, value_warning::not_yes_no},
	{"sshd_enable", "", {shell_kind::known, ""}, value_warning::not_yes_no},
	{"sshd_enable", "", {shell_kind::unset, ""}, value_warning::not_yes_no},
	{"sshd_enable", "str", {shell_kind::known, "maybe"}, value_warning::not_yes_no},
	{"sshd_enable", "", {shell_kind::unknown, ""}, value_warning::none},
	{"sshd_enable", "", {shell_kind::runs_command, ""}, value_warning::none},
	{"sendmail_enable", "", {shell_kind::known, "none"}, value_warning::none},
	{"sendmail_submit_enable", "", {shell_kind::known, "NONE"}, value_warning::not_yes_no},
	{"clear_tmp_X", "bool", {shell_kind::known, "ja"}, value_warning::not_yes_no},
	{"clear_tmp_X", "bool", {shell_kind::known, "off"}, value_warning::none},
	{"hostname", "", {shell_kind::known, "maybe"}, value_warning::none},
	{"hostname", "str", {shell_kind::known, ""}, value_warning::none},
	{"blanktime", "int", {shell_kind::known, "300"}, value_warning::none},
	{"blanktime", "int", {shell_kind::known, "NO"}, value_warning::none},
	{"blanktime", "int", {shell_kind::known, ""}, value_warning::none},
	{"kern_securelevel", "int", {shell_kind::known, "-1"}, value_warning::none},
	{"mousechar_start", "int", {shell_kind::known, "0xd0"}, value_warning::none},
	{"blanktime", "int", {shell_kind::known, "5 min"}, value_warning::not_number},
	{"blanktime", "int", {shell_kind::known, "-"}, value_warning::not_number},
	{"blanktime", "int", {shell_kind::known, "0x"}, value_warning::not_number},
	{"blanktime", "int", {shell_kind::known, "ten"}, value_warning::not_number},
	{"blanktime", "int", {shell_kind::unknown, ""}, value_warning::none},
};

} // namespace

TEST(ValueWarnings, ReadsYesAndNoAsCheckyesnoDoes)
{
	for (const yes_no_case &c : yes_no_cases)
		EXPECT_EQ(read_yes_no(c.value), c.expected) << c.value;
}

// A yes/no variable (by its name or its type) warns when rc.subr's test
// rejects its value or nothing sets it; an int when it is no number, empty
// or NO; nothing warns of a value that cannot be worked out.
TEST(ValueWarnings, WarnsOfValuesTheBootTakesOtherwise)
{
	for (const warning_case &c : warning_cases)
		EXPECT_EQ(warning_of(c.name, c.type, c.at_boot), c.expected) << c.name << " " << c.type << " '" << c.at_boot.text << "'";
}
