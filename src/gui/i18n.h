// The program's own texts, looked up in the message catalogue of the user's language.
#pragma once

#ifdef KELVANE_NLS
#include <glib/gi18n.h>
#else
#define _(text) (text)
#define N_(text) (text)
#define ngettext(one, many, count) ((count) == 1 ? (one) : (many))
#endif

// The name of the catalogue.
constexpr const char *text_domain = "kelvane";
