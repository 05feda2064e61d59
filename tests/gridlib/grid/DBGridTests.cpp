// The published grid: cell texts and input, cell controls, the memo dialog, multi-selection,
// the layout store and the application's operations.

#include "gridlib/core/Kqintl.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/Kqmemo.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/IniFiles.h"
#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

// The grid with its protected operations in reach.
class TPublishedGrid : public TkqDBGrid {
public:
    using TkqDBGrid::TkqDBGrid;
    using TkqDBGrid::MouseCoord;
    QPoint Center(int col, int row) const
    {
        const TRect r = CellRect(col, row);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    int FrameworkFixedCols() const { return TCustomGrid::FixedCols(); }
};

// A cell control that shows stored values under other texts, as a combo with a value map does.
class TMappingEdit : public QLineEdit, public TkqCellTextMap {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource MEMBER Source)
    Q_PROPERTY(QString DataField MEMBER Field)
public:
    using QLineEdit::QLineEdit;
    QString MapStoredToDisplay(const QString& stored) const override
    {
        return stored == QLatin1String("M") ? QStringLiteral("Male") : QString();
    }
    TDataSource* Source = nullptr;
    QString Field;
    int AltDowns = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier)) ++AltDowns;
        QLineEdit::keyPressEvent(e);
    }
};

// A frame of a form (recognised by the name of its class).
class TCustomFrame : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// Runs fn on the next modal window once it is shown.
void OnModal(std::function<void(QWidget*)> fn)
{
    QTimer::singleShot(0, [fn] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            OnModal(fn);
            return;
        }
        fn(w);
    });
}

// A form with the grid over Id, Name and Paid (texts), Notes (memo) and an edit after it.
struct Form {
    explicit Form(int rows = 12, bool show = true)
    {
        form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("TestForm"));
        form->resize(520, 300);
        auto* layout = new QVBoxLayout(form.get());
        grid = new TPublishedGrid(form.get());
        grid->setObjectName(QStringLiteral("Grid1"));
        layout->addWidget(grid);
        after = new QLineEdit(form.get());
        layout->addWidget(after);
        ds = new TGridTestDataSet(form.get());
        ds->Define({{"Id", ftInteger}, {"Name", ftWideString}, {"Paid", ftWideString}, {"Notes", ftMemo}});
        for (int i = 1; i <= rows; ++i)
            ds->AddRow({TVariant(i), TVariant(QStringLiteral("Name%1").arg(i)), TVariant(i % 2 ? QStringLiteral("Yes") : QStringLiteral("No")),
                        TVariant(QStringLiteral("Note %1").arg(i))});
        source = new TDataSource(form.get());
        source->SetDataSet(ds);
        ds->Open();
        grid->SetDataSource(source);
        if (show) {
            form->show();
            form->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
            grid->setFocus();
            QApplication::processEvents();
        }
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
        QTest::keyClick(target, Qt::Key(key), mods);
        QApplication::processEvents();
    }
    void Click(int col, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, grid->Center(col, row));
        QApplication::processEvents();
    }
    void DoubleClick(int col, int row)
    {
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->Center(col, row));
        QApplication::processEvents();
    }
    QString Text(int dataCol)
    {
        QString text;
        grid->GetCellText(dataCol, text);
        return text;
    }
    TField* Field(const char* name) const { return ds->FieldByName(QString::fromLatin1(name)); }
    QList<int> SelectedIds()
    {
        QList<int> ids;
        const TBookmark here = ds->GetBookmark();
        ds->DisableControls();
        for (const TBookmark& b : grid->SelectedBookmarks()) {
            ds->GotoBookmark(b);
            ids << Field("Id")->AsInteger();
        }
        ds->GotoBookmark(here);
        ds->EnableControls();
        return ids;
    }

    std::unique_ptr<QWidget> form;
    TPublishedGrid* grid = nullptr;
    QLineEdit* after = nullptr;
    TGridTestDataSet* ds = nullptr;
    TDataSource* source = nullptr;
};

} // namespace

// ============================================================================================= Memo dialog

TEST(MemoDialog, AcceptedEditReachesTheFieldAndLeavesTheRecordUnposted)
{
    Form f(3, false);
    TkqMemoDialog dialog;
    dialog.SetDataSource(f.source);
    dialog.SetDataField(QStringLiteral("Notes"));
    bool okWasDisabled = false;
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqMemoDlg*>(w);
        ASSERT_NE(form, nullptr);
        okWasDisabled = !form->OKBtn->isEnabled();
        EXPECT_EQ(form->Memo->toPlainText(), QStringLiteral("Note 1"));
        EXPECT_FALSE(form->UserButtonPanel->isVisible());
        form->Memo->selectAll();
        form->Memo->insertPlainText(QStringLiteral("Changed\nover two lines"));
        EXPECT_TRUE(form->OKBtn->isEnabled());
        form->OKBtn->click();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_TRUE(okWasDisabled);
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(f.Field("Notes")->AsString(), QStringLiteral("Changed\nover two lines"));
    EXPECT_EQ(f.ds->Posts, 0);
}

TEST(MemoDialog, ViewOnlyShowsOKAloneAndStoresNothing)
{
    Form f(3, false);
    for (bool byField : {false, true}) {
        TkqMemoDialog dialog;
        dialog.SetDataSource(f.source);
        dialog.SetDataField(QStringLiteral("Notes"));
        // A read-only memo field opens view-only without being asked to.
        f.Field("Notes")->SetReadOnly(byField);
        if (!byField) dialog.SetMemoAttributes({mSizeable, mWordWrap, mViewOnly});
        OnModal([](QWidget* w) {
            auto* form = qobject_cast<TkqMemoDlg*>(w);
            EXPECT_FALSE(form->CancelBtn->isVisible());
            EXPECT_TRUE(form->OKBtn->isEnabled());
            EXPECT_TRUE(form->Memo->isReadOnly());
            const int centred = form->Memo->x() + form->Memo->width() / 2 - form->OKBtn->width() / 2;
            EXPECT_EQ(form->OKBtn->x(), centred);
            form->OKBtn->click();
        });
        EXPECT_TRUE(dialog.Execute()) << byField;
        EXPECT_EQ(f.ds->State(), dsBrowse);
    }
}

TEST(MemoDialog, ChangedTextIsDroppedOnlyWhenTheUserAgrees)
{
    Form f(3, false);
    TkqMemoDialog dialog;
    dialog.SetDataSource(f.source);
    dialog.SetDataField(QStringLiteral("Notes"));
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrNo, mrYes});
    bool stillOpen = false;
    OnModal([&](QWidget* w) {
        auto* form = qobject_cast<TkqMemoDlg*>(w);
        form->Memo->insertPlainText(QStringLiteral("x"));
        QTest::keyClick(form->Memo, Qt::Key_Escape);
        stillOpen = form->isVisible();
        QTest::keyClick(form->Memo, Qt::Key_Escape);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(TDialogSeam::Messages().size(), 2);
    EXPECT_EQ(TDialogSeam::Messages().value(0), KqIntl()->UserMessages->MemoChangesWarning);
    EXPECT_EQ(f.Field("Notes")->AsString(), QStringLiteral("Note 1"));
    EXPECT_EQ(f.ds->State(), dsBrowse);

    // Unchanged text: Escape closes at once; F2 accepts and writes the text back.
    OnModal([](QWidget* w) { QTest::keyClick(qobject_cast<TkqMemoDlg*>(w)->Memo, Qt::Key_Escape); });
    EXPECT_FALSE(dialog.Execute());
    OnModal([](QWidget* w) { QTest::keyClick(qobject_cast<TkqMemoDlg*>(w)->Memo, Qt::Key_F2); });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(f.ds->State(), dsEdit);
    EXPECT_EQ(TDialogSeam::Messages().size(), 2);
    TDialogSeam::Clear();
}

TEST(MemoDialog, LinesPlacementAndUserButtons)
{
    TkqMemoDialog dialog;
    dialog.SetLines({QStringLiteral("one"), QStringLiteral("two")});
    dialog.UserButton2Caption = QStringLiteral("Extra");
    dialog.DlgLeft = 100;
    dialog.DlgTop = 50;
    int clicks = 0;
    dialog.OnUserButton2Click = [&](TkqMemoDlg*, QPlainTextEdit* memo) {
        ++clicks;
        memo->appendPlainText(QStringLiteral("three"));
    };
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqMemoDlg*>(w);
        EXPECT_EQ(form->pos(), QPoint(100, 50));
        EXPECT_TRUE(form->UserButtonPanel->isVisible());
        EXPECT_FALSE(form->UserButton1->isVisible());
        EXPECT_EQ(form->UserButton2->x(), 15);
        EXPECT_EQ(form->UserButtonPanel->width(), 114);
        form->UserButton2->click();
        EXPECT_TRUE(form->isVisible());
        form->OKBtn->click();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(dialog.Lines(), (QStringList{"one", "two", "three"}));

    // A data field that the dataset lacks fails before any window shows.
    Form f(1, false);
    dialog.SetDataSource(f.source);
    dialog.SetDataField(QStringLiteral("Missing"));
    EXPECT_THROW(dialog.Execute(), EDatabaseError);
}

// ============================================================================================= Cell text and input

TEST(DBGridCellInput, CheckBoxCellsToggleToTheMappedValues)
{
    struct Case {
        QString Stored, After;
    };
    const Case cases[] = {{"yes", "No"}, {"No", "Yes"}, {"", "Yes"}, {"maybe", "Yes"}};
    for (const Case& c : cases) {
        Form f(2);
        f.grid->SetControlType({QStringLiteral("Paid;CheckBox;Yes;No")});
        f.grid->LayoutChanged();
        f.ds->Edit();
        f.Field("Paid")->SetAsString(c.Stored);
        f.ds->Post();
        f.grid->SelectFieldByName(QStringLiteral("Paid"));
        f.Key(Qt::Key_Space);
        EXPECT_EQ(f.Field("Paid")->AsString(), c.After) << c.Stored.toStdString();
    }

    Form f(2);
    TPublishedGrid& g = *f.grid;
    g.SetControlType({QStringLiteral("Paid;CheckBox;Yes;No")});
    g.LayoutChanged();
    // Without single-click toggling a click only moves there; a double click toggles.
    f.Click(3, 2);
    EXPECT_EQ(f.Field("Id")->AsInteger(), 2);
    EXPECT_EQ(f.Field("Paid")->AsString(), QStringLiteral("No"));
    f.DoubleClick(3, 2);
    EXPECT_EQ(f.Field("Paid")->AsString(), QStringLiteral("Yes"));
    g.SetEditControlOptions(g.EditControlOptions().Include(ecoCheckboxSingleClick));
    f.Click(3, 2);
    EXPECT_EQ(f.Field("Paid")->AsString(), QStringLiteral("No"));
    // A read-only column keeps its value.
    g.SetUseTFields(false);
    g.SetSelected({QStringLiteral("Id\t5\tId"), QStringLiteral("Name\t10\tName"), QStringLiteral("Paid\t5\tPaid\tT")});
    g.LayoutChanged();
    f.ds->Post();
    f.Click(3, 2);
    f.Key(Qt::Key_Space);
    EXPECT_EQ(f.Field("Paid")->AsString(), QStringLiteral("No"));
}

TEST(DBGridCellInput, MemoCellsShowTheirTextAndOpenTheMemoDialog)
{
    Form f(3);
    TPublishedGrid& g = *f.grid;
    EXPECT_EQ(f.Text(3), QStringLiteral("(Memo)"));
    g.SetMemoAttributes({mSizeable, mWordWrap, mGridShow});
    EXPECT_EQ(f.Text(3), QStringLiteral("Note 1"));

    // Typing on a memo cell types nothing; F2 opens the dialog on the field.
    g.SelectFieldByName(QStringLiteral("Notes"));
    f.Key(Qt::Key_A);
    EXPECT_EQ(f.Field("Notes")->AsString(), QStringLiteral("Note 1"));
    EXPECT_FALSE(g.InplaceEditor() && g.InplaceEditor()->isVisible());
    QString caption;
    bool cancelled = false;
    g.OnMemoOpen = [&](QObject*, TkqMemoDialog* d) { caption = d->Caption(); };
    g.OnMemoClose = [&](QObject*, bool cancel) { cancelled = cancel; };
    OnModal([](QWidget* w) {
        auto* form = qobject_cast<TkqMemoDlg*>(w);
        form->Memo->setPlainText(QStringLiteral("From the dialog"));
        form->OKBtn->click();
    });
    f.Key(Qt::Key_F2);
    EXPECT_EQ(caption, QStringLiteral("Notes"));
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(f.Field("Notes")->AsString(), QStringLiteral("From the dialog"));
    f.ds->Post();
    // Disabled: F2 opens nothing.
    g.SetMemoAttributes({mGridShow, mDisableDialog});
    caption.clear();
    f.Key(Qt::Key_F2);
    EXPECT_TRUE(caption.isEmpty());

    // An empty dataset shows nothing.
    Form empty(0);
    EXPECT_EQ(empty.Text(3), QString());
}

TEST(DBGridCellInput, RichTextShowsItsFirstTwoParagraphs)
{
    SetRichTextReaderFactory([](QObject*) {
        struct TReader : TkqRichTextReader {
            QString PlainText(const QByteArray& rtf, int) override
            {
                return QString::fromLatin1(rtf.mid(6)).replace(QLatin1String("\\par "), QLatin1String("\n"));
            }
        };
        return std::unique_ptr<TkqRichTextReader>(new TReader);
    });
    Form f(1);
    TPublishedGrid& g = *f.grid;
    g.SetControlType({QStringLiteral("Notes;RichEdit;Nothing")});
    g.LayoutChanged();
    f.ds->Edit();
    f.Field("Notes")->SetAsString(QStringLiteral("{\\rtf one\\par two\\par three"));
    EXPECT_EQ(f.Text(3), QStringLiteral("one\ntwo"));
    g.SetLoadAllRTF(true);
    EXPECT_EQ(f.Text(3), QStringLiteral("one\ntwo\nthree"));
    // Another case of the marker is no rich text: its control words show.
    f.Field("Notes")->SetAsString(QStringLiteral("{\\RTF one\\par two"));
    EXPECT_EQ(f.Text(3), QStringLiteral("{\\RTF one\\par two"));
    f.ds->Cancel();
    SetRichTextReaderFactory(nullptr);
}

TEST(DBGridCellInput, ControlCellsMapValuesAndTakeTypedKeys)
{
    Form f(3);
    TPublishedGrid& g = *f.grid;
    auto* edit = new TMappingEdit(f.form.get());
    edit->setObjectName(QStringLiteral("EdtPaid"));
    edit->hide();
    f.ds->Edit();
    f.Field("Paid")->SetAsString(QStringLiteral("M"));
    f.ds->Post();
    g.SetControlType(QStringLiteral("Paid"), 3, QStringLiteral("EdtPaid"));
    EXPECT_EQ(g.ControlType(), QStringList{QStringLiteral("Paid;CustomEdit;EdtPaid")});
    EXPECT_EQ(edit->Source, f.source);
    EXPECT_EQ(edit->Field, QStringLiteral("Paid"));
    EXPECT_EQ(edit->parentWidget(), g.viewport());
    EXPECT_EQ(f.Text(2), QStringLiteral("Male"));
    f.ds->Next();
    EXPECT_EQ(f.Text(2), QStringLiteral("No"));   // not in the map: the field's text

    // The control stands over the current cell of its column, and goes when the column is left.
    g.SelectFieldByName(QStringLiteral("Paid"));
    QApplication::processEvents();
    g.repaint();
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->geometry(), g.GetCellRectDefaultHeight(3, g.Row()).ToQRect());
    EXPECT_EQ(g.CurrentCellControl(), edit);
    // A typed character goes into the control; Alt+Down opens it.
    g.setFocus();
    QApplication::processEvents();
    edit->clear();
    QTest::keyClick(&g, Qt::Key_A);
    QApplication::processEvents();
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
    g.setFocus();
    QApplication::processEvents();
    QTest::keyClick(&g, Qt::Key_Down, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(edit->AltDowns, 1);
    g.setFocus();
    g.SelectFieldByName(QStringLiteral("Name"));
    QApplication::processEvents();
    EXPECT_FALSE(edit->isVisible());

    // Codes that write other kinds, and codes that remove the line.
    g.SetControlType(QStringLiteral("Name"), 9, QString());
    g.SetControlType(QStringLiteral("Notes"), 7, QStringLiteral("EdtPaid"));
    g.SetControlType(QStringLiteral("Paid"), 11, QString());
    EXPECT_EQ(g.ControlType(), (QStringList{"Name;URL-Link;", "Notes;RichEdit;EdtPaid"}));
    f.ds->Edit();
    f.Field("Name")->SetAsString(QStringLiteral("Home page#http://example.org#x"));
    EXPECT_EQ(f.Text(1), QStringLiteral("Home page"));
    f.ds->Cancel();
}

TEST(DBGridControls, ControlNamesReachIntoFramesAndTheDataSetsOwner)
{
    Form f(2, false);
    auto* frame = new TCustomFrame(f.form.get());
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* inFrame = new QLineEdit(frame);
    inFrame->setObjectName(QStringLiteral("Edit1"));
    QObject module;
    auto* inModule = new QLineEdit;
    inModule->setObjectName(QStringLiteral("Edit2"));
    inModule->setParent(nullptr);
    QWidget holder;
    inModule->setParent(&holder);
    f.ds->setParent(&holder);
    EXPECT_EQ(f.grid->FindNamedControl(QStringLiteral("Frame1.Edit1")), inFrame);
    EXPECT_EQ(f.grid->FindNamedControl(QStringLiteral("Module1.Edit2")), inModule);
    EXPECT_EQ(f.grid->FindNamedControl(QStringLiteral("Frame1.")), nullptr);
    EXPECT_EQ(f.grid->FindNamedControl(QStringLiteral("Nothing")), nullptr);
    f.ds->setParent(f.form.get());
}

TEST(DBGridControls, DateFieldsUseThePickerTheProgramOffers)
{
    Form f(2);
    TPublishedGrid& g = *f.grid;
    f.ds->Close();
    f.ds->FieldDefs().Add(QStringLiteral("When"), ftDate, 0);
    f.ds->Open();
    g.LayoutChanged();
    // Without a picker class the cell is edited in place.
    g.SelectFieldByName(QStringLiteral("When"));
    EXPECT_FALSE(g.IsCustomControlCell(g.Col(), g.Row()));
    EXPECT_EQ(g.CellPicker(), nullptr);

    int made = 0;
    RegisterControlClass(QStringLiteral("TkqDBDateTimePicker"), [&](QWidget* owner) {
        ++made;
        auto* picker = new TMappingEdit(owner);
        picker->setProperty("ReadOnly", false);
        return picker;
    });
    QWidget* created = nullptr;
    g.OnCreateDateTimePicker = [&](QObject*, QWidget* picker) { created = picker; };
    g.SelectFieldByName(QStringLiteral("Name"));
    g.SelectFieldByName(QStringLiteral("When"));
    EXPECT_EQ(made, 1);
    ASSERT_NE(g.CellPicker(), nullptr);
    EXPECT_EQ(created, g.CellPicker());
    EXPECT_TRUE(g.IsCustomControlCell(g.Col(), g.Row()));
    EXPECT_EQ(static_cast<TMappingEdit*>(g.CellPicker())->Field, QStringLiteral("When"));
    EXPECT_EQ(g.FindCellControl(g.Col(), g.Row()), g.CellPicker());
    // Switched off: no picker, the editor again.
    g.SetEditControlOptions(g.EditControlOptions().Include(ecoDisableDateTimePicker));
    EXPECT_FALSE(g.IsCustomControlCell(g.Col(), g.Row()));
    RegisterControlClass(QStringLiteral("TkqDBDateTimePicker"), nullptr);
}

// ============================================================================================= Multi-selection

TEST(DBGridSelection, ClicksCtrlClicksAndShiftRanges)
{
    Form f(12);
    TPublishedGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgMultiSelect));
    g.SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    int announced = 0;
    g.OnMultiSelectRecord = [&](QObject*, bool selecting, bool&) { announced += selecting ? 1 : 0; };
    f.Click(1, 3);
    EXPECT_EQ(f.SelectedIds(), QList<int>{3});
    announced = 0;
    f.Click(1, 7, Qt::ShiftModifier);
    auto sorted = [&] {
        QList<int> ids = f.SelectedIds();
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    EXPECT_EQ(sorted(), (QList<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(announced, 6);   // 7 by the click, then 3 to 7 by the range after they were unselected
    EXPECT_EQ(g.GetDataRow(), 6);
    f.Click(1, 1, Qt::ShiftModifier);
    EXPECT_EQ(sorted(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));

    // A plain click leaves exactly the clicked record; Ctrl toggles one by one.
    f.Click(1, 9);
    EXPECT_EQ(f.SelectedIds(), QList<int>{9});
    f.Click(1, 2, Qt::ControlModifier);
    f.Click(1, 5, Qt::ControlModifier);
    f.Click(1, 9, Qt::ControlModifier);
    EXPECT_EQ(f.SelectedIds(), (QList<int>{2, 5}));
    f.Click(1, 9, Qt::ControlModifier);
    EXPECT_EQ(f.SelectedIds(), (QList<int>{2, 5, 9}));
    g.SelectAll();
    g.UnselectAll();
    for (int r : {9, 2, 5}) f.Click(1, r, Qt::ControlModifier);
    g.SortSelectedBookmarks();
    EXPECT_EQ(f.SelectedIds(), (QList<int>{2, 5, 9}));
    EXPECT_TRUE(g.IsRowSelected(4));
    EXPECT_FALSE(g.IsRowSelected(3));

    // A handler that refuses every unselection leaves a range as it is, and the walk ends.
    g.OnMultiSelectRecord = [](QObject*, bool selecting, bool& accept) { accept = selecting; };
    g.UnselectRecordRange(f.grid->SelectedBookmarks().first(), f.grid->SelectedBookmarks().last());
    EXPECT_EQ(g.SelectedBookmarks().size(), 3);
}

TEST(DBGridSelection, AllRecordsAndRowSelectSpace)
{
    Form f(1000);
    TPublishedGrid& g = *f.grid;
    g.SetOptions(g.Options().Include(dgMultiSelect));
    f.ds->MoveBy(4);
    g.SelectAll();
    ASSERT_EQ(g.SelectedBookmarks().size(), 1000);
    EXPECT_EQ(f.Field("Id")->AsInteger(), 5);
    const QList<int> ids = f.SelectedIds();
    EXPECT_EQ(ids.first(), 1);
    EXPECT_EQ(ids.last(), 1000);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    bool refuse = true;
    g.OnMultiSelectAllRecords = [&](QObject*, bool, bool& accept) { accept = !refuse; };
    g.UnselectAll();
    EXPECT_EQ(g.SelectedBookmarks().size(), 1000);
    refuse = false;
    g.UnselectAll();
    EXPECT_TRUE(g.SelectedBookmarks().isEmpty());

    // Space selects only with row selection.
    f.Key(Qt::Key_Space);
    EXPECT_TRUE(g.SelectedBookmarks().isEmpty());
    g.SetOptions(g.Options().Include(dgRowSelect));
    f.Key(Qt::Key_Space);
    EXPECT_EQ(f.SelectedIds(), QList<int>{5});
    f.Key(Qt::Key_Space);
    EXPECT_TRUE(g.SelectedBookmarks().isEmpty());

    Form empty(0);
    empty.grid->SelectAll();
    EXPECT_TRUE(empty.grid->SelectedBookmarks().isEmpty());
}

TEST(DBGridSelection, RangesFollowTheSortOrder)
{
    // A client dataset sorted by Name descending: a range is what the user sees between the
    // two clicks, not what lies between them in the file.
    QWidget form;
    form.resize(400, 300);
    auto* layout = new QVBoxLayout(&form);
    auto* grid = new TPublishedGrid(&form);
    layout->addWidget(grid);
    TClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 10);
    ds.CreateDataSet();
    const char* names[] = {"d", "a", "f", "b", "e", "c"};
    for (int i = 0; i < 6; ++i) {
        ds.Append();
        ds.FieldByName(QStringLiteral("Id"))->SetAsInteger(i + 1);
        ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromLatin1(names[i]));
        ds.Post();
    }
    ds.AddIndex(QStringLiteral("Down"), QStringLiteral("Name"), {ixDescending});
    ds.SetIndexName(QStringLiteral("Down"));
    TDataSource source;
    source.SetDataSet(&ds);
    grid->SetDataSource(&source);
    grid->SetOptions(grid->Options().Include(dgMultiSelect));
    grid->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    form.show();
    QApplication::processEvents();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->Center(1, 2));   // "e"
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, grid->Center(1, 4));   // "c"
    grid->SortSelectedBookmarks();
    QStringList picked;
    for (const TBookmark& b : grid->SelectedBookmarks()) {
        ds.GotoBookmark(b);
        picked << ds.FieldByName(QStringLiteral("Name"))->AsString();
    }
    EXPECT_EQ(picked, (QStringList{"e", "d", "c"}));
}

// ============================================================================================= Layout store

TEST(DBGridLayoutStore, SavedLayoutComesBackInAnotherGrid)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("grids.ini"));
    Form f(2, false);
    TPublishedGrid& g = *f.grid;
    g.SetUseTFields(false);
    g.SetSelected({QStringLiteral("Name\t12\tThe name"), QStringLiteral("Id\t4\tNo.\tT\tKeys"),
                   QStringLiteral("Paid\t5\tPaid\tF\t")});
    g.LayoutChanged();
    g.IniAttributes()->SetFileName(ini);
    EXPECT_EQ(g.IniAttributes()->SectionName(), QStringLiteral("Grid1"));
    g.SaveLayout();
    {
        TIniFile file(ini);
        EXPECT_EQ(file.ReadSection(QStringLiteral("Grid1")), (QStringList{"Name", "Id", "Paid"}));
        EXPECT_EQ(file.ReadString(QStringLiteral("Grid1"), QStringLiteral("Name"), QString()), QStringLiteral("12;;The name;;F"));
        EXPECT_EQ(file.ReadString(QStringLiteral("Grid1"), QStringLiteral("Id"), QString()), QStringLiteral("4;;No.;;T;;Keys"));
        EXPECT_EQ(file.ReadString(QStringLiteral("Grid1"), QStringLiteral("Paid"), QString()), QStringLiteral("5;;Paid;;F"));
    }

    Form other(2, false);
    TPublishedGrid& h = *other.grid;
    h.SetUseTFields(false);
    h.SetSelected({QStringLiteral("Notes\t8\tNotes")});
    h.IniAttributes()->SetFileName(ini);
    h.LoadLayout();
    EXPECT_EQ(h.Selected(), (QStringList{"Name\t12\tThe name\tF", "Id\t4\tNo.\tT\tKeys", "Paid\t5\tPaid\tF"}));
    EXPECT_EQ(h.GetFieldCount(), 3);
    // Fields added since the layout was stored come after it.
    h.SetSelected({QStringLiteral("Notes\t8\tNotes")});
    h.IniAttributes()->SetCheckNewFields(true);
    h.LoadLayout();
    EXPECT_EQ(h.Selected().last(), QStringLiteral("Notes\t8\tNotes"));
    EXPECT_EQ(h.Selected().size(), 4);

    // A value without the delimiter stops the load and keeps the old lines.
    {
        TIniFile file(ini);
        file.WriteString(QStringLiteral("Grid1"), QStringLiteral("Paid"), QStringLiteral("5"));
    }
    TDialogSeam::Clear();
    h.SetSelected({QStringLiteral("Notes\t8\tNotes")});
    h.LoadLayout();
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{QStringLiteral("Key Delimiter Not Found")});
    EXPECT_EQ(h.Selected(), QStringList{QStringLiteral("Notes\t8\tNotes")});
    TDialogSeam::Clear();
}

TEST(DBGridLayoutStore, StoresThatCannotBeUsedSayWhy)
{
    Form f(2, false);
    TkqIniAttributes& a = *f.grid->IniAttributes();
    TDialogSeam::Clear();
    a.SetFileName(QStringLiteral("/no/such/folder/grids.ini"));
    f.grid->SaveLayout();
    a.SetFileName(QString());
    a.SetSaveToRegistry(true);
    f.grid->LoadLayout();
    a.SetSaveToRegistry(false);
    a.SetDelimiter(QString());
    f.grid->SaveLayout();
    EXPECT_EQ(TDialogSeam::Messages(), (QStringList{"Directory does not exist", "FileName required when saving to registry",
                                                    "Key delimiter required"}));
    TDialogSeam::Clear();

    // A registry key keeps the layout in a settings file of the same shape under the user's
    // configuration folder; a grid going away without a key name says nothing.
    QStandardPaths::setTestModeEnabled(true);
    a.SetDelimiter(QStringLiteral(";;"));
    a.SetSaveToRegistry(true);
    a.SetFileName(QStringLiteral("Software\\Quarrow Test\\Grids"));
    f.grid->SaveLayout();
    const QString file = TkqIniAttributes::RegistryKeyFile(a.FileName());
    EXPECT_TRUE(file.endsWith(QStringLiteral("/Software/Quarrow Test/Grids.ini")));
    EXPECT_TRUE(QFile::exists(file));
    QFile::remove(file);
    {
        Form g(1, false);
        g.grid->IniAttributes()->SetEnabled(true);
        g.grid->IniAttributes()->SetSaveToRegistry(true);
    }
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
    QStandardPaths::setTestModeEnabled(false);
}

// ============================================================================================= Application operations

TEST(DBGridOperations, FixedColumnsDataRowsAndFieldsByName)
{
    Form f(20);
    TPublishedGrid& g = *f.grid;
    g.SetFixedCols(2);
    EXPECT_EQ(g.FrameworkFixedCols(), 3);
    EXPECT_FALSE(g.TabStops(1));
    EXPECT_FALSE(g.TabStops(2));
    // A count that does not fit is kept, and the fixed columns stay.
    g.SetFixedCols(9);
    EXPECT_EQ(g.FixedCols(), 9);
    EXPECT_EQ(g.FrameworkFixedCols(), 3);
    g.SetFixedCols(0);
    EXPECT_EQ(g.FrameworkFixedCols(), 1);

    g.SetDataRow(2);
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(f.Field("Id")->AsInteger(), 3);
    EXPECT_EQ(g.GetDataRow(), 2);
    g.SelectFieldByName(QStringLiteral("name"));
    EXPECT_EQ(g.GetCurrentField(), f.Field("Name"));
    g.SelectFieldByName(QStringLiteral("nothing"));
    EXPECT_EQ(g.GetCurrentField(), f.Field("Name"));
    EXPECT_EQ(g.MouseCoord(g.Center(2, 0).x(), g.Center(2, 0).y()).Y, 0);
    EXPECT_EQ(g.MouseCoord(-5, -5), (TGridCoord{-1, -1}));
}

TEST(DBGridOperations, RefreshLayoutAppliesSelectedUnlessAFieldIsCalculated)
{
    Form f(2, false);
    TPublishedGrid& g = *f.grid;
    g.SetSelected({QStringLiteral("Name\t7\tWho"), QStringLiteral("Id\t3\tNo.")});
    g.RefreshLayout();
    EXPECT_EQ(g.GetFieldCount(), 2);
    EXPECT_EQ(g.GetField(0), f.Field("Name"));
    EXPECT_EQ(f.Field("Name")->DisplayLabel(), QStringLiteral("Who"));
    EXPECT_FALSE(f.Field("Paid")->Visible());

    // With a calculated field the lines stay unapplied at run time.
    QWidget form;
    auto* grid = new TPublishedGrid(&form);
    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}});
    auto* id = new TIntegerField(&ds);
    id->SetFieldName(QStringLiteral("Id"));
    id->SetDataSet(&ds);
    auto* calc = new TIntegerField(&ds);
    calc->SetFieldName(QStringLiteral("Twice"));
    calc->SetFieldKind(fkCalculated);
    calc->SetDataSet(&ds);
    ds.AddRow({TVariant(1), TVariant(QStringLiteral("a"))});
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    grid->SetSelected({QStringLiteral("Twice\t7\tDouble")});
    grid->SetDataSource(&source);
    EXPECT_TRUE(id->Visible());
    EXPECT_EQ(calc->DisplayLabel(), QStringLiteral("Twice"));
}

#include "DBGridTests.moc"
