// The per-user file ~/.kelvanerc that remembers the main window's size.
#pragma once

extern int geometry_width;  // remembered size, 0 when unknown
extern int geometry_height;

// Sets geometry_width and geometry_height from the file; without a usable
// file the width is 0, to be measured, and the height a default.
void load_geometry();

// Writes width and height to the file when they differ from the remembered size.
void store_geometry(int width, int height);

// store_geometry with main_window's current size.
void save_geometry();
