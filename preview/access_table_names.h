#pragma once

#include "preview/access_table_source.h"

#include <string>
#include <string_view>
#include <vector>

// The rules of the Access preview's table list, without a window.

// The eleven system tables the list never shows, compared without regard to case.
bool IsHiddenSystemTable(std::string_view name);

// One row of the list: the text shown and the name the database knows.
struct AccessTableEntry {
    std::string shown;
    std::string name;
};

// The tables to list, in the database's order: hidden system tables left out, a name that
// holds a blank shown in square brackets.
std::vector<AccessTableEntry> ListedTables(const std::vector<std::string>& names);

// The error text of a failed step: "Description : ...\nSource : ...\nCode : 0x...\nMessage :
// ...\n", a missing part printed as "null"; `passwordText` in place of all of it when the
// description speaks of a password that is not valid (in any case).
std::string TableErrorText(const AccessTableSource::Error& error, std::string_view passwordText);
