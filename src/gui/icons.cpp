// The application pictures, compiled in from icons/, and the window icons made from them.
#include "gui/icons.h"

#include "icon_16.xpm"
#include "icon_32.xpm"
#include "icon_48.xpm"
#include "icon_64.xpm"

GdkPixbuf *logo_pixbuf; // made from icon_64, kept for the whole run

void load_icons(GtkWidget *window)
{
	GdkPixbuf *small = gdk_pixbuf_new_from_xpm_data(icon_16);
	GdkPixbuf *medium = gdk_pixbuf_new_from_xpm_data(icon_32);
	GdkPixbuf *large = gdk_pixbuf_new_from_xpm_data(icon_48);
	logo_pixbuf = gdk_pixbuf_new_from_xpm_data(icon_64);

	gtk_window_set_icon(GTK_WINDOW(window), logo_pixbuf);

	// The toolkit keeps its own references to the images, not to the list.
	GList *icons = nullptr;
	icons = g_list_append(icons, small);
	icons = g_list_append(icons, medium);
	icons = g_list_append(icons, large);
	icons = g_list_append(icons, logo_pixbuf);
	gtk_window_set_default_icon_list(icons);
	g_list_free(icons);
}
