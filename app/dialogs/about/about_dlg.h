#pragma once

#include "platform/shell/system_information.h"

#include <QDialog>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>

class QLabel;

// Help > About: the product, its version and file systems, the machine's memory and system,
// the project's three addresses as links (blue, purple once visited, opened by the desktop) and
// the licence agreement behind "EULA". Controls carry their ids as object names.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 100;
    static constexpr int kEulaId = 1106;
    static constexpr int kOkId = 1;
    static constexpr int kSystemInformationId = 1104;
    // The three links: home page, support mail, sales mail.
    static constexpr std::array<int, 3> kLinkIds = {1101, 1102, 1103};
    static constexpr char16_t kProductName[] = u"Morwick Wrenfal Windows Data Recovery";
    static constexpr char16_t kVersion[] = u"v3.0.0.1";
    static constexpr char16_t kFileSystems[] = u"FAT12, FAT16, FAT32, NTFS";

    struct Link {
        const char16_t* text;
        const char* address;
    };
    static constexpr std::array<Link, 3> kLinks = {{
        {u"www.morwickwrenfal.org", "https://morwickwrenfal.org"},
        {u"support@morwickwrenfal.org", "mailto:support@morwickwrenfal.org"},
        {u"sales@morwickwrenfal.org", "mailto:sales@morwickwrenfal.org"},
    }};

    // Opens an address; false when the desktop could not. Tests replace it.
    using LinkOpener = std::function<bool(const QUrl& address)>;
    // Runs the licence dialog. Tests replace it.
    using EulaRunner = std::function<void(QWidget* parent)>;

    explicit CAboutDlg(const SystemInformation& system = SystemInformation::Read(),
                       QWidget* parent = nullptr);

    void SetLinkOpener(LinkOpener opener) { m_openLink = std::move(opener); }
    void SetEulaRunner(EulaRunner runner) { m_runEula = std::move(runner); }

    // The lines of the system-information area.
    static QString SystemText(const SystemInformation& system);
    bool Visited(size_t link) const { return link < m_visited.size() && m_visited[link]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenLink(size_t link);
    void ColourLink(size_t link);

    LinkOpener m_openLink;
    EulaRunner m_runEula;
    std::array<QLabel*, 3> m_linkLabels{};
    std::array<bool, 3> m_visited{};
};
