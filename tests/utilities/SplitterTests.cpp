#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/VZSplit.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

namespace {
// A 300 x 300 form: a client-aligned panel, the bottom-aligned splitter (12 high) and a
// bottom-aligned panel 100 high below it.
struct TSplitForm {
    QWidget Form;
    QWidget* Top;
    TVzSplitter* Splitter;
    QWidget* Bottom;
    int Changed = 0;
    TSplitForm()
    {
        Form.resize(300, 300);
        auto* layout = new QVBoxLayout(&Form);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        Top = new QWidget(&Form);
        Splitter = new TVzSplitter(&Form);
        Bottom = new QWidget(&Form);
        Bottom->setFixedHeight(100);
        Splitter->setFixedHeight(12);
        layout->addWidget(Top, 1);
        layout->addWidget(Splitter);
        layout->addWidget(Bottom);
        SetControlAlign(Top, alClient);
        SetControlAlign(Bottom, alBottom);
        Splitter->SetAlign(alBottom);
        Splitter->SetControlFirst(Bottom);
        Splitter->OnPosChanged = [this](QObject*) { ++Changed; };
        Form.show();
        QApplication::processEvents();
    }
    void Drag(int dy, bool release = true)
    {
        QTest::mousePress(Splitter, Qt::LeftButton, {}, QPoint(10, 5));
        QTest::mouseMove(Splitter, QPoint(10, 5 + dy));
        if (release) QTest::mouseRelease(Splitter, Qt::LeftButton, {}, QPoint(10, 5 + dy));
        QApplication::processEvents();
    }
};
} // namespace

TEST(Splitter, DragsTheBottomControlWithinTheLimits)
{
    TSplitForm f;
    EXPECT_EQ(f.Splitter->SplitKind(), 1);
    EXPECT_EQ(f.Splitter->cursor().shape(), Qt::SplitVCursor);
    f.Drag(-30);
    EXPECT_EQ(f.Bottom->height(), 130);
    EXPECT_EQ(f.Changed, 1);
    f.Drag(400);   // the splitter's lower edge stops 20 above the bottom
    EXPECT_EQ(f.Bottom->height(), 20);
    f.Drag(-400);  // its upper edge stops 20 below the top
    EXPECT_EQ(f.Splitter->y(), 20);
    EXPECT_EQ(f.Bottom->height(), 300 - 20 - 12);
}

TEST(Splitter, EscapeCancelsAndARefusingHandlerKeepsTheLastLine)
{
    TSplitForm f;
    f.Drag(-30, false);
    EXPECT_TRUE(f.Splitter->Sizing());
    const QPoint line = f.Splitter->LinePoint();
    EXPECT_EQ(line.y(), f.Splitter->mapToGlobal(QPoint(0, 6 - 30)).y());
    QTest::keyClick(f.Top, Qt::Key_Escape);   // whatever has the focus
    EXPECT_FALSE(f.Splitter->Sizing());
    QTest::mouseRelease(f.Splitter, Qt::LeftButton, {}, QPoint(10, -25));
    EXPECT_EQ(f.Bottom->height(), 100);
    EXPECT_EQ(f.Changed, 0);

    f.Splitter->OnPosChanging = [](QObject*, int, int, bool& allow) { allow = false; };
    f.Drag(-40, false);
    EXPECT_EQ(f.Splitter->cursor().shape(), Qt::ForbiddenCursor);
    EXPECT_EQ(f.Splitter->LinePoint().y(), f.Splitter->mapToGlobal(QPoint(0, 6)).y());   // never moved
    QTest::mouseRelease(f.Splitter, Qt::LeftButton, {}, QPoint(10, -35));
    EXPECT_EQ(f.Bottom->height(), 100);   // the press position applied
    EXPECT_EQ(f.Changed, 1);              // and reported
}

TEST(Splitter, KindFollowsTheAlignmentsAndAlignPicksTheNeighbour)
{
    QWidget form;
    form.resize(200, 200);
    auto* left = new QWidget(&form);
    left->setGeometry(0, 0, 50, 200);
    auto* splitter = new TVzSplitter(&form);
    splitter->setGeometry(50, 0, 5, 200);
    splitter->SetAlign(alLeft);
    EXPECT_EQ(splitter->width(), 3);
    EXPECT_EQ(splitter->ControlFirst(), left);   // the control just left of it
    SetControlAlign(left, alRight);
    EXPECT_EQ(splitter->SplitKind(), 0);   // aligned unlike the control it would resize
    form.show();
    QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(1, 10));
    EXPECT_FALSE(splitter->Sizing());
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(1, 10));

    SetControlAlign(left, alLeft);
    EXPECT_EQ(splitter->SplitKind(), 3);
    EXPECT_EQ(splitter->cursor().shape(), Qt::ArrowCursor);   // until the controls are set again
    splitter->SetControlFirst(left);
    EXPECT_EQ(splitter->cursor().shape(), Qt::SplitHCursor);
    QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseMove(splitter, QPoint(16, 10));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(16, 10));
    EXPECT_EQ(left->width(), 65);

    splitter->SetControlFirst(splitter);   // itself: refused
    EXPECT_EQ(splitter->ControlFirst(), nullptr);
    splitter->SetControlFirst(&form);      // a form: refused
    EXPECT_EQ(splitter->ControlFirst(), nullptr);
    TVzSplitter fresh(&form);
    fresh.setGeometry(0, 60, 200, 10);
    fresh.SetAlign(alTop);
    EXPECT_EQ(fresh.height(), 3);
    fresh.SetLimitOffset(50);
    EXPECT_EQ(fresh.TopLeftLimit, 50);
    EXPECT_EQ(fresh.BottomRightLimit, 50);
}
