// What the defaults file says of each of its variables: the comment beside it and the lines that go on with it.
#pragma once

#include "shell/reader.h"

#include <string>
#include <string_view>

// Forgets every description, before the defaults are read again.
void clear_descriptions();

// Takes a comment of the defaults file: its text after the "#", and where it stands.
void note_comment(std::string_view text, comment_place place);

// Takes a top-level assignment of the defaults file, once its line is read.
void note_assignment(std::string_view name, int line);

// The defaults' whole comment of name, its lines joined; "" when it has none.
std::string description_of(std::string_view name);
