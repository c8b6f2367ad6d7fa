// Reading a manual page's file, gzip-compressed or plain, within a bound on its size.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The most text a page may give, and the most of its file that is read:
// 4 MiB, forty times rc.conf(5) of 2022 (which is twice that of 2002).
// Reading a page takes memory of some twenty times its text at worst.
constexpr std::size_t manual_size_limit = std::size_t{4} << 20;

// Reads the regular file at path into text, decompressed when it is gzip
// data, without blocking on a FIFO or a device. A file larger than
// manual_size_limit is passed over (open_file.h notes it); at most that
// many bytes of the file are read, should it grow, and of text kept. Of gzip
// data only the members that inflate whole and check out count: damaged
// or cut short, a member may inflate to garbage before zlib can tell.
// Returns 0, or -1 (text empty) when the file cannot be opened or read,
// or its gzip data gives no text.
int read_manual_file(const char *path, std::string &text);

// read_manual_file for a file already open on in, which stays open.
int read_manual_stream(FILE *in, std::string &text);
