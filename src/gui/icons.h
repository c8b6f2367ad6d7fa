// The application pictures, compiled in from icons/.
#pragma once

#include <gtk/gtk.h>

extern GdkPixbuf *logo_pixbuf; // the 64-pixel picture, for the window and About

// Makes the four images, sets window's icon and the default icon list.
void load_icons(GtkWidget *window);
