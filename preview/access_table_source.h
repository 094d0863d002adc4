#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Where the Access preview gets a database's tables and rows from. Implemented over mdbtools
// (MdbToolsTableSource); tests give their own.
class AccessTableSource {
public:
    // Why a step failed, in the parts the preview's error text shows.
    struct Error {
        std::string description;
        std::string source;
        uint32_t code = 0;
    };

    struct TableList {
        bool ok = false;
        // Every table, system tables included, in the database's order.
        std::vector<std::string> names;
        Error error;
    };

    struct Table {
        bool ok = false;
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows;
        // The rows stop early: the table is larger than the source shows.
        bool cut = false;
        Error error;
    };

    virtual ~AccessTableSource() = default;
    // Whether the source can read databases on this machine at all.
    virtual bool Installed() const = 0;
    virtual TableList ListTables(const std::filesystem::path& database) = 0;
    // `name` as the database spells it (no brackets).
    virtual Table ReadTable(const std::filesystem::path& database, const std::string& name) = 0;
};
