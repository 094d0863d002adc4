#include "app/dialogs/common/updating_list_dlg.h"

#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

CUpdatingListDlg::CUpdatingListDlg(uint32_t clusters, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kUpdatingListCaptionId));
    setWindowModality(Qt::WindowModal);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QString::number(kProgressId));
    // The bar counts in int: a chain longer than that is shown to scale.
    m_progress->setRange(0, static_cast<int>(std::min<uint32_t>(
                                clusters, static_cast<uint32_t>(std::numeric_limits<int>::max()))));
    m_progress->setValue(0);
    m_progress->setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_progress);
}

void CUpdatingListDlg::Step() {
    if (m_progress->value() < m_progress->maximum()) {
        m_progress->setValue(m_progress->value() + 1);
    }
}
