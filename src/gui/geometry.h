// The per-user file ~/.kelvanerc that remembers the main window's size.
#pragma once

extern int geometry_width;  // remembered size, 0 when unknown
extern int geometry_height;
extern int geometry_details; // 1 when the details area was shown (also when unknown), 0 when hidden

// Sets geometry_width and geometry_height from the file; without a usable
// file the width is 0, to be measured, and the height a default.
void load_geometry();

// Writes width, height and whether the details are shown to the file when
// they differ from what is remembered; details -1 keeps the remembered one.
void store_geometry(int width, int height, int details = -1);

// store_geometry with main_window's current size and details.
void save_geometry();
