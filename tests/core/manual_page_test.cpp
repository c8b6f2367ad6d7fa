// rc.conf(5) read into entries: names and patterns, types, texts, a page cut short or damaged, finding a variable's entry, and real pages.
#include "manual/manual_page.h"

#include "files/system_root.h"
#include "gzip_text.h"
#include "manual/mdoc_text.h"
#include "scratch_files.h"
#include "utf8_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex.h>

namespace {

namespace fs = std::filesystem;

// A page in the form rc.conf(5) has, written for these tests.
const std::string sample = R"(.\" The list of variables is the first list of DESCRIPTION.
.Dd March 3, 2022
.Dt RC.CONF 5
.Os
.Sh NAME
.Nm rc.conf
.Nd system configuration information
.Sh DESCRIPTION
The file
.Nm
holds the settings:
.Bl -tag -width indent-two
.It Va sshd_enable
.Pq Vt bool
Run
.Xr sshd 8
at boot.
.It Ao Ar name Ac Ns Va _user
.Pq Vt str
Run the service under this user account.
.It Ao Ar name Ac Ns Va _login_class
.Pq Vt str
Login class of
.Ao Ar name Ac Ns Va _user .
.It Ao Ar name Ac Ns Va _class
.Pq Vt str
A class.
.It Va network_interfaces
.Pq Vt str
The interfaces.
.Pp
An
.Va ifconfig_ Ns Aq Ar interface
variable is assumed to exist for each
.Ar interface .
.Va ifconfig_ Ns Ao Ar interface Ac Ns Va _alias Ns Aq Ar n
adds an alias, as
.Va ifconfig_ Ns Aq Ar interface
says.
.It Va ifconfig_ Ns Ao Ar interface Ac Ns _descr
.Pq Vt str
A description; see
.Va ifconfig_ Ns Aq Ar interface .
.It Va dhclient_flags_ Ns Aq Ar iface
Flags for the client on
.Ar iface
only.
.It Va firewall_type
.Pq Vt str
Valid selections are:
.Bl -tag -width ".Li simple" -compact
.It Li open
unrestricted
.It Li closed
closed
.El
.It Va ntpd_enable , ntpd_sync_on_start
.Pq Vt bool
Time.
.It Va "moused_" Ns Ar XXX Ns Va "_flags"
Flags for port
.Ar XXX .
.It Va jail_ Ns * variables
Per-jail variables are obsolete.
.It Va kld_list
.It Va kld_list_extra
.Pq Vt str
Modules to load.
.It Va mdconfig_md Ns Aq Ar X
.Pq Vt int
Arguments for
.Xr md 4
device
.Ar X .
.El
.Sh FILES
.Bl -tag -width indent
.It Pa /etc/rc.conf
The machine's file.
.El
)";

struct expected_entry {
	std::vector<std::string> names;
	const char *type;
	const char *text;
};

const expected_entry sample_entries[] = {
	{{"sshd_enable"}, "bool", "Run sshd(8) at boot."},
	{{"<name>_user"}, "str", "Run the service under this user account."},
	{{"<name>_login_class"}, "str", "Login class of <name>_user."},
	{{"<name>_class"}, "str", "A class."},
	{{"network_interfaces"}, "str",
	 "The interfaces.\n\nAn ifconfig_<interface> variable is assumed to exist for each interface. "
	 "ifconfig_<interface>_alias<n> adds an alias, as ifconfig_<interface> says."},
	{{"ifconfig_<interface>_descr"}, "str", "A description; see ifconfig_<interface>."},
	{{"dhclient_flags_<iface>"}, "", "Flags for the client on iface only."},
	{{"firewall_type"}, "str", "Valid selections are:\n\nopen: unrestricted\nclosed: closed"},
	{{"ntpd_enable", "ntpd_sync_on_start"}, "bool", "Time."},
	{{"moused_<XXX>_flags"}, "", "Flags for port XXX."},
	{{"jail_*"}, "", "Per-jail variables are obsolete."},
	{{"kld_list", "kld_list_extra"}, "str", "Modules to load."},
	{{"mdconfig_md<X>"}, "int", "Arguments for md(4) device X."},
};

TEST(ManualPage, EntriesOfTheListOfVariables)
{
	manual_page page = parse_manual_page(sample);
	ASSERT_EQ(page.entries.size(), std::size(sample_entries));
	for (std::size_t i = 0; i < page.entries.size(); i++) {
		const manual_entry &e = page.entries[i];
		EXPECT_EQ(e.names, sample_entries[i].names);
		EXPECT_EQ(e.type, sample_entries[i].type) << e.names[0];
		EXPECT_EQ(e.text, sample_entries[i].text) << e.names[0];
	}
	EXPECT_EQ(page.entries[0].line, 13);
	EXPECT_EQ(page.entries[11].line, 65);
}

struct head_case {
	const char *head; // and the first line after it
	std::vector<std::string> names;
	const char *type;
};

const head_case heads[] = {
	{".It Va sshd_enable", {"sshd_enable"}, ""},
	{".It Ao Ar name Ac Ns Va _chroot", {"<name>_chroot"}, ""},
	{".It Va ifconfig_ Ns Ao Ar interface Ac Ns _ipv6", {"ifconfig_<interface>_ipv6"}, ""},
	{".It Va mdconfig_md Ns Ao Ar X Ac Ns Va _newfs", {"mdconfig_md<X>_newfs"}, ""},
	{".It Va dhclient_flags_ Ns Aq Ar iface", {"dhclient_flags_<iface>"}, ""},
	{".It Va pppoed_ Ns Ar provider", {"pppoed_<provider>"}, ""},
	{".It Va atm_netif_ Ns Aq Ar intf", {"atm_netif_<intf>"}, ""},
	{".It Va \"moused_\" Ns Ar XXX Ns Va \"_flags\"", {"moused_<XXX>_flags"}, ""},
	{".It Va ifconfig_<interface>_alias<n>", {"ifconfig_<interface>_alias<n>"}, ""},
	{".It Va jail_ Ns * variables", {"jail_*"}, ""},
	{".It Va a , b , c", {"a", "b", "c"}, ""},
	{".It Va a Va b", {"a", "b"}, ""},
	{".It Va \\&sshd_flags", {"sshd_flags"}, ""},
	{".It Va x Pq Vt int", {"x"}, "int"},
	{".It Va timed_enable\n.Pq Vt boot", {"timed_enable"}, "boot"},
	{".It Va x\n.Vt int", {"x"}, "int"},
	{".It Li open", {}, ""},
	{".It Pa /etc/rc.conf", {}, ""},
	{".It Ar name", {}, ""},
	{".It Va net.inet.ip.forwarding", {}, ""},
	{".It Va 9lives", {}, ""},
	{".It Va <x>", {}, ""},
	{".It Va a<", {}, ""},
};

TEST(ManualPage, NamesOfHeads)
{
	for (const head_case &h : heads) {
		manual_page page = parse_manual_page(".Bl -tag\n" + std::string(h.head) + "\nText.\n.El\n");
		if (h.names.empty()) {
			EXPECT_TRUE(page.entries.empty()) << h.head;
			continue;
		}
		ASSERT_EQ(page.entries.size(), 1u) << h.head;
		EXPECT_EQ(page.entries[0].names, h.names) << h.head;
		EXPECT_EQ(page.entries[0].type, h.type) << h.head;
		EXPECT_EQ(page.entries[0].text, "Text.") << h.head;
	}
}

// Every prefix of the page, as a truncated file gives: each entry read is
// one the whole page gives, word for word, never an entry cut short.
TEST(ManualPage, PageCutShortGivesOnlyWholeEntries)
{
	manual_page whole = parse_manual_page(sample);
	std::size_t most = 0;
	for (std::size_t cut = 0; cut <= sample.size(); cut++) {
		manual_page part = parse_manual_page(sample.substr(0, cut));
		for (const manual_entry &e : part.entries) {
			bool found = false;
			for (const manual_entry &w : whole.entries)
				found = found || (w.names == e.names && w.type == e.type && w.text == e.text && w.line == e.line);
			ASSERT_TRUE(found) << "cut at " << cut << ": " << e.names[0] << " [" << e.type << "] " << e.text;
		}
		ASSERT_GE(part.entries.size(), most) << cut;
		most = part.entries.size();
	}
	EXPECT_EQ(most, whole.entries.size());
}

// Whether all of text matches a POSIX extended regular expression.
bool matches_expression(const std::string &expression, const std::string &text)
{
	regex_t compiled;
	if (regcomp(&compiled, ("^(" + expression + ")$").c_str(), REG_EXTENDED | REG_NOSUB) != 0)
		return false;
	bool found = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
	regfree(&compiled);
	return found;
}

// A variable a name stands for: each placeholder as "x0".
std::string variable_of(const std::string &name)
{
	std::string variable;
	for (std::size_t i = 0; i < name.size(); i++) {
		if (name[i] == '<' || name[i] == '*') {
			variable += "x0";
			i = name[i] == '<' ? name.find('>', i) : i;
		} else {
			variable += name[i];
		}
	}
	return variable;
}

// The page with bytes changed, removed and repeated at random: names stay
// names or patterns, texts valid UTF-8, and each name, or a variable a
// pattern stands for, is found.
TEST(ManualPage, DamagedPagesGiveWellFormedEntries)
{
	std::mt19937 rng(5);
	const std::string name = "([A-Za-z_]|<[^<> \t]+>|\\*)([A-Za-z0-9_]|<[^<> \t]+>|\\*)*";
	for (int round = 0; round < 400; round++) {
		std::string page = sample;
		for (int k = static_cast<int>(rng() % 12); k >= 0; k--) {
			std::size_t at = rng() % page.size();
			switch (rng() % 3) {
			case 0:
				page[at] = static_cast<char>(rng() % 256);
				break;
			case 1:
				page.erase(at, rng() % 40);
				break;
			default:
				page.insert(at, page.substr(at, rng() % 200));
				break;
			}
		}
		manual_page read = parse_manual_page(page);
		for (const manual_entry &e : read.entries) {
			ASSERT_FALSE(e.names.empty());
			ASSERT_TRUE(is_utf8(e.text) && is_utf8(e.type)) << e.names[0];
			for (const std::string &n : e.names) {
				ASSERT_TRUE(matches_expression(name, n)) << n;
				std::string variable = variable_of(n);
				manual_match m = find_in_manual(read, variable);
				ASSERT_NE(m.entry, nullptr) << n;
				if (variable == n) {
					ASSERT_EQ(m.name, n);
				}
			}
		}
	}
}

struct lookup_case {
	const char *variable;
	const char *entry; // its first name; nullptr: none
	const char *name;
	bool mentioned;
};

const lookup_case lookups[] = {
	{"sshd_enable", "sshd_enable", "sshd_enable", false},
	{"ntpd_sync_on_start", "ntpd_enable", "ntpd_sync_on_start", false},
	{"kld_list_extra", "kld_list", "kld_list_extra", false},
	{"sshd_user", "<name>_user", "<name>_user", false},
	{"sshd_login_class", "<name>_login_class", "<name>_login_class", false},
	{"sshd_class", "<name>_class", "<name>_class", false},
	{"ifconfig_em0_descr", "ifconfig_<interface>_descr", "ifconfig_<interface>_descr", false},
	{"dhclient_flags_em0", "dhclient_flags_<iface>", "dhclient_flags_<iface>", false},
	{"moused_ums0_flags", "moused_<XXX>_flags", "moused_<XXX>_flags", false},
	{"jail_vjail_hostname", "jail_*", "jail_*", false},
	{"mdconfig_md0", "mdconfig_md<X>", "mdconfig_md<X>", false},
	{"ifconfig_em0", "network_interfaces", "ifconfig_<interface>", true},
	{"ifconfig_em0_alias0", "network_interfaces", "ifconfig_<interface>_alias<n>", true},
	{"ifconfig_em0_name", "network_interfaces", "ifconfig_<interface>", true},
	{"_user", nullptr, nullptr, false},
	{"ifconfig_", nullptr, nullptr, false},
	{"jail_", nullptr, nullptr, false},
	{"mdconfig_md", nullptr, nullptr, false},
	{"ifconfig_em0.1", nullptr, nullptr, false},
	{"", nullptr, nullptr, false},
	{"rc_debug", nullptr, nullptr, false},
	{"firewall_type_x", nullptr, nullptr, false},
};

TEST(ManualPage, FindsTheEntryOfAVariable)
{
	manual_page page = parse_manual_page(sample);
	for (const lookup_case &l : lookups) {
		manual_match m = find_in_manual(page, l.variable);
		if (l.entry == nullptr) {
			EXPECT_EQ(m.entry, nullptr) << l.variable << " found " << m.name;
			continue;
		}
		ASSERT_NE(m.entry, nullptr) << l.variable;
		EXPECT_EQ(m.entry->names[0], l.entry) << l.variable;
		EXPECT_EQ(m.name, l.name) << l.variable;
		EXPECT_EQ(m.mentioned, l.mentioned) << l.variable;
	}
}

TEST(ManualPage, NothingFoundInAnEmptyPage)
{
	EXPECT_EQ(find_in_manual(manual_page{}, "sshd_enable").entry, nullptr);
	EXPECT_TRUE(parse_manual_page("").entries.empty());
	EXPECT_TRUE(parse_manual_page(std::string(5000, '\0')).entries.empty());
}

// Patterns and names of a few letters, each placeholder "<...>" or "*"
// standing for one or more letters, digits or underscores: as the regular
// expression the pattern stands for matches or not.
TEST(ManualPage, PatternsMatchAsRegularExpressions)
{
	const char *pattern_pieces[] = {"a", "b", "_", "<x>", "*", "ab"};
	const char name_chars[] = {'a', 'b', '_', '0', '-'};
	std::mt19937 rng(7);
	for (int round = 0; round < 20000; round++) {
		std::string pattern, expression;
		for (int k = 1 + static_cast<int>(rng() % 5); k > 0; k--) {
			std::string piece = pattern_pieces[rng() % std::size(pattern_pieces)];
			pattern += piece;
			expression += piece == "<x>" || piece == "*" ? "[A-Za-z0-9_]+" : piece;
		}
		std::string name;
		for (int k = static_cast<int>(rng() % 8); k > 0; k--)
			name += name_chars[rng() % std::size(name_chars)];
		ASSERT_EQ(matches_pattern(pattern, name), matches_expression(expression, name))
			<< pattern << " " << name;
	}
}

TEST(ManualPage, ReadsTheInstalledPageUnderTheRoot)
{
	scratch_folder root;
	fs::path man = root.path / "usr/share/man/man5";
	manual_page page;
	ASSERT_EQ(set_system_root(root.path.c_str()), 0);
	EXPECT_EQ(read_installed_manual_page(page), -1);
	EXPECT_TRUE(page.entries.empty());
	write_whole(man / "rc.conf.5", sample);
	EXPECT_EQ(read_installed_manual_page(page), 0);
	EXPECT_EQ(page.entries.size(), std::size(sample_entries));
	// The compressed page comes first; one that gives no text leaves the plain one.
	write_whole(man / "rc.conf.5.gz", gzip_of(".Bl -tag\n.It Va only_here\nText.\n.El\n"));
	EXPECT_EQ(read_installed_manual_page(page), 0);
	ASSERT_EQ(page.entries.size(), 1u);
	EXPECT_EQ(page.entries[0].names[0], "only_here");
	write_whole(man / "rc.conf.5.gz", "\x1f\x8b damaged");
	EXPECT_EQ(read_installed_manual_page(page), 0);
	EXPECT_EQ(page.entries.size(), std::size(sample_entries));
	ASSERT_EQ(set_system_root("/"), 0);
}

// mandoc's text with its overstriking (bold, underline) taken out.
std::string without_overstrike(const std::string &text)
{
	std::string out;
	for (char c : text) {
		if (c != '\b') {
			out += c;
			continue;
		}
		while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xc0) == 0x80)
			out.pop_back();
		if (!out.empty())
			out.pop_back();
	}
	return out;
}

// A text with each run of white space as one space, without colons (an
// entry has one after each list tag, mandoc none) and with mandoc's angle
// brackets as the entries write them.
std::string squeezed(const std::string &text)
{
	std::string out;
	for (std::size_t i = 0; i < text.size(); i++) {
		if (text.compare(i, 3, "\u27e8") == 0 || text.compare(i, 3, "\u27e9") == 0) {
			out += text[i + 2] == '\xa8' ? '<' : '>';
			i += 2;
		} else if (text[i] == ' ' || text[i] == '\t' || text[i] == '\n') {
			if (!out.empty() && out.back() != ' ')
				out += ' ';
		} else if (text[i] != ':') {
			out += text[i];
		}
	}
	if (!out.empty() && out.back() == ' ')
		out.pop_back();
	return out;
}

// Each entry's text beside what mandoc writes for the same lines: all
// entries in one document, each between two lines that mark it. Returns
// how many differ, after reporting each.
int compare_with_mandoc(const std::string &page_text, const manual_page &page, const fs::path &work)
{
	const std::string mark = "KELVANEENTRY";
	std::vector<mdoc_line> lines = mdoc_lines(page_text);
	std::string document = ".Dd March 3, 2022\n.Dt RC.CONF 5\n.Os\n.Sh NAME\n.Nm rc.conf\n.Nd x\n.Sh DESCRIPTION\n";
	std::vector<const manual_entry *> compared;
	for (const manual_entry &e : page.entries) {
		std::size_t at = 0;
		while (at < lines.size() && lines[at].number != e.line)
			at++;
		std::size_t end = at + 1;
		for (int depth = 0; end < lines.size(); end++) {
			std::string_view m = mdoc_macro(lines[end].text);
			if ((m == "It" && depth == 0) || (m == "El" && depth-- == 0) || m == "Sh" || m == "Ss")
				break;
			depth += m == "Bl";
		}
		std::size_t body = at + 1;
		if (body < end && lines[body].text.rfind(".Pq Vt ", 0) == 0)
			body++;
		if (body == end)
			continue;
		document += mark + "\n.Pp\n";
		for (std::size_t i = body; i < end; i++)
			document += lines[i].text + "\n";
		document += ".Pp\n";
		compared.push_back(&e);
	}
	write_whole(work / "entries.5", document + mark + "\n");
	std::string command = "mandoc -T utf8 -O width=200 " + (work / "entries.5").string() + " >" +
			      (work / "entries.txt").string();
	if (std::system(command.c_str()) != 0) {
		ADD_FAILURE() << "mandoc fails";
		return 1;
	}
	std::string out = without_overstrike(read_whole(work / "entries.txt"));
	std::vector<std::string> parts;
	for (std::size_t at = out.find(mark); at != std::string::npos;) {
		std::size_t from = at + mark.size();
		if ((at = out.find(mark, from)) != std::string::npos)
			parts.push_back(out.substr(from, at - from));
	}
	if (parts.size() != compared.size()) {
		ADD_FAILURE() << parts.size() << " parts from mandoc for " << compared.size() << " entries";
		return 1;
	}
	int differ = 0;
	for (std::size_t i = 0; i < parts.size(); i++) {
		if (squeezed(parts[i]) != squeezed(compared[i]->text)) {
			differ++;
			ADD_FAILURE() << compared[i]->names[0] << " (line " << compared[i]->line << ") reads\n"
				      << compared[i]->text << "\nbut mandoc writes\n"
				      << parts[i];
		}
	}
	return differ;
}

// Real pages, when KELVANE_REAL_MANUALS names a folder of them (as
// rc.conf.5-2022): each read plain and gzip-compressed, alike. Every
// entry has a text, and a type unless the page gives none: its first line
// is no ".Pq Vt". When mandoc is at hand, each text reads as mandoc
// renders the entry. Prints the count of entries of each page and those
// left without a type.
TEST(ManualPage, RealPagesGiveEveryEntryATypeAndText)
{
	const char *folder = std::getenv("KELVANE_REAL_MANUALS");
	if (folder == nullptr)
		GTEST_SKIP() << "set KELVANE_REAL_MANUALS to a folder of rc.conf(5) pages";
	bool mandoc = std::system("command -v mandoc >/dev/null 2>&1") == 0;
	scratch_folder work;
	int pages = 0;
	for (const auto &file : fs::directory_iterator(folder)) {
		if (!file.is_regular_file())
			continue;
		pages++;
		std::string name = file.path().filename().string();
		std::string text = read_whole(file.path());
		write_whole(work.path / "page.gz", gzip_of(text));
		manual_page plain, compressed;
		ASSERT_EQ(read_manual_page(file.path().c_str(), plain), 0) << name;
		ASSERT_EQ(read_manual_page((work.path / "page.gz").c_str(), compressed), 0) << name;
		ASSERT_EQ(plain.entries.size(), compressed.entries.size()) << name;
		std::vector<mdoc_line> lines = mdoc_lines(text);
		std::string untyped;
		int without_type = 0, without_text = 0;
		for (std::size_t i = 0; i < plain.entries.size(); i++) {
			const manual_entry &e = plain.entries[i];
			EXPECT_EQ(e.text, compressed.entries[i].text) << name << ": " << e.names[0];
			EXPECT_FALSE(e.text.empty()) << name << ": " << e.names[0] << " has no text";
			without_text += e.text.empty();
			if (!e.type.empty())
				continue;
			without_type++;
			std::size_t at = 0;
			while (at < lines.size() && lines[at].number != e.line)
				at++;
			std::string next = at + 1 < lines.size() ? lines[at + 1].text : "";
			EXPECT_EQ(next.find("Vt"), std::string::npos) << name << ": " << e.names[0] << " loses its type: " << next;
			untyped += "  " + e.names[0] + " (line " + std::to_string(e.line) + "): the page gives none, its text begins \"" +
				   next.substr(0, 40) + "\"\n";
		}
		int differ = mandoc ? compare_with_mandoc(text, plain, work.path) : -1;
		int mentions = 0;
		for (const manual_name &n : plain.patterns)
			mentions += n.mentioned;
		std::printf("%s: %zu entries (%zu plain names, %zu patterns), %d patterns named in texts; %d without a "
			    "type, %d without a text; %s\n%s",
			    name.c_str(), plain.entries.size(), plain.plain.size(), plain.patterns.size() - mentions, mentions,
			    without_type, without_text,
			    differ < 0 ? "mandoc not found" : (std::to_string(differ) + " texts unlike mandoc's").c_str(),
			    untyped.c_str());
	}
	EXPECT_GT(pages, 0);
}

} // namespace
