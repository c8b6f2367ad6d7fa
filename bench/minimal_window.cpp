// The yardstick for the start-up benchmark: a GTK+ 2 program that opens one empty window.
#include <gtk/gtk.h>

int main(int argc, char **argv)
{
	gtk_init(&argc, &argv);
	GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_title(GTK_WINDOW(window), "minimal");
	g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
	gtk_widget_show(window);
	gtk_main();
	return 0;
}
