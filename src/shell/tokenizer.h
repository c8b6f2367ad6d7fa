// The rc.conf tokenizer: cuts a file into the tokens /bin/sh reads from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

// What next_token found. The operators are sh's; every redirection, here
// documents included, is one token_redirect (their bodies are skipped here).
enum token_kind {
	token_end = 0, // the input is exhausted
	token_word,
	token_newline,
	token_comment, // "#" to the end of its line, the newline not included
	token_semicolon,
	token_double_semicolon,
	token_ampersand,
	token_and_if,
	token_pipe,
	token_or_if,
	token_open_paren,
	token_close_paren,
	token_redirect,
};

// Bytes of a word, of its value and of a comment that are kept; the rest is
// read and dropped, so that no token holds more memory than this.
constexpr std::size_t word_text_limit = 1024;

// What the tokenizer learns of a word while reading it.
struct word_token {
	std::string_view text;  // as written, continuations removed; cut to word_text_limit
	bool text_cut;          // text holds only the beginning of the word
	bool unterminated;      // the input ended inside a quote, an expansion or a backquote
	bool io_number;         // digits right before < or >: a redirection's descriptor
	// An assignment word, NAME=value with NAME unquoted; name_length is 0 for any other word.
	std::size_t name_length;
	std::string_view value_text; // the value as written, after the "="
	std::string_view shown;      // the value as the inside of one double-quoted text
	bool shown_cut;              // shown holds only the beginning of the value
	bool as_written;             // no double-quoted text reads as this value: show value_text
	bool expands;                // the value holds $, ` or ~ that sh expands
	std::string_view literal;    // the value after quote removal; meaningful when !expands
};

// Sets the stream that the next request reads and starts it afresh, at the
// top level of a file; no more than limit bytes of it are read. The
// tokenizer never opens or closes a stream.
void set_tokenizer_input(FILE *in, std::size_t limit = SIZE_MAX);

// Whether the stream went on past the limit: the input ended there.
bool input_over_limit();

// Reads the next token. Ends the program with status 2 on a failed read or
// when memory runs out.
token_kind next_token();

// The line of the file on which the last token begins, counted from 1.
std::size_t token_line();

// Whether the last token's first byte is the first byte of its line.
bool token_starts_line();

// The text of the last token: a comment's text after the "#", an operator,
// or a word as written. Valid until the next call of next_token.
std::string_view token_text();

// The last token, when it was a word. Valid until the next call of next_token.
const word_token &last_word();

// Discards the input the tokenizer holds.
void flush_tokenizer();
