#include "app/UModifyEditStruct.h"
#include "app/UGeneral.h"
#include "app/UNewCDS.h"
#include "gridlib/core/Kqdbspin.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/editors/kqincsearch.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/kqexpand.h"
#include "memtable/zohMemTable.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/ToolEdit.h"
#include "app/UTree.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct StructFixture : ::testing::Test {
    TWorkbenchFixture Workbench;
    std::unique_ptr<TMainForm> Frame;
    QTemporaryDir Data;
    QString Folder;
    QStringList Shown;   // errors the application would have shown

    void SetUp() override
    {
        QUARROW_NEED_SAMPLES();
        Folder = Data.path();
        SetStructureWindowFactory([] { return new TFrmModifyEditStruct; });
        for (const char* name : {"demo-country.cds", "demo-country.xml", "demo-employee.cds"}) {
            QFile::copy(SamplePath(name), Path(name));
            QFile::setPermissions(Path(name), QFile::ReadOwner | QFile::WriteOwner);
        }
        WriteNestedFile(Path("orders.cds"));
        Application()->OnException = [this](const std::exception& e) {
            if (dynamic_cast<const EAbort*>(&e)) return;
            const auto* ex = dynamic_cast<const Exception*>(&e);
            Shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
        };
        TDialogSeam::Clear();
        Frame = std::make_unique<TMainForm>();
        Frame->show();
        Settle();
        for (TFrmTree* tree : OpenChildren<TFrmTree>()) tree->CloseChild();
        Settle();
        Frame->cdsFieldDefsClipBoard->EmptyDataSet();
    }
    void TearDown() override
    {
        for (TFrmModifyEditStruct* w : OpenChildren<TFrmModifyEditStruct>()) {
            w->SetCloseAnswered(true);
            w->CloseChild();
        }
        Settle();
        if (Frame) Frame->close();
        Frame.reset();
        Application()->OnException = nullptr;
        TDialogSeam::Clear();
        Settle();
    }
    QString Path(const QString& name) const { return Folder + '/' + name; }
    QStringList Files() const
    {
        return {Path("demo-country.cds"), Path("demo-country.xml"), Path("demo-employee.cds"), Path("orders.cds")};
    }

    TFrmModifyEditStruct* Open(const QString& path)
    {
        TStructureWindowBase* w = OpenStructureWindow(path, Files());
        Settle();
        return qobject_cast<TFrmModifyEditStruct*>(w);
    }
};

// "Pos Name Type Size" of every row, in table order, read without moving the table's cursor.
QStringList Rows(TClientDataSet* table)
{
    QStringList list;
    TClientDataSet cursor;
    cursor.CloneCursor(table, false, false);
    for (cursor.First(); !cursor.Eof(); cursor.Next())
        list << QStringLiteral("%1 %2 %3 %4")
                    .arg(cursor.FieldByName("Pos")->AsString(), cursor.FieldByName("Name")->AsString(),
                         cursor.FieldByName("Type")->AsString(), cursor.FieldByName("Size")->AsString());
    return list;
}

QStringList Names(TClientDataSet* table)
{
    QStringList list;
    for (const QString& row : Rows(table)) list << row.section(' ', 1, 1);
    return list;
}

// Posts; false when a check refused the row (silently, after its message).
bool TryPost(TDataSet* table)
{
    try {
        table->Post();
    } catch (const EAbort&) {
        return false;
    }
    return true;
}

void Goto(TClientDataSet* table, const QString& name)
{
    ASSERT_TRUE(table->Locate("Name", TVariant(name))) << name.toStdString();
}

void AddRow(TClientDataSet* table, const QString& name, const QString& type, const QString& size)
{
    table->Append();
    table->FieldByName("Name")->SetAsString(name);
    table->FieldByName("Type")->SetAsString(type);
    table->FieldByName("Size")->SetAsString(size);
}

// Picks an item in a type combo as the user does: opens its list, selects the line, takes it.
void Pick(TkqDBComboBox* combo, const QString& item)
{
    combo->DropDown();
    ASSERT_TRUE(combo->IsDroppedDown());
    const int index = combo->PopupList()->IndexOf(item);
    ASSERT_GE(index, 0);
    combo->PopupList()->SetItemIndex(index);
    combo->CloseUp(true);
    // The edit writes its text to the field when the row is posted or the editor is left.
    combo->DataLink().UpdateRecord();
}

// Answers the new-file dialog with a name.
void AnswerNewFile(const std::function<void()>& action, const QString& name)
{
    WithModal(action, [&name](QDialog* dialog) {
        auto* newFile = qobject_cast<TFrmNewCDS*>(dialog);
        ASSERT_NE(newFile, nullptr);
        newFile->EdtFileName->SetText(name);
        newFile->btnSelect->click();
    });
}

QStringList FieldNamesOfFile(const QString& path)
{
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    QStringList names;
    for (TField* f : ds.Fields()) names << f->FieldName() + ":" + FieldTypeName(f->DataType());
    return names;
}

} // namespace

TEST_F(StructFixture, OpensAFilesStructure)
{
    const QString path = Path("demo-country.cds");
    TFrmModifyEditStruct* w = Open(path);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Caption(), "Create/Modify Structure " + path);
    EXPECT_EQ(w->EdtFileName->Text(), path);
    EXPECT_EQ(w->EdtFileName->count(), 4);
    EXPECT_EQ(Rows(w->cdsFieldDefs), (QStringList{"1 Name String 24", "2 Capital String 24", "3 Continent String 24",
                                                  "4 Area Float 0", "5 Population Float 0"}));
    w->cdsFieldDefs->First();
    EXPECT_EQ(w->cdsFieldDefs->FieldByName("OrgName")->AsString(), "Name");
    EXPECT_EQ(w->cdsFieldDefs->ChangeCount(), 0);
    EXPECT_FALSE(w->HasDataSetField);
    EXPECT_FALSE(w->IsReadOnly());
    EXPECT_TRUE(w->StatusBar->Panels()[0]->Text().startsWith("File Date: "));
    EXPECT_EQ(w->StatusBar->Panels()[1]->Text(), "");
    EXPECT_FALSE(w->actReadOnlySave->isEnabled());
    EXPECT_TRUE(w->actViewData->isEnabled());
    EXPECT_TRUE(w->actBorrow->isEnabled());
    EXPECT_FALSE(w->actPrintStructure->isEnabled());
    EXPECT_EQ(w->EdtTypes->Items().Count(), 30);
    EXPECT_EQ(w->EdtSize->MaxValue(), 32565);

    // Opening it again brings the same window to the front.
    EXPECT_EQ(Open(path), nullptr);
    EXPECT_EQ(OpenChildren<TFrmModifyEditStruct>().size(), 1);

    // A file that cannot be read is reported and the window keeps what it showed.
    WriteWholeFile(Path("bad.cds"), QByteArray("\x96\x19\xE0\xBD garbage", 12));
    EXPECT_ANY_THROW(w->OpenStructure(Path("bad.cds")));
    EXPECT_EQ(Rows(w->cdsFieldDefs).size(), 5);
}

TEST_F(StructFixture, ChoosingATypeSetsItsDefaultSize)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    struct Case {
        bool Master;
        const char* Type;
        const char* SizeBefore;
        const char* SizeAfter;
    };
    const Case cases[] = {
        {true, "String", "0", "50"},       {true, "WideString", "", "50"},  {true, "FixedChar", "7", "7"},
        {true, "Bytes", "0", "10"},        {true, "Bytes", "3", "3"},       {true, "Integer", "50", "0"},
        {true, "Integer", "", "0"},        {true, "Integer", "0", "0"},     {false, "String", "0", "50"},
        {false, "Bytes", "0", "0"},        {false, "Bytes", "", "0"},       {false, "Integer", "12", "12"},
        {false, "WideString", "", "50"},
    };
    // The nested list, to edit its rows.
    w->cdsFieldDefs->First();
    w->cdsFieldDefs->Next();
    w->ExpandButton->SetExpanded(true);
    ASSERT_TRUE(w->ExpandButton->Expanded());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Master ? "master " : "nested ") + c.Type + " " + c.SizeBefore);
        TClientDataSet* table = c.Master ? w->cdsFieldDefs : w->cdsDetail;
        table->Last();
        table->Edit();
        // A type other than the one picked, so that picking it changes the combo.
        table->FieldByName("Type")->SetAsString("Boolean");
        table->FieldByName("Size")->SetAsString(c.SizeBefore);
        Pick(c.Master ? w->EdtTypes : w->EdtTypes2, c.Type);
        EXPECT_EQ(table->FieldByName("Type")->AsString(), c.Type);
        EXPECT_EQ(table->FieldByName("Size")->AsString(), c.SizeAfter);
        table->Cancel();
    }
    // Outside an edit nothing changes.
    w->cdsDetail->Last();
    const QString size = w->cdsDetail->FieldByName("Size")->AsString();
    w->EdtTypes2Change();
    EXPECT_EQ(w->cdsDetail->FieldByName("Size")->AsString(), size);
}

TEST_F(StructFixture, TypeAndSizeChangesOfFileFieldsAsk)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    const QString typeQuestion =
        "The New type differ from the Origional type.\r\nIf you go agead with the change, you might lose data.\r\n"
        "Go ahead with the change ?";
    const QString sizeQuestion =
        "The New size is smaller than the Origional size.\r\nIf you go ahead with the change, you might lose data.\r\n"
        "Go ahead with the change ?";
    struct Case {
        const char* Field;
        const char* Value;   // a new Type or Size
        bool IsType;
        int Answer;
        bool Posted;
        const char* After;
    };
    const Case cases[] = {
        {"Area", "Integer", true, mrNo, false, "Float"},
        {"Area", "Integer", true, mrYes, true, "Integer"},
        {"Name", "10", false, mrNo, false, "24"},
        {"Name", "10", false, mrYes, true, "10"},
        {"Capital", "40", false, 0, true, "40"},   // larger: no question
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Field) + " " + c.Value);
        TDialogSeam::Clear();
        if (c.Answer) TDialogSeam::AnswerMessages({c.Answer});
        Goto(t, c.Field);
        t->Edit();
        t->FieldByName(c.IsType ? "Type" : "Size")->SetAsString(c.Value);
        EXPECT_EQ(TryPost(t), c.Posted);
        EXPECT_EQ(t->FieldByName(c.IsType ? "Type" : "Size")->AsString(), c.After);
        EXPECT_EQ(TDialogSeam::Messages(),
                  c.Answer ? QStringList{c.IsType ? typeQuestion : sizeQuestion} : QStringList{});
        EXPECT_EQ(t->State(), c.Posted ? dsBrowse : dsEdit);
        t->Cancel();
    }
    // A size that is no number is the platform's conversion error; the row stays editing.
    Goto(t, "Continent");
    t->Edit();
    t->FieldByName("Size")->SetAsString("2x");
    EXPECT_THROW(t->Post(), EConvertError);
    EXPECT_EQ(t->State(), dsEdit);
    t->Cancel();

    // A row being added, and every row of a new file, are not asked about.
    TDialogSeam::Clear();
    AddRow(t, "Extra", "String", "20");
    ASSERT_TRUE(TryPost(t));
    w->NewFile = true;
    t->Edit();
    t->FieldByName("Type")->SetAsString("Integer");
    ASSERT_TRUE(TryPost(t));
    Goto(t, "Name");
    t->Edit();
    t->FieldByName("Size")->SetAsString("3");
    EXPECT_TRUE(TryPost(t));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{});
}

TEST_F(StructFixture, OneDataSetFieldPerFile)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    EXPECT_TRUE(w->HasDataSetField);
    const QStringList refused{"You can only have one DataSet type per File"};

    // The existing nested field may be renamed and resized.
    Goto(t, "Items");
    t->Edit();
    t->FieldByName("Name")->SetAsString("Lines");
    EXPECT_TRUE(TryPost(t));
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{});

    // A second one is refused, as a new row or by a changed type.
    AddRow(t, "More", "DataSet", "0");
    EXPECT_FALSE(TryPost(t));
    EXPECT_EQ(TDialogSeam::Messages(), refused);
    t->Cancel();
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    Goto(t, "Notes");
    t->Edit();
    t->FieldByName("Type")->SetAsString("DataSet");
    EXPECT_FALSE(TryPost(t));
    t->Cancel();

    // Nor can the nested list hold one.
    Goto(t, "Lines");
    w->ExpandButton->SetExpanded(true);
    AddRow(w->cdsDetail, "Sub", "DataSet", "0");
    EXPECT_FALSE(TryPost(w->cdsDetail));
    w->cdsDetail->Cancel();
    w->ExpandButton->SetExpanded(false);

    // Once the nested field is deleted, another may be added.
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    Goto(t, "Lines");
    w->DeleteSelectedRows(true);
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Delete record(s) ?"});
    EXPECT_FALSE(w->HasDataSetField);
    AddRow(t, "More", "DataSet", "0");
    EXPECT_TRUE(TryPost(t));
}

TEST_F(StructFixture, PositionsFollowInsertAppendDeleteAndDrop)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    // Inserted before the third row, it stays there.
    t->SetRecNo(3);
    t->Insert();
    t->FieldByName("Name")->SetAsString("Inserted");
    t->FieldByName("Type")->SetAsString("Integer");
    t->FieldByName("Size")->SetAsString("0");
    ASSERT_TRUE(TryPost(t));
    EXPECT_EQ(Names(t), (QStringList{"Name", "Capital", "Inserted", "Continent", "Area", "Population"}));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Inserted");   // the grid stays on it
    AddRow(t, "Appended", "Integer", "0");
    ASSERT_TRUE(TryPost(t));
    EXPECT_EQ(Names(t).last(), "Appended");
    EXPECT_EQ(Rows(t).last(), "7 Appended Integer 0");

    struct Case {
        const char* Moved;
        const char* Onto;
        QStringList Order;
    };
    const Case cases[] = {
        {"Appended", "Name", {"Appended", "Name", "Capital", "Inserted", "Continent", "Area", "Population"}},
        {"Appended", "Inserted", {"Name", "Capital", "Appended", "Inserted", "Continent", "Area", "Population"}},
        {"Appended", "Population", {"Name", "Capital", "Inserted", "Continent", "Area", "Appended", "Population"}},
        {"Capital", "Area", {"Name", "Inserted", "Continent", "Capital", "Area", "Population", "Appended"}},
        {"Area", "Area", {"Name", "Capital", "Inserted", "Continent", "Area", "Population", "Appended"}},
    };
    const QStringList start = Names(t);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Moved) + " onto " + c.Onto);
        // The target row by its own position, as the grid shows it on screen.
        Goto(t, c.Onto);
        const int onto = t->RecNo();
        Goto(t, c.Moved);
        w->DropRowAt(w->grdFieldDefs, onto - (w->grdFieldDefs->TopRow() - 1));
        EXPECT_EQ(Names(t), c.Order);
        EXPECT_EQ(t->FieldByName("Name")->AsString(), c.Moved);
        QStringList positions;
        for (const QString& row : Rows(t)) positions << row.section(' ', 0, 0);
        EXPECT_EQ(positions, (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
        // One Undo takes the whole move back.
        w->actUndoExecute();
        ASSERT_EQ(Names(t), start);
    }

    // Deleting renumbers; a multi-selection goes at once.
    TDialogSeam::AnswerMessages({mrYes});
    t->First();
    w->grdFieldDefs->SelectRecord();
    t->SetRecNo(3);
    w->grdFieldDefs->SelectRecord();
    w->DeleteSelectedRows(true);
    EXPECT_EQ(Rows(t).size(), 5);
    EXPECT_EQ(Rows(t).first().section(' ', 0, 0), "1");
    EXPECT_EQ(Rows(t).last().section(' ', 0, 0), "5");
    // No keeps every row.
    TDialogSeam::AnswerMessages({mrNo});
    w->DeleteSelectedRows(true);
    EXPECT_EQ(Rows(t).size(), 5);
    // The navigator's delete is the window's own: one question, one row, renumbered.
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    w->grdFieldDefs->UnselectAll();
    t->First();
    w->DBNavigator->Button(nbsDelete)->Click();
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Delete record(s) ?"});
    EXPECT_EQ(Rows(t).size(), 4);
    EXPECT_EQ(Rows(t).first().section(' ', 0, 0), "1");
}

TEST_F(StructFixture, DropFindsTheTargetRowWhenScrolled)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    w->NewFile = true;
    for (int i = 0; i < 60; ++i) {
        AddRow(t, QStringLiteral("F%1").arg(i), "Integer", "0");
        ASSERT_TRUE(TryPost(t));
    }
    TkqDBGrid* grid = w->grdFieldDefs;
    Settle();
    ASSERT_GT(grid->DataLink()->FirstRecord(), 10);   // scrolled down
    // Drop the last row onto the third visible data row.
    const int third = grid->TitleOffset() + 2;
    const int saved = grid->DataLink()->ActiveRecord();
    grid->DataLink()->SetActiveRecord(2);
    const QString target = t->FieldByName("Name")->AsString();
    grid->DataLink()->SetActiveRecord(saved);
    const QPoint point = grid->CellRect(2, third).ToQRect().center();
    bool accept = false;
    w->grdDragOver(grid, grid, point.x(), point.y(), accept);
    EXPECT_TRUE(accept);
    w->grdDragOver(grid, w->grdDetail, point.x(), point.y(), accept);
    EXPECT_FALSE(accept);   // another grid's rows do not move this table's
    w->grdDragDrop(grid, point.x(), point.y());
    const QStringList names = Names(t);
    EXPECT_EQ(names.indexOf("F59") + 1, names.indexOf(target));
}

TEST_F(StructFixture, KeysPassTheExpandColumn)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    TkqDBGrid* grid = w->grdFieldDefs;
    Frame->activateWindow();
    grid->setFocus();
    Settle();
    grid->SelectFieldByName("Name");
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(grid->GetSelectedField()->FieldName(), "Type");
    QTest::keyClick(grid, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(grid->GetSelectedField()->FieldName(), "Name");
    grid->SelectFieldByName("Type");
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(grid->GetSelectedField()->FieldName(), "Name");
    // The row keys drop the multi-selection.
    grid->SelectRecord();
    ASSERT_EQ(grid->SelectedBookmarks().size(), 1);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_TRUE(grid->SelectedBookmarks().isEmpty());
}

// What trying the window turned up: the cell controls follow the grid's keys and the field's
// value, and only the nested-dataset row shows the expand button.
TEST_F(StructFixture, CellControlsFollowTheRowsAndTheirValues)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    TkqDBGrid* grid = w->grdFieldDefs;
    TClientDataSet* t = w->cdsFieldDefs;
    Frame->activateWindow();
    grid->setFocus();
    t->First();
    grid->SelectFieldByName("Type");
    Settle();
    // The type combo has the focus; Up and Down move between rows and leave the value.
    ASSERT_TRUE(w->EdtTypes->hasFocus());
    const QString firstType = t->FieldByName("Type")->AsString();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    Settle();
    EXPECT_EQ(t->RecNo(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    Settle();
    EXPECT_EQ(t->RecNo(), 1);
    EXPECT_EQ(t->FieldByName("Type")->AsString(), firstType);
    EXPECT_EQ(t->State(), dsBrowse);

    // A type of fixed size on a row whose size is still empty gets 0 and posts.
    w->NewFile = true;
    AddRow(t, "Fixed", "String", "");
    t->FieldByName("Size")->Clear();
    Pick(w->EdtTypes, "Integer");
    EXPECT_EQ(t->FieldByName("Size")->AsString(), "0");
    EXPECT_TRUE(TryPost(t));

    // A click on a size cell and digits typed replace the size.
    Goto(t, "Fixed");
    t->Edit();
    t->FieldByName("Size")->SetAsString("200");
    t->Post();
    grid->setFocus();
    Settle();
    const int sizeCol = 5;   // indicator, Pos, Name, Detail, Type, Size
    ASSERT_EQ(grid->GetColumnField(sizeCol - 1)->FieldName(), "Size");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->CellRect(sizeCol, grid->Row()).ToQRect().center());
    Settle();
    ASSERT_TRUE(w->EdtSize->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), "300");
    grid->SelectFieldByName("Name");
    Settle();
    t->CheckBrowseMode();
    EXPECT_EQ(t->FieldByName("Size")->AsString(), "300");

    // Rows other than the nested dataset's show no expand button.
    EXPECT_TRUE(w->ExpandButton->AutoHideExpand());
    Goto(t, "Fixed");
    SetPaintingCopy(w->ExpandButton, true);
    EXPECT_TRUE(w->ExpandButton->HidesGlyph());
    Goto(t, "Items");
    EXPECT_FALSE(w->ExpandButton->HidesGlyph());
    SetPaintingCopy(w->ExpandButton, false);
}

TEST_F(StructFixture, NestedListExpandsOnTheDataSetRowOnly)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    w->cdsFieldDefs->First();
    w->ExpandButton->Toggle();
    EXPECT_FALSE(w->ExpandButton->Expanded());
    EXPECT_TRUE(w->cdsDetail->IsEmpty());

    Goto(w->cdsFieldDefs, "Items");
    w->ExpandButton->Toggle();
    ASSERT_TRUE(w->ExpandButton->Expanded());
    EXPECT_EQ(Rows(w->cdsDetail), (QStringList{"1 Code String 10", "2 Qty Integer 0"}));
    EXPECT_EQ(w->cdsDetail->ChangeCount(), 0);
    EXPECT_EQ(w->DBNavigator->DataSource(), w->dsDetail);
    EXPECT_EQ(w->EdtSearch->DataSource(), w->dsDetail);
    EXPECT_EQ(w->grdDetail->PopupMenu(), w->PopupMenu);
    EXPECT_EQ(w->grdFieldDefs->PopupMenu(), nullptr);
    w->ExpandButton->Toggle();
    EXPECT_EQ(w->DBNavigator->DataSource(), w->dsFieldDefs);
    EXPECT_EQ(w->EdtSearch->DataSource(), w->dsFieldDefs);
    EXPECT_EQ(w->grdFieldDefs->PopupMenu(), w->PopupMenu);
}

TEST_F(StructFixture, AFileShownTwiceIsReadOnlyUntilShownOnce)
{
    const QString path = Path("demo-country.cds");
    TFrmModifyEditStruct* first = Open(path);
    ASSERT_FALSE(first->IsReadOnly());
    TDataWindowBase* data = OpenDataWindow(path, Files());
    // A second window on the file, opened from elsewhere.
    auto* second = new TFrmModifyEditStruct;
    second->SetCaption("Create/Modify Structure " + path);
    second->ShowChild();
    second->OpenStructure(path);
    EXPECT_TRUE(second->IsReadOnly());
    EXPECT_TRUE(second->cdsFieldDefs->ReadOnly());
    EXPECT_TRUE(second->cdsDetail->ReadOnly());
    EXPECT_EQ(second->StatusBar->Panels()[1]->Text(), "ReadOnly");
    EXPECT_EQ(second->grdFieldDefs->Color(), clInfoBk);
    second->UpdateActions();
    EXPECT_FALSE(second->actReadOnlySave->isEnabled());
    EXPECT_FALSE(second->actBorrow->isEnabled());
    // Each window keeps its own cell editors.
    second->grdFieldDefs->SelectFieldByName("Type");
    first->grdFieldDefs->SelectFieldByName("Type");
    Settle();
    EXPECT_EQ(first->grdFieldDefs->CurrentCellControl(), first->EdtTypes);

    // With the other windows gone, the check after activation makes it editable.
    first->SetCloseAnswered(true);
    first->CloseChild();
    data->CloseChild();
    Settle();
    second->Timer1Timer();
    EXPECT_FALSE(second->IsReadOnly());
    EXPECT_EQ(second->StatusBar->Panels()[1]->Text(), "");
}

TEST_F(StructFixture, ClosingWithChangesAsks)
{
    const QString path = Path("demo-country.cds");
    const QByteArray original = ReadWholeFile(path);
    struct Case {
        int Answer;
        bool Closed;
        bool Written;
    };
    for (const Case& c : {Case{mrCancel, false, false}, Case{mrNo, true, false}, Case{mrYes, true, true}}) {
        SCOPED_TRACE(c.Answer);
        TFrmModifyEditStruct* w = Open(path);
        if (!w) w = OpenChildren<TFrmModifyEditStruct>().first();
        Goto(w->cdsFieldDefs, "Capital");
        w->cdsFieldDefs->Edit();
        w->cdsFieldDefs->FieldByName("Name")->SetAsString("City");
        ASSERT_TRUE(TryPost(w->cdsFieldDefs));
        TDialogSeam::Clear();
        TDialogSeam::AnswerMessages({c.Answer});
        EXPECT_EQ(w->CloseChild(), c.Closed);
        EXPECT_EQ(TDialogSeam::Messages(), QStringList{"The structure has changed, Save now?"});
        Settle();
        EXPECT_EQ(ReadWholeFile(path) != original, c.Written);
        if (!c.Closed) {
            w->cdsFieldDefs->CancelUpdates();
            EXPECT_TRUE(w->CloseChild());   // nothing changed: no question
            Settle();
        }
    }
    EXPECT_TRUE(FieldNamesOfFile(path).contains("City:String"));
}

TEST_F(StructFixture, SwitchingFiles)
{
    const QString country = Path("demo-country.cds");
    const QString employee = Path("demo-employee.cds");
    TFrmModifyEditStruct* w = Open(country);
    auto choose = [w](const QString& file) {
        const int index = w->EdtFileName->findText(file);
        ASSERT_GE(index, 0);
        w->EdtFileName->setCurrentIndex(index);
        emit w->EdtFileName->activated(index);
    };
    // Typing changes nothing.
    QTest::keyClicks(w->EdtFileName, "xyz");
    EXPECT_EQ(w->EdtFileName->Text(), country);

    // Without changes the chosen file loads.
    choose(employee);
    EXPECT_EQ(w->FileName(), employee);
    EXPECT_EQ(w->Caption(), "Create/Modify Structure " + employee);
    EXPECT_EQ(Names(w->cdsFieldDefs).first(), "EmpNo");

    // With changes: Cancel keeps the window on its file, also in the combo.
    Goto(w->cdsFieldDefs, "EmpNo");
    w->cdsFieldDefs->Edit();
    w->cdsFieldDefs->FieldByName("Name")->SetAsString("EmployeeNo");
    ASSERT_TRUE(TryPost(w->cdsFieldDefs));
    TDialogSeam::AnswerMessages({mrCancel});
    choose(country);
    EXPECT_EQ(w->FileName(), employee);
    EXPECT_EQ(w->EdtFileName->Text(), employee);
    EXPECT_TRUE(Names(w->cdsFieldDefs).contains("EmployeeNo"));

    // Yes saves under the file the structure belongs to, then the chosen file loads.
    const QByteArray countryBytes = ReadWholeFile(country);
    TDialogSeam::AnswerMessages({mrYes});
    choose(country);
    EXPECT_EQ(ReadWholeFile(country), countryBytes);
    EXPECT_EQ(FieldNamesOfFile(employee).first(), "EmployeeNo:Integer");
    EXPECT_EQ(w->FileName(), country);
    EXPECT_EQ(Names(w->cdsFieldDefs).first(), "Name");

    // The read-only check runs for the chosen file.
    OpenDataWindow(employee, Files());
    choose(employee);
    EXPECT_TRUE(w->IsReadOnly());
}

TEST_F(StructFixture, NewFileWithANestedDataSetIsWrittenAndReloaded)
{
    TFrmModifyEditStruct* w = nullptr;
    AnswerNewFile([&] { w = qobject_cast<TFrmModifyEditStruct*>(NewStructureWindowFor(Folder, Files())); }, "fresh");
    ASSERT_NE(w, nullptr);
    const QString path = Path("fresh.cds");
    EXPECT_TRUE(w->NewFile);
    EXPECT_EQ(w->FileName(), path);
    EXPECT_EQ(w->Caption(), "Create/Modify Structure " + path);
    EXPECT_EQ(w->StatusBar->Panels()[0]->Text(), "File Date: ");   // not written yet
    TClientDataSet* t = w->cdsFieldDefs;
    AddRow(t, "ID", "AutoInc", "0");
    ASSERT_TRUE(TryPost(t));
    AddRow(t, "Name", "WideString", "30");
    ASSERT_TRUE(TryPost(t));
    AddRow(t, "Born", "Date", "0");
    ASSERT_TRUE(TryPost(t));
    AddRow(t, "Lines", "DataSet", "0");
    ASSERT_TRUE(TryPost(t));
    AddRow(t, "Price", "Currency", "0");
    ASSERT_TRUE(TryPost(t));
    w->UpdateActions();
    EXPECT_TRUE(w->actReadOnlySave->isEnabled());
    w->actReadOnlySave->trigger();
    EXPECT_EQ(Shown, QStringList{});
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(FieldNamesOfFile(path), (QStringList{"ID:AutoInc", "Name:WideString", "Born:Date", "Lines:DataSet",
                                                   "Price:Currency"}));
    // Reloaded: the window now edits the file it wrote.
    EXPECT_FALSE(w->NewFile);
    EXPECT_FALSE(w->StatusBar->Panels()[0]->Text().endsWith(": "));
    Goto(t, "Lines");
    EXPECT_EQ(t->FieldByName("OrgName")->AsString(), "Lines");
    // The expand column marks the nested row only.
    EXPECT_EQ(t->FieldByName("Detail")->DisplayText(), "+");
    Goto(t, "Name");
    EXPECT_EQ(t->FieldByName("Detail")->DisplayText(), "");
    Goto(t, "Lines");
    EXPECT_EQ(t->ChangeCount(), 0);
    EXPECT_TRUE(w->HasDataSetField);
    // The nested field got the default list.
    w->ExpandButton->SetExpanded(true);
    EXPECT_EQ(Rows(w->cdsDetail), QStringList{"1 Dummy String 50"});
}

TEST_F(StructFixture, OverwritingAnExistingFileAsks)
{
    const QString path = Path("demo-country.cds");
    const QByteArray original = ReadWholeFile(path);
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    // The name is taken by another file once the dialog has closed.
    AnswerNewFile([w] { w->btnNewClick(); }, Path("later.cds"));
    ASSERT_TRUE(w->NewFile);
    QFile::copy(path, Path("later.cds"));
    AddRow(w->cdsFieldDefs, "Only", "Integer", "0");
    ASSERT_TRUE(TryPost(w->cdsFieldDefs));
    TDialogSeam::AnswerMessages({mrNo});
    EXPECT_FALSE(w->SaveStructure());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{Path("later.cds") + " Exists.  Overrite ?"});
    EXPECT_EQ(ReadWholeFile(Path("later.cds")), original);
    // Still a new structure: a second save asks again, never restructures that file.
    EXPECT_TRUE(w->NewFile);
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    EXPECT_TRUE(w->SaveStructure());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{Path("later.cds") + " Exists.  Overrite ?"});
    EXPECT_EQ(FieldNamesOfFile(Path("later.cds")), QStringList{"Only:Integer"});
    EXPECT_FALSE(w->NewFile);
}

TEST_F(StructFixture, RestructureCarriesDataTwiceInARow)
{
    const QString path = Path("demo-country.cds");
    TFrmModifyEditStruct* w = Open(path);
    TClientDataSet* t = w->cdsFieldDefs;
    Goto(t, "Capital");
    t->Edit();
    t->FieldByName("Name")->SetAsString("City");
    ASSERT_TRUE(TryPost(t));
    TDialogSeam::AnswerMessages({mrYes});
    Goto(t, "Population");
    t->Edit();
    t->FieldByName("Type")->SetAsString("Integer");
    ASSERT_TRUE(TryPost(t));
    w->actReadOnlySaveExecute();
    EXPECT_EQ(FieldNamesOfFile(path), (QStringList{"Name:String", "City:String", "Continent:String", "Area:Float",
                                                   "Population:Integer"}));
    // A second rename in the same window still finds its data.
    Goto(t, "City");
    EXPECT_EQ(t->FieldByName("OrgName")->AsString(), "City");
    t->Edit();
    t->FieldByName("Name")->SetAsString("Capital City");
    ASSERT_TRUE(TryPost(t));
    w->actReadOnlySaveExecute();
    TClientDataSet ds;
    ds.SetReadOnly(true);
    ds.SetFileName(path);
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 18);
    EXPECT_EQ(ds.FieldByName("Capital City")->AsString(), "Buenos Aires");
    EXPECT_EQ(ds.FieldByName("Population")->AsInteger(), 32300003);
}

TEST_F(StructFixture, AFileAnEditableDataWindowShowsIsNotRestructured)
{
    const QString path = Path("demo-country.cds");
    const QByteArray original = ReadWholeFile(path);
    TFrmModifyEditStruct* w = Open(path);
    TDataWindowBase* data = OpenDataWindow(path, Files());
    ASSERT_NE(data, nullptr);
    Goto(w->cdsFieldDefs, "Capital");
    w->cdsFieldDefs->Edit();
    w->cdsFieldDefs->FieldByName("Name")->SetAsString("City");
    ASSERT_TRUE(TryPost(w->cdsFieldDefs));
    w->actReadOnlySave->trigger();
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_TRUE(Shown[0].contains("\"View Data " + path + "\"")) << Shown[0].toStdString();
    EXPECT_EQ(ReadWholeFile(path), original);
    EXPECT_GT(w->cdsFieldDefs->ChangeCount(), 0);
}

TEST_F(StructFixture, ViewDataOpensOrActivatesTheDataWindow)
{
    const QString path = Path("demo-country.cds");
    TFrmModifyEditStruct* w = Open(path);
    w->actViewDataExecute();
    w->actViewDataExecute();
    QList<TFakeDataWindow*> windows = Workbench.DataWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->Opened, path);
    EXPECT_EQ(windows[0]->CaptionAtOpen, "View Data " + path);
    EXPECT_EQ(windows[0]->Files, Files());
}

// ---------------------------------------------------------------------------------------------
// Clipboard, Undo, Borrow

namespace {
QStringList ClipboardRows()
{
    QStringList list;
    TClientDataSet* clip = MainForm()->cdsFieldDefsClipBoard;
    for (clip->First(); !clip->Eof(); clip->Next())
        list << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(clip->FieldByName("Pos")->AsString(), clip->FieldByName("Name")->AsString(),
                         clip->FieldByName("Type")->AsString(), clip->FieldByName("Size")->AsString(),
                         clip->FieldByName("OrgName")->AsString());
    return list;
}

void Select(TFrmModifyEditStruct* w, const QStringList& names)
{
    w->grdFieldDefs->UnselectAll();
    for (const QString& name : names) {
        Goto(w->cdsFieldDefs, name);
        w->grdFieldDefs->SelectRecord();
    }
}
} // namespace

TEST_F(StructFixture, PastedRowsGetFreeNamesAfterTheLastPosition)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    w->PopupMenuPopup();
    EXPECT_FALSE(w->mnuPaste->isEnabled());

    // The cursor's row alone.
    Goto(t, "Capital");
    w->mnuCopyClick();
    EXPECT_EQ(ClipboardRows(), QStringList{"2 Capital String 24 Capital"});
    w->PopupMenuPopup();
    EXPECT_TRUE(w->mnuPaste->isEnabled());

    // Rows in the order they were selected.
    Select(w, {"Area", "Name", "Continent"});
    w->mnuCopyClick();
    EXPECT_EQ(ClipboardRows(), (QStringList{"4 Area Float 0 Area", "1 Name String 24 Name",
                                            "3 Continent String 24 Continent"}));
    EXPECT_EQ(w->grdFieldDefs->SelectedBookmarks().size(), 1);   // the current row only
    w->mnuPasteClick();
    EXPECT_EQ(Rows(t).mid(5), (QStringList{"6 Area1 Float 0", "7 Name1 String 24", "8 Continent1 String 24"}));
    Goto(t, "Area1");
    EXPECT_EQ(t->FieldByName("OrgName")->AsString(), "Area");   // the link to the data travels
    w->mnuPasteClick();
    EXPECT_EQ(Names(t).mid(8), (QStringList{"Area2", "Name2", "Continent2"}));

    // Names compare without regard to case, also against names given in the same paste.
    TClientDataSet* clip = Frame->cdsFieldDefsClipBoard;
    clip->EmptyDataSet();
    for (const char* name : {"capital", "capital1"}) {
        clip->Append();
        clip->FieldByName("Name")->SetAsString(name);
        clip->FieldByName("Type")->SetAsString("Integer");
        clip->FieldByName("Size")->SetAsString("0");
        clip->Post();
    }
    w->mnuPasteClick();
    EXPECT_EQ(Names(t).mid(11), (QStringList{"capital1", "capital11"}));
    EXPECT_EQ(Shown, QStringList{});
}

TEST_F(StructFixture, RowsTravelBetweenWindowsAndFromTheNestedList)
{
    TFrmModifyEditStruct* orders = Open(Path("orders.cds"));
    TFrmModifyEditStruct* country = Open(Path("demo-country.cds"));
    // Each window edits with its own cell controls.
    for (TFrmModifyEditStruct* w : {orders, country}) {
        w->grdFieldDefs->SelectFieldByName("Type");
        Settle();
        EXPECT_EQ(w->grdFieldDefs->CurrentCellControl(), w->EdtTypes);
    }
    Frame->MdiArea()->setActiveSubWindow(orders->SubWindow());
    Goto(orders->cdsFieldDefs, "Items");
    orders->ExpandButton->SetExpanded(true);
    orders->cdsDetail->Last();
    orders->grdDetail->setFocus();
    Settle();
    ASSERT_EQ(orders->ActiveGrid(), orders->grdDetail);
    orders->mnuCopyClick();
    EXPECT_EQ(ClipboardRows(), QStringList{"2 Qty Integer 0 Qty"});

    country->mnuPasteClick();
    EXPECT_EQ(Rows(country->cdsFieldDefs).last(), "6 Qty Integer 0");
    // Into the nested list too.
    orders->mnuPasteClick();
    EXPECT_EQ(Rows(orders->cdsDetail), (QStringList{"1 Code String 10", "2 Qty Integer 0", "3 Qty1 Integer 0"}));
}

TEST_F(StructFixture, CutTakesTheSelectedRowsWithoutAsking)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    Select(w, {"Capital", "Area", "Name"});
    w->mnuCutClick();
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{});
    EXPECT_EQ(ClipboardRows().size(), 3);
    EXPECT_EQ(Rows(w->cdsFieldDefs), (QStringList{"1 Continent String 24", "2 Population Float 0"}));
    // Pasted back, the rows keep their link to the file's data.
    w->mnuPasteClick();
    Goto(w->cdsFieldDefs, "Capital");
    EXPECT_EQ(w->cdsFieldDefs->FieldByName("OrgName")->AsString(), "Capital");
    EXPECT_EQ(Names(w->cdsFieldDefs), (QStringList{"Continent", "Population", "Capital", "Area", "Name"}));
}

TEST_F(StructFixture, UndoTakesBackOneStepAndFollowsIt)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    TClientDataSet* t = w->cdsFieldDefs;
    const QStringList start = Rows(t);
    w->UpdateActions();
    EXPECT_FALSE(w->actUndo->isEnabled());

    Goto(t, "Capital");
    t->Edit();
    t->FieldByName("Name")->SetAsString("City");
    ASSERT_TRUE(TryPost(t));
    t->SetRecNo(3);   // insert before Continent
    t->Insert();
    t->FieldByName("Name")->SetAsString("Inserted");
    t->FieldByName("Type")->SetAsString("Integer");
    t->FieldByName("Size")->SetAsString("0");
    ASSERT_TRUE(TryPost(t));
    Select(w, {"Name", "Area"});
    TDialogSeam::AnswerMessages({mrYes});
    w->DeleteSelectedRows(true);
    Goto(t, "Population");
    w->mnuCopyClick();
    w->mnuPasteClick();
    w->UpdateActions();
    EXPECT_TRUE(w->actUndo->isEnabled());

    struct Step {
        QStringList Names;
        const char* Current;   // the row the cursor follows to
    };
    const Step steps[] = {
        {{"City", "Inserted", "Continent", "Population"}, nullptr},
        {{"Name", "City", "Inserted", "Continent", "Area", "Population"}, "Name"},
        {{"Name", "City", "Continent", "Area", "Population"}, nullptr},
        {{"Name", "Capital", "Continent", "Area", "Population"}, "Capital"},
    };
    for (const Step& s : steps) {
        w->actUndoExecute();
        EXPECT_EQ(Names(t), s.Names);
        if (s.Current) {
            EXPECT_EQ(t->FieldByName("Name")->AsString(), s.Current);
        }
    }
    EXPECT_EQ(Rows(t), start);
    EXPECT_EQ(t->ChangeCount(), 0);
    // An edit not posted yet is the first thing taken back.
    t->Edit();
    t->FieldByName("Name")->SetAsString("Unposted");
    w->actUndoExecute();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(Rows(t), start);
}

TEST_F(StructFixture, BorrowTakesAnotherFilesFields)
{
    // A memory-table file.
    const QString memPath = Path("table.dat");
    {
        TzohMemTable mt;
        mt.FieldDefs().Add("Code", ftString, 8);
        mt.FieldDefs().Add("Amount", ftCurrency);
        mt.FieldDefs().Add("When", ftDateTime);
        mt.Open();
        mt.SaveBinaryFile(memPath, {mtfSaveData, mtfSaveDef});
    }
    WriteWholeFile(Path("notes.txt"), "plain text");
    struct Case {
        QString File;
        QStringList Rows;
    };
    const Case cases[] = {
        {Path("demo-country.xml"), {"1 Name String 24", "2 Capital String 24", "3 Continent String 24",
                                    "4 Area Float 0", "5 Population Float 0"}},
        {memPath, {"1 Code String 8", "2 Amount Currency 0", "3 When DateTime 0"}},
        {Path("orders.cds"), {"1 ID Integer 0", "2 Items DataSet 0", "3 Notes String 40"}},
    };
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    ASSERT_TRUE(w->HasDataSetField);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        TDialogSeam::Clear();
        TDialogSeam::AnswerFiles({c.File});
        w->actBorrowExecute();
        EXPECT_EQ(Shown, QStringList{});
        EXPECT_EQ(Rows(w->cdsFieldDefs), c.Rows);
        w->cdsFieldDefs->First();
        EXPECT_EQ(w->cdsFieldDefs->FieldByName("OrgName")->AsString(), c.Rows[0].section(' ', 1, 1));
    }
    // The borrowed nested field came with its own list.
    EXPECT_EQ(Rows(w->cdsDetail), (QStringList{"1 Code String 10", "2 Qty Integer 0"}));

    // Neither kind: the message, and the table as it was.
    const QStringList before = Rows(w->cdsFieldDefs);
    TDialogSeam::Clear();
    TDialogSeam::AnswerFiles({Path("notes.txt")});
    w->actBorrowExecute();
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{Path("notes.txt") + " is neither a data packet nor a memory-table file."});
    EXPECT_EQ(Rows(w->cdsFieldDefs), before);
    // Cancelling the dialog borrows nothing; one Undo takes a whole borrow back.
    TDialogSeam::AnswerFiles({QString()});
    w->actBorrowExecute();
    EXPECT_EQ(Rows(w->cdsFieldDefs), before);
    w->actUndoExecute();
    EXPECT_EQ(Rows(w->cdsFieldDefs).size(), 3);
    EXPECT_EQ(Names(w->cdsFieldDefs).first(), "Code");
}

// The navigator's insert puts the editor on the name (the position column is fixed), and a
// click in the new row moves between its cells without dropping or posting it.
TEST_F(StructFixture, ANewRowStartsAtItsNameAndSurvivesClicksInIt)
{
    TFrmModifyEditStruct* w = Open(Path("orders.cds"));
    TkqDBGrid* grid = w->grdFieldDefs;
    grid->setFocus();
    Settle();
    TkqNavButton* insert = nullptr;
    for (int i = 0; i < w->DBNavigator->Buttons()->Count(); ++i)
        if (w->DBNavigator->Buttons()->Items(i)->Style() == nbsInsert) insert = w->DBNavigator->Buttons()->Items(i);
    ASSERT_TRUE(insert);
    QTest::mouseClick(insert, Qt::LeftButton);
    Settle();
    ASSERT_EQ(w->cdsFieldDefs->State(), dsInsert);
    const auto column = [grid] { return grid->Col() - grid->IndicatorOffset(); };
    EXPECT_EQ(column(), 1);
    for (int c : {3, 0, 1}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid->CellRect(c + grid->IndicatorOffset(), grid->Row()).ToQRect().center());
        Settle();
        EXPECT_EQ(w->cdsFieldDefs->State(), dsInsert) << c;
    }
    EXPECT_EQ(column(), 1);   // a click on the fixed position column keeps the column
}

TEST_F(StructFixture, QuickSearchMovesToTheFirstFieldNameThatBeginsWithTheText)
{
    TFrmModifyEditStruct* w = Open(Path("demo-country.cds"));
    struct Case {
        const char* Typed;
        const char* Name;      // the row the master table is on afterwards
        const char* Selected;  // the completed part, selected
    };
    const Case cases[] = {{"co", "Continent", "ntinent"}, {"P", "Population", "opulation"}, {"ca", "Capital", "pital"},
                          {"xyz", "Capital", ""}};
    w->EdtSearch->setFocus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        w->EdtSearch->Clear();
        QTest::keyClicks(w->EdtSearch, QString::fromLatin1(c.Typed));
        w->EdtSearch->FlushPendingSearch();
        EXPECT_EQ(w->cdsFieldDefs->FieldByName("Name")->AsString(), c.Name);
        EXPECT_EQ(w->EdtSearch->selectedText(), c.Selected);
    }
}
