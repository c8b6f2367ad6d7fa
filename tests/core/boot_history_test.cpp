// Tests of what the history keeps of a file's top-level commands: the steps that set variables, and the commands that may.
#include "boot/boot_history.h"

#include "shell/reader.h"
#include "shell/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Notes every command of text, as the load does for a file of source 1.
void note_text(const std::string &text)
{
	clear_history();
	script_observer watch;
	watch.command = [](const top_command &command) { note_command(1, command); };
	watch.comment = [](std::string_view, comment_place) {};
	watch.compound = [](const top_compound &compound) { note_compound(1, compound); };
	FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
	read_observed_stream(in, nullptr, &watch);
	std::fclose(in);
	flush_tokenizer();
}

// "LINE:WHAT" of each command that may set variables, blank-separated.
std::string settings_of(const std::string &text)
{
	note_text(text);
	std::string out;
	for (const setting_command &command : setting_commands())
		out += (out.empty() ? "" : " ") + std::to_string(command.line) + ":" + command.what;
	return out;
}

struct setting_case {
	const char *text;
	const char *expected;
};

// A machine that sets its name in a loop reading a here-document, and an
// interface with eval, as real machines do.
constexpr const char *machine =
	"# picked by the ethernet address\n"
	"while read ether hostname ip ; do\n"
	"    if [ \"$ether\" = \"$main_ether\" ] ; then\n"
	"        break\n"
	"    fi\n"
	"done <<EOF\n"
	"00:11:22:33:44:55 alpha 10.0.0.2\n"
	"EOF\n"
	"eval ifconfig_${main_if}=\\\"inet \\$ip\\\"\n"
	"network_interfaces=`ifconfig -l`\n"
	"case $hostname in\n"
	"alpha)\n"
	"    sysctl -w net.inet.ip.forwarding=1\n"
	"    ;;\n"
	"esac\n"
	"sshd_enable=\"YES\"\n"
	"if [ -f /etc/rc.conf.site ]; then\n"
	"\t. /etc/rc.conf.site\n"
	"fi\n";

constexpr setting_case setting_cases[] = {
	{machine, "2:while 9:eval 17:if"},
	{"for i in em0 em1; do echo $i | logger; done\n", "1:for"},
	{"if true; then\n  for i in 1; do :; done\nfi\n", "1:if"},
	{"ifconfig -l | while read i; do last=$i; done\n", ""},
	{"while read i; do last=$i; done | cat\n", ""},
	{"if true; then x=1; fi &\nif true; then :; fi\n", ""},
	{"( hostname=sub )\n", ""},
	{"up() {\n  hostname=f\n}\nkldload x\nup\n", "5:up"},
	{"[ -f /etc/x ] && . /etc/x\n", "1:."},
	{"true && hostname=x\nfalse || hostname=y\n", "1:= 2:="},
	{"x=1 export y\nx=1 :\nx=1 kldload y\nhostname=a; kldload x\n", "1:export 2:="},
	{"echo ${x:=1}\n: ${y:=2}\n: ${_z:=3} plain\n", "1:echo 2:: 3::"},
	{"read hostname </etc/myname\ncommand eval x=1\ngetopts a opt\n", "1:read 2:eval 3:getopts"},
	{"case $a in\nb) x=1 ;;\nesac\n{ y=2; }\n", "1:case 4:{"},
	{"if [ -z \"$x\" ]; then\n  echo none\nfi\n", ""},
	{"kld_list=\"a\"\nkld_list=\"${kld_list} b\"\n", ""},
};

std::string steps_of(const std::string &text)
{
	note_text(text);
	std::string out;
	for (const history_step &step : history()) {
		out += out.empty() ? "" : " ";
		out += std::to_string(step.line) + ":";
		out += step.what == history_step::assignment ? step.name + "=" + step.word
		       : step.what == history_step::expansion ? "(" + step.word + ")"
							      : "lost";
	}
	return out;
}

} // namespace

// Each top-level command that may set variables without being a plain
// assignment is named once, at the line where it begins: a compound
// command for the first such command it holds, nothing run in a subshell or
// the background.
TEST(BootHistory, FindsTheCommandsThatMaySetVariables)
{
	for (const setting_case &c : setting_cases)
		EXPECT_EQ(settings_of(c.text), c.expected) << c.text;
}

// The steps are the assignments that run for sure, each at its own line,
// and the words of ":" before the assignments in front of it, as sh expands
// them; what may not run, or runs elsewhere, is no step.
TEST(BootHistory, KeepsTheStepsThatRunForSure)
{
	EXPECT_EQ(steps_of("a=1 \\\nb=$a\n: ${c:=x} \"${d=y}\"\nx=$c : ${c:=z}\n"),
		  "1:a=1 2:b=$a 3:(${c:=x}) 3:(\"${d=y}\") 4:(${c:=z}) 4:x=$c");
	EXPECT_EQ(steps_of("false && a=1\nif true; then b=2; fi\nf() { c=3; }\na=1 kldload x\nd=4 | cat\ne=5 &\n"), "");
	EXPECT_EQ(steps_of("a=1; b=\"two\nlines\" c=3\n"), "1:a=1 1:b=\"two\nlines\" 2:c=3");
}

// A command with more words than the observer keeps, or a name longer
// than a word it keeps, may have set anything.
TEST(BootHistory, ACommandTooLongToKeepIsLost)
{
	std::string text;
	for (int i = 0; i < 70; i++)
		text += "v" + std::to_string(i) + "=x ";
	std::string steps = steps_of(text + "\nafter=1\n");
	EXPECT_NE(steps.find("1:lost 2:after=1"), std::string::npos) << steps;
	EXPECT_EQ(steps_of(std::string(2 * word_text_limit, 'n') + "=1\nafter=1\n"), "1:lost 2:after=1");
}
