// The program's name and version, shown by -v, the window title and About.
#pragma once

// KELVANE_VERSION comes from project() in CMakeLists.txt, the one place the
// number is kept; the release tarball and the port take it from there too.
constexpr const char *kelvane_name = "Kelvane";
constexpr const char *kelvane_version = KELVANE_VERSION " \"Lanternfall\"";
