// Opening a file to read without ever blocking on it.
#pragma once

#include <cstdio>

// Opens path for reading without blocking on a FIFO or a device, and hands
// back a stream only for a regular file; anything else gives nullptr.
FILE *open_for_reading(const char *path);
