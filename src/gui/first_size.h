// The main window's first width, measured from what its lists show.
#pragma once

#include <gtk/gtk.h>

#include <string>

// The name among model's rows that takes the most room in view's font.
std::string widest_name_of(GtkWidget *view, GtkTreeModel *model);

// The width of text in view's font, in pixels.
int text_width(GtkWidget *view, const char *text);

// A width for the built main window that shows the widest name of each list
// whole beside a check box or a typical value, at most the screen's width.
int first_width(GtkWidget *window);
