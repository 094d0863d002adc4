#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class QTreeWidget;

// The message log: one row per step of a job, with the columns "Activity", "Description" and
// "Status" and a picture by image index (1 started, 3 aborted or skipped, 4 partial,
// 5 completed, 6 read error). Rows stay until Clear Log. The report it saves is UTF-8 text.
class CLogPaneDlg : public QWidget {
    Q_OBJECT
public:
    struct Row {
        QString activity;
        QString description;
        QString status;
        int image = 0;
        bool operator==(const Row&) const = default;
    };

    static constexpr int kListId = 1002;
    // Each text of a row goes into the report cut to this many bytes, on a character boundary.
    static constexpr size_t kMaxReportTextBytes = 260;
    static constexpr size_t kSeparatorLength = 79;
    static constexpr size_t kIndent = 20;

    explicit CLogPaneDlg(QWidget* parent = nullptr);

    // Widens the columns whose titles in the current language need more room.
    void FitColumnsToTitles();
    // Appends a row and, past the first few, scrolls it into view.
    void AddLogMessage(const QString& activity, const QString& description, const QString& status,
                       int image);
    void ClearLog();

    int RowCount() const;
    std::vector<Row> Rows() const;
    // A row was added since the log was last cleared.
    bool LogChanged() const { return m_logChanged; }
    QTreeWidget* List() const { return m_list; }

    // The report: a title line (the report title of the current language and the program's),
    // then per row its activity (after a line of dashes for every row but the first) and its
    // indented description and status; empty texts are left out. Lines end in CR LF.
    static std::string FormatReport(const std::vector<Row>& rows, const QString& programTitle);
    // Creates the file with the report; an existing file is replaced only with `replace`, and
    // never through a link. False when it cannot be written whole.
    bool SaveReport(const std::filesystem::path& file, const QString& programTitle,
                    bool replace) const;

    // The longest prefix of `utf8` of at most maxBytes bytes that ends on a character boundary.
    static std::string CutUtf8(const std::string& utf8, size_t maxBytes);

private:
    QTreeWidget* m_list = nullptr;
    bool m_logChanged = false;
};
