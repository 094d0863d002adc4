// The frame's side of disk imaging: starting the job, the progress panel it shows over the
// file list while the image is made, and opening image files as drives.

#include "app/dialogs/common/file_dialog_start.h"
#include "app/frame/main_frame.h"

#include "app/dialogs/scan/image_progress_dlg.h"
#include "app/previews/scroll_bitmap_dlg.h"
#include "app/program_text.h"
#include "app/views/file_list_view.h"
#include "app/views/left_view.h"
#include "controls/sector_map_ctrl.h"
#include "controls/sector_map_model.h"
#include "diskio/sources/disk_image_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/imaging/thread_for_grid_dialog.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <QFileDialog>

namespace {} // namespace

CImageProgressDlg* CMainFrame::ImageProgressDialog() const {
    return m_imageDialog;
}

CScrollBitmapDlg* CMainFrame::ChildPane() const {
    return m_childPane;
}

bool CMainFrame::StartDiskImage(const DriveNode& node, scan_action::Region region,
                                const QString& path) {
    if (JobRunning()) {
        return false;
    }
    CloseChildPane();
    CThreadForGridDialog job(m_state);
    job.SetImageParams(path.toStdU16String(), node, region.firstSector, region.lastSector,
                       &m_jobWindow);
    // The panel's tooltips count sectors by the run's own blocks.
    m_imageSectorsPerBlock =
        CThreadForGridDialog::SectorsPerBlockFor(region.firstSector, region.lastSector);
    const bool started = job.Start(m_runner);
    ApplyButtonRules();
    return started;
}

void CMainFrame::CoverFileList(QWidget* panel) {
    panel->setGeometry(m_fileListView->rect());
    panel->show();
    panel->raise();
}

void CMainFrame::OnImageStart() {
    if (m_imageDialog != nullptr) {
        m_imageDialog->close();
    }
    m_imageDialog = new CImageProgressDlg(m_fileListView);
    m_imageDialog->SectorMap()->SetSectorsPerBlock(m_imageSectorsPerBlock);
    CoverFileList(m_imageDialog);
}

void CMainFrame::OnImageDone(const ImageDonePayload& done) {
    if (m_imageDialog == nullptr) {
        return;
    }
    // Closing deletes the panel later; it is gone for the frame at once.
    m_imageDialog->close();
    m_imageDialog = nullptr;
    // The job is over: "job running" is the runner's and stays until its thread has ended.
    m_state.jobFlags.stopRequested = true;
    m_state.jobFlags.stoppable = false;
    // An image that could not be written is not opened: the file may hold an older image.
    if (done.imageWritten) {
        LoadFile(QString::fromStdU16String(done.imagePath));
    }
    ShowChildPane();
    ApplyButtonRules();
}

void CMainFrame::ShowChildPane() {
    if (m_childPane != nullptr || m_imageDialog != nullptr) {
        return;
    }
    m_childPane = new CScrollBitmapDlg(m_fileListView);
    CoverFileList(m_childPane);
}

void CMainFrame::FollowFileListSize() {
    for (QWidget* panel :
         {static_cast<QWidget*>(m_childPane.data()), static_cast<QWidget*>(m_imageDialog.data())}) {
        if (panel != nullptr) {
            panel->setGeometry(m_fileListView->rect());
        }
    }
}

void CMainFrame::CloseChildPane() {
    if (m_childPane != nullptr) {
        m_childPane->close();
        m_childPane = nullptr;
    }
}

QString CMainFrame::AskOpenImagePath() {
    return QFileDialog::getOpenFileName(this, ProgramText(kOpenImageTitleId), FileDialogStart(),
                                        ProgramText(kImageFileWordId) + QStringLiteral(" (*.img)"));
}

void CMainFrame::OnOpenImageFile() {
    const QString path = AskOpenImagePath();
    if (path.isEmpty()) {
        return;
    }
    LoadFile(path);
}

bool CMainFrame::LoadFile(const QString& path) {
    const ImageFileLoad load =
        disk_image_file::LoadImageFile(path.toStdString(), m_state.driveList.nodes);
    if (!load.node) {
        QString text;
        switch (load.refusal) {
        case ImageFileRefusal::CannotOpen:
            text = ProgramText(kCannotOpenFileId) + path;
            break;
        case ImageFileRefusal::NoNumberLeft:
            text = QString::fromStdU16String(
                FormatText(StringTable::Program().Get(kNoNumberForImageId), path.toStdU16String()));
            break;
        default:
            text = ProgramText(kNotValidImageId);
            break;
        }
        AskUser(text, QString::fromUtf16(kTitle), MessageBoxIcon::Error, MessageBoxButtons::Ok,
                true);
        return false;
    }
    // The image joins the drive list, so the drive list must be what is shown.
    if (!m_leftView->DriveTreeShown()) {
        ShowDriveList();
        if (!m_leftView->DriveTreeShown()) {
            return false; // the user kept the results
        }
    }
    m_state.driveList.nodes.push_back(*load.node);
    m_leftView->AddImageItem(m_state.driveList.nodes.back());
    return true;
}
