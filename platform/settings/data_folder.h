#pragma once

#include <filesystem>

// Stands in for the Windows program's installation folder ("Path"), which held both the data
// delivered with the program and the files it rewrites. Here the two are apart: the data folder
// is read-only (the delivered signature file, language packs, the user guide), and what the
// program rewrites lives in the user's folder beside the settings file.

// $MORWICK_DATA when set and not empty; else <folder of the program>/../share/morwick-wrenfal
// when that folder exists (an installed program, and the build, where programs lie in bin/);
// else the folder the build assembles.
std::filesystem::path DataFolder();

// The data folder the build assembles, <build>/share/morwick-wrenfal, fixed when the program is
// compiled. Empty when the build did not say.
std::filesystem::path BuildDataFolder();

// The folder of the running program, from /proc/self/exe. Empty when unknown.
std::filesystem::path ProgramFolder();

#ifndef MORWICK_LIBRARY_VARIANT
// The user's writable folder: the folder of the settings file (SettingsStore::DefaultPath()).
// Empty when no settings path is known. The viewer libraries keep no settings and have none.
std::filesystem::path UserFolder();
#endif
