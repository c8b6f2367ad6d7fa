// Saving the changes, and the two ways out of the main window.
#pragma once

#include <gtk/gtk.h>

void on_save_clicked(GtkButton *button, gpointer data);
void on_quit_clicked(GtkButton *button, gpointer data);
gboolean on_delete_event(GtkWidget *widget, GdkEvent *event, gpointer data);
void on_destroy(GtkWidget *widget, gpointer data);
