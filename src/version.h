// The program's name and version, shown by -v, the window title and About.
#pragma once

constexpr const char *kelvane_name = "Kelvane";
constexpr const char *kelvane_version = "0.6.8 \"Lanternfall\"";
