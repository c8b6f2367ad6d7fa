// What the icons of the S column mean: tooltips on its header and on each icon.
#pragma once

#include <gtk/gtk.h>

// The meaning of a row's mark, translated, or nullptr for a row without one.
const char *mark_meaning(const char *mark);

// Gives the S column of view a header tooltip showing each icon with its
// meaning, and each icon in it a tooltip of its own.
void explain_marks(GtkWidget *view);
