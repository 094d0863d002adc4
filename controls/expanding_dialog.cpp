#include "controls/expanding_dialog.h"

#include <QAbstractButton>
#include <QShowEvent>

CExpandingDialog::CExpandingDialog(QWidget* parent, int dividerId, int buttonId, int furtherValue,
                                   const QString& collapsedText, const QString& expandedText,
                                   bool changeText)
    : QDialog(parent), m_collapsedText(collapsedText), m_expandedText(expandedText),
      m_dividerId(dividerId), m_buttonId(buttonId), m_furtherValue(furtherValue),
      m_changeText(changeText) {}

bool CExpandingDialog::OnBeforeChange(bool) {
    return true;
}

bool CExpandingDialog::NewExpandedState(bool requested) {
    return requested;
}

void CExpandingDialog::OnAfterChange(bool) {}

QWidget* CExpandingDialog::Child(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CExpandingDialog::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        // The subclass has built its controls by now.
        m_initialised = true;
        if (auto* button = qobject_cast<QAbstractButton*>(Child(m_buttonId));
            button != nullptr && !m_buttonConnected) {
            connect(button, &QAbstractButton::clicked, this, &CExpandingDialog::ToggleRequested);
            m_buttonConnected = true;
        }
        Expand(false);
    }
    QDialog::showEvent(event);
}

void CExpandingDialog::ToggleRequested() {
    SetExpanded(!m_expanded);
}

void CExpandingDialog::Expand(bool expand) {
    if (expand == m_expanded) {
        return;
    }
    QWidget* button = Child(m_buttonId);
    QWidget* divider = Child(m_dividerId);
    if (button == nullptr || divider == nullptr) {
        return;
    }
    if (expand) {
        for (const QPointer<QWidget>& child : m_disabledByCollapse) {
            if (child != nullptr) {
                child->setEnabled(true);
            }
        }
        m_disabledByCollapse.clear();
        resize(m_fullSize);
        if (m_changeText) {
            if (auto* push = qobject_cast<QAbstractButton*>(button)) {
                push->setText(m_expandedText);
            }
        } else {
            // Without a text for the way back the full form is final.
            button->setEnabled(false);
        }
        m_expanded = true;
        return;
    }
    if (!m_fullSize.isValid()) {
        m_fullSize = size();
        divider->hide();
    }
    const QRect dividerRect = divider->geometry();
    const QRect shortForm(QPoint(0, 0), dividerRect.bottomRight());
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child == divider || child->isWindow() || !child->isEnabled() ||
            child->geometry().intersects(shortForm)) {
            continue;
        }
        child->setEnabled(false);
        m_disabledByCollapse.emplace_back(child);
    }
    resize(shortForm.size());
    if (auto* push = qobject_cast<QAbstractButton*>(button)) {
        push->setText(m_collapsedText);
    }
    m_expanded = false;
}

bool CExpandingDialog::SetExpanded(bool requested) {
    if (requested == m_expanded) {
        return true;
    }
    if (!OnBeforeChange(m_expanded)) {
        return requested == m_expanded;
    }
    const bool newState = NewExpandedState(requested);
    Expand(newState);
    if (QWidget* button = Child(m_buttonId)) {
        // Next control in the tab order after the button that can take the focus, at most
        // once round the chain.
        for (QWidget* next = button->nextInFocusChain(); next != nullptr && next != button;
             next = next->nextInFocusChain()) {
            if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() &&
                next->isVisibleTo(this) && isAncestorOf(next)) {
                next->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    OnAfterChange(newState);
    return newState == requested;
}
