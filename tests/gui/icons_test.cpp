// Tests of the application pictures made by load_icons.
#include "gui/icons.h"

#include <gtest/gtest.h>

namespace {

guchar alpha_at(GdkPixbuf *pixbuf, int x, int y)
{
	const guchar *row = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf);
	return row[x * gdk_pixbuf_get_n_channels(pixbuf) + 3];
}

} // namespace

TEST(Icons, FourSizesWithTransparentCorners)
{
	GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	load_icons(window);
	EXPECT_EQ(gtk_window_get_icon(GTK_WINDOW(window)), logo_pixbuf);
	GList *icons = gtk_window_get_default_icon_list();
	ASSERT_EQ(g_list_length(icons), 4u);
	int size = 16;
	for (GList *l = icons; l != nullptr; l = l->next, size += 16) {
		GdkPixbuf *pixbuf = GDK_PIXBUF(l->data);
		EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), size);
		EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), size);
		ASSERT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf)) << size;
		for (int corner : {0, size - 1})
			EXPECT_EQ(alpha_at(pixbuf, corner, 0) + alpha_at(pixbuf, corner, size - 1), 0) << size;
		EXPECT_EQ(alpha_at(pixbuf, size / 2, size / 2), 255) << size;
	}
	EXPECT_EQ(g_list_last(icons)->data, logo_pixbuf);
	g_list_free(icons);
	gtk_widget_destroy(window);
}
