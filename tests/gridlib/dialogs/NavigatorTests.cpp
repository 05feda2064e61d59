#include "gridlib/dialogs/kqfilter.h"
#include "gridlib/dialogs/kqlocatedlg.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ImgList.h"
#include "tests/gridlib/GridTestData.h"
#include "tests/gridlib/dialogs/ModalTestSupport.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Data {
    explicit Data(int rows = 6)
    {
        ds.Define({{"Id", ftInteger}, {"Name", ftWideString}});
        ds.Fill(rows);
        source.SetDataSet(&ds);
        ds.Open();
    }
    TGridTestDataSet ds;
    TDataSource source;
};

const TkqNavButtonNavStylesEx AllMoves{nbsFirst,  nbsPrior, nbsNext,   nbsLast,     nbsInsert,   nbsDelete,
                                       nbsEdit,   nbsPost,  nbsCancel, nbsRefresh,  nbsPriorPage, nbsNextPage,
                                       nbsSaveBookmark, nbsRestoreBookmark};

// The enabled buttons, as a string of style initials in style order (F P N L I D E S C R < > B G).
QString EnabledButtons(const TkqDBNavigator& nav)
{
    static const char initials[] = "FPNLIDESCR<>BG";
    QString result;
    for (int s = nbsFirst; s <= nbsRestoreBookmark; ++s)
        if (const TkqNavButton* b = nav.Button(TkqNavButtonStyle(s)); b && b->Enabled()) result += QLatin1Char(initials[s]);
    return result;
}

} // namespace

TEST(DBNavigator, EnableRulesFollowTheDataSetState)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons(AllMoves);
    EXPECT_EQ(EnabledButtons(nav), QString());   // no data source
    nav.SetDataSource(&d.source);
    struct Case {
        const char* what;
        std::function<void()> step;
        const char* enabled;
    };
    const Case cases[] = {
        {"browse at the first record", [&] { d.ds.First(); }, "NLIDER>B"},
        {"browse in the middle", [&] { d.ds.MoveBy(2); }, "FPNLIDER<>B"},
        {"at the end", [&] { d.ds.Last(); }, "FPIDER<B"},
        {"edit", [&] { d.ds.Edit(); }, "FPIDSCR<B"},
        {"insert", [&] { d.ds.Cancel(); d.ds.Insert(); }, "FPNLIDSCR<>B"},
        {"read-only", [&] { d.ds.Cancel(); d.ds.SetReadOnly(true); }, "FPNL<>B"},
        {"closed", [&] { d.ds.SetReadOnly(false); d.ds.Close(); }, ""},
    };
    for (const Case& c : cases) {
        c.step();
        SCOPED_TRACE(c.what);
        QString expected = QString::fromLatin1(c.enabled);
        std::sort(expected.begin(), expected.end());
        QString actual = EnabledButtons(nav);
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual, expected);
    }
    Data empty(0);
    nav.SetDataSource(&empty.source);
    EXPECT_EQ(EnabledButtons(nav), QStringLiteral("IERB"));   // Bof and Eof: no moves, no delete
    nav.setEnabled(false);
    nav.setEnabled(true);
    EXPECT_EQ(EnabledButtons(nav), QStringLiteral("IERB"));
}

TEST(DBNavigator, RefusedPostLeavesTheNavigatorEditing)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons({nbsEdit, nbsPost, nbsCancel});
    nav.SetDataSource(&d.source);
    nav.Button(nbsEdit)->Click();
    d.ds.FailPostWith = QStringLiteral("Key violation");
    EXPECT_THROW(nav.Button(nbsPost)->Click(), EDatabaseError);
    EXPECT_EQ(d.ds.State(), dsEdit);
    EXPECT_TRUE(nav.Button(nbsPost)->Enabled());
    EXPECT_TRUE(nav.Button(nbsCancel)->Enabled());
    EXPECT_FALSE(nav.Button(nbsEdit)->Enabled());
}

TEST(DBNavigator, ClicksDeleteWithConfirmationAndOnClickMayAbort)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons(AllMoves);
    nav.SetDataSource(&d.source);
    nav.SetMoveBy(-5);
    nav.Button(nbsNextPage)->Click();
    EXPECT_EQ(d.ds.RecNo(), 6);
    nav.Button(nbsPriorPage)->Click();
    EXPECT_EQ(d.ds.RecNo(), 1);
    nav.SetMoveBy(2);
    nav.Button(nbsNextPage)->Click();
    EXPECT_EQ(d.ds.RecNo(), 3);

    // The window's own delete: its handler runs first and aborts the navigator's.
    int handled = 0;
    nav.Button(nbsDelete)->OnClick = [&](QObject*) {
        ++handled;
        Abort();
    };
    nav.Button(nbsDelete)->Click();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(d.ds.RecordCount(), 6);
    nav.Button(nbsDelete)->OnClick = nullptr;
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrCancel, mrOk});
    nav.Button(nbsDelete)->Click();
    EXPECT_EQ(d.ds.RecordCount(), 6);
    nav.Button(nbsDelete)->Click();
    EXPECT_EQ(d.ds.RecordCount(), 5);
    EXPECT_EQ(TDialogSeam::Messages(), QStringList({"Delete record?", "Delete record?"}));
    nav.SetOptions({});
    nav.Button(nbsDelete)->Click();
    EXPECT_EQ(d.ds.RecordCount(), 4);
    EXPECT_EQ(TDialogSeam::Messages().size(), 2);

    // A click without a data source names the fault.
    nav.SetDataSource(nullptr);
    try {
        nav.Button(nbsFirst)->Click();
        ADD_FAILURE();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Error, DataSource not assigned"));
    }
}

TEST(DBNavigator, HintsComeFromTheLibraryTextsAndFollowMoveBy)
{
    TkqDBNavigator nav;
    nav.SetVisibleButtons(AllMoves);
    EXPECT_EQ(nav.Button(nbsDelete)->Hint(), QStringLiteral("Delete current record"));
    EXPECT_EQ(nav.Button(nbsNextPage)->Hint(), QStringLiteral("Move forward 10 records"));
    EXPECT_EQ(nav.Button(nbsRestoreBookmark)->Hint(), QStringLiteral("Go back to saved bookmark"));
    EXPECT_TRUE(nav.Button(nbsFirst)->toolTip().isEmpty());   // hints off
    nav.SetShowHint(true);
    EXPECT_EQ(nav.Button(nbsFirst)->toolTip(), QStringLiteral("Move to first record"));
    // A hint given to a button stays; with noUseInternationalText the library's text wins.
    nav.Button(nbsFirst)->SetHint(QStringLiteral("Top"));
    EXPECT_EQ(nav.Button(nbsFirst)->GetHintText(), QStringLiteral("Top"));
    nav.SetOptions({noUseInternationalText});
    EXPECT_EQ(nav.Button(nbsFirst)->GetHintText(), QStringLiteral("Move to first record"));
    EXPECT_EQ(NavGlyphResourceName(nbsPriorPage, true), QStringLiteral("KQ_DBN_PRIORPAGE_ENABLED"));
}

TEST(DBNavigator, DefaultButtonsLayoutAndAutosize)
{
    QWidget host;
    host.resize(600, 300);
    auto* nav = new TkqDBNavigator(&host);
    EXPECT_EQ(nav->width(), 1);
    host.show();
    QCoreApplication::processEvents();
    // The first paint makes the 14 defaults in their fixed order and one row of them.
    ASSERT_EQ(nav->Buttons()->Count(), 14);
    const TkqNavButtonStyle order[] = {nbsFirst, nbsPriorPage, nbsPrior, nbsNext, nbsNextPage, nbsLast, nbsInsert,
                                       nbsDelete, nbsEdit, nbsPost, nbsCancel, nbsRefresh, nbsSaveBookmark,
                                       nbsRestoreBookmark};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(nav->Buttons()->Items(i)->Style(), order[i]);
    EXPECT_EQ(nav->size(), QSize(14 * 25, 25));

    // Narrower: the buttons wrap and the navigator grows to fit them.
    nav->resize(100, 25);
    EXPECT_EQ(nav->size(), QSize(100, 4 * 25));
    EXPECT_EQ(nav->Buttons()->Items(4)->pos(), QPoint(0, 25));
    // A line break begins a new row even where the row has room.
    nav->resize(14 * 25, 25);
    nav->Buttons()->Items(2)->SetLineBreak(true);
    EXPECT_EQ(nav->Buttons()->Items(2)->pos(), QPoint(0, 25));
    EXPECT_EQ(nav->height(), 50);
    nav->Buttons()->Items(2)->SetLineBreak(false);

    // The buttons share the navigator: seven in a row of 100 pixels are 15, 15, 14, ... wide.
    nav->SetVisibleButtons({nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsEdit});
    nav->SetAutosizeStyle(asSizeNavButtons);
    nav->resize(100, 20);
    QList<int> widths;
    for (int i = 0; i < nav->Buttons()->GetVisibleCount(); ++i) widths << nav->Buttons()->GetVisibleItem(i)->width();
    EXPECT_EQ(widths, QList<int>({15, 15, 14, 14, 14, 14, 14}));
    EXPECT_EQ(nav->Buttons()->GetVisibleItem(0)->height(), 20);
    // Nobody adapts: the buttons wrap, the navigator keeps its size.
    nav->SetAutosizeStyle(asNone);
    nav->resize(40, 20);
    EXPECT_EQ(nav->size(), QSize(40, 20));
    EXPECT_EQ(nav->Buttons()->GetVisibleItem(1)->pos(), QPoint(15, 0));
    EXPECT_EQ(nav->Buttons()->GetVisibleItem(2)->pos(), QPoint(0, 20));

    EXPECT_THROW(nav->Buttons()->Items(99), EInvalidOperation);
    EXPECT_THROW(nav->Buttons()->GetVisibleItem(7), EInvalidOperation);
    QWidget stranger;
    EXPECT_THROW(nav->InsertRemoveButton(&stranger, true), EInvalidOperation);
}

TEST(DBNavigator, SetVisibleButtonsMakesTheDefaultsAndAddsMissingStylesAtTheirOrdinal)
{
    TkqDBNavigator nav;
    nav.SetVisibleButtons({nbsFirst, nbsLast});
    EXPECT_EQ(nav.Buttons()->Count(), 14);
    EXPECT_EQ(nav.Buttons()->GetVisibleCount(), 2);
    EXPECT_EQ(nav.size(), QSize(50, 25));
    nav.SetVisibleButtons({nbsFirst, nbsLocateDialog});
    ASSERT_NE(nav.Button(nbsLocateDialog), nullptr);
    EXPECT_EQ(nav.Button(nbsLocateDialog)->GetIndex(), 14);   // its ordinal, within the buttons there are
    nav.Buttons()->HideStyle(nbsLocateDialog);
    nav.Buttons()->Items(14)->SetIndex(0);
    EXPECT_EQ(nav.Buttons()->Items(0)->Style(), nbsLocateDialog);
    EXPECT_EQ(nav.GetVisibleButtons(), AllMoves);   // buttons that exist, shown or not

    nav.SetName(QStringLiteral("Nav"));
    nav.Button(nbsFirst)->setObjectName(QStringLiteral("NavFirst"));
    nav.Button(nbsLast)->setObjectName(QStringLiteral("LastOne"));
    nav.SetName(QStringLiteral("DBNavigator"));
    EXPECT_EQ(nav.Button(nbsFirst)->objectName(), QStringLiteral("DBNavigatorFirst"));
    EXPECT_EQ(nav.Button(nbsLast)->objectName(), QStringLiteral("LastOne"));
}

TEST(DBNavigator, AnAcceleratorClicksTheButtonWhoseCaptionHoldsIt)
{
    Data d;
    QWidget host;
    auto* nav = new TkqDBNavigator(&host);
    nav->SetVisibleButtons({nbsFirst, nbsLast});
    nav->SetDataSource(&d.source);
    nav->Button(nbsLast)->SetCaption(QStringLiteral("&Last"));
    auto* edit = new QWidget(&host);
    edit->setFocusPolicy(Qt::StrongFocus);
    host.show();
    QTest::keyClick(edit, Qt::Key_L, Qt::AltModifier);   // typed in another control of the window
    EXPECT_EQ(d.ds.RecNo(), 6);
    EXPECT_FALSE(nav->DialogChar(QLatin1Char('l')));   // the button is disabled at the end now
}

TEST(DBNavigator, BookmarksAreKeptPerDataSetAndForgottenOnClose)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons(AllMoves);
    nav.SetDataSource(&d.source);
    EXPECT_FALSE(nav.Button(nbsRestoreBookmark)->Enabled());
    d.ds.SetRecNo(5);
    nav.Button(nbsSaveBookmark)->Click();
    EXPECT_TRUE(nav.Button(nbsRestoreBookmark)->Enabled());
    d.ds.First();
    nav.Button(nbsRestoreBookmark)->Click();
    EXPECT_EQ(d.ds.RecNo(), 5);
    d.ds.Close();
    d.ds.Open();
    EXPECT_FALSE(nav.Button(nbsRestoreBookmark)->Enabled());
    EXPECT_TRUE(nav.BookmarkFor(&d.ds, false).IsNull());
}

TEST(DBNavigator, OnUpdateStateWinsAndOnRowChangedFollowsTheRecord)
{
    Data d;
    TkqDBNavigator nav;
    nav.SetVisibleButtons({nbsFirst, nbsNext});
    int rowChanges = 0;
    nav.Button(nbsNext)->OnRowChanged = [&](QObject* sender) {
        EXPECT_EQ(sender, nav.Button(nbsNext));
        ++rowChanges;
    };
    nav.Button(nbsFirst)->OnUpdateState = [](TkqDBNavigator*, TkqNavButton* b, TkqUpdateCause) { b->SetEnabled(!b->Enabled()); };
    nav.SetDataSource(&d.source);
    const bool first = nav.Button(nbsFirst)->Enabled();
    d.ds.Next();
    EXPECT_NE(nav.Button(nbsFirst)->Enabled(), first);   // the handler decides each time
    EXPECT_GE(rowChanges, 1);
    // A failing handler leaves the state as it was.
    nav.Button(nbsFirst)->OnUpdateState = [](TkqDBNavigator*, TkqNavButton*, TkqUpdateCause) { Abort(); };
    const bool before = nav.Button(nbsFirst)->Enabled();
    d.ds.Next();
    EXPECT_EQ(nav.Button(nbsFirst)->Enabled(), before);
}

TEST(DBNavigator, DialogButtonsFindOrMakeTheirDialog)
{
    Data d;
    TkqDBNavigator nav;
    nav.Buttons()->AddDialogButtons();
    nav.SetDataSource(&d.source);
    ASSERT_EQ(nav.Buttons()->Count(), 4);
    // A filter dialog the dataset already owns for itself is used.
    auto* own = new TkqFilterDialog(&d.ds);
    own->SetDataSource(&d.source);
    EXPECT_EQ(nav.Button(nbsFilterDialog)->FindOrCreateDialog(&d.ds), own);
    // A locate dialog is made by class name, owned by the navigator, on its data source.
    TkqCustomDialog* created = nullptr;
    nav.Button(nbsLocateDialog)->OnAfterCreateDialog = [&](TkqCustomDialog* dialog) { created = dialog; };
    TkqCustomDialog* locate = nav.Button(nbsLocateDialog)->FindOrCreateDialog(&d.ds);
    ASSERT_NE(qobject_cast<TkqLocateDialog*>(locate), nullptr);
    EXPECT_EQ(created, locate);
    EXPECT_EQ(locate->parent(), &nav);
    EXPECT_EQ(locate->GetPrimaryDataSet(), &d.ds);
    // Setting a dialog sets the style; freeing it clears the button's reference.
    auto* other = new TkqLocateDialog(&nav);
    nav.Button(nbsSearchDialog)->SetDialog(other);
    EXPECT_EQ(nav.Button(nbsSearchDialog), nullptr);   // it became a locate button
    delete other;
    OnModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    nav.Button(nbsLocateDialog)->Click();
}

TEST(DBNavigator, HoldingNextRepeatsAfterTheDelay)
{
    Data d(50);
    QWidget host;
    auto* nav = new TkqDBNavigator(&host);
    nav->SetVisibleButtons({nbsPrior, nbsNext});
    nav->SetDataSource(&d.source);
    nav->RepeatInterval = {40, 10};
    host.show();
    TkqNavButton* next = nav->Button(nbsNext);
    QTest::mousePress(next, Qt::LeftButton);
    ASSERT_NE(next->RepeatTimer(), nullptr);
    EXPECT_EQ(next->RepeatTimer()->interval(), 40);
    next->RepeatTimerTick();
    EXPECT_EQ(d.ds.RecNo(), 2);
    EXPECT_EQ(next->RepeatTimer()->interval(), 10);
    next->RepeatTimerTick();
    QTest::mouseRelease(next, Qt::LeftButton);
    EXPECT_EQ(next->RepeatTimer(), nullptr);
    EXPECT_EQ(d.ds.RecNo(), 4);   // and once more on release over the button
    // Prior is disabled at the first record: holding it does nothing.
    d.ds.First();
    QTest::mousePress(nav->Button(nbsPrior), Qt::LeftButton);
    EXPECT_EQ(nav->Button(nbsPrior)->RepeatTimer(), nullptr);
    QTest::mouseRelease(nav->Button(nbsPrior), Qt::LeftButton);
    EXPECT_EQ(d.ds.RecNo(), 1);
}

TEST(SpeedButton, GlyphByStateAndTheFaceShift)
{
    TImageList images(16, 16);
    for (int i = 0; i < 12; ++i) {
        QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::red);
        images.AddImage(image);
    }
    QWidget host;
    auto* button = new TkqSpeedButton(&host);
    button->SetImages(&images);
    button->SetImageIndex(10);
    button->SetNumGlyphs(2);
    button->setEnabled(false);
    EXPECT_EQ(button->Layout().Glyph, 11);   // the disabled picture follows
    button->setEnabled(true);
    EXPECT_EQ(button->Layout().Glyph, 10);

    // Classic face: framed, the glyph centred, pressed moves it by 2; flat: no edge until hot,
    // pressed moves it by 1 and shows a sunken edge.
    const QPoint centred = button->Layout().GlyphAt;
    EXPECT_EQ(centred, QPoint(2 + (21 - 16) / 2, 2 + (21 - 16) / 2 + 1));
    EXPECT_EQ(button->Layout().Edge, TkqSpeedButton::TLayout::edFrame);
    host.show();
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_EQ(button->Layout().GlyphAt, centred + QPoint(2, 2));
    QTest::mouseRelease(button, Qt::LeftButton);
    button->SetFlat(true);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->Layout().Edge, TkqSpeedButton::TLayout::edNone);
    const QPoint flat = button->Layout().GlyphAt;
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_EQ(button->Layout().Edge, TkqSpeedButton::TLayout::edSunken);
    EXPECT_EQ(button->Layout().GlyphAt, flat + QPoint(1, 1));
    QTest::mouseRelease(button, Qt::LeftButton);

    // A margin starts glyph and caption at the corner instead of centring them.
    button->SetMargin(3);
    EXPECT_EQ(button->Layout().GlyphAt, QPoint(3 + 1, 3 + 1));
}

TEST(SpeedButton, ADisabledCaptionIsEmbossedInTheTwoColours)
{
    QWidget host;
    host.resize(100, 60);
    auto* button = new TkqSpeedButton(&host);
    button->resize(80, 40);
    button->SetFlat(true);
    button->SetCaption(QStringLiteral("WWWW"));
    button->SetShowText(true);
    button->DisabledTextColors().ShadeColor = clRed;
    button->DisabledTextColors().HighlightColor = clLime;
    button->setEnabled(false);
    const QImage image = button->grab().toImage();
    bool red = false, lime = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red |= c.red() > 200 && c.green() < 60;
            lime |= c.green() > 200 && c.red() < 60;
        }
    EXPECT_TRUE(red);
    EXPECT_TRUE(lime);
}

TEST(TransparentPanel, PaintsNoBackgroundWhenTransparent)
{
    QWidget host;
    host.resize(60, 60);
    host.setAutoFillBackground(true);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, Qt::blue);
    host.setPalette(pal);
    auto* panel = new TkqCustomTransparentPanel(&host);
    panel->setGeometry(10, 10, 40, 40);
    panel->SetColor(clYellow);
    host.show();
    EXPECT_EQ(host.grab().toImage().pixelColor(30, 30), QColor(Qt::yellow));
    panel->SetTransparent(true);
    EXPECT_EQ(host.grab().toImage().pixelColor(30, 30), QColor(Qt::blue));
    // Its bevel still shows.
    EXPECT_NE(host.grab().toImage().pixelColor(10, 30), QColor(Qt::blue));
}
