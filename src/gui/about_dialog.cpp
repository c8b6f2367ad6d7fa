// The About dialog: credits, licence and logo.
#include "gui/about_dialog.h"

#include "gui/i18n.h"
#include "gui/icons.h"
#include "gui/main_window.h"
#include "version.h"

namespace {

constexpr const gchar *authors[] = {"The Kelvane developers <developers@kelvane.invalid>", nullptr};
constexpr const gchar *artists[] = {"The Kelvane artists <artists@kelvane.invalid>", nullptr};

// Broken by hand: the dialog shows it as it is, without wrapping.
constexpr const char license[] =
	"Copyright (c) 2024-2026 The Kelvane developers. All rights reserved.\n"
	"Copyright (c) 2024-2026 The Kelvane artists. All rights reserved.\n"
	"\n"
	"Redistribution and use in source and binary forms, with or without\n"
	"modification, are permitted provided that the following conditions are met:\n"
	"\n"
	"* Redistributions of source code must retain the above copyright notice,\n"
	"  this list of conditions and the following disclaimer.\n"
	"* Redistributions in binary form must reproduce the above copyright notice,\n"
	"  this list of conditions and the following disclaimer in the documentation\n"
	"  and/or other materials provided with the distribution.\n"
	"\n"
	"THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS \"AS IS\"\n"
	"AND ANY EXPRESS OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE\n"
	"IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE\n"
	"ARE DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT HOLDER OR CONTRIBUTORS BE\n"
	"LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR\n"
	"CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF\n"
	"SUBSTITUTE GOODS OR SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS\n"
	"INTERRUPTION) HOWEVER CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN\n"
	"CONTRACT, STRICT LIABILITY, OR TORT (INCLUDING NEGLIGENCE OR OTHERWISE)\n"
	"ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF ADVISED OF THE\n"
	"POSSIBILITY OF SUCH DAMAGE.\n";

} // namespace

// The toolkit keeps the dialog with main_window and shows the same one again
// at every later press. In GTK+ 2 "name" is the widget's own name; the
// program name shown comes from "program-name".
void on_about_clicked(GtkButton *, gpointer)
{
	gtk_show_about_dialog(GTK_WINDOW(main_window),
	                      "authors", authors,
	                      "artists", artists,
	                      "copyright", "Copyright (c) 2024-2026 The Kelvane developers",
	                      "comments", _("A user-friendly rc.conf editor"),
	                      "license", license,
	                      "logo", logo_pixbuf,
	                      "name", kelvane_name,
	                      "version", kelvane_version,
	                      "website", "https://kelvane.invalid/",
	                      "program-name", kelvane_name,
	                      "wrap-license", FALSE,
	                      nullptr);
}
