#pragma once

#include <QDialog>

#include <filesystem>

class QListWidget;

// The licence agreement from the about box: each line of "eula.dat" in the data folder as one
// row of a list, in order; a missing file leaves the list empty. Controls carry their ids as
// object names.
class CEulaDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 140;
    static constexpr int kListId = 1007;
    static constexpr int kCloseId = 2;
    static constexpr char kEulaFileName[] = "eula.dat";
    // A longer file is shown up to here.
    static constexpr uint64_t kMaxFileBytes = 1024 * 1024;

    // Reads `eulaFile` (DataFolder()/"eula.dat" when empty).
    explicit CEulaDlg(const std::filesystem::path& eulaFile = {}, QWidget* parent = nullptr);

    QListWidget* List() const { return m_list; }

private:
    QListWidget* m_list = nullptr;
};
