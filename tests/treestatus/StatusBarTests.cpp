#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"
#include "treestatus/qeKeyState.h"
#include "treestatus/qeStatusBar.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {
// A bar of the given width with panels of the given widths (no size grip: no form).
std::unique_ptr<TqeStatusBar> BarWith(std::initializer_list<const char*> widths, int width)
{
    auto bar = std::make_unique<TqeStatusBar>();
    for (const char* w : widths) bar->Panels().Add()->SetWidth(QString::fromLatin1(w));
    bar->resize(width, 20);
    return bar;
}

} // namespace

TEST(StatusBar, WidthsLayOutInPixelsAndPercentages)
{
    struct Case {
        std::initializer_list<const char*> widths;
        int barWidth;
        std::vector<int> pixels;
    };
    const Case cases[] = {
        {{"100%", "80"}, 659, {579, 80}},
        {{"100", "50%", "50%"}, 600, {100, 250, 250}},
        {{"100", "130", "130", "100", "60", "50"}, 400, {100, 130, 130, 40, 0, 0}},
        {{"50"}, 300, {50}},
    };
    for (const Case& c : cases) {
        auto bar = BarWith(c.widths, c.barWidth);
        const int n = bar->Panels().Count();
        for (int i = 0; i < n; ++i) EXPECT_EQ(bar->Panels()[i]->PixelWidth(), c.pixels[size_t(i)]) << c.barWidth << " " << i;
        // The last part reaches the right edge whatever its own width (when there is room left).
        if (c.pixels.back() > 0) {
            EXPECT_EQ(bar->Panels()[n - 1]->GetRect().Right, c.barWidth - 1);
        }
    }
    auto bar = BarWith({"100%", "80"}, 659);
    EXPECT_EQ(bar->Panels()[0]->GetRect(), TRect(1, 3, 578, 19));
    EXPECT_EQ(bar->Panels()[1]->GetRect(), TRect(582, 3, 658, 19));

    TqeStatusPanel* p = bar->Panels()[1];
    for (const char* bad : {"-1", "abc", "%", "10%%", "-1%", ""}) {
        try {
            p->SetWidth(QString::fromLatin1(bad));
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Width must be a valid, positive integer, or must be an integer followed by a \"%\" sign."));
        }
    }
    EXPECT_EQ(p->Width(), QStringLiteral("80"));
    p->SetWidth(QStringLiteral("-5"));   // other negative numbers pass the check
    EXPECT_EQ(p->Width(), QStringLiteral("-5"));
}

TEST(StatusBar, NamesTextsAndTheDrawTextEvent)
{
    TqeStatusBar bar;
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel0"));
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel1"));
    bar.Panels().Delete(0);
    EXPECT_EQ(bar.Panels().Add()->Name(), QStringLiteral("Panel0"));
    bar.Panels()[0]->SetName(QStringLiteral("panVersion"));
    EXPECT_EQ(bar.Panels().FindPanel(QStringLiteral("panVersion")), bar.Panels()[0]);
    EXPECT_EQ(bar.Panels().FindPanel(QStringLiteral("PANVERSION")), nullptr);
    try {
        bar.Panels()[1]->SetName(QStringLiteral("panVersion"));
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("A panel named panVersion already exists."));
    }
    EXPECT_THROW(bar.Panels()[9], EListError);
    EXPECT_THROW(bar.Panels()[0]->SetComponent(&bar), Exception);

    QStringList changes;
    TqeStatusPanel* rec = bar.Panels()[1];
    rec->OnTextChanged = [&](TqeStatusPanel*, const QString& t) { changes << t; };
    rec->SetText(QStringLiteral("Rec: 1 / 2"));
    rec->SetText(QStringLiteral("Rec: 1 / 2"));
    EXPECT_EQ(changes, QStringList{QStringLiteral("Rec: 1 / 2")});

    // The version panel's text comes from its event when it is drawn; Text stays as it was and
    // the text-changed event reports the drawn text.
    TqeStatusPanel* version = bar.Panels()[0];
    QStringList versionChanges;
    version->OnTextChanged = [&](TqeStatusPanel*, const QString& t) { versionChanges << t; };
    version->OnDrawText = [](TqeStatusPanel*, QString& text, bool& enabled) {
        text = QStringLiteral("1.0.0.0");
        enabled = false;
    };
    bar.resize(300, 20);
    bar.grab();
    EXPECT_EQ(version->DrawnText(), QStringLiteral("1.0.0.0"));
    EXPECT_FALSE(version->DrawEnabled());
    EXPECT_TRUE(version->Text().isEmpty());
    EXPECT_TRUE(versionChanges.contains(QStringLiteral("1.0.0.0")));

    // Hit tests: the part and its bevel belong to the panel; the top border to none.
    EXPECT_EQ(bar.GetPanelAt(5, 10), version);
    EXPECT_EQ(bar.GetPanelAt(60, 10), rec);
    EXPECT_EQ(bar.GetPanelAt(5, 0), nullptr);
    bar.SetSimplePanel(true);
    EXPECT_EQ(bar.GetPanelAt(5, 10), nullptr);
}

TEST(StatusBar, PaintsBevelsColoursAndOwnerDrawing)
{
    auto bar = BarWith({"100", "100", "50"}, 300);
    bar->Panels()[0]->SetColor(clRed);
    bar->Panels()[1]->SetBevel(pbNone);
    bar->Panels()[1]->SetColor(clLime);
    QList<int> drawn;
    bar->OnDrawPanel = [&](TqeCustomStatusBar*, TqeStatusPanel* p, const TRect&) { drawn << p->Index(); };
    const QImage img = bar->grab().toImage();
    EXPECT_EQ(drawn, (QList<int>{0, 1, 2}));
    EXPECT_EQ(img.pixelColor(50, 10), QColor(255, 0, 0));
    EXPECT_EQ(img.pixel(0, 10), ColorToQColor(clBtnShadow).rgb());   // the lowered bevel's left edge
    EXPECT_EQ(img.pixelColor(150, 10), QColor(0, 255, 0));
    EXPECT_EQ(img.pixel(102, 10), ColorToQColor(clBtnFace).rgb());   // no bevel drawn around it
    EXPECT_EQ(img.pixel(150, 1), ColorToQColor(clBtnFace).rgb());    // the border above the parts

    // The size grip only in a form with a sizeable border, taken from the last panel.
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* gripBar = new TqeStatusBar(&form);
    gripBar->Panels().Add()->SetWidth(QStringLiteral("100%"));
    layout->addStretch();
    layout->addWidget(gripBar);
    form.resize(300, 100);
    form.show();
    EXPECT_TRUE(gripBar->SizeGrip());
    TRect last;
    gripBar->OnDrawPanel = [&](TqeCustomStatusBar*, TqeStatusPanel*, const TRect& r) { last = r; };
    gripBar->grab();
    EXPECT_EQ(last.Right, gripBar->Panels()[0]->GetRect().Right - std::min(23, GetSystemMetrics(SM_CXVSCROLL) + 1));
    form.setFixedSize(300, 100);
    EXPECT_FALSE(gripBar->SizeGrip());
}

TEST(StatusBar, LockKeyPanelsFollowTheKeysAndToggleOnDoubleClick)
{
    if (LockKeysFromServer()) GTEST_SKIP() << "lock keys come from an X server here";
    auto bar = BarWith({"60", "60"}, 200);
    TqeStatusPanel* caps = bar->Panels()[0];
    caps->SetStyle(psCapsLock);
    bar->Panels()[1]->SetStyle(psOverWrite);
    bar->StatusBarText().SetOverwrite(QStringLiteral("OVR"));
    QList<bool> reported;
    bar->OnDrawKeyboardState = [&](TqeCustomStatusBar*, TqeStatusPanel* p, bool on, const TRect&, QString&) {
        if (p == caps) reported << on;
    };
    const bool before = KeyToggled(VK_CAPITAL);
    bar->grab();
    EXPECT_EQ(caps->DrawnText(), QStringLiteral("Caps"));
    EXPECT_EQ(caps->DrawEnabled(), before);
    EXPECT_EQ(bar->Panels()[1]->DrawnText(), QStringLiteral("OVR"));

    bar->show();
    QTest::mouseDClick(bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(KeyToggled(VK_CAPITAL), !before);
    bar->grab();
    EXPECT_EQ(caps->DrawEnabled(), !before);
    // A Caps Lock press anywhere toggles it back.
    QLineEdit edit;
    edit.show();
    QTest::keyClick(&edit, Qt::Key_CapsLock);
    EXPECT_EQ(KeyToggled(VK_CAPITAL), before);
    EXPECT_EQ(reported.front(), before);
}

TEST(StatusBar, TimersKeepClockHintAndCaretPanelsCurrent)
{
    QWidget form;
    TqeStatusBar* bar = BarWith({"100", "100", "100", "100"}, 400).release();
    bar->setParent(&form);
    EXPECT_FALSE(bar->DateTimeTimerActive());
    TqeStatusPanel* date = bar->Panels()[0];
    date->SetStyle(psDate);
    EXPECT_TRUE(bar->DateTimeTimerActive());
    auto savedClock = TqeCustomStatusBar::Clock;
    double now = EncodeDate(2024, 3, 5) + 0.5;
    TqeCustomStatusBar::Clock = [&] { return now; };
    bar->grab();
    EXPECT_EQ(date->Text(), FormatDateTime(QStringLiteral("ddddd"), now));
    EXPECT_EQ(date->LastTimeValue(), EncodeDate(2024, 3, 5));
    now = EncodeDate(2024, 3, 6) + 0.1;
    bar->DateTimeTick();
    bar->grab();
    EXPECT_EQ(date->Text(), FormatDateTime(QStringLiteral("ddddd"), now));
    TqeCustomStatusBar::Clock = savedClock;
    date->SetStyle(psTextOnly);
    EXPECT_FALSE(bar->DateTimeTimerActive());

    // Hint panels take the application's hint; the container-only one only while the pointer is
    // over the bar's form.
    TqeStatusPanel* hint = bar->Panels()[1];
    TqeStatusPanel* local = bar->Panels()[2];
    hint->SetStyle(psHint);
    local->SetStyle(psHintContainerOnly);
    EXPECT_TRUE(bar->HintTimerActive());
    form.resize(400, 100);
    form.move(0, 0);
    form.show();
    QApplication::setActiveWindow(&form);
    QCursor::setPos(form.mapToGlobal(QPoint(10, 10)));
    if (QCursor::pos() != form.mapToGlobal(QPoint(10, 10))) GTEST_SKIP() << "no pointer to move here";
    Application()->SetHint(QStringLiteral("Opens a file"));
    bar->HintTick();
    EXPECT_EQ(hint->Text(), QStringLiteral("Opens a file"));
    EXPECT_EQ(local->Text(), QStringLiteral("Opens a file"));
    QCursor::setPos(QPoint(2000, 2000));
    Application()->SetHint(QStringLiteral("Elsewhere"));
    bar->HintTick();
    EXPECT_EQ(hint->Text(), QStringLiteral("Elsewhere"));
    EXPECT_EQ(local->Text(), QStringLiteral("Opens a file"));
    Application()->SetHint(QString());

    // The caret panel shows line and column from 1 and repaints only when they change.
    QTextEdit rich;
    rich.setPlainText(QStringLiteral("one\ntwo lines"));
    TqeStatusPanel* caret = bar->Panels()[3];
    caret->SetComponent(&rich);
    EXPECT_EQ(caret->Style(), psRichEditStatus);
    EXPECT_TRUE(bar->CaretTimerActive());
    QTextCursor c = rich.textCursor();
    c.setPosition(7);
    rich.setTextCursor(c);
    bar->CaretTick();
    EXPECT_EQ(caret->RichEditLine(), 1);
    EXPECT_EQ(caret->RichEditColumn(), 3);
    bar->grab();
    EXPECT_EQ(caret->DrawnText(), QStringLiteral("Ln: 2, Col: 4"));
}

TEST(StatusBar, NamesControlsAndGlyphs)
{
    QWidget form;
    TqeStatusBar* bar = BarWith({"100", "150", "100"}, 400).release();
    bar->setParent(&form);
    auto savedUser = TqeCustomStatusBar::UserName;
    TqeCustomStatusBar::UserName = [] { return QString(25, QLatin1Char('u')); };
    TqeStatusPanel* user = bar->Panels()[0];
    user->SetStyle(psUserName);
    user->SetText(QStringLiteral("stale"));
    bar->grab();
    EXPECT_EQ(user->DrawnText(), QString());   // too long: nothing drawn
    TqeCustomStatusBar::UserName = [] { return QStringLiteral("alice"); };
    bar->grab();
    EXPECT_EQ(user->DrawnText(), QStringLiteral("alice"));
    TqeCustomStatusBar::UserName = savedUser;

    // A control panel places its control beside its left-aligned text, inside the margin; a
    // second panel taking the same control takes it away from the first.
    auto* edit = new QLineEdit(&form);
    TqeStatusPanel* ctl = bar->Panels()[1];
    ctl->SetText(QStringLiteral("Go:"));
    ctl->SetMargin(1);
    ctl->SetComponent(edit);
    EXPECT_EQ(ctl->Style(), psControl);
    bar->grab();
    QApplication::processEvents();
    const TRect part = ctl->GetRect();
    EXPECT_EQ(edit->parentWidget(), bar);
    EXPECT_EQ(edit->geometry().right() + 1, part.Right - 1);
    EXPECT_GT(edit->geometry().left(), part.Left + 2 + QFontMetrics(ctl->Font()).horizontalAdvance(QStringLiteral("Go:")));
    TqeStatusPanel* other = bar->Panels()[2];
    other->SetComponent(edit);
    EXPECT_EQ(ctl->Component(), nullptr);
    EXPECT_EQ(ctl->Style(), psTextOnly);
    ctl->SetEnabled(false);
    other->SetEnabled(false);
    EXPECT_FALSE(edit->isEnabled());
}
