// The rc.conf tokenizer: cuts input into name, value and comment tokens.
#pragma once

#include <cstdio>
#include <string_view>

// Sets the stream that the next request reads. The tokenizer never opens
// or closes a stream.
void set_tokenizer_input(FILE *in);

// Returns the first character of the next token (a name character, '"' or
// '#'), or 0 when the input is exhausted. Ends the program with status 2 on a
// failed read or when memory runs out.
int next_token();

// The text of the token next_token returned last, NUL-terminated; valid until
// the next call of next_token.
std::string_view token_text();

// Discards the input the tokenizer holds and sets its start-of-line state.
void flush_tokenizer();
