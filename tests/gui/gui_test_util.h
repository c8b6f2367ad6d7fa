// Helpers for driving real GTK widgets from a test.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

// One message dialog as the test saw it, answered.
struct seen_dialog {
	std::string text;
	GtkMessageType type;
	GtkButtonsType buttons;
};

// Queues answers for the message dialogs that will be run next, in order:
// each one is answered with the next response once it is shown, and recorded.
void answer_dialogs(std::vector<gint> responses);

// The dialogs answered since the last call of answer_dialogs.
const std::vector<seen_dialog> &answered_dialogs();

// Runs the main loop until nothing is pending.
void process_events();
