// Plain text from mdoc: the macros, escapes, lists and displays manual pages use, and input that is no mdoc at all.
#include "manual/mdoc_text.h"

#include "utf8_check.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string plain(const std::string &mdoc)
{
	std::vector<mdoc_line> lines = mdoc_lines(mdoc);
	return mdoc_plain_text(lines.data(), lines.data() + lines.size(), "rc.conf");
}

struct rendering {
	const char *what;
	const char *mdoc;
	const char *text;
};

// Each the way mandoc -T utf8 writes it, but for <> around placeholders
// and a colon after a list item's tag.
const rendering renderings[] = {
	{"cross reference", "Run\n.Xr sshd 8 .\n", "Run sshd(8)."},
	{"cross reference without a section", ".Xr sshd\nnow", "sshd now"},
	{"double quotes, punctuation after them", "If set to\n.Dq Li YES ,\nrun it.", "If set to “YES”, run it."},
	{"parentheses around a cross reference", ".Pq see Xr rc.subr 8\nsuch", "(see rc.subr(8)) such"},
	{"closing punctuation after nested quotes", "A colon\n.Pq Ql \\&: .\n", "A colon (‘:’)."},
	{"placeholder between Ns", ".Va ifconfig_ Ns Ao Ar interface Ac Ns _descr", "ifconfig_<interface>_descr"},
	{"placeholder in Aq", "the\n.Va dhclient_flags_ Ns Aq Ar iface\nvariable", "the dhclient_flags_<iface> variable"},
	{"flags with arguments", "A\n.Fl t Ar type\nor\n.Fl s Ar size", "A -t type or -s size"},
	{"flag alone, argument alone", ".Fl\nand\n.Ar", "- and file ..."},
	{"escapes", "a \\- b \\(em c \\(aq d \\&e \\e f \\(dq g \\[u00E9] \\*(Lqh\\*(Rq",
	 "a - b \u2014 c ' d e \\ f \" g \u00e9 \u201ch\u201d"},
	{"fonts and sizes write nothing", "\\fBbold\\fR and \\f(CWcode\\fP \\s-1small\\s0", "bold and code small"},
	{"quoted arguments", ".Dq \"network time\"\nand\n.Li \"say \"\"hi\"\"\"", "“network time” and say \"hi\""},
	{"quoted delimiter is a word", ".Li a \".\" b", "a . b"},
	{"other quoting macros", ".Qq Em loud\n.Sq Sy one\n.Op Fl v\n.Bq x\n.Brq y", "\"loud\" ‘one’ [-v] [x] {y}"},
	{"macros whose words stay", ".Cm inet Li 192.0.2.1 Pa /etc Ev PATH Dv NULL Ic eval Tn ANSI Va x",
	 "inet 192.0.2.1 /etc PATH NULL eval ANSI x"},
	{"joined words in quotes", ".Dq Ar name Ns Li = Ns Ar value", "“name=value”"},
	{"path, full stop, placeholder", ".Pa /etc/start_if . Ns Aq Ar interface", "/etc/start_if.<interface>"},
	{"opening and closing delimiters", ".Li ( blank , snake , daemon )", "(blank, snake, daemon)"},
	{"apostrophe", ".Xr sshd 8 Ap s\nflags", "sshd(8)'s flags"},
	{"page name", "The\n.Nm\nfile and\n.Nm foo ,\nthen\n.Nm :", "The rc.conf file and foo, then rc.conf:"},
	{"systems", ".Fx 8.0 .\n.Fx\ndefaults and\n.Bx 4.4 ,\n.Ox", "FreeBSD 8.0. FreeBSD defaults and 4.4BSD, OpenBSD"},
	{"kernel configuration line", ".Cd \"options IPFIREWALL\" ,\nthen", "options IPFIREWALL, then"},
	{"function", ".Fn foo a b", "foo(a, b)"},
	{"link", ".Lk https://www.FreeBSD.org the site", "the site: https://www.FreeBSD.org"},
	{"spacing off and on", ".Sm off\n.Va a Li b\n.Sm on\n.Va c", "ab c"},
	{"zero-width escape ends no sentence", "e.g.\\& this", "e.g. this"},
	{"lines and spaces join", "one   two\nthree\n\tfour", "one two three\nfour"},
	{"continued text line", "one \\\ntwo", "one two"},
	{"no space after \\c", "foo\\c\nbar", "foobar"},
	{"comments", "a\n.\\\" a comment line\nb \\\" the rest\n\\\" alone\nc", "a b c"},
	{"empty request", "a\n.\nb", "a b"},
	{"paragraphs", "one\n.Pp\ntwo\n.Pp\n.Pp\nthree", "one\n\ntwo\n\nthree"},
	{"blank line is a paragraph", "one\n\ntwo", "one\n\ntwo"},
	{"no break before the first word", ".Pp\n.Pp\nfirst", "first"},
	{"line break", "one\n.br\ntwo", "one\ntwo"},
	{"literal display", "like this:\n.Bd -literal\nifconfig_em0=\"DHCP\"\n\tvlan 10  \\e$x\n.Ed\nafter",
	 "like this:\n\nifconfig_em0=\"DHCP\"\n\tvlan 10  \\$x\nafter"},
	{"blank line in a literal display", ".Bd -literal\na\n\nb\n.Ed", "a\n\nb"},
	{"macro in a literal display", ".Bd -literal\n.Li one two\nthree\n.Ed", "one two\nthree"},
	{"filled display", "x\n.Bd -ragged -offset indent\nsome\ntext\n.Ed\ny", "x\n\nsome text\ny"},
	{"unfilled between .nf and .fi", ".nf\na  b\nc\n.fi\nd\ne", "a  b\nc\nd e"},
	{"one-line display", "redefine\n.Dl ${argument}_cmd\n.Pq see Xr rc.subr 8\nsuch",
	 "redefine\n${argument}_cmd\n(see rc.subr(8)) such"},
	{"compact tag list", "are:\n.Bl -tag -width \".Li simple\" -compact\n.It Li open\nall IP\n.It Li closed\nnone\n.El\n.Pp\nIf",
	 "are:\n\nopen: all IP\nclosed: none\n\nIf"},
	{"tag list", ".Bl -tag -width indent\n.It Li path\nset from\n.Va jail_ Ns Ao Ar jname Ac Ns Va _rootdir\n.It Li mount\nset\n.El",
	 "path: set from jail_<jname>_rootdir\n\nmount: set"},
	{"bullet list", ".Bl -bullet\n.It\none\n.It\ntwo\n.El\nafter", "• one\n\n• two\nafter"},
	{"numbered list", ".Bl -enum -compact\n.It\na\n.It\nb\n.El", "1. a\n2. b"},
	{"dashes and plain items", ".Bl -dash -compact\n.It\na\n.El\n.Bl -item\n.It\nb\n.El", "- a\n\nb"},
	{"column list", ".Bl -column a b\n.It x Ta y\n.It z Ta w\n.El", "x\ty\n\nz\tw"},
	{"list in a list", ".Bl -tag\n.It a\n.Bl -bullet -compact\n.It\nb\n.El\n.It c\nd\n.El", "a:\n\n• b\n\nc: d"},
	{"item outside a list", ".It Li x\ny", "x: y"},
	{"reference", "as\n.Rs\n.%T \"RFC 4862\"\n.%O \"Section 5.3\"\n.Re\nNext", "as RFC 4862, Section 5.3. Next"},
	{"requests and unknown macros write nothing", ".ad l\n.Tg tag\n.nr X 1\n.Bk -words\ntext\n.Ek\n.Zz words", "text"},
	{"definitions are left out", ".de XX\nhidden\n..\n.ig\nignored\n..\nshown", "shown"},
	{"carriage returns", "one\r\n.Xr ls 1\r\n", "one ls(1)"},
	{"bytes that are no UTF-8", "caf\xe9 \xc3\xa9t\xc3\xa9 \x01x\x7f", "caf\ufffd \u00e9t\u00e9 x"},
};

TEST(MdocText, Renderings)
{
	for (const rendering &r : renderings)
		EXPECT_EQ(plain(r.mdoc), r.text) << r.what << ":\n" << r.mdoc;
}

TEST(MdocText, LinesKeepTheirNumbers)
{
	std::vector<mdoc_line> lines = mdoc_lines(".\\\" comment\none \\\ntwo\n.\n.Va x\n");
	ASSERT_EQ(lines.size(), 2u);
	EXPECT_EQ(lines[0].text, "one two");
	EXPECT_EQ(lines[0].number, 2);
	EXPECT_EQ(lines[1].text, ".Va x");
	EXPECT_EQ(lines[1].number, 5);
}

// Lines of random pieces of mdoc and of random bytes: whatever they hold,
// the text is valid UTF-8 with no control character but tab and line feed,
// and stays within a small multiple of the input.
TEST(MdocText, AnyInputGivesBoundedValidText)
{
	const char *pieces[] = {".Bl -tag", ".El", ".It", " Va ", " Ns ", " Ao ", " Ac ", " Dq ", " Pq ", ".Bd -literal",
				".Ed", ".Rs", ".Re", ".%T", " Xr ", " Fl ", " Sm off", " Eo ", " Ec ", "\\", "\\(", "\\[",
				"\\*", "\\f", "\\s", "\\N'", "\\h'", "\"", "\"\"", " , ", " ( ", "\n", "\n.", ".de X\n", "..\n",
				"\\\n", "\\\"", "\xff", "\xe2\x80", "\x00", "\t", "word", " Fn ", " Lk ", ".Dl ", ".nf\n"};
	std::mt19937 rng(20);
	for (int round = 0; round < 3000; round++) {
		std::string mdoc;
		int n = static_cast<int>(rng() % 60);
		for (int i = 0; i < n; i++) {
			if (rng() % 4 == 0)
				mdoc += static_cast<char>(rng() % 256);
			else
				mdoc += pieces[rng() % std::size(pieces)];
		}
		std::string text = plain(mdoc);
		ASSERT_LE(text.size(), 16 * mdoc.size() + 16) << mdoc;
		for (std::size_t i = 0; i < text.size(); i++) {
			unsigned char c = static_cast<unsigned char>(text[i]);
			ASSERT_TRUE(c >= 0x20 || c == '\t' || c == '\n') << mdoc;
			ASSERT_NE(c, 0x7f) << mdoc;
		}
		ASSERT_TRUE(is_utf8(text)) << mdoc;
	}
}

} // namespace
