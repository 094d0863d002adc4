#include "preview/mdb_tools_table_source.h"

#include "preview/mdb_output_reader.h"
#include "preview/office_converter.h"

#include <cstring>

namespace {

constexpr int kPollMs = 25;

std::string OutcomeText(const ChildProcess::Result& result) {
    switch (result.outcome) {
    case ChildProcess::Outcome::Exited:
        return "exited with status " + std::to_string(result.code);
    case ChildProcess::Outcome::Signalled:
        return "ended by signal " + std::to_string(result.code);
    case ChildProcess::Outcome::TimedOut:
        return "did not finish in time";
    case ChildProcess::Outcome::OutputCapped:
        return "printed more than the preview reads";
    case ChildProcess::Outcome::StartFailed:
        return std::string("could not be started: ") + std::strerror(result.code);
    case ChildProcess::Outcome::Running:
        break;
    }
    return "failed";
}

} // namespace

MdbToolsTableSource::MdbToolsTableSource(std::string tablesProgram, std::string exportProgram,
                                         std::chrono::milliseconds timeLimit)
    : m_tablesProgram(std::move(tablesProgram)), m_exportProgram(std::move(exportProgram)),
      m_timeLimit(timeLimit) {}

bool MdbToolsTableSource::Installed() const {
    return OfficeConverter({m_tablesProgram}).Installed() &&
           OfficeConverter({m_exportProgram}).Installed();
}

ChildProcess::Result MdbToolsTableSource::RunTool(std::vector<std::string> argv, size_t cap) {
    ChildProcess::Launch launch;
    launch.argv = std::move(argv);
    launch.timeLimit = m_timeLimit;
    launch.outputCap = cap;
    // Numbers and dates as the C locale prints them, whatever the user's locale.
    launch.environment = {"LC_ALL=C.UTF-8"};
    ChildProcess process;
    if (process.Start(launch)) {
        while (!process.Poll(kPollMs)) {
            if (m_idle) {
                m_idle();
            }
        }
    }
    return process.GetResult();
}

AccessTableSource::Error MdbToolsTableSource::ErrorOf(const std::string& program,
                                                      const ChildProcess::Result& result) {
    Error error;
    error.source = program;
    error.description = program + " " + OutcomeText(result);
    error.code = static_cast<uint32_t>(result.code);
    return error;
}

AccessTableSource::TableList
MdbToolsTableSource::ListTables(const std::filesystem::path& database) {
    TableList list;
    const ChildProcess::Result result =
        RunTool({m_tablesProgram, "-S", "-1", "--", database.string()}, kListCap);
    if (!result.Succeeded()) {
        list.error = ErrorOf(m_tablesProgram, result);
        return list;
    }
    list.ok = true;
    list.names = MdbTableNames::Read(result.output);
    return list;
}

AccessTableSource::Table MdbToolsTableSource::ReadTable(const std::filesystem::path& database,
                                                        const std::string& name) {
    Table table;
    const ChildProcess::Result result =
        RunTool({m_exportProgram, "-e", "-b", "strip", "-D", "%Y-%m-%d", "-T", "%Y-%m-%d %H:%M:%S",
                 "--", database.string(), name},
                kTableCap);
    const bool cut = result.outcome == ChildProcess::Outcome::OutputCapped;
    if (!result.Succeeded() && !cut) {
        table.error = ErrorOf(m_exportProgram, result);
        return table;
    }
    MdbExportedTable exported = MdbExportedTable::Read(result.output, cut);
    table.ok = true;
    table.cut = cut;
    table.columns = std::move(exported.columns);
    table.rows = std::move(exported.rows);
    return table;
}
