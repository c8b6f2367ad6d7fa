// Settings that the defaults file shows only as commented-out samples, such as "#kld_list=""".
#pragma once

#include "model/rc_entry.h"

#include <string_view>
#include <vector>

// Forgets the samples, before the defaults are read again.
void clear_samples();

// Takes a comment of the defaults file (its text after the "#") that begins
// a line; one that reads as an assignment is a sample.
void note_sample(std::string_view comment);

// The samples, each read as rc.conf would hold it with the comment behind
// it; the first sample of each name.
std::vector<rc_entry> read_samples();
