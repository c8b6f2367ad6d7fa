// Offering, as a name is typed in the add window, the names the boot knows that no row shows.
#pragma once

#include <gtk/gtk.h>

// Makes name offer the defaults' commented-out samples and, on this
// machine's own root, ifconfig_IF for its network interfaces, leaving out
// the names that rows show. Choosing one fills value with the sample's
// value; note shows the sample's comment while name holds it.
void offer_names(GtkEntry *name, GtkEntry *value, GtkLabel *note);
