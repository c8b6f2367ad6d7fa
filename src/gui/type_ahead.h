// Finding a name by typing in either list, and the keys that act on what is found.
#pragma once

#include <gtk/gtk.h>

// Makes typing in view find a name, as type_ahead.cpp describes.
void use_type_ahead(GtkWidget *view);
