#include "app/frame/status_progress_bar.h"

#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <limits>

namespace {

constexpr int kMaxRange = std::numeric_limits<int>::max();

} // namespace

CProgressBar::CProgressBar(QLabel* pane, int paneIndex, const QString& label, int sizePercent,
                           uint32_t maximum, bool smooth)
    : QProgressBar(pane), m_pane(pane), m_paneIndex(paneIndex) {
    Create(label, sizePercent, maximum, smooth);
}

QString CProgressBar::IdleText() {
    return ProgramText(kIdleTextId);
}

CProgressBar::~CProgressBar() {
    Clear();
    if (m_pane != nullptr) {
        m_pane->removeEventFilter(this);
    }
}

bool CProgressBar::Create(const QString& label, int sizePercent, uint32_t maximum, bool smooth) {
    m_label = label;
    m_sizePercent = std::clamp(sizePercent, 0, 100);
    if (m_pane == nullptr) {
        hide();
        return false;
    }
    setObjectName(QStringLiteral("12"));
    setTextVisible(false);
    // The smooth style has no separate look in Qt; the flag only names the bar's role.
    setProperty("smooth", smooth);
    SetRange(0, static_cast<int>(std::min<uint32_t>(maximum, kMaxRange)), 1);
    SetStep(1);
    m_previousText = m_pane->text();
    m_pane->installEventFilter(this);
    show();
    return Layout();
}

bool CProgressBar::SetRange(int lower, int upper, int step) {
    if (m_pane == nullptr) {
        return false;
    }
    setRange(lower, std::max(lower, upper));
    setValue(lower);
    m_step = step;
    return true;
}

void CProgressBar::SetStep(int step) {
    if (m_pane == nullptr) {
        return;
    }
    show();
    m_step = step;
}

void CProgressBar::StepIt() {
    if (m_pane == nullptr) {
        return;
    }
    show();
    const int64_t next = static_cast<int64_t>(value()) + m_step;
    setValue(next > maximum() || next < minimum() ? minimum() : static_cast<int>(next));
}

bool CProgressBar::SetText(const QString& label) {
    m_label = label;
    return Layout();
}

void CProgressBar::Clear() {
    if (m_pane == nullptr) {
        return;
    }
    hide();
    m_pane->setText(m_paneIndex != 0 ? m_previousText : IdleText());
}

bool CProgressBar::Layout() {
    if (m_pane == nullptr) {
        return false;
    }
    if (!isHidden()) {
        m_pane->setText(m_label);
    }
    const QFontMetrics metrics(m_pane->font());
    const QRect rect =
        LayoutRect(m_pane->contentsRect(), metrics.horizontalAdvance(m_label),
                   metrics.horizontalAdvance(QLatin1Char(' ')), m_sizePercent, !m_label.isEmpty());
    setGeometry(rect);
    m_placement = rect;
    return true;
}

QRect CProgressBar::LayoutRect(const QRect& pane, int labelWidth, int blankWidth, int sizePercent,
                               bool hasLabel) {
    int64_t left = pane.left();
    int64_t right = static_cast<int64_t>(pane.left()) + pane.width();
    int64_t top = pane.top();
    int64_t bottom = static_cast<int64_t>(pane.top()) + pane.height();
    if (hasLabel) {
        left += static_cast<int64_t>(std::max(labelWidth, 0)) + 4LL * std::max(blankWidth, 0);
    }
    const int64_t size = std::clamp(sizePercent, 0, 100);
    right -= (100 - size) * (right - left) / 100;
    right = std::max(right, left);
    const int64_t inset = (bottom - top) / 10;
    top += inset;
    bottom -= inset;
    const auto narrow = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max()));
    };
    return QRect(narrow(left), narrow(top), narrow(right - left),
                 narrow(std::max<int64_t>(bottom - top, 0)));
}

bool CProgressBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pane && event->type() == QEvent::Resize) {
        Layout();
    }
    return QProgressBar::eventFilter(watched, event);
}
