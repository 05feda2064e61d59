#include "platform/core/Classes.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class Thrower : public QObject {
public:
    std::function<void()> Action;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) { Action(); return true; }
        return QObject::event(e);
    }
};
} // namespace

TEST(Application, ExceptionsStopAtTheEventBoundary)
{
    Thrower t;
    t.Action = [] { throw Exception("Cannot open file"); };
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&t, QEvent::User);
    // Shown through the message box, which the seam records.
    ASSERT_EQ(TDialogSeam::Messages(), QStringList{"Cannot open file."});

    TDialogSeam::Clear();
    t.Action = [] { Abort(); };
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&t, QEvent::User);
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());   // EAbort is silent

    // Standard exceptions and timers are guarded too.
    QString seen;
    Application()->OnException = [&](const std::exception& e) { seen = QString::fromUtf8(e.what()); };
    SingleShot(0, &t, [] { throw std::runtime_error("boom"); });
    QTest::qWait(20);
    EXPECT_EQ(seen, "boom");
}

// The layers without widgets reach the application object through the seams it installs:
// errors go to its message box, focus requests to enabled widgets only.
TEST(Application, FillsTheSeamsOfTheLayersBelow)
{
    ApplicationShowException(Exception("Cannot write back"));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Cannot write back."});
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes, mrNo});
    EXPECT_TRUE(ApplicationConfirm("Overwrite it?"));
    EXPECT_FALSE(ApplicationConfirm("Overwrite it?"));
    ASSERT_EQ(TDialogSeam::Records().size(), 2u);
    EXPECT_EQ(TDialogSeam::Records()[0].Type, mtConfirmation);
    EXPECT_EQ(TDialogSeam::Records()[0].Buttons, mbYesNo.Bits());
    EXPECT_EQ(TDialogSeam::UnexpectedCount(), 0);

    QWidget top;
    auto* enabled = new QPushButton(&top);
    auto* disabled = new QPushButton(&top);
    disabled->setEnabled(false);
    top.show();
    top.activateWindow();
    EXPECT_TRUE(FocusControlObject(enabled));
    EXPECT_FALSE(FocusControlObject(disabled));
    QObject plain;
    EXPECT_FALSE(FocusControlObject(&plain));
    EXPECT_FALSE(FocusControlObject(nullptr));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), enabled);
}

TEST(Application, BusyGuardBlocksInputExceptForAllowedWidgets)
{
    QWidget w;
    auto* command = new QPushButton("Run", &w);
    auto* cancel = new QPushButton("Cancel", &w);
    command->move(0, 0);
    cancel->move(0, 40);
    TApplication::SetAllowedWhileBusy(cancel);
    w.show();
    int runs = 0, cancels = 0;
    QObject::connect(command, &QPushButton::clicked, [&] { ++runs; });
    QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });
    {
        TBusyGuard busy;
        QTest::mouseClick(command, Qt::LeftButton);
        QTest::mouseClick(cancel, Qt::LeftButton);
    }
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(cancels, 1);
    QTest::mouseClick(command, Qt::LeftButton);
    EXPECT_EQ(runs, 1);
}

TEST(Dialogs, SeamAnswersInOrderAndCountsUnscripted)
{
    TDialogSeam::AnswerMessages({mrNo, mrCancel});
    EXPECT_EQ(MessageDlg("Save now?", mtConfirmation, mbYesNoCancel), mrNo);
    EXPECT_EQ(MessageDlg("Save now?", mtConfirmation, mbYesNoCancel), mrCancel);
    EXPECT_EQ(TDialogSeam::UnexpectedCount(), 0);
    EXPECT_EQ(MessageDlg("Delete?", mtConfirmation, mbYesNo), mrYes);   // first button
    EXPECT_EQ(TDialogSeam::UnexpectedCount(), 1);
    EXPECT_EQ(MessageBox("Go?", "Q", MB_YESNO), IDYES);
    QString name;
    EXPECT_FALSE(ExecuteSaveDialog({}, name));
    TDialogSeam::AnswerFiles({"/tmp/x.cds"});
    EXPECT_TRUE(ExecuteSaveDialog({}, name));
    EXPECT_EQ(name, "/tmp/x.cds");
}

TEST(Graphics, ColourMapping)
{
    EXPECT_EQ(ColorToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ColorToQColor(0x123456), QColor(0x56, 0x34, 0x12));
    EXPECT_FALSE(ColorToQColor(clNone).isValid());
    EXPECT_EQ(clNone, 536870911);
    EXPECT_EQ(ColorToQColor(clWindow), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(QColorToColor(QColor(1, 2, 3)), RGBToColor(1, 2, 3));
}
