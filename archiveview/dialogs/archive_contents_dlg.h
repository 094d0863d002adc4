#pragma once

#include "archiveview/core/archive_listing.h"
#include "archiveview/preview_file_info.h"

#include <QDialog>

#include <string>

class QLabel;
class QTableWidget;

// "RAR & Zip FileViewer": the entries of the archive (ListArchiveContents) in the report list
// 1002, each row inserted at the top as it is read, with the file name, the file's size, the
// total unpacked size and the entry count above. Reads once, when built.
class CArchiveContentsDlg : public QDialog {
    Q_OBJECT
public:
    CArchiveContentsDlg(const PreviewFileInfo& info, std::u16string fileName, std::string imagePath,
                        QWidget* parent = nullptr);

    // True when the listing holds an entry.
    bool Result() const { return m_entryCount != 0; }
    // Whether the directory could not be read to its end; a line under the list says so.
    bool Damaged() const { return m_damaged; }

private:
    void AddRow(const ArchiveEntry& entry);
    void ShowTotals();

    int32_t m_entryCount = 0;
    uint64_t m_totalUnpackedSize = 0;
    const PreviewFileInfo& m_info;
    std::string m_imagePath;
    std::u16string m_fileName;
    QTableWidget* m_list = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_compressed = nullptr;
    QLabel* m_uncompressed = nullptr;
    QLabel* m_entries = nullptr;
    QLabel* m_damageNote = nullptr;
    bool m_damaged = false;
};
