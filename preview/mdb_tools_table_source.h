#pragma once

#include "preview/access_table_source.h"
#include "preview/child_process.h"

#include <chrono>
#include <functional>
#include <string>

// The tables of an Access database through mdbtools, run out of process ("mdb-tables -S -1"
// for the names, system tables included; "mdb-export" for a table's rows), each run with a
// time limit and an output cap. The database path and table names are passed after "--", so
// a name from the file can never be taken for an option.
class MdbToolsTableSource : public AccessTableSource {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{20000};
    static constexpr size_t kListCap = 1 << 20;
    static constexpr size_t kTableCap = 8 << 20;

    // The two programs; tests name others.
    explicit MdbToolsTableSource(std::string tablesProgram = "mdb-tables",
                                 std::string exportProgram = "mdb-export",
                                 std::chrono::milliseconds timeLimit = kTimeLimit);

    // Called between waits while a program runs (the window handles its events there).
    void SetIdle(std::function<void()> idle) { m_idle = std::move(idle); }

    bool Installed() const override;
    TableList ListTables(const std::filesystem::path& database) override;
    Table ReadTable(const std::filesystem::path& database, const std::string& name) override;

private:
    ChildProcess::Result RunTool(std::vector<std::string> argv, size_t cap);
    static Error ErrorOf(const std::string& program, const ChildProcess::Result& result);

    std::string m_tablesProgram;
    std::string m_exportProgram;
    std::chrono::milliseconds m_timeLimit;
    std::function<void()> m_idle;
};
