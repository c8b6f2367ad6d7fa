// Plain text from mdoc: a small reader of the macros and escapes manual pages use, with the spacing mandoc gives them.
#include "manual/mdoc_text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

// Special characters by their roff names, as \(xx or \[name].
struct glyph {
	std::string_view name;
	std::string_view text;
};

constexpr glyph glyphs[] = {
	{"em", "\u2014"}, {"en", "\u2013"}, {"hy", "-"},      {"mi", "-"},      {"aq", "'"},      {"dq", "\""},
	{"lq", "\u201c"}, {"rq", "\u201d"}, {"oq", "\u2018"}, {"cq", "\u2019"}, {"Lq", "\u201c"}, {"Rq", "\u201d"},
	{"ga", "`"},      {"aa", "\u00b4"}, {"ha", "^"},      {"ti", "~"},      {"ba", "|"},      {"bv", "|"},
	{"br", "|"},      {"sl", "/"},      {"rs", "\\"},     {"sh", "#"},      {"Do", "$"},      {"at", "@"},
	{"bu", "\u2022"}, {"co", "\u00a9"}, {"rg", "\u00ae"}, {"tm", "\u2122"}, {"de", "\u00b0"}, {"mu", "\u00d7"},
	{"di", "\u00f7"}, {"pm", "\u00b1"}, {"<=", "\u2264"}, {">=", "\u2265"}, {"!=", "\u2260"}, {"==", "\u2261"},
	{"->", "\u2192"}, {"<-", "\u2190"}, {"rA", "\u21d2"}, {"lA", "\u21d0"}, {"ua", "\u2191"}, {"da", "\u2193"},
	{"sc", "\u00a7"}, {"ps", "\u00b6"}, {"dg", "\u2020"}, {"dd", "\u2021"}, {"if", "\u221e"}, {"fm", "\u2032"},
	{"sd", "\u2033"}, {"ct", "\u00a2"}, {"Po", "\u00a3"}, {"Eu", "\u20ac"}, {"eu", "\u20ac"}, {"Ye", "\u00a5"},
	{"la", "<"},      {"ra", ">"},      {"lB", "["},      {"rB", "]"},      {"lC", "{"},      {"rC", "}"},
	{"a\"", "\u02dd"}, {"bq", "\u201e"}, {"Fo", "\u00ab"}, {"Fc", "\u00bb"}, {"fo", "\u2039"}, {"fc", "\u203a"},
	{"OK", "\u2713"}, {"ss", "\u00df"}, {"'e", "\u00e9"}, {"`e", "\u00e8"}, {":u", "\u00fc"}, {":o", "\u00f6"},
	{":a", "\u00e4"}, {":U", "\u00dc"}, {":O", "\u00d6"}, {":A", "\u00c4"}, {"'a", "\u00e1"}, {"'o", "\u00f3"},
};

// The strings mdoc predefines, as \*x, \*(xx or \*[name].
constexpr glyph strings[] = {
	{"q", "\""},      {"Lq", "\u201c"}, {"Rq", "\u201d"}, {"Ba", "|"},      {"Ne", "\u2260"}, {"Ge", "\u2265"},
	{"Le", "\u2264"}, {"Gt", ">"},      {"Lt", "<"},      {"Pm", "\u00b1"}, {"If", "\u221e"}, {"Pi", "\u03c0"},
	{"Na", "NaN"},    {"Am", "&"},      {"R", "\u00ae"},  {"Tm", "\u2122"}, {"Px", "POSIX"},  {"Ai", "ANSI"},
	{"ua", "\u2191"}, {"da", "\u2193"}, {"aa", "\u00b4"}, {"ga", "`"},
};

std::string_view looked_up(const glyph *table, std::size_t n, std::string_view name)
{
	for (std::size_t i = 0; i < n; i++)
		if (table[i].name == name)
			return table[i].text;
	return {};
}

void put_utf8(std::string &out, std::uint32_t c)
{
	if (c == 0 || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff)
		return;
	if (c < 0x80) {
		out += static_cast<char>(c);
	} else if (c < 0x800) {
		out += static_cast<char>(0xc0 | (c >> 6));
		out += static_cast<char>(0x80 | (c & 0x3f));
	} else if (c < 0x10000) {
		out += static_cast<char>(0xe0 | (c >> 12));
		out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
		out += static_cast<char>(0x80 | (c & 0x3f));
	} else {
		out += static_cast<char>(0xf0 | (c >> 18));
		out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
		out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
		out += static_cast<char>(0x80 | (c & 0x3f));
	}
}

// A number written in base 10 or 16, at most six digits; -1 when it is none.
long number_of(std::string_view digits, int base)
{
	if (digits.empty() || digits.size() > 6)
		return -1;
	long n = 0;
	for (char c : digits) {
		int d = c >= '0' && c <= '9'   ? c - '0'
			: c >= 'a' && c <= 'f' ? c - 'a' + 10
			: c >= 'A' && c <= 'F' ? c - 'A' + 10
					       : 99;
		if (d >= base)
			return -1;
		n = n * base + d;
	}
	return n;
}

// A character named in \[...] or \C'...': a glyph, uXXXX or charNN.
void put_named(std::string &out, std::string_view name)
{
	if (name.size() >= 5 && name[0] == 'u') {
		long c = number_of(name.substr(1), 16);
		if (c > 0)
			put_utf8(out, static_cast<std::uint32_t>(c));
	} else if (name.size() > 4 && name.substr(0, 4) == "char") {
		long c = number_of(name.substr(4), 10);
		if (c > 0 && c < 128)
			put_utf8(out, static_cast<std::uint32_t>(c));
	} else {
		out += looked_up(glyphs, std::size(glyphs), name);
	}
}

// The name after an escape such as \( \* \f \n: two characters after "(",
// up to "]" after "[", else one. at is past the escape's letter and moves past the name.
std::string_view escape_name(std::string_view s, std::size_t &at)
{
	if (at >= s.size())
		return {};
	std::size_t from = at;
	if (s[at] == '(') {
		from = at + 1;
		at = std::min(s.size(), at + 3);
	} else if (s[at] == '[') {
		from = at + 1;
		std::size_t end = s.find(']', from);
		at = end == std::string_view::npos ? s.size() : end + 1;
		return s.substr(from, (end == std::string_view::npos ? s.size() : end) - from);
	} else {
		at++;
	}
	return s.substr(from, at - from);
}

// The argument of an escape such as \h'...' or \N'...', between a
// delimiter and its next occurrence. at is past the escape's letter.
std::string_view delimited(std::string_view s, std::size_t &at)
{
	if (at >= s.size())
		return {};
	char delimiter = s[at];
	std::size_t end = s.find(delimiter, at + 1);
	std::string_view inside = s.substr(at + 1, (end == std::string_view::npos ? s.size() : end) - at - 1);
	at = end == std::string_view::npos ? s.size() : end + 1;
	return inside;
}

// Text as valid UTF-8: each byte that begins no valid sequence is U+FFFD,
// and control characters other than tab and line feed are left out.
std::string valid_utf8(const std::string &text)
{
	std::string out;
	out.reserve(text.size());
	const auto *s = reinterpret_cast<const unsigned char *>(text.data());
	std::size_t n = text.size();
	for (std::size_t i = 0; i < n;) {
		unsigned char c = s[i];
		if (c < 0x80) {
			if (c >= 0x20 ? c != 0x7f : c == '\t' || c == '\n')
				out += static_cast<char>(c);
			i++;
			continue;
		}
		std::size_t length = c >= 0xc2 && c <= 0xdf ? 2
				     : c >= 0xe0 && c <= 0xef ? 3
				     : c >= 0xf0 && c <= 0xf4 ? 4
							      : 0;
		bool valid = length != 0 && i + length <= n;
		for (std::size_t k = 1; valid && k < length; k++)
			valid = (s[i + k] & 0xc0) == 0x80;
		// Overlong forms, surrogates and code points past U+10FFFF.
		if (valid && length == 3)
			valid = !(c == 0xe0 && s[i + 1] < 0xa0) && !(c == 0xed && s[i + 1] >= 0xa0);
		if (valid && length == 4)
			valid = !(c == 0xf0 && s[i + 1] < 0x90) && !(c == 0xf4 && s[i + 1] >= 0x90);
		if (valid) {
			out.append(text, i, length);
			i += length;
		} else {
			out += "\ufffd";
			i++;
		}
	}
	return out;
}

// What the words that follow a macro become.
enum class macro_kind {
	words,      // themselves (Va, Pa, Li, Em...)
	flag,       // each after a "-" (Fl)
	argument,   // themselves, "file ..." when none follows (Ar)
	xref,       // a name and a section as "name(section)" (Xr)
	enclose,    // the rest of the line between two marks (Dq, Pq, Aq...)
	open,       // an opening mark (Ao, Do, Po...); Eo takes it from the next argument
	close,      // a closing mark (Ac, Dc, Pc...); Ec takes it from the next argument
	no_space,   // no space before the next word (Ns)
	apostrophe, // an apostrophe with no space around it (Ap)
	prefix,     // the next argument joined to what follows (Pf)
	system,     // a system's name and its version (Fx 8.0)
	page_name,  // the page's name when no word follows (Nm)
	spacing,    // spacing between words "off" or "on" (Sm)
	cell,       // the next cell of a column list (Ta)
	function,   // a function and its arguments as "name(a, b)" (Fn)
	link,       // an address and the words that name it as "words: address" (Lk)
	ignored,    // nothing (Xo, Xc)
};

struct macro_info {
	std::string_view name;
	macro_kind kind;
	std::string_view open = {};  // enclose, open, system: the mark or the name written first
	std::string_view close = {}; // enclose, close: the mark written last
};

// The macros that can be called from inside a line, with what they write.
constexpr macro_info callable_macros[] = {
	{"Ac", macro_kind::close, "", ">"},
	{"Ad", macro_kind::words},
	{"An", macro_kind::words},
	{"Ao", macro_kind::open, "<"},
	{"Ap", macro_kind::apostrophe},
	{"Aq", macro_kind::enclose, "<", ">"},
	{"Ar", macro_kind::argument},
	{"At", macro_kind::system, "AT&T UNIX"},
	{"Bc", macro_kind::close, "", "]"},
	{"Bo", macro_kind::open, "["},
	{"Bq", macro_kind::enclose, "[", "]"},
	{"Brc", macro_kind::close, "", "}"},
	{"Bro", macro_kind::open, "{"},
	{"Brq", macro_kind::enclose, "{", "}"},
	{"Bsx", macro_kind::system, "BSD/OS"},
	{"Bx", macro_kind::system, "BSD"},
	{"Cm", macro_kind::words},
	{"Dc", macro_kind::close, "", "\u201d"},
	{"Do", macro_kind::open, "\u201c"},
	{"Dq", macro_kind::enclose, "\u201c", "\u201d"},
	{"Dv", macro_kind::words},
	{"Dx", macro_kind::system, "DragonFly"},
	{"Ec", macro_kind::close},
	{"Em", macro_kind::words},
	{"Eo", macro_kind::open},
	{"Er", macro_kind::words},
	{"Ev", macro_kind::words},
	{"Fa", macro_kind::words},
	{"Fl", macro_kind::flag},
	{"Fn", macro_kind::function},
	{"Ft", macro_kind::words},
	{"Fx", macro_kind::system, "FreeBSD"},
	{"Ic", macro_kind::words},
	{"Li", macro_kind::words},
	{"Lk", macro_kind::link},
	{"Ms", macro_kind::words},
	{"Mt", macro_kind::words},
	{"Nm", macro_kind::page_name},
	{"No", macro_kind::words},
	{"Ns", macro_kind::no_space},
	{"Nx", macro_kind::system, "NetBSD"},
	{"Oc", macro_kind::close, "", "]"},
	{"Oo", macro_kind::open, "["},
	{"Op", macro_kind::enclose, "[", "]"},
	{"Ox", macro_kind::system, "OpenBSD"},
	{"Pa", macro_kind::words},
	{"Pc", macro_kind::close, "", ")"},
	{"Pf", macro_kind::prefix},
	{"Po", macro_kind::open, "("},
	{"Pq", macro_kind::enclose, "(", ")"},
	{"Qc", macro_kind::close, "", "\""},
	{"Ql", macro_kind::enclose, "\u2018", "\u2019"},
	{"Qo", macro_kind::open, "\""},
	{"Qq", macro_kind::enclose, "\"", "\""},
	{"Sc", macro_kind::close, "", "\u2019"},
	{"Sm", macro_kind::spacing},
	{"So", macro_kind::open, "\u2018"},
	{"Sq", macro_kind::enclose, "\u2018", "\u2019"},
	{"St", macro_kind::words},
	{"Sx", macro_kind::words},
	{"Sy", macro_kind::words},
	{"Ta", macro_kind::cell},
	{"Tn", macro_kind::words},
	{"Ux", macro_kind::system, "UNIX"},
	{"Va", macro_kind::words},
	{"Vt", macro_kind::words},
	{"Xc", macro_kind::ignored},
	{"Xo", macro_kind::ignored},
	{"Xr", macro_kind::xref},
};

// Plain words, as after No.
constexpr macro_info plain_words = {"No", macro_kind::words};

const macro_info *callable(const mdoc_arg &arg)
{
	if (arg.quoted)
		return nullptr;
	for (const macro_info &m : callable_macros)
		if (m.name == arg.text)
			return &m;
	return nullptr;
}

// mdoc's delimiters: an argument that is one of them is punctuation, set
// against the word before (closing), the word after (opening) or between.
enum class delimiter { none, opening, middle, closing };

delimiter delimiter_of(const mdoc_arg &arg)
{
	if (arg.quoted || arg.text.size() != 1)
		return delimiter::none;
	switch (arg.text[0]) {
	case '(':
	case '[':
		return delimiter::opening;
	case '|':
		return delimiter::middle;
	case '.':
	case ',':
	case ':':
	case ';':
	case ')':
	case ']':
	case '?':
	case '!':
		return delimiter::closing;
	default:
		return delimiter::none;
	}
}

// What separates the next word from the text before it; a larger one wins.
enum class gap { none, space, line, paragraph };

// The plain text being written, word by word.
struct text_out {
	std::string text;
	gap before = gap::none;
	bool glued = false;   // the next word joins the last without a space
	bool spacing = true;  // .Sm off: words join without spaces

	void want(gap g) { before = std::max(before, g); }

	void put(std::string_view word)
	{
		if (word.empty())
			return;
		if (!text.empty()) {
			if (before == gap::paragraph)
				text += "\n\n";
			else if (before == gap::line)
				text += '\n';
			else if (before == gap::space && !glued && spacing)
				text += ' ';
		}
		text += word;
		before = gap::space;
		glued = false;
	}

	void open(std::string_view mark)
	{
		put(mark);
		glued = true;
	}

	void close(std::string_view mark)
	{
		if (before == gap::space)
			before = gap::none;
		put(mark);
	}

	// One line of a literal display, kept as it is.
	void literal(std::string_view line)
	{
		if (!text.empty())
			text += before == gap::paragraph ? "\n\n" : "\n";
		text += line;
		before = gap::line;
		glued = false;
	}
};

// The words of a macro line from args[at] on, with the macros among them.
void put_macros(const std::vector<mdoc_arg> &args, std::size_t at, text_out &out, std::string_view page_name)
{
	// Closing delimiters that end the line stand after every enclosure the line opened.
	std::size_t tail = args.size();
	while (tail > at + 1 && delimiter_of(args[tail - 1]) == delimiter::closing)
		tail--;
	std::vector<std::string_view> closers;
	const macro_info *m = &plain_words;
	int taken = 0; // words m has taken
	std::string first; // Xr: the name waiting for its section; Lk: the address
	auto finish = [&]() {
		if (m->kind == macro_kind::flag && taken == 0)
			out.put("-");
		else if (m->kind == macro_kind::argument && taken == 0)
			out.put("file ...");
		else if (m->kind == macro_kind::xref && taken == 1)
			out.put(first);
		else if (m->kind == macro_kind::system && taken == 0)
			out.put(m->open);
		else if (m->kind == macro_kind::page_name && taken == 0)
			out.put(page_name);
		else if (m->kind == macro_kind::function && taken > 0)
			out.close(")");
		else if (m->kind == macro_kind::link && taken > 0) {
			if (taken > 1)
				out.close(":");
			out.put(first);
		}
		m = &plain_words;
		taken = 0;
	};
	for (std::size_t i = at; i < args.size(); i++) {
		const mdoc_arg &arg = args[i];
		if (i == tail) {
			finish();
			for (; !closers.empty(); closers.pop_back())
				out.close(closers.back());
		}
		if (const macro_info *called = callable(arg)) {
			finish();
			switch (called->kind) {
			case macro_kind::enclose:
				out.open(called->open);
				closers.push_back(called->close);
				break;
			case macro_kind::open:
			case macro_kind::close: {
				std::string mark(called->kind == macro_kind::open ? called->open : called->close);
				if (mark.empty() && i + 1 < args.size())
					mark = arg_text(args[++i]);
				if (called->kind == macro_kind::open)
					out.open(mark);
				else
					out.close(mark);
				break;
			}
			case macro_kind::no_space:
				out.glued = true;
				break;
			case macro_kind::apostrophe:
				out.close("'");
				out.glued = true;
				break;
			case macro_kind::prefix:
				if (i + 1 < args.size()) {
					out.put(arg_text(args[++i]));
					out.glued = true;
				}
				break;
			case macro_kind::spacing: {
				std::string_view next = i + 1 < args.size() && !args[i + 1].quoted ? args[i + 1].text : "";
				if (next == "on" || next == "off")
					out.spacing = args[++i].text == "on";
				else
					out.spacing = !out.spacing;
				break;
			}
			case macro_kind::cell:
				out.close("\t");
				out.glued = true;
				break;
			case macro_kind::ignored:
				break;
			default:
				m = called;
				break;
			}
			continue;
		}
		switch (delimiter_of(arg)) {
		case delimiter::opening:
			out.open(arg.text);
			continue;
		case delimiter::middle:
			out.put(arg.text);
			continue;
		case delimiter::closing:
			if (m->kind == macro_kind::xref || m->kind == macro_kind::link)
				finish();
			out.close(arg.text);
			continue;
		case delimiter::none:
			break;
		}
		std::string word = arg_text(arg);
		switch (m->kind) {
		case macro_kind::flag:
			out.put("-" + word);
			break;
		case macro_kind::link:
			if (taken == 0)
				first = word;
			else
				out.put(word);
			break;
		case macro_kind::xref:
			if (taken == 0) {
				first = word;
			} else {
				out.put(first + "(" + word + ")");
				m = &plain_words;
			}
			break;
		case macro_kind::system:
			if (m->name == "Bx") {
				out.put(word + "BSD");
			} else {
				out.put(m->open);
				out.put(word);
			}
			m = &plain_words;
			break;
		case macro_kind::function:
			if (taken == 0) {
				out.put(word);
				out.close("(");
				out.glued = true;
			} else {
				if (taken > 1)
					out.close(",");
				out.put(word);
			}
			break;
		default:
			out.put(word);
			break;
		}
		taken++;
	}
	finish();
	for (; !closers.empty(); closers.pop_back())
		out.close(closers.back());
}

// An open .Bl list: how its items begin.
struct open_list {
	std::string_view kind; // one of list_kinds without its "-"
	bool compact;
	int items;
};

constexpr std::string_view list_kinds[] = {"-tag",  "-bullet", "-dash", "-hyphen", "-enum", "-item",
					   "-column", "-hang", "-ohang", "-inset", "-diag"};

// The kind a .Bl line gives its list; a list of no known kind reads as -tag.
std::string_view list_kind(const std::vector<mdoc_arg> &args)
{
	for (std::size_t i = 1; i < args.size(); i++)
		for (std::string_view kind : list_kinds)
			if (args[i].text == kind)
				return kind.substr(1);
	return "tag";
}

bool has_option(const std::vector<mdoc_arg> &args, std::string_view option)
{
	for (std::size_t i = 1; i < args.size(); i++)
		if (args[i].text == option)
			return true;
	return false;
}

// Where the text of a line without macros splits into words: at spaces
// and tabs that no backslash escapes.
std::vector<std::string_view> words_of(std::string_view line)
{
	std::vector<std::string_view> words;
	std::size_t i = 0, n = line.size();
	while (i < n) {
		while (i < n && (line[i] == ' ' || line[i] == '\t'))
			i++;
		std::size_t from = i;
		while (i < n && line[i] != ' ' && line[i] != '\t')
			i += line[i] == '\\' ? 2 : 1;
		i = std::min(i, n);
		if (i > from)
			words.push_back(line.substr(from, i - from));
	}
	return words;
}

// The state of a page's text being written: the open lists and displays.
struct text_state {
	text_out out;
	std::vector<open_list> lists;
	std::vector<bool> displays; // each open .Bd: whether it is literal
	bool no_fill = false;       // between .nf and .fi
	int fields = -1;            // inside .Rs: the fields written so far; -1 outside

	bool literal() const { return no_fill || (!displays.empty() && displays.back()); }
};

void put_item(text_state &state, const std::vector<mdoc_arg> &args, std::string_view page_name)
{
	text_out &out = state.out;
	if (state.lists.empty())
		state.lists.push_back({"tag", false, 0});
	open_list &list = state.lists.back();
	list.items++;
	out.want(list.compact ? gap::line : gap::paragraph);
	if (list.kind == "bullet") {
		out.put("\u2022");
	} else if (list.kind == "dash" || list.kind == "hyphen") {
		out.put("-");
	} else if (list.kind == "enum") {
		out.put(std::to_string(list.items) + ".");
	} else if (list.kind == "column") {
		put_macros(args, 1, out, page_name);
	} else if (list.kind != "item") {
		std::size_t before = out.text.size();
		put_macros(args, 1, out, page_name);
		if (out.text.size() > before && out.text.back() != ':')
			out.close(":");
	}
}

void put_line(text_state &state, const mdoc_line &line, std::string_view page_name)
{
	text_out &out = state.out;
	std::string_view macro = mdoc_macro(line.text);
	if (macro.empty() && line.text.find_first_not_of(" \t") == std::string::npos) {
		if (state.literal())
			out.literal("");
		else
			out.want(gap::paragraph);
		return;
	}
	if (line.text[0] != '.' && line.text[0] != '\'') {
		if (state.literal()) {
			out.literal(decode_escapes(line.text));
			return;
		}
		if (line.text[0] == ' ' || line.text[0] == '\t')
			out.want(gap::line);
		for (std::string_view word : words_of(line.text))
			out.put(decode_escapes(word));
		std::size_t n = line.text.size();
		if (n >= 2 && line.text[n - 2] == '\\' && line.text[n - 1] == 'c')
			out.glued = true;
		return;
	}
	std::vector<mdoc_arg> args = mdoc_args(line.text);
	if (args.empty())
		return;
	if (macro == "Pp" || macro == "Lp" || macro == "sp" || macro == "PP" || macro == "LP" || macro == "P") {
		out.want(gap::paragraph);
	} else if (macro == "br") {
		out.want(gap::line);
	} else if (macro == "nf") {
		state.no_fill = true;
	} else if (macro == "fi") {
		state.no_fill = false;
	} else if (macro == "Bl") {
		state.lists.push_back({list_kind(args), has_option(args, "-compact"), 0});
		out.want(gap::paragraph);
	} else if (macro == "El") {
		if (!state.lists.empty())
			state.lists.pop_back();
		out.want(gap::line);
	} else if (macro == "It") {
		put_item(state, args, page_name);
	} else if (macro == "Bd") {
		state.displays.push_back(has_option(args, "-literal") || has_option(args, "-unfilled"));
		out.want(has_option(args, "-compact") ? gap::line : gap::paragraph);
	} else if (macro == "Ed") {
		if (!state.displays.empty())
			state.displays.pop_back();
		out.want(gap::line);
	} else if (macro == "Dl" || macro == "D1") {
		out.want(gap::line);
		put_macros(args, 1, out, page_name);
		out.want(gap::line);
	} else if (macro == "Rs") {
		state.fields = 0;
	} else if (macro == "Re") {
		if (state.fields > 0 && !out.text.empty() && out.text.back() != '.')
			out.close(".");
		state.fields = -1;
	} else if (macro.size() == 2 && macro[0] == '%') {
		if (state.fields > 0)
			out.close(",");
		put_macros(args, 1, out, page_name);
		if (state.fields >= 0)
			state.fields++;
	} else if (macro == "Sh" || macro == "Ss") {
		out.want(gap::paragraph);
		put_macros(args, 1, out, page_name);
		out.want(gap::paragraph);
	} else if (macro == "Cd" || macro == "Nd" || macro == "Fd") {
		put_macros(args, 1, out, page_name);
	} else if (macro == "In") {
		out.put("#include");
		out.open("<");
		put_macros(args, 1, out, page_name);
		out.close(">");
	} else if (callable(args[0]) != nullptr) {
		if (state.literal())
			out.want(gap::line);
		put_macros(args, 0, out, page_name);
		if (state.literal())
			out.want(gap::line);
	}
	// Any other macro or request (.Dd, .Tg, .Bk, .ad...) writes nothing.
}

// Whether a physical line begins a block roff does not print: a macro definition or .ig.
bool opens_definition(std::string_view line, std::string &end)
{
	constexpr std::string_view definitions[] = {"de", "de1", "dei", "am", "am1", "ami", "ig"};
	std::string_view macro = mdoc_macro(line);
	if (std::find(std::begin(definitions), std::end(definitions), macro) == std::end(definitions))
		return false;
	bool ignore = macro == "ig";
	std::vector<mdoc_arg> args = mdoc_args(line);
	std::size_t end_at = ignore ? 1 : 2;
	end = args.size() > end_at ? "." + std::string(args[end_at].text) : "..";
	return true;
}

} // namespace

std::vector<mdoc_line> mdoc_lines(std::string_view page)
{
	std::vector<mdoc_line> lines;
	std::string joined;      // a line continued with a trailing backslash, so far
	bool joining = false;    // joined holds the start of the line being read
	int joined_number = 0;   // the line it began on
	std::string definition_end; // inside a definition: the line that ends it
	int number = 0;
	std::size_t at = 0;
	while (at < page.size()) {
		std::size_t end = page.find('\n', at);
		if (end == std::string_view::npos)
			end = page.size();
		std::string_view raw = page.substr(at, end - at);
		at = end + 1;
		number++;
		if (!raw.empty() && raw.back() == '\r')
			raw.remove_suffix(1);
		if (!definition_end.empty()) {
			std::string_view trimmed = raw.substr(0, raw.find_last_not_of(" \t") + 1);
			if (trimmed == definition_end)
				definition_end.clear();
			continue;
		}
		// The comment, from an unescaped \" (or \#, which also joins the next line).
		bool continued = false, commented = false;
		std::size_t cut = raw.size();
		for (std::size_t i = 0; i < raw.size(); i++) {
			if (raw[i] != '\\')
				continue;
			if (i + 1 == raw.size()) {
				cut = i;
				continued = true;
				break;
			}
			if (raw[i + 1] == '"' || raw[i + 1] == '#') {
				cut = i;
				commented = true;
				continued = raw[i + 1] == '#';
				break;
			}
			i++;
		}
		if (!joining)
			joined_number = number;
		joined.append(raw.substr(0, cut));
		joining = continued && at < page.size();
		if (joining)
			continue;
		std::string text = std::move(joined);
		joined.clear();
		if (commented && text.find_first_not_of(" \t") == std::string::npos)
			continue;
		// An empty request: a control character alone.
		bool control = !text.empty() && (text[0] == '.' || text[0] == '\'');
		if (control && text.find_first_not_of(" \t", 1) == std::string::npos)
			continue;
		if (opens_definition(text, definition_end))
			continue;
		lines.push_back({std::move(text), joined_number});
	}
	return lines;
}

std::string_view mdoc_macro(std::string_view line)
{
	if (line.empty() || (line[0] != '.' && line[0] != '\''))
		return {};
	std::size_t from = line.find_first_not_of(" \t", 1);
	if (from == std::string_view::npos)
		return {};
	std::size_t end = line.find_first_of(" \t", from);
	return line.substr(from, (end == std::string_view::npos ? line.size() : end) - from);
}

std::vector<mdoc_arg> mdoc_args(std::string_view line)
{
	std::vector<mdoc_arg> args;
	std::size_t i = line.empty() ? 0 : 1, n = line.size();
	while (true) {
		while (i < n && (line[i] == ' ' || line[i] == '\t'))
			i++;
		if (i >= n)
			break;
		if (line[i] == '"' && !args.empty()) {
			// Up to the quote that no other quote doubles.
			std::size_t from = ++i;
			while (i < n && !(line[i] == '"' && (i + 1 >= n || line[i + 1] != '"')))
				i += line[i] == '"' ? 2 : 1;
			args.push_back({line.substr(from, std::min(i, n) - from), true});
			i++;
			continue;
		}
		std::size_t from = i;
		while (i < n && line[i] != ' ' && line[i] != '\t')
			i += line[i] == '\\' ? 2 : 1;
		i = std::min(i, n);
		args.push_back({line.substr(from, i - from), false});
	}
	return args;
}

bool is_callable_macro(const mdoc_arg &arg)
{
	return callable(arg) != nullptr;
}

bool is_delimiter(const mdoc_arg &arg)
{
	return delimiter_of(arg) != delimiter::none;
}

std::string arg_text(const mdoc_arg &arg)
{
	if (!arg.quoted || arg.text.find("\"\"") == std::string_view::npos)
		return decode_escapes(arg.text);
	std::string undoubled;
	for (std::size_t i = 0; i < arg.text.size(); i++) {
		undoubled += arg.text[i];
		if (arg.text[i] == '"' && i + 1 < arg.text.size() && arg.text[i + 1] == '"')
			i++;
	}
	return decode_escapes(undoubled);
}

std::string decode_escapes(std::string_view s)
{
	std::string out;
	out.reserve(s.size());
	std::size_t i = 0;
	while (i < s.size()) {
		if (s[i] != '\\') {
			out += s[i++];
			continue;
		}
		if (i + 1 >= s.size())
			break;
		char e = s[i + 1];
		i += 2;
		switch (e) {
		case '(':
			out += looked_up(glyphs, std::size(glyphs), s.substr(i, 2));
			i = std::min(s.size(), i + 2);
			break;
		case '[':
			i--;
			put_named(out, escape_name(s, i));
			break;
		case '*':
			out += looked_up(strings, std::size(strings), escape_name(s, i));
			break;
		case 'C':
			put_named(out, delimited(s, i));
			break;
		case 'N': {
			long c = number_of(delimited(s, i), 10);
			if (c > 0)
				put_utf8(out, static_cast<std::uint32_t>(c));
			break;
		}
		case 'f':
		case 'n':
		case 'F':
		case 'g':
		case 'k':
		case 'm':
		case 'M':
		case 'V':
		case 'Y':
			// A font, a register or a colour by name: nothing to print.
			if (e == 'n' && i < s.size() && (s[i] == '+' || s[i] == '-'))
				i++;
			escape_name(s, i);
			break;
		case 's':
			// A size: \sN, \s+N, \s(NN, \s[N] or \s'N'.
			if (i < s.size() && (s[i] == '+' || s[i] == '-'))
				i++;
			if (i < s.size() && s[i] == '\'')
				delimited(s, i);
			else if (i < s.size() && (s[i] == '(' || s[i] == '['))
				escape_name(s, i);
			else if (i < s.size() && s[i] >= '0' && s[i] <= '9')
				i++;
			break;
		case 'A':
		case 'B':
		case 'D':
		case 'R':
		case 'X':
		case 'Z':
		case 'b':
		case 'h':
		case 'l':
		case 'L':
		case 'o':
		case 'v':
		case 'w':
		case 'x':
			// Drawing, motion and measuring, their argument quoted.
			delimited(s, i);
			break;
		case 'e':
		case 'E':
		case '\\':
			out += '\\';
			break;
		case '-':
			out += '-';
			break;
		case ' ':
		case '~':
		case '0':
			out += ' ';
			break;
		case 't':
			out += '\t';
			break;
		case '\'':
			out += '\'';
			break;
		case '&':
		case '|':
		case '^':
		case '%':
		case ')':
		case ',':
		case '/':
		case ':':
		case '{':
		case '}':
		case 'a':
		case 'c':
		case 'd':
		case 'p':
		case 'r':
		case 'u':
		case 'z':
			// Zero-width marks and motions.
			break;
		default:
			out += e;
			break;
		}
	}
	return valid_utf8(out);
}

std::string mdoc_plain_text(const mdoc_line *begin, const mdoc_line *end, std::string_view page_name)
{
	text_state state;
	for (const mdoc_line *line = begin; line != end; ++line)
		put_line(state, *line, page_name);
	return std::move(state.out.text);
}
