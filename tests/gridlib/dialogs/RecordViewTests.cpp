#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A record of every kind the record view tells apart.
struct Record {
    explicit Record(bool open = true)
    {
        ds.Define({{"Name", ftString}, {"Born", ftDate}, {"Notes", ftMemo}, {"Paid", ftBoolean}, {"Photo", ftGraphic},
                   {"Styled", ftFmtMemo}, {"Amount", ftFloat}});
        ds.AddRow({TVariant(QStringLiteral("Ann")), TVariant::FromDate(EncodeDate(1990, 3, 4)),
                   TVariant(QStringLiteral("first note")), TVariant(true), TVariant::Null(),
                   TVariant(QStringLiteral("{\\rtf1 Bold}")), TVariant(1.5)});
        ds.AddRow({TVariant(QStringLiteral("Bob")), TVariant::FromDate(EncodeDate(2001, 12, 31)),
                   TVariant(QStringLiteral("second")), TVariant(false), TVariant::Null(),
                   TVariant(QStringLiteral("{\\rtf1 Two}")), TVariant(2.5)});
        source.SetDataSet(&ds);
        if (open) ds.Open();
    }
    TField* F(const char* name) const { return ds.FieldByName(QString::fromLatin1(name)); }
    TGridTestDataSet ds;
    TDataSource source;
};

// The panel with a fixed size and a check-box line for the Boolean field.
struct Panel {
    explicit Panel(Record& r, int width = 500, int height = 600)
    {
        panel.resize(width, height);
        panel.SetControlType({QStringLiteral("Paid;CheckBox;True;False")});
        panel.SetDataSource(&r.source);
        QApplication::processEvents();
    }
    template <typename T> T* Editor(const char* name) const
    {
        return qobject_cast<T*>(panel.EditorOf(QString::fromLatin1(name)));
    }
    TkqRecordViewPanel panel;
};

int CharWidth(const QWidget& w) { return QFontMetrics(w.font()).horizontalAdvance(QLatin1Char('0')); }

} // namespace

TEST(RecordViewPanel, EachFieldGetsItsEditorInAColumnOfRightAlignedLabels)
{
    Record r;
    r.F("Name")->SetDisplayWidth(10);
    r.F("Amount")->SetDisplayLabel(QStringLiteral("Total~Amount"));
    Panel p(r);
    struct Case {
        const char* field;
        const QMetaObject* kind;
    };
    const Case cases[] = {
        {"Name", &TkqDBEdit::staticMetaObject},        {"Born", &TkqDBDateTimePicker::staticMetaObject},
        {"Notes", &TkqDBMemo::staticMetaObject},       {"Paid", &TkqDBCheckBox::staticMetaObject},
        {"Photo", &TDBImage::staticMetaObject},        {"Styled", &TkqDBRichEdit::staticMetaObject},
        {"Amount", &TkqDBEdit::staticMetaObject},
    };
    int widestLabel = 0;
    for (const Case& c : cases) {
        QWidget* editor = p.panel.EditorOf(QString::fromLatin1(c.field));
        ASSERT_NE(editor, nullptr) << c.field;
        EXPECT_STREQ(editor->metaObject()->className(), c.kind->className()) << c.field;
        QLabel* label = p.panel.LabelOf(QString::fromLatin1(c.field));
        ASSERT_NE(label, nullptr) << c.field;
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
        widestLabel = std::max(widestLabel, QFontMetrics(p.panel.LabelFont()).horizontalAdvance(label->text()));
    }
    EXPECT_EQ(p.panel.LabelOf(QStringLiteral("Amount"))->text(), QStringLiteral("Total Amount"));
    EXPECT_EQ(p.Editor<TkqDBCheckBox>("Paid")->ValueChecked(), QStringLiteral("True"));

    // Geometry: the label column is as wide as the widest label; the edit 11 characters + 3;
    // the memo two lines + 8 high, spanning the available width; the check box 17 pixels with
    // its label 1 pixel below the row top instead of 4.
    const int c = CharWidth(p.panel);
    const int e = 5 + widestLabel + 5;
    QWidget* name = p.panel.EditorOf(QStringLiteral("Name"));
    EXPECT_EQ(name->x(), e);
    EXPECT_EQ(name->width(), 11 * c + 3);
    EXPECT_EQ(p.panel.LabelOf(QStringLiteral("Name"))->width(), widestLabel);
    EXPECT_EQ(p.panel.LabelOf(QStringLiteral("Name"))->y(), name->y() + 4);
    QWidget* notes = p.panel.EditorOf(QStringLiteral("Notes"));
    EXPECT_EQ(notes->height(), 2 * QFontMetrics(p.panel.font()).height() + 8);
    EXPECT_EQ(notes->width(), 500 - e - 5 - 4);
    QWidget* paid = p.panel.EditorOf(QStringLiteral("Paid"));
    EXPECT_EQ(paid->width(), 17);
    EXPECT_EQ(p.panel.LabelOf(QStringLiteral("Paid"))->y(), paid->y() + 1);
    // The rows follow one another 2 pixels apart.
    QWidget* born = p.panel.EditorOf(QStringLiteral("Born"));
    EXPECT_EQ(born->y(), name->y() + name->height() + 2);
    EXPECT_EQ(born->width(), 11 * c + 3 + std::max(GetSystemMetrics(SM_CXVSCROLL), 15));
}

TEST(RecordViewPanel, EditsReachTheRecordOnPostAndAreDroppedOnCancel)
{
    Record r;
    Panel p(r);
    auto* name = p.Editor<TkqDBEdit>("Name");
    auto* notes = p.Editor<TkqDBMemo>("Notes");
    auto* paid = p.Editor<TkqDBCheckBox>("Paid");
    ASSERT_TRUE(name && notes && paid);

    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Cid"));
    EXPECT_EQ(r.ds.State(), dsEdit);
    notes->setFocus();
    notes->selectAll();
    QTest::keyClicks(notes, QStringLiteral("new note"));
    paid->setFocus();
    QTest::keyClick(paid, Qt::Key_Space);
    r.ds.Post();
    EXPECT_EQ(r.F("Name")->AsString(), QStringLiteral("Cid"));
    EXPECT_EQ(r.F("Notes")->AsString(), QStringLiteral("new note"));
    EXPECT_FALSE(r.F("Paid")->AsBoolean());

    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Dee"));
    notes->setFocus();
    QTest::keyClicks(notes, QStringLiteral(" more"));
    r.ds.Cancel();
    EXPECT_EQ(r.F("Name")->AsString(), QStringLiteral("Cid"));
    EXPECT_EQ(name->text(), QStringLiteral("Cid"));
    EXPECT_EQ(notes->toPlainText(), QStringLiteral("new note"));
}

TEST(RecordViewPanel, MovingThroughTheRecordsRefreshesEveryEditor)
{
    Record r;
    Panel p(r);
    QWidget* before = p.panel.EditorOf(QStringLiteral("Name"));
    r.ds.Next();
    EXPECT_EQ(p.Editor<TkqDBEdit>("Name")->text(), QStringLiteral("Bob"));
    EXPECT_EQ(p.Editor<TkqDBDateTimePicker>("Born")->text(), QStringLiteral("12/31/2001"));
    EXPECT_EQ(p.Editor<TkqDBMemo>("Notes")->toPlainText(), QStringLiteral("second"));
    EXPECT_FALSE(p.Editor<TkqDBCheckBox>("Paid")->Checked());
    EXPECT_EQ(p.Editor<TkqDBRichEdit>("Styled")->toPlainText().trimmed(), QStringLiteral("Two"));
    // The editors stay: moving costs a refresh per field, not a rebuild.
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Name")), before);
}

TEST(RecordViewPanel, ReadOnlyFieldsAndDatasetsGiveReadOnlyEditors)
{
    Record r;
    r.F("Name")->SetReadOnly(true);
    Panel p(r);
    p.panel.SetReadOnlyColor(clInfoBk);
    p.panel.Rebuild();
    auto* name = p.Editor<TkqDBEdit>("Name");
    auto* amount = p.Editor<TkqDBEdit>("Amount");
    EXPECT_FALSE(name->isEnabled());
    EXPECT_EQ(name->Color(), clInfoBk);
    EXPECT_FALSE(name->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(amount->isEnabled());
    EXPECT_TRUE(amount->focusPolicy() & Qt::TabFocus);

    // A read-only dataset: typing changes nothing.
    r.ds.SetReadOnly(true);
    p.panel.Rebuild();
    amount = p.Editor<TkqDBEdit>("Amount");
    amount->setFocus();
    QTest::keyClicks(amount, QStringLiteral("9"));
    auto* notes = p.Editor<TkqDBMemo>("Notes");
    notes->setFocus();
    QTest::keyClicks(notes, QStringLiteral("x"));
    EXPECT_EQ(r.ds.State(), dsBrowse);
    EXPECT_EQ(notes->toPlainText(), QStringLiteral("first note"));
    EXPECT_TRUE(notes->isReadOnly());

    // Options hide them.
    r.ds.SetReadOnly(false);
    p.panel.SetOptions(p.panel.Options().Include(rvopHideReadOnly));
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Name")), nullptr);
    EXPECT_NE(p.panel.EditorOf(QStringLiteral("Amount")), nullptr);
}

TEST(RecordViewPanel, SelectedLinesChooseOrderTitlesWidthsAndReadOnly)
{
    Record r;
    Panel p(r);
    p.panel.SetSelected({QStringLiteral("Amount\t4\tHow~much\tT"), QStringLiteral("Missing\t3\tGone"),
                         QStringLiteral("Name\t6\tWho")});
    p.panel.Rebuild();
    QWidget* amount = p.panel.EditorOf(QStringLiteral("Amount"));
    QWidget* name = p.panel.EditorOf(QStringLiteral("Name"));
    ASSERT_TRUE(amount && name);
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Notes")), nullptr);
    EXPECT_LT(amount->y(), name->y());
    EXPECT_EQ(p.panel.LabelOf(QStringLiteral("Amount"))->text(), QStringLiteral("How much"));
    EXPECT_EQ(name->width(), 7 * CharWidth(p.panel) + 3);
    EXPECT_FALSE(amount->isEnabled());

    p.panel.SetSelected({QStringLiteral("Name\twide\tWho")});
    EXPECT_THROW(p.panel.Rebuild(), EConvertError);
}

TEST(RecordViewPanel, ResizingMovesTheEditorsAndReopeningRebuildsThem)
{
    Record r;
    Panel p(r);
    p.panel.show();
    QPointer<QWidget> notes = p.panel.EditorOf(QStringLiteral("Notes"));
    const int width = notes->width();
    p.panel.resize(600, 600);
    QApplication::processEvents();
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Notes")), notes);
    EXPECT_EQ(notes->width(), width + 100);

    r.ds.Close();
    QApplication::processEvents();
    r.ds.Open();
    QApplication::processEvents();
    QWidget* fresh = p.panel.EditorOf(QStringLiteral("Notes"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(notes.isNull());
    EXPECT_EQ(qobject_cast<TDBMemo*>(fresh)->toPlainText(), QStringLiteral("first note"));

    // Without a data source the panel is empty.
    p.panel.SetDataSource(nullptr);
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Notes")), nullptr);
}

TEST(RecordViewPanel, ManyFieldsScrollAndNarrowTheWideEditors)
{
    Record r;
    Panel p(r, 400, 120);
    EXPECT_GT(p.panel.Content()->height(), 120);
    const int e = p.panel.EditorOf(QStringLiteral("Notes"))->x();
    EXPECT_EQ(p.panel.EditorOf(QStringLiteral("Notes"))->width(), 400 - e - 5 - 4 - GetSystemMetrics(SM_CXVSCROLL));
}

TEST(RecordViewPanel, HorizontalStyleFlowsAndWraps)
{
    Record r;
    Panel p(r, 300, 400);
    p.panel.SetOptions({});
    p.panel.SetStyle(rvpsHorizontal);
    QWidget* name = p.panel.EditorOf(QStringLiteral("Name"));
    QWidget* born = p.panel.EditorOf(QStringLiteral("Born"));
    QLabel* nameLabel = p.panel.LabelOf(QStringLiteral("Name"));
    ASSERT_TRUE(name && born && nameLabel);
    // The label above its editor, the next pair to the right or on a new row.
    EXPECT_GT(name->y(), nameLabel->y());
    EXPECT_EQ(name->x(), 5);
    for (const char* f : {"Name", "Born", "Notes", "Paid", "Amount"}) {
        QWidget* w = p.panel.EditorOf(QString::fromLatin1(f));
        EXPECT_LE(w->x() + std::min(w->width(), 200), 300) << f;
    }
    QWidget* amount = p.panel.EditorOf(QStringLiteral("Amount"));
    EXPECT_GT(amount->y(), name->y());
}

TEST(RecordViewPanel, BorrowedControlGoesBackAsItWas)
{
    Record r;
    QWidget form;
    auto* mine = new TkqDBEdit(&form);
    mine->setObjectName(QStringLiteral("edtMine"));
    mine->setGeometry(3, 4, 50, 21);
    mine->hide();
    {
        auto* panel = new TkqRecordViewPanel(&form);
        panel->resize(500, 600);
        panel->SetControlType({QStringLiteral("Name;CustomEdit;edtMine")});
        panel->SetDataSource(&r.source);
        EXPECT_EQ(panel->EditorOf(QStringLiteral("Name")), mine);
        EXPECT_EQ(mine->parentWidget(), panel->Content());
        EXPECT_EQ(panel->BorrowedCount(), 1);
        EXPECT_EQ(mine->text(), QStringLiteral("Ann"));
        delete panel;
    }
    EXPECT_EQ(mine->parentWidget(), &form);
    EXPECT_EQ(mine->geometry(), QRect(3, 4, 50, 21));
    EXPECT_TRUE(mine->isHidden());
    EXPECT_EQ(mine->DataSource(), nullptr);
}

TEST(RecordViewPanel, EventsMayRefuseFieldsAndSeeEveryControl)
{
    Record r;
    TkqRecordViewPanel panel;
    panel.resize(400, 400);
    QStringList seen;
    panel.OnBeforeCreateControl = [](QObject*, TField* f, bool& accept) { accept = f->FieldName() != "Photo"; };
    panel.OnAfterCreateControl = [&](QObject*, TField* f, QWidget* c) {
        if (!qobject_cast<QLabel*>(c)) seen << f->FieldName();
    };
    panel.SetDataSource(&r.source);
    EXPECT_EQ(panel.EditorOf(QStringLiteral("Photo")), nullptr);
    EXPECT_EQ(seen, (QStringList{"Name", "Born", "Notes", "Paid", "Styled", "Amount"}));
}

// --- The dialog ---------------------------------------------------------------------------------

namespace {
struct Seam {
    Seam() { TDialogSeam::Install(); TDialogSeam::Clear(); }
    ~Seam() { TDialogSeam::Clear(); }
};

// Runs fn on the record view window once it is shown.
void OnForm(TkqRecordViewDialog& dialog, std::function<void(TkqRecordViewForm*)> fn)
{
    QTimer::singleShot(0, [&dialog, fn] {
        ASSERT_NE(dialog.Form(), nullptr);
        fn(dialog.Form());
    });
}
} // namespace

TEST(RecordViewDialog, RefusesWithoutAnActiveDataSet)
{
    Seam seam;
    TkqRecordViewDialog dialog;
    EXPECT_FALSE(dialog.Execute());
    Record closed(false);
    dialog.SetDataSource(&closed.source);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(TDialogSeam::Messages(),
              (QStringList{"DataSource or DataSource.DataSet not defined.", "DataSet must be active."}));
}

TEST(RecordViewDialog, OKPostsTheEditAndCancelAsksFirst)
{
    Seam seam;
    Record r;
    TkqRecordViewDialog dialog;
    dialog.ControlType = {QStringLiteral("Paid;CheckBox;True;False")};
    dialog.SetDataSource(&r.source);
    OnForm(dialog, [](TkqRecordViewForm* form) {
        auto* name = qobject_cast<TkqDBEdit*>(form->EditorOf(QStringLiteral("Name")));
        ASSERT_NE(name, nullptr);
        EXPECT_NE(form->Navigator, nullptr);
        EXPECT_EQ(form->LabelOf(QStringLiteral("Name"))->text(), QStringLiteral("Name"));
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Eve"));
        form->OKBtn->click();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(r.ds.State(), dsBrowse);
    EXPECT_EQ(r.F("Name")->AsString(), QStringLiteral("Eve"));

    // Cancel after an edit: the warning; its Cancel keeps the window, No drops the edit.
    TDialogSeam::AnswerMessages({mrCancel, mrNo});
    int closes = 0;
    dialog.OnCloseDialog = [&](TkqRecordViewForm*) { ++closes; };
    OnForm(dialog, [&](TkqRecordViewForm* form) {
        auto* name = qobject_cast<TkqDBEdit*>(form->EditorOf(QStringLiteral("Name")));
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Zed"));
        form->CancelBtn->click();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(closes, 0);
        form->CancelBtn->click();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(r.ds.State(), dsBrowse);
    EXPECT_EQ(r.F("Name")->AsString(), QStringLiteral("Eve"));
    EXPECT_EQ(TDialogSeam::Messages().value(0),
              QStringLiteral("Changes have been made!  Do you wish to save your changes?"));
}

TEST(RecordViewDialog, CloseBoxActsAsCancelOrAsOK)
{
    Seam seam;
    Record r;
    TkqRecordViewDialog dialog;
    dialog.SetDataSource(&r.source);
    OnForm(dialog, [](TkqRecordViewForm* form) { form->close(); });
    EXPECT_FALSE(dialog.Execute());
    dialog.Options = dialog.Options - TkqRecordViewOptions{rvoCloseIsCancel};
    OnForm(dialog, [](TkqRecordViewForm* form) { form->close(); });
    EXPECT_TRUE(dialog.Execute());
}

TEST(RecordViewDialog, EscapeInAChangedEditStaysEscapeElsewhereCancels)
{
    Seam seam;
    Record r;
    TkqRecordViewDialog dialog;
    dialog.SetDataSource(&r.source);
    bool stayed = false;
    OnForm(dialog, [&](TkqRecordViewForm* form) {
        auto* name = qobject_cast<TkqDBEdit*>(form->EditorOf(QStringLiteral("Name")));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("x"));
        QTest::keyClick(name, Qt::Key_Escape);
        stayed = form->isVisible();
        form->EditorOf(QStringLiteral("Amount"))->setFocus();
        r.ds.Cancel();
        QTest::keyClick(form->EditorOf(QStringLiteral("Amount")), Qt::Key_Escape);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(stayed);
}

TEST(RecordViewDialog, PlacesAndSizesItsWindowInTheWorkArea)
{
    Seam seam;
    Record r;
    TkqRecordViewDialog dialog;
    dialog.SetDataSource(&r.source);
    const TRect area = GetDesktopWorkArea();
    QRect centred, placed;
    OnForm(dialog, [&](TkqRecordViewForm* form) {
        centred = form->frameGeometry();
        form->CancelBtn->click();
    });
    dialog.Execute();
    // Centred: the window's size is that of its client area, the frame lies round it.
    EXPECT_NEAR(centred.center().x(), area.Left + RectWidth(area) / 2, 3);
    EXPECT_NEAR(centred.center().y(), area.Top + RectHeight(area) / 2, 3);
    dialog.FormPosition->Left = 100;
    dialog.FormPosition->Top = 50;
    dialog.Style = rvsHorizontal;
    OnForm(dialog, [&](TkqRecordViewForm* form) {
        placed = form->frameGeometry();
        form->CancelBtn->click();
    });
    dialog.Execute();
    EXPECT_EQ(placed.topLeft(), QPoint(100, 50));
    EXPECT_GE(placed.width(), 400);
}

TEST(RecordViewDialog, ATallRecordIsCutToTheWorkAreaAndScrolls)
{
    Seam seam;
    TGridTestDataSet ds;
    QStringList names;
    for (int i = 0; i < 80; ++i) {
        names << QStringLiteral("F%1").arg(i);
        ds.FieldDefs().Add(names.last(), ftInteger, 0);
    }
    ds.AddRow({TVariant(1)});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    TkqRecordViewDialog dialog;
    dialog.SetDataSource(&source);
    const TRect area = GetDesktopWorkArea();
    int height = 0, content = 0, viewport = 0;
    OnForm(dialog, [&](TkqRecordViewForm* form) {
        height = form->height();
        content = form->Content->height();
        viewport = form->ScrollBox->viewport()->height();
        form->CancelBtn->click();
    });
    dialog.Execute();
    EXPECT_LE(height, RectHeight(area) - 12);
    EXPECT_GT(content, viewport);
}

TEST(RecordViewDialog, ModelessWindowStaysUntilClosed)
{
    Seam seam;
    Record r;
    TkqRecordViewDialog dialog;
    dialog.Options = dialog.Options - TkqRecordViewOptions{rvoModalForm};
    dialog.SetDataSource(&r.source);
    EXPECT_TRUE(dialog.Execute());
    ASSERT_NE(dialog.Form(), nullptr);
    EXPECT_FALSE(dialog.Execute());
    QPointer<TkqRecordViewForm> form = dialog.Form();
    r.ds.Next();
    EXPECT_EQ(qobject_cast<TkqDBEdit*>(form->EditorOf(QStringLiteral("Name")))->text(), QStringLiteral("Bob"));
    form->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(dialog.Form(), nullptr);
}

TEST(RecordViewDialog, TheNavigatorsButtonOpensItOnTheCurrentRecord)
{
    Seam seam;
    Record r;
    r.ds.Next();
    QWidget form;
    auto* nav = new TkqDBNavigator(&form);
    nav->SetVisibleButtons({nbsFirst, nbsRecordViewDialog});
    nav->SetDataSource(&r.source);
    ASSERT_NE(nav->Button(nbsRecordViewDialog), nullptr);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<TkqRecordViewForm*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        shown = qobject_cast<TkqDBEdit*>(window->EditorOf(QStringLiteral("Name")))->text();
        window->CancelBtn->click();
    });
    nav->Button(nbsRecordViewDialog)->Click();
    EXPECT_EQ(shown, QStringLiteral("Bob"));
    auto* dialog = qobject_cast<TkqRecordViewDialog*>(nav->Button(nbsRecordViewDialog)->FindOrCreateDialog(&r.ds));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetPrimaryDataSet(), &r.ds);
}
