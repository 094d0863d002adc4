#include "controls/expanding_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kDividerId = 1100;
constexpr int kButtonId = 1101;

// A dialog whose short form ends at the divider's corner (209, 81): the button and one edit
// inside it, an edit beside the divider's end and two below it, one of them disabled by the
// dialog itself. The hook answers with the dialog's own idea of the form.
class TestDialog : public CExpandingDialog {
public:
    explicit TestDialog(bool changeText)
        : CExpandingDialog(nullptr, kDividerId, kButtonId, 7, "More", "Less", changeText) {
        resize(300, 200);
        m_button = Add<QPushButton>(kButtonId, QRect(10, 10, 80, 24));
        m_inside = Add<QLineEdit>(1, QRect(10, 40, 100, 20));
        m_beside = Add<QLineEdit>(2, QRect(220, 40, 60, 20));
        m_below = Add<QLineEdit>(3, QRect(10, 120, 100, 20));
        m_keptOff = Add<QLineEdit>(4, QRect(10, 150, 100, 20));
        m_keptOff->setEnabled(false);
        m_divider = Add<QWidget>(kDividerId, QRect(10, 80, 200, 2));
    }

    template <class Control> Control* Add(int id, const QRect& where) {
        auto* control = new Control(this);
        control->setObjectName(QString::number(id));
        control->setGeometry(where);
        return control;
    }

    bool OnBeforeChange(bool current) override {
        m_askedWith.push_back(current);
        return m_allow;
    }
    bool NewExpandedState(bool requested) override { return m_ownState.value_or(requested); }
    void OnAfterChange(bool expanded) override { m_toldAfter.push_back(expanded); }

    bool m_allow = true;
    std::optional<bool> m_ownState;
    std::vector<bool> m_askedWith;
    std::vector<bool> m_toldAfter;
    QPushButton* m_button;
    QLineEdit* m_inside;
    QLineEdit* m_beside;
    QLineEdit* m_below;
    QLineEdit* m_keptOff;
    QWidget* m_divider;
};

TEST(ExpandingDialogTest, OpensShortCutAtTheDivider) {
    TestDialog dialog(true);
    dialog.show();
    EXPECT_FALSE(dialog.IsExpanded());
    EXPECT_EQ(dialog.size(), QSize(210, 82));
    EXPECT_FALSE(dialog.m_divider->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.m_button->text(), "More");
    EXPECT_EQ(dialog.FurtherValue(), 7);
}

TEST(ExpandingDialogTest, ShortFormDisablesOnlyTheControlsOutsideIt) {
    TestDialog dialog(true);
    dialog.show();
    EXPECT_TRUE(dialog.m_button->isEnabled());
    // Clear of the divider but inside the short form: stays usable.
    EXPECT_TRUE(dialog.m_inside->isEnabled());
    EXPECT_FALSE(dialog.m_beside->isEnabled());
    EXPECT_FALSE(dialog.m_below->isEnabled());

    QTest::mouseClick(dialog.m_button, Qt::LeftButton);
    EXPECT_TRUE(dialog.IsExpanded());
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_EQ(dialog.m_button->text(), "Less");
    EXPECT_TRUE(dialog.m_beside->isEnabled());
    EXPECT_TRUE(dialog.m_below->isEnabled());
    // Disabled by the dialog, not by the short form.
    EXPECT_FALSE(dialog.m_keptOff->isEnabled());

    QTest::mouseClick(dialog.m_button, Qt::LeftButton);
    EXPECT_FALSE(dialog.IsExpanded());
    EXPECT_EQ(dialog.size(), QSize(210, 82));
    EXPECT_EQ(dialog.m_toldAfter, (std::vector<bool>{true, false}));
    EXPECT_EQ(dialog.m_askedWith, (std::vector<bool>{false, true}));
}

TEST(ExpandingDialogTest, TheHookCanRefuseOrChooseTheNewState) {
    TestDialog dialog(true);
    dialog.show();
    EXPECT_TRUE(dialog.SetExpanded(false)) << "already short: nothing asked";
    EXPECT_TRUE(dialog.m_askedWith.empty());

    dialog.m_allow = false;
    EXPECT_FALSE(dialog.SetExpanded(true));
    EXPECT_FALSE(dialog.IsExpanded());
    EXPECT_TRUE(dialog.m_toldAfter.empty());

    // The subclass keeps the form short whatever was asked.
    dialog.m_allow = true;
    dialog.m_ownState = false;
    EXPECT_FALSE(dialog.SetExpanded(true));
    EXPECT_FALSE(dialog.IsExpanded());
    dialog.m_ownState = true;
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_TRUE(dialog.IsExpanded());
}

TEST(ExpandingDialogTest, WithoutAnExpandedTextTheFullFormIsFinal) {
    TestDialog dialog(false);
    dialog.show();
    EXPECT_TRUE(dialog.SetExpanded(true));
    EXPECT_FALSE(dialog.m_button->isEnabled());
    EXPECT_EQ(dialog.m_button->text(), "More");
}

TEST(ExpandingDialogTest, WithoutItsDividerTheDialogKeepsItsForm) {
    TestDialog dialog(true);
    delete dialog.m_divider;
    dialog.show();
    EXPECT_TRUE(dialog.IsExpanded());
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_TRUE(dialog.m_below->isEnabled());
}

} // namespace
