// The context menu of a row: Undo Change and Reset to Default.
#pragma once

#include <gtk/gtk.h>

// Gives view, knob_view or string_view, its rows' menu: a right click on a
// row selects it and opens the menu; the Menu key and Shift+F10 open it on
// the cursor's row.
void add_row_menu(GtkWidget *view);
