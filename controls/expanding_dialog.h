#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QString>

#include <vector>

// A dialog with a short and a full form. The short form ends at the bottom-right corner of a
// divider control; a button toggles between the forms. Controls are found by their ids, which
// they carry as object names, and are placed by geometry (the forms are cut, not laid out).
// While short, the direct children that lie wholly outside the short form are disabled; on
// expanding, exactly those are enabled again, so a control a subclass disabled stays so.
// The dialog opens short.
class CExpandingDialog : public QDialog {
    Q_OBJECT

public:
    CExpandingDialog(QWidget* parent, int dividerId, int buttonId, int furtherValue,
                     const QString& collapsedText, const QString& expandedText, bool changeText);

    bool IsExpanded() const { return m_expanded; }
    int FurtherValue() const { return m_furtherValue; }

    // Asks for the full (true) or short form; true when the dialog ends up in that form.
    bool SetExpanded(bool requested);

protected:
    // Asked before a change, with the current state; false keeps the current form.
    virtual bool OnBeforeChange(bool currentlyExpanded);
    // The state to change to when a change to `requested` was allowed. A subclass that keeps
    // its own idea of the form (set in OnBeforeChange) answers with it.
    virtual bool NewExpandedState(bool requested);
    // Told after the form changed.
    virtual void OnAfterChange(bool expanded);

    // Shows the full or the short form; nothing when it is the current one or when the button
    // or the divider is missing.
    void Expand(bool expand);

    void showEvent(QShowEvent* event) override;

private:
    QWidget* Child(int id) const;
    void ToggleRequested();

    QString m_collapsedText;
    QString m_expandedText;
    int m_dividerId;
    int m_buttonId;
    int m_furtherValue;
    bool m_changeText;
    QSize m_fullSize;
    bool m_expanded = true;
    bool m_initialised = false;
    bool m_buttonConnected = false;
    std::vector<QPointer<QWidget>> m_disabledByCollapse;
};
