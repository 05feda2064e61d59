#include "app/UImage.h"
#include "app/UViewData.h"
#include "app/ViewDataOps.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/dialogs/kqfilter.h"
#include "gridlib/dialogs/kqlocatedlg.h"
#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/dialogs/kqrich.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/kqexpand.h"
#include "platform/client/ClientDataSet.h"
#include "platform/dbctrls/DBCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/FileUtil.h"
#include "utilities/VZCtrls.h"
#include "utilities/VZSpin.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A file read back the way another program would read it.
struct TFileContent {
    explicit TFileContent(const QString& path)
    {
        ds.SetReadOnly(true);
        ds.LoadFromFile(path);
    }
    int Count() { return ds.RecordCount(); }
    QString Value(int recNo, const QString& field)
    {
        ds.SetRecNo(recNo);
        return ds.FieldByName(field)->AsString();
    }
    QStringList Column(const QString& field)
    {
        QStringList list;
        for (ds.First(); !ds.Eof(); ds.Next()) list << ds.FieldByName(field)->AsString();
        return list;
    }
    TClientDataSet ds;
};

// Orders (ID, Items: Code, Qty; Notes): order n has n items.
void WriteFilledNestedFile(const QString& path, int orders)
{
    TClientDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    TFieldDef* items = ds.FieldDefs().Add("Items", ftDataSet);
    items->ChildDefs()->Add("Code", ftString, 10);
    items->ChildDefs()->Add("Qty", ftInteger);
    ds.FieldDefs().Add("Notes", ftString, 40);
    ds.CreateDataSet();
    auto* nested = static_cast<TDataSetField*>(ds.FieldByName("Items"))->NestedDataSet();
    for (int i = 1; i <= orders; ++i) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(i);
        ds.FieldByName("Notes")->SetAsString(QStringLiteral("order %1").arg(i));
        for (int k = 1; k <= i; ++k) {
            nested->Append();
            nested->FieldByName("Code")->SetAsString(QStringLiteral("C%1-%2").arg(i).arg(k));
            nested->FieldByName("Qty")->SetAsInteger(k);
            nested->Post();
        }
        ds.Post();
    }
    ds.MergeChangeLog();
    ds.SaveToFile(path);
}

void WriteTable(const QString& path, const QList<std::pair<QString, TFieldType>>& fields, int size, int rows)
{
    TClientDataSet ds;
    for (const auto& [name, type] : fields) ds.FieldDefs().Add(name, type, type == ftString ? size : 0);
    ds.CreateDataSet();
    for (int r = 0; r < rows; ++r) {
        ds.Append();
        for (TField* f : ds.Fields())
            if (f->DataType() == ftString) f->SetAsString(QStringLiteral("%1 %2").arg(f->FieldName()).arg(r));
            else if (f->DataType() == ftInteger) f->SetAsInteger(r);
        ds.Post();
    }
    ds.MergeChangeLog();
    ds.SaveToFile(path);
}

struct ViewDataFixture : ::testing::Test {
    TWorkbenchFixture Workbench;
    std::unique_ptr<TMainForm> Frame;
    QTemporaryDir Data;
    QStringList Shown;   // messages the application would have shown

    void SetUp() override
    {
        SetDataWindowFactory([] { return new TFrmViewData; });
        TDialogSeam::Clear();
        Application()->OnException = [this](const std::exception& e) {
            if (dynamic_cast<const EAbort*>(&e)) return;
            const auto* ex = dynamic_cast<const Exception*>(&e);
            Shown << (ex ? ex->Message() : QString::fromUtf8(e.what()));
        };
        Frame = std::make_unique<TMainForm>();
        Frame->show();
        Settle();
        QApplication::setActiveWindow(Frame.get());
    }
    void TearDown() override
    {
        SetFillerDialogFactory(nullptr);
        // Whatever is still unsaved is not saved.
        TDialogSeam::OnMessage = [](const TDialogRecord&) { return int(mrNo); };
        if (Frame) Frame->close();
        Frame.reset();
        TDialogSeam::OnMessage = nullptr;
        Application()->OnException = nullptr;
        Settle();
        TDialogSeam::Clear();
    }
    QString Path(const QString& name) const { return Data.filePath(name); }
    QString CopySample(const QString& sample, QString as = QString())
    {
        if (as.isEmpty()) as = sample;
        const QString target = Path(as);
        QFile::copy(SamplePath(sample), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }
    TFrmViewData* Open(const QString& path, const QStringList& files = {})
    {
        auto* w = static_cast<TFrmViewData*>(OpenDataWindow(path, files.isEmpty() ? QStringList{path} : files));
        Settle();
        return w;
    }
    static QString Panel(TFrmViewData* w, int i) { return w->StatusBar->Panels()[i]->Text(); }
    static void Edit(TFrmViewData* w, const QString& field, const QString& value)
    {
        w->cdsViewData->Edit();
        w->cdsViewData->FieldByName(field)->SetAsString(value);
    }
    static void ClickDelete(TFrmViewData* w) { w->DBNavigator->Button(nbsDelete)->Click(); }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Opening and status

TEST_F(ViewDataFixture, OpeningShowsTheRecordsAndTheFileStatus)
{
    QUARROW_NEED_SAMPLES();
    WriteFilledNestedFile(Path("orders.cds"), 3);
    struct Case {
        QString File;
        int Changes;
    };
    const Case cases[] = {{CopySample("demo-country.cds"), 0}, {CopySample("demo-country.xml"), 0},
                          {CopySample("demo-events.cds"), 0},  {CopySample("app-sales-Vendas.cds"), 9},
                          {CopySample("app-empty-Clientes.cds"), 0}, {Path("orders.cds"), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        const int count = TFileContent(c.File).Count();
        TFrmViewData* w = Open(c.File);
        EXPECT_EQ(w->Caption(), "View Data " + c.File);
        EXPECT_EQ(w->EdtFileName->currentText(), c.File);
        EXPECT_EQ(w->DataFileName, c.File);
        EXPECT_TRUE(w->cdsViewData->Active());
        EXPECT_FALSE(w->IsReadOnly());
        EXPECT_EQ(Panel(w, 0), QStringLiteral("Rec: %1 / %2").arg(count ? 1 : 0).arg(count));
        EXPECT_EQ(Panel(w, 1), QStringLiteral("ChangeCount: %1").arg(c.Changes));
        EXPECT_EQ(Panel(w, 2), "Date: " + FormatDateTime("ddddd tt", FileModifiedDateTime(c.File)));
        EXPECT_EQ(Panel(w, 3), QStringLiteral("Size: %1").arg(QFileInfo(c.File).size()));
        EXPECT_EQ(Panel(w, 4), "");
        EXPECT_EQ(w->grdViewData->DataSet(), w->cdsViewData);
        // With changes the change-log grid holds them.
        EXPECT_EQ(w->cdsDelta->Active(), c.Changes > 0);
        w->cdsViewData->Last();
        EXPECT_EQ(Panel(w, 0), QStringLiteral("Rec: %1 / %2").arg(count).arg(count));
        EXPECT_TRUE(w->CloseChild());
        Settle();
    }
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, TheSinglePageShowsTheCurrentRecordInItsEditors)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-events.cds"));
    w->PageControl->setCurrentIndex(1);
    Settle();
    TkqRecordViewPanel* panel = w->RecordViewPanel;
    EXPECT_TRUE(panel->LabelFont().bold());
    TDataSet* ds = w->cdsViewData;
    for (TField* f : ds->Fields()) {
        SCOPED_TRACE(f->FieldName().toStdString());
        QWidget* editor = panel->EditorOf(f->FieldName());
        ASSERT_NE(editor, nullptr);
        const TFieldType t = f->DataType();
        if (t == ftDate || t == ftTime || t == ftDateTime) {
            EXPECT_TRUE(qobject_cast<TkqDBDateTimePicker*>(editor));
        } else if (t == ftMemo) {
            EXPECT_TRUE(qobject_cast<TkqDBMemo*>(editor));
        } else if (t == ftGraphic) {
            EXPECT_TRUE(qobject_cast<TDBImage*>(editor));
        } else {
            EXPECT_TRUE(qobject_cast<TkqDBEdit*>(editor));
        }
        // The auto-increment field cannot be changed: coloured and disabled.
        if (f->ReadOnly()) {
            EXPECT_FALSE(editor->isEnabled());
            EXPECT_EQ(qobject_cast<TkqDBEdit*>(editor)->Color(), clInfoBk);
        }
    }
    // Moving shows the next record; an edit there posts like one in the grid.
    ds->Next();
    TField* text = nullptr;
    for (TField* f : ds->Fields())
        if (f->DataType() == ftString && !f->ReadOnly()) text = f;
    ASSERT_NE(text, nullptr);
    auto* edit = qobject_cast<TkqDBEdit*>(panel->EditorOf(text->FieldName()));
    EXPECT_EQ(edit->text(), text->DisplayText());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Typed here"));
    ds->Post();
    Settle();
    EXPECT_EQ(TFileContent(w->DataFileName).Value(2, text->FieldName()), QStringLiteral("Typed here"));
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, ADamagedOrMissingFileIsReportedAndTheWindowStays)
{
    QUARROW_NEED_SAMPLES();
    QByteArray damaged = ReadWholeFile(SamplePath("demo-country.cds"));
    damaged.truncate(damaged.size() / 2);
    WriteWholeFile(Path("damaged.cds"), damaged);
    for (const QString& file : {Path("damaged.cds"), Path("missing.cds")}) {
        SCOPED_TRACE(file.toStdString());
        TDialogSeam::Clear();
        TFrmViewData* w = Open(file);
        ASSERT_EQ(TDialogSeam::Records().size(), 1u);
        EXPECT_EQ(TDialogSeam::Records()[0].Type, mtError);
        EXPECT_TRUE(TDialogSeam::Messages()[0].contains(file)) << TDialogSeam::Messages()[0].toStdString();
        EXPECT_FALSE(w->cdsViewData->Active());
        EXPECT_FALSE(w->IsClosed());
        EXPECT_TRUE(w->CloseChild());
        Settle();
    }
    EXPECT_EQ(ReadWholeFile(Path("damaged.cds")), damaged);
    EXPECT_FALSE(QFile::exists(Path("missing.cds")));
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(ViewDataFixture, APostedRecordWritesTheFileInTheFormOfItsExtension)
{
    QUARROW_NEED_SAMPLES();
    struct Case {
        QString Name;
        bool Xml;
    };
    for (const Case& c : {Case{"country.cds", false}, Case{"country.xml", true}, Case{"country.XmL", true}}) {
        SCOPED_TRACE(c.Name.toStdString());
        const QString path = Path(c.Name);
        {
            TClientDataSet source;
            source.LoadFromFile(SamplePath("demo-country.cds"));
            source.SaveToFile(path, c.Xml ? dfXML : dfBinary);
        }
        TFrmViewData* w = Open(path);
        w->cdsViewData->SetRecNo(2);
        Edit(w, "Capital", "Sucre");
        w->cdsViewData->Post();
        EXPECT_EQ(ReadWholeFile(path).left(4), c.Xml ? QByteArray("<?xm") : QByteArray("\x96\x19\xE0\xBD", 4));
        TFileContent file(path);
        EXPECT_EQ(file.Value(2, "Capital"), "Sucre");
        EXPECT_EQ(file.ds.ChangeCount(), 1);   // the change log goes with the data
        EXPECT_EQ(Panel(w, 1), "ChangeCount: 1");
        EXPECT_EQ(Panel(w, 3), QStringLiteral("Size: %1").arg(QFileInfo(path).size()));
        ASSERT_TRUE(w->cdsDelta->Active());
        EXPECT_GE(w->cdsDelta->RecordCount(), 1);
        EXPECT_FALSE(w->UnsavedChanges);
        EXPECT_TRUE(w->CloseChild());
        Settle();
    }
}

TEST_F(ViewDataFixture, APictureMaskRefusesABadValueAndTheFileStaysAsItWas)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds", "country.cds");
    TFrmViewData* w = Open(path);
    const QByteArray before = ReadWholeFile(path);
    // Capitals are letters and blanks, beginning with a capital letter.
    w->cdsViewData->SetPictureMasks({QStringLiteral("Capital\t&*{?, }\tT\tT")});
    w->cdsViewData->SetRecNo(2);
    Edit(w, "Capital", "12 Main");
    EXPECT_THROW(
        {
            try {
                w->DBNavigator->Button(nbsPost)->Click();
            } catch (const EDatabaseError& e) {
                // The field's display name: the window's two-line title of name, type and size.
                EXPECT_EQ(e.Message(), QStringLiteral("Invalid characters. Field : Capital~String(24)"));
                throw;
            }
        },
        EDatabaseError);
    EXPECT_EQ(w->cdsViewData->State(), dsEdit);
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_EQ(Panel(w, 1), "ChangeCount: 0");

    // The check before the post converts nothing: a small first letter fits "&" and is kept.
    w->cdsViewData->FieldByName("Capital")->SetAsString("sucre");
    w->cdsViewData->Post();
    EXPECT_NE(ReadWholeFile(path), before);
    EXPECT_EQ(TFileContent(path).Value(2, "Capital"), "sucre");
}

TEST_F(ViewDataFixture, SaveAsProposesTheNameWithTheNewExtension)
{
    struct Case {
        const char* File;
        const char* Extension;
        const char* Proposed;
    };
    const Case cases[] = {
        {"/data/Country.XML", ".cds", "Country.cds"},   {"/data/country.cds", ".xml", "country.xml"},
        {"/d/a.cds.backup.cds", ".xml", "a.xml.backup.cds"}, {"/d/noext", ".xml", "noext"},
        {"/d.x/plain", ".cds", "plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProposedSaveName(c.File, c.Extension), c.Proposed) << c.File;
}

TEST_F(ViewDataFixture, SaveAsWritesTheNewFileAndShowsIt)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    const QByteArray original = ReadWholeFile(path);
    TFrmViewData* w = Open(path);
    Edit(w, "Capital", "Changed");
    w->cdsViewData->Post();
    const QByteArray edited = ReadWholeFile(path);
    w->actUndo->trigger();
    ASSERT_TRUE(w->UnsavedChanges);

    const QString xml = Path("country-copy.xml");
    TDialogSeam::AnswerFiles({xml});
    w->SaveAsXML1->Click();
    EXPECT_EQ(ReadWholeFile(xml).left(4), "<?xm");
    EXPECT_EQ(TFileContent(xml).Value(1, "Capital"), TFileContent(SamplePath("demo-country.cds")).Value(1, "Capital"));
    // The old file keeps what was last written to it; the window now shows the new one.
    EXPECT_EQ(ReadWholeFile(path), edited);
    EXPECT_NE(edited, original);
    EXPECT_EQ(w->Caption(), "View Data " + xml);
    EXPECT_EQ(w->DataFileName, xml);
    EXPECT_EQ(w->EdtFileName->currentText(), xml);
    EXPECT_GE(w->EdtFileName->findText(xml), 0);
    EXPECT_FALSE(w->UnsavedChanges);

    // Binary from an XML file; a cancelled dialog writes nothing.
    TDialogSeam::AnswerFiles({QString()});
    w->SaveAsBinary1->Click();
    EXPECT_EQ(w->DataFileName, xml);
    const QString cds = Path("again.cds");
    TDialogSeam::AnswerFiles({cds});
    w->SaveAsBinary1->Click();
    EXPECT_EQ(ReadWholeFile(cds).left(4), QByteArray("\x96\x19\xE0\xBD", 4));
    EXPECT_EQ(w->Caption(), "View Data " + cds);
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, AFailedWriteKeepsTheChangeAndClosingAsks)
{
    QUARROW_NEED_SAMPLES();
    QDir(Data.path()).mkdir("gone");
    const QString path = Path("gone/country.cds");
    QFile::copy(SamplePath("demo-country.cds"), path);
    TFrmViewData* w = Open(path);
    ASSERT_TRUE(QDir(Path("gone")).removeRecursively());
    Edit(w, "Capital", "Nowhere");
    EXPECT_THROW(w->cdsViewData->Post(), Exception);
    EXPECT_TRUE(w->UnsavedChanges);
    EXPECT_EQ(w->cdsViewData->FieldByName("Capital")->AsString(), "Nowhere");
    TDialogSeam::AnswerMessages({mrCancel});
    EXPECT_FALSE(w->CloseChild());
    EXPECT_EQ(TDialogSeam::Messages().value(0), "Data is not saved, Save now?");
    TDialogSeam::AnswerMessages({mrNo});
    EXPECT_TRUE(w->CloseChild());
    Settle();
    EXPECT_FALSE(QFile::exists(path));
}

// ---------------------------------------------------------------------------------------------
// Read-only rule

TEST_F(ViewDataFixture, AFileShownTwiceIsReadOnlyUntilTheOtherWindowCloses)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* first = Open(path);
    TFrmViewData* second = Open(path);
    EXPECT_FALSE(first->IsReadOnly());
    ASSERT_TRUE(second->IsReadOnly());
    EXPECT_EQ(Panel(second, 4), "ReadOnly");
    EXPECT_TRUE(second->grdViewData->ReadOnly());
    for (QAction* a : {second->actReadOnlyDeleteAll, second->actReadOnlyMergeChangeLog, second->actReadOnlyMigrate,
                       second->actReadOnlyPopulate})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(second->Save1->Enabled);
    EXPECT_FALSE(second->btnSave->isEnabled());
    EXPECT_THROW(second->cdsViewData->Edit(), EDatabaseError);
    // The engine refuses an undo; nothing is written.
    const QByteArray before = ReadWholeFile(path);
    EXPECT_THROW(second->actUndoExecute(), EDatabaseError);
    EXPECT_EQ(ReadWholeFile(path), before);

    // The editable window changes the file and closes.
    Edit(first, "Capital", "Rewritten");
    first->cdsViewData->Post();
    QTest::qWait(20);   // a new modification time
    EXPECT_TRUE(first->CloseChild());
    Settle();
    Frame->MdiArea()->setActiveSubWindow(nullptr);
    Frame->MdiArea()->setActiveSubWindow(second->SubWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !second->IsReadOnly(); }, 5000));
    Settle();
    EXPECT_FALSE(second->IsReadOnly());
    EXPECT_EQ(Panel(second, 4), "");
    EXPECT_TRUE(second->actReadOnlyDeleteAll->isEnabled());
    // It edits what the file holds now.
    second->cdsViewData->First();
    EXPECT_EQ(second->cdsViewData->FieldByName("Capital")->AsString(), "Rewritten");
    Edit(second, "Capital", "Again");
    second->cdsViewData->Post();
    EXPECT_EQ(TFileContent(path).Value(1, "Capital"), "Again");
}

TEST_F(ViewDataFixture, AWriteProtectedFileOpensReadOnlyAndIsNeverReplaced)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 3);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = ReadWholeFile(path);
    TFrmViewData* w = Open(path);
    ASSERT_TRUE(w->cdsViewData->Active());
    EXPECT_TRUE(w->IsReadOnly());
    EXPECT_EQ(Panel(w, 4), "ReadOnly");
    EXPECT_FALSE(w->Save1->Enabled);
    EXPECT_FALSE(w->actReadOnlyDeleteAll->isEnabled());
    EXPECT_THROW(w->cdsViewData->Edit(), EDatabaseError);
    // The activation timer does not make it editable while it stays protected.
    w->Timer1Timer();
    EXPECT_TRUE(w->IsReadOnly());
    EXPECT_TRUE(w->CloseChild());
    Settle();
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_EQ(QFileInfo(path).permissions() & QFile::WriteOwner, 0);
}

TEST_F(ViewDataFixture, AReadOnlyWindowOffersNoUndoOrRevert)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 3);
    TFrmViewData* first = Open(path);
    Edit(first, "Notes", "changed");
    first->cdsViewData->Post();   // written with its change log
    ASSERT_TRUE(first->actUndo->isEnabled());
    TFrmViewData* second = Open(path);
    ASSERT_TRUE(second->IsReadOnly());
    ASSERT_GT(second->cdsViewData->ChangeCount(), 0);
    EXPECT_FALSE(second->actUndo->isEnabled());
    EXPECT_FALSE(second->actRevert->isEnabled());
}

TEST_F(ViewDataFixture, AFileThatDidNotLoadOffersNoCommandsAndNoStatus)
{
    WriteFilledNestedFile(Path("orders.cds"), 3);
    QByteArray damaged = ReadWholeFile(Path("orders.cds"));
    damaged.truncate(damaged.size() / 2);
    WriteWholeFile(Path("damaged.cds"), damaged);
    WriteWholeFile(Path("random.cds"), QByteArray("\x13\x37 not a packet at all \x01\x02", 26));
    WriteWholeFile(Path("empty.cds"), QByteArray());
    struct Case { QString File; bool NotADataFile; };
    for (const Case& c : {Case{Path("damaged.cds"), false}, Case{Path("random.cds"), true}, Case{Path("empty.cds"), true}}) {
        SCOPED_TRACE(c.File.toStdString());
        TDialogSeam::Clear();
        TFrmViewData* w = Open(c.File);
        ASSERT_FALSE(w->cdsViewData->Active());
        ASSERT_EQ(TDialogSeam::Messages().size(), 1);
        if (c.NotADataFile) {
            EXPECT_EQ(TDialogSeam::Messages()[0], c.File + " is neither a data packet nor a memory-table file.");
        } else {
            EXPECT_TRUE(TDialogSeam::Messages()[0].contains(c.File)) << TDialogSeam::Messages()[0].toStdString();
        }
        EXPECT_FALSE(w->Save1->Enabled);
        EXPECT_FALSE(w->btnSave->isEnabled());
        for (QAction* a : {w->actReadOnlyDeleteAll, w->actReadOnlyMergeChangeLog, w->actReadOnlyPopulate, w->actUndo,
                           w->actRevert})
            EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Panel(w, i), "") << i;
        EXPECT_TRUE(w->CloseChild());
        Settle();
    }
}

// ---------------------------------------------------------------------------------------------
// Closing

TEST_F(ViewDataFixture, TheCloseQuestionSavesDiscardsOrKeepsTheWindow)
{
    QUARROW_NEED_SAMPLES();
    struct Case {
        int Answer;
        bool Closes;
        bool Written;
    };
    for (const Case& c : {Case{mrYes, true, true}, Case{mrNo, true, false}, Case{mrCancel, false, false}}) {
        SCOPED_TRACE(c.Answer);
        const QString path = CopySample("demo-country.cds", QStringLiteral("close%1.cds").arg(c.Answer));
        TFrmViewData* w = Open(path);
        Edit(w, "Capital", "Pending");
        TDialogSeam::Clear();
        TDialogSeam::AnswerMessages({c.Answer});
        EXPECT_EQ(w->CloseChild(), c.Closes);
        Settle();
        ASSERT_EQ(TDialogSeam::Records().size(), 1u);
        EXPECT_EQ(TDialogSeam::Records()[0].Text, "Data is not saved, Save now?");
        EXPECT_EQ(TDialogSeam::Records()[0].Type, mtWarning);
        EXPECT_EQ(TFileContent(path).Value(1, "Capital") == "Pending", c.Written);
        if (!c.Closes) {
            EXPECT_EQ(w->cdsViewData->State(), dsEdit);
            w->cdsViewData->Cancel();
            EXPECT_TRUE(w->CloseChild());
            Settle();
        }
    }
    // Nothing pending: no question.
    TFrmViewData* w = Open(CopySample("demo-country.cds"));
    TDialogSeam::Clear();
    EXPECT_TRUE(w->CloseChild());
    EXPECT_TRUE(TDialogSeam::Records().empty());
}

TEST_F(ViewDataFixture, RefreshAfterUndoShowsTheFileAndClosingStillAsks)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    Edit(w, "Capital", "Written");
    w->cdsViewData->Post();
    w->actUndo->trigger();
    EXPECT_NE(w->cdsViewData->FieldByName("Capital")->AsString(), "Written");
    EXPECT_EQ(TFileContent(path).Value(1, "Capital"), "Written");   // Undo writes nothing
    w->actRefresh->trigger();
    w->cdsViewData->First();
    EXPECT_EQ(w->cdsViewData->FieldByName("Capital")->AsString(), "Written");
    EXPECT_TRUE(w->UnsavedChanges);
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    EXPECT_TRUE(w->CloseChild());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Data is not saved, Save now?"});
}

TEST_F(ViewDataFixture, TheFileComboAsksBeforeItSwitchesFiles)
{
    QUARROW_NEED_SAMPLES();
    const QString a = CopySample("demo-country.cds", "a.cds");
    const QString b = CopySample("demo-nextcust.cds", "b.cds");
    TFrmViewData* w = Open(a, {a, b});
    ASSERT_EQ(w->EdtFileName->count(), 2);
    Edit(w, "Capital", "Pending");
    TDialogSeam::AnswerMessages({mrCancel});
    w->EdtFileNameChange(b);
    EXPECT_EQ(w->DataFileName, a);
    EXPECT_EQ(w->EdtFileName->currentText(), a);
    EXPECT_EQ(w->cdsViewData->State(), dsEdit);

    TDialogSeam::AnswerMessages({mrNo});
    w->EdtFileNameChange(b);
    EXPECT_EQ(w->DataFileName, b);
    EXPECT_EQ(w->Caption(), "View Data " + b);
    EXPECT_EQ(w->cdsViewData->FieldCount(), 1);
    EXPECT_EQ(ReadWholeFile(a), ReadWholeFile(SamplePath("demo-country.cds")));

    // Back again, with an edit saved on the way.
    w->cdsViewData->Edit();
    w->cdsViewData->Fields()[0]->SetAsFloat(42);
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrYes});
    w->EdtFileNameChange(a);
    EXPECT_EQ(TDialogSeam::Records().size(), 1u);
    EXPECT_EQ(TFileContent(b).Value(1, TFileContent(b).ds.Fields()[0]->FieldName()), "42");
    EXPECT_EQ(w->DataFileName, a);
}

// ---------------------------------------------------------------------------------------------
// Editing commands

TEST_F(ViewDataFixture, DeleteAskAndWriteTheFile)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    TDialogSeam::AnswerMessages({mrYes});
    ClickDelete(w);
    EXPECT_EQ(TDialogSeam::Messages().last(), "Delete record ?");
    EXPECT_EQ(TFileContent(path).Count(), 17);
    EXPECT_EQ(Panel(w, 0), "Rec: 1 / 17");

    // Two selected records.
    w->cdsViewData->SetRecNo(2);
    w->grdViewData->SelectRecord();
    w->cdsViewData->SetRecNo(5);
    w->grdViewData->SelectRecord();
    TDialogSeam::AnswerMessages({mrNo});
    ClickDelete(w);
    EXPECT_EQ(TDialogSeam::Messages().last(), "Delete records ?");
    EXPECT_TRUE(w->grdViewData->SelectedBookmarks().isEmpty());
    EXPECT_EQ(TFileContent(path).Count(), 17);
    w->cdsViewData->SetRecNo(2);
    w->grdViewData->SelectRecord();
    w->cdsViewData->SetRecNo(5);
    w->grdViewData->SelectRecord();
    const QString gone2 = TFileContent(path).Value(2, "Name");
    const QString gone5 = TFileContent(path).Value(5, "Name");
    TDialogSeam::AnswerMessages({mrYes});
    ClickDelete(w);
    QStringList names = TFileContent(path).Column("Name");
    EXPECT_EQ(names.size(), 15);
    EXPECT_FALSE(names.contains(gone2));
    EXPECT_FALSE(names.contains(gone5));

    // Merge, then Delete All.
    TDialogSeam::AnswerMessages({mrYes});
    w->actReadOnlyMergeChangeLog->trigger();
    EXPECT_EQ(TDialogSeam::Messages().last(), "The Delta data will be lost. Continue?");
    EXPECT_EQ(TFileContent(path).ds.ChangeCount(), 0);
    EXPECT_FALSE(w->actUndo->isEnabled());
    TDialogSeam::AnswerMessages({mrNo});
    w->actReadOnlyDeleteAll->trigger();
    EXPECT_EQ(TDialogSeam::Messages().last(), "All data will be lost. Continue?");
    EXPECT_EQ(TFileContent(path).Count(), 15);
    TDialogSeam::AnswerMessages({mrYes});
    w->actReadOnlyDeleteAll->trigger();
    EXPECT_EQ(TFileContent(path).Count(), 0);
    EXPECT_EQ(TDialogSeam::UnexpectedCount(), 0);
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, DeletingAnOrderRemovesItsItemsFirst)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 3);
    TFrmViewData* w = Open(path);
    w->cdsViewData->SetRecNo(2);
    TDialogSeam::AnswerMessages({mrYes});
    ClickDelete(w);
    TFileContent file(path);
    EXPECT_EQ(file.Column("ID"), (QStringList{"1", "3"}));
    auto* items = static_cast<TDataSetField*>(file.ds.FieldByName("Items"))->NestedDataSet();
    file.ds.SetRecNo(2);
    EXPECT_EQ(items->RecordCount(), 3);
    EXPECT_GE(file.ds.ChangeCount(), 1);
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, UndoAndRevertLeaveTheFileUnsaved)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    const QString capital1 = w->cdsViewData->FieldByName("Capital")->AsString();
    EXPECT_FALSE(w->actUndo->isEnabled());
    Edit(w, "Capital", "One");
    w->cdsViewData->Post();
    w->cdsViewData->SetRecNo(3);
    const QString capital3 = w->cdsViewData->FieldByName("Capital")->AsString();
    Edit(w, "Capital", "Three");
    w->cdsViewData->Post();
    EXPECT_TRUE(w->actUndo->isEnabled());
    EXPECT_TRUE(w->actRevert->isEnabled());
    w->cdsViewData->First();

    w->actUndo->trigger();
    EXPECT_EQ(w->cdsViewData->RecNo(), 3);   // the cursor follows the undone change
    EXPECT_EQ(w->cdsViewData->FieldByName("Capital")->AsString(), capital3);
    EXPECT_EQ(Panel(w, 1), "ChangeCount: 1");
    EXPECT_TRUE(w->UnsavedChanges);
    EXPECT_EQ(TFileContent(path).Value(3, "Capital"), "Three");

    w->cdsViewData->First();
    w->actRevert->trigger();
    EXPECT_EQ(w->cdsViewData->FieldByName("Capital")->AsString(), capital1);
    EXPECT_EQ(Panel(w, 1), "ChangeCount: 0");
    EXPECT_EQ(TFileContent(path).Value(1, "Capital"), "One");
    EXPECT_FALSE(w->actUndo->isEnabled());
    // The next save writes it.
    w->Save1->Click();
    EXPECT_FALSE(w->UnsavedChanges);
    EXPECT_EQ(TFileContent(path).Value(1, "Capital"), capital1);
    EXPECT_EQ(TFileContent(path).ds.ChangeCount(), 0);
}

TEST_F(ViewDataFixture, CopyPutsTabbedLinesOnTheClipboardAndPasteAppendsByFieldName)
{
    QUARROW_NEED_SAMPLES();
    const QString countries = CopySample("demo-country.cds");
    TFrmViewData* from = Open(countries);
    from->cdsViewData->SetRecNo(3);
    from->grdViewData->SelectRecord();
    from->cdsViewData->SetRecNo(1);
    from->grdViewData->SelectRecord();
    from->CopyClick();
    TFileContent source(countries);
    auto line = [&](int recNo) {
        source.ds.SetRecNo(recNo);
        QString text;
        for (TField* f : source.ds.Fields()) text += f->AsString() + '\t';
        return text + "\r\n";
    };
    // In the order the records were selected, each value followed by a tab.
    EXPECT_EQ(QApplication::clipboard()->text(), line(3) + line(1));
    TClientDataSet* clipboard = Frame->cdsViewClipboard;
    ASSERT_TRUE(clipboard->Active());
    EXPECT_EQ(clipboard->RecordCount(), 2);
    EXPECT_EQ(clipboard->FieldCount(), 5);
    EXPECT_TRUE(from->grdViewData->SelectedBookmarks().isEmpty());
    EXPECT_EQ(clipboard->FieldByName("Area")->DataType(), ftFloat);

    // Another window on a file with only some of these fields.
    const QString target = Path("target.cds");
    WriteTable(target, {{"Name", ftString}, {"Extra", ftInteger}}, 24, 2);
    TFrmViewData* to = Open(target);
    to->PasteClick();
    TFileContent pasted(target);
    EXPECT_EQ(pasted.Column("Name"), (QStringList{"Name 0", "Name 1", source.Value(3, "Name"), source.Value(1, "Name")}));
    EXPECT_EQ(pasted.Value(4, "Extra"), "");
    EXPECT_EQ(to->cdsViewData->RecNo(), 4);
    EXPECT_EQ(to->grdViewData->SelectedBookmarks().size(), 1);

    // A chosen column is copied from every record.
    from->grdViewDataTitleButtonClick(from->grdViewData, "Capital");
    EXPECT_EQ(from->SelectedColumn, "Capital");
    from->CopyClick();
    const QStringList lines = QApplication::clipboard()->text().split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 18);
    EXPECT_EQ(lines.value(0), source.Value(1, "Capital") + '\t');
    EXPECT_EQ(clipboard->FieldCount(), 1);
    from->grdViewDataTitleButtonClick(from->grdViewData, "Capital");
    EXPECT_EQ(from->SelectedColumn, "");
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join('\n').toStdString();
}

TEST_F(ViewDataFixture, NestedFieldsAreNeitherCopiedNorPasted)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 2);
    TFrmViewData* w = Open(path);
    w->CopyClick();
    EXPECT_EQ(QApplication::clipboard()->text(), "1\torder 1\t\r\n");
    EXPECT_FALSE(Frame->cdsViewClipboard->FindField("Items"));
    w->PasteClick();
    TFileContent file(path);
    EXPECT_EQ(file.Column("ID"), (QStringList{"1", "2", "1"}));
    file.ds.Last();
    EXPECT_EQ(static_cast<TDataSetField*>(file.ds.FieldByName("Items"))->NestedDataSet()->RecordCount(), 0);
}

TEST_F(ViewDataFixture, PopulateRunsTheFillerAndWritesOnce)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    const QByteArray before = ReadWholeFile(path);
    w->actReadOnlyPopulate->trigger();   // no filler in this program: nothing happens
    EXPECT_EQ(ReadWholeFile(path), before);

    int writesDuring = 0;
    SetFillerDialogFactory([&](TClientDataSet* target) {
        ASSERT_EQ(target, w->cdsViewData);
        for (int i = 0; i < 3; ++i) {
            target->Append();
            target->FieldByName("Name")->SetAsString(QStringLiteral("Generated %1").arg(i));
            target->Post();
            if (ReadWholeFile(path) != before) ++writesDuring;
        }
    });
    w->actReadOnlyPopulate->trigger();
    EXPECT_EQ(writesDuring, 0);
    EXPECT_EQ(TFileContent(path).Count(), 21);
    EXPECT_EQ(Panel(w, 1), "ChangeCount: 3");
    // The events are back: an edit writes again.
    Edit(w, "Capital", "After");
    w->cdsViewData->Post();
    EXPECT_EQ(TFileContent(path).ds.ChangeCount(), 4);

    // A failing filler: what it made is written, the error is shown.
    SetFillerDialogFactory([](TClientDataSet* target) {
        target->Append();
        target->FieldByName("Name")->SetAsString("Half");
        target->Post();
        throw EDatabaseError("Filler failed");
    });
    w->actReadOnlyPopulate->trigger();
    EXPECT_EQ(Shown, QStringList{"Filler failed"});
    EXPECT_EQ(TFileContent(path).Count(), 22);
}

TEST_F(ViewDataFixture, ModifyStructureAndMigrateHandTheFileOn)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path, {path, "/other.cds"});
    w->btnModifyStruct->trigger();
    ASSERT_EQ(Workbench.StructureWindows().size(), 1);
    EXPECT_EQ(Workbench.StructureWindows()[0]->Opened, path);
    EXPECT_EQ(Workbench.StructureWindows()[0]->Caption(), "Create/Modify Structure " + path);
    EXPECT_EQ(Workbench.StructureWindows()[0]->Files, (QStringList{path, "/other.cds"}));
    w->btnModifyStruct->trigger();   // the open one comes to the front
    EXPECT_EQ(Workbench.StructureWindows().size(), 1);

    w->actReadOnlyMigrate->trigger();
    ASSERT_EQ(Workbench.MigrateWindows().size(), 1);
    EXPECT_EQ(Workbench.MigrateWindows()[0]->Destination, path);
    EXPECT_EQ(Workbench.MigrateWindows()[0]->OuterWindow()->size(), QSize(600, 475));
}

// ---------------------------------------------------------------------------------------------
// Views

TEST_F(ViewDataFixture, SortingByAColumnAndResettingIt)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    TClientDataSet* ds = w->cdsViewData;
    const QStringList natural = TFileContent(path).Column("Capital");
    QStringList ascending = natural;
    std::sort(ascending.begin(), ascending.end());
    auto capitals = [ds] {
        QStringList list;
        for (ds->First(); !ds->Eof(); ds->Next()) list << ds->FieldByName("Capital")->AsString();
        return list;
    };
    auto titleImage = [w](const QString& field) {
        TkqTitleImageAttributes image;
        w->grdViewData->OnCalcTitleImage(w->grdViewData, w->cdsViewData->FieldByName(field), image);
        return image.ImageIndex;
    };

    w->PopupColumn = "Capital";
    ds->SetRecNo(4);
    w->grdViewData->SelectRecord();
    w->SortAscendingClick();
    EXPECT_EQ(ds->IndexName(), "DownIndex");
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_TRUE(w->grdViewData->SelectedBookmarks().isEmpty());
    EXPECT_EQ(w->SortAscField, "Capital");
    EXPECT_EQ(titleImage("Capital"), 21);
    EXPECT_EQ(titleImage("Name"), -1);
    EXPECT_EQ(capitals(), ascending);

    w->SortDescendingClick();
    EXPECT_EQ(ds->IndexDefs().IndexOf("DownIndex"), -1);
    EXPECT_GE(ds->IndexDefs().IndexOf("UpIndex"), 0);
    EXPECT_EQ(w->SortAscField, "");
    EXPECT_EQ(w->SortDescField, "Capital");
    EXPECT_EQ(titleImage("Capital"), 27);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(capitals(), descending);

    w->ResetSortClick();
    EXPECT_EQ(ds->IndexDefs().IndexOf("UpIndex"), -1);
    EXPECT_EQ(ds->IndexDefs().IndexOf("DownIndex"), -1);
    EXPECT_EQ(w->SortDescField, "");
    EXPECT_EQ(titleImage("Capital"), -1);
    EXPECT_EQ(capitals(), natural);

    // A sort survives no reload: the file's order comes back with the file.
    w->SortAscendingClick();
    w->actRefresh->trigger();
    EXPECT_EQ(w->SortAscField, "");
    EXPECT_EQ(capitals(), natural);
}

TEST_F(ViewDataFixture, FieldsThatCannotBeSortedChangeNothing)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* events = Open(CopySample("demo-events.cds"));
    events->PopupColumn = "Event_Photo";
    events->SortAscendingClick();
    EXPECT_EQ(TDialogSeam::Messages().value(0), "Unable to Sort on this Field Type");
    EXPECT_EQ(events->cdsViewData->IndexDefs().IndexOf("DownIndex"), -1);
    EXPECT_EQ(events->SortAscField, "");

    // The engine refuses the index: no title shows a sort.
    const QString path = Path("ole.cds");
    WriteTable(path, {{"Name", ftString}, {"Raw", ftParadoxOle}}, 8, 3);
    TFrmViewData* w = Open(path);
    w->PopupColumn = "Name";
    w->SortDescendingClick();
    ASSERT_EQ(w->SortDescField, "Name");
    w->PopupColumn = "Raw";
    EXPECT_THROW(w->SortAscendingClick(), EDatabaseError);
    EXPECT_EQ(w->SortAscField, "");
    EXPECT_EQ(w->SortDescField, "");
    EXPECT_EQ(w->cdsViewData->IndexDefs().IndexOf("DownIndex"), -1);
    EXPECT_EQ(w->cdsViewData->IndexName(), "");
    // No column named: nothing at all.
    w->PopupColumn.clear();
    w->SortAscendingClick();
    EXPECT_EQ(w->cdsViewData->IndexName(), "");
}

TEST_F(ViewDataFixture, ThePopupMenuOffersWhatTheRowUnderThePointerAllows)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-country.cds"));
    TkqDBGrid* grid = w->grdViewData;
    grid->setFocus();
    auto popupAt = [&](QWidget* target, const QPoint& pos) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &event);
        w->popGrid->hide();
    };
    const auto cellCenter = [grid](int dataCol, int dataRow) {
        return grid->CellRect(grid->IndicatorOffset() + dataCol, grid->TitleOffset() + dataRow).ToQRect().center();
    };
    popupAt(grid->viewport(), cellCenter(1, 2));
    EXPECT_EQ(w->PopupColumn, "Capital");
    EXPECT_TRUE(w->Copy1->isVisible());
    EXPECT_TRUE(w->SelectAll1->isVisible());
    EXPECT_FALSE(w->SortAscending1->isVisible());
    EXPECT_FALSE(w->Paste1->isEnabled());   // nothing copied yet

    const QPoint title = cellCenter(0, -1);
    popupAt(grid->viewport(), title);
    EXPECT_EQ(w->PopupColumn, "Name");
    EXPECT_TRUE(w->SortAscending1->isVisible());
    EXPECT_FALSE(w->Copy1->isVisible());
    EXPECT_FALSE(w->ResetSort1->isEnabled());
    w->SortAscending1->trigger();
    popupAt(grid->viewport(), title);
    EXPECT_TRUE(w->ResetSort1->isEnabled());
}

TEST_F(ViewDataFixture, TheStatusFilterShowsRecordsByTheirChange)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    TDialogSeam::AnswerMessages({mrYes});
    ClickDelete(w);
    Edit(w, "Capital", "Changed");
    w->cdsViewData->Post();
    w->cdsViewData->Append();
    w->cdsViewData->FieldByName("Name")->SetAsString("New");
    w->cdsViewData->Post();
    struct Case {
        int Item;
        int Count;
    };
    for (const Case& c : {Case{3, 1}, Case{1, 1}, Case{2, 1}, Case{0, 18}}) {
        w->rgStatusFilter->SetItemIndex(c.Item);
        EXPECT_EQ(w->cdsViewData->RecordCount(), c.Count) << c.Item;
        EXPECT_EQ(Panel(w, 0), QStringLiteral("Rec: 1 / %1").arg(c.Count));
    }
}

TEST_F(ViewDataFixture, TitlesShowTypeAndSizeOnTwoLines)
{
    const QString path = Path("codes.cds");
    WriteTable(path, {{"Code", ftString}, {"Qty", ftInteger}}, 20, 2);
    TFrmViewData* w = Open(path);
    EXPECT_FALSE(w->cbShowTypeAndLength->Down());
    EXPECT_EQ(w->cdsViewData->FieldByName("Code")->DisplayLabel(), "Code~String(20)");
    EXPECT_EQ(w->cdsViewData->FieldByName("Qty")->DisplayLabel(), "Qty~Integer(0)");
    EXPECT_EQ(w->grdViewData->TitleLines(), 2);
    QTest::mouseClick(w->cbShowTypeAndLength, Qt::LeftButton);
    EXPECT_EQ(w->cdsViewData->FieldByName("Code")->DisplayLabel(), "Code");
    EXPECT_EQ(w->grdViewData->TitleLines(), 1);
    // A reload keeps the button's choice.
    w->actRefresh->trigger();
    EXPECT_EQ(w->cdsViewData->FieldByName("Code")->DisplayLabel(), "Code");
}

TEST_F(ViewDataFixture, FitColumnsShareTheGridWidth)
{
    // The example: a grid 600 pixels wide, an indicator of 11 and 4 data columns: 574 / 4 =
    // 143.5, rounded to the even neighbour, 144 each.
    WriteTable(Path("four.cds"), {{"A", ftString}, {"B", ftString}, {"C", ftInteger}, {"D", ftString}}, 20, 3);
    TFrmViewData* w = Open(Path("four.cds"));
    TkqDBGrid* grid = w->grdViewData;
    ASSERT_EQ(grid->ColCount(), 5);
    grid->setFixedWidth(600);
    grid->SetColWidths(0, 11);
    QTest::mouseClick(w->btnSizeColumn, Qt::LeftButton);
    ASSERT_TRUE(w->btnSizeColumn->Down());
    // The grid keeps its widths in whole characters (they are the fields' display widths), so
    // each share lands within a character of 144 and all four are equal.
    const int character = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 1; c <= 4; ++c) {
        EXPECT_NEAR(grid->ColWidths(c), 144, character) << c;
        EXPECT_EQ(grid->ColWidths(c), grid->ColWidths(1)) << c;
    }
    QTest::mouseClick(w->btnSizeColumn, Qt::LeftButton);
    EXPECT_FALSE(w->btnSizeColumn->Down());
    EXPECT_GT(grid->ColWidths(1), grid->fontMetrics().horizontalAdvance(QString(20, '0')));
}

TEST_F(ViewDataFixture, TheNestedGridOpensInsideTheRowAndItsEditsReachTheFile)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 3);
    TFrmViewData* w = Open(path);
    w->EdtFixedColumns->SetIntValue(1);
    ASSERT_EQ(w->grdViewData->FixedCols(), 1);
    w->cdsViewData->SetRecNo(2);
    w->grdViewData->SelectFieldByName("Items");
    Settle();
    ASSERT_EQ(w->grdViewData->CurrentCellControl(), w->ExpandButton);
    w->ExpandButton->Toggle();
    ASSERT_TRUE(w->ExpandButton->Expanded());
    // The spin edit shows the nested grid's fixed columns; the main grid keeps its own.
    EXPECT_EQ(w->EdtFixedColumns->GetIntValue(), 0);
    EXPECT_EQ(w->grdViewData->FixedCols(), 1);
    TDataSet* items = w->dsDetail->DataSet();
    ASSERT_NE(items, w->cdsDetail);
    EXPECT_EQ(items->RecordCount(), 2);
    EXPECT_TRUE(w->grdDetail->isVisible());
    EXPECT_EQ(w->DBNavigator->DataSource(), w->dsDetail);
    EXPECT_EQ(items->FieldByName("Code")->DisplayLabel(), "Code~String(10)");
    w->grdDetail->setFocus();
    EXPECT_EQ(w->ActiveGrid(), w->grdDetail);
    items->Last();
    EXPECT_EQ(Panel(w, 0), "Rec: 2 / 2");

    items->Edit();
    items->FieldByName("Qty")->SetAsInteger(99);
    items->Post();
    EXPECT_EQ(w->cdsViewData->State(), dsEdit);   // the order waits to be posted
    w->ExpandButton->Toggle();
    EXPECT_FALSE(w->ExpandButton->Expanded());
    EXPECT_EQ(w->DBNavigator->DataSource(), w->dsViewData);
    EXPECT_EQ(w->EdtFixedColumns->GetIntValue(), 1);
    TFileContent file(path);
    file.ds.SetRecNo(2);
    TDataSet* fileItems = static_cast<TDataSetField*>(file.ds.FieldByName("Items"))->NestedDataSet();
    fileItems->Last();
    EXPECT_EQ(fileItems->FieldByName("Qty")->AsInteger(), 99);
}

TEST_F(ViewDataFixture, DoubleClickOpensThePictureDialogForPicturesOnly)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-events.cds"));
    w->grdViewData->SelectFieldByName("VenueNo");
    w->ShowFieldEditor(w->grdViewData);   // an integer: nothing opens
    w->grdViewData->SelectFieldByName("Event_Photo");
    bool pictureShown = false;
    WithModal([&] { w->ShowFieldEditor(w->grdViewData); },
              [&](QDialog* dialog) {
                  auto* image = qobject_cast<TFrmImage*>(dialog);
                  pictureShown = image && image->DBImage->DataField() == "Event_Photo";
                  dialog->reject();
              });
    EXPECT_TRUE(pictureShown);
}

TEST_F(ViewDataFixture, AFormattedMemoOpensInTheRichEditAndIsSavedWithItsFormats)
{
    const QString path = Path("memo.cds");
    {
        TClientDataSet ds;
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Memo", ftFmtMemo);
        ds.CreateDataSet();
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(1);
        ds.FieldByName("Memo")->SetAsBytes("{\\rtf1\\ansi{\\colortbl ;\\red255\\green0\\blue0;}Plain \\b bold\\b0  \\cf1 red\\cf0\\par"
                                           "\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi-360\\li720 item\\par}");
        ds.Post();
        ds.MergeChangeLog();
        ds.SaveToFile(path);
    }
    TFrmViewData* w = Open(path);
    const auto memoText = [w] {
        QString text;
        w->grdViewData->GetCellText(1, text);
        return text;
    };
    // the grid shows the plain text, not the stored codes
    EXPECT_EQ(memoText(), "Plain bold red item");
    w->grdViewData->SelectFieldByName("Memo");
    // Cancel after an edit, answering No to saving: the field keeps its text and nothing is edited
    bool cancelled = false;
    WithModal([&] { w->ShowFieldEditor(w->grdViewData); },
              [&](QDialog* dialog) {
                  auto* form = qobject_cast<TkqRichEditForm*>(dialog);
                  ASSERT_NE(form, nullptr);
                  form->RichEdit1()->SetText("all replaced");
                  TDialogSeam::AnswerMessages({mrNo});
                  form->ExitEditor();
                  cancelled = true;
              });
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(w->cdsViewData->State(), dsBrowse);
    EXPECT_FALSE(w->cdsViewData->Modified());
    EXPECT_EQ(memoText(), "Plain bold red item");
    bool edited = false;
    WithModal([&] { w->ShowFieldEditor(w->grdViewData); },
              [&](QDialog* dialog) {
                  auto* form = qobject_cast<TkqRichEditForm*>(dialog);
                  ASSERT_NE(form, nullptr);
                  TkqCustomRichEdit* edit = form->RichEdit1();
                  EXPECT_EQ(edit->Text(), "Plain bold red\nitem");
                  EXPECT_FALSE(edit->isReadOnly());
                  edit->SetSel({0, 5});
                  edit->SetSelItalic(true);
                  edit->SetSel({edit->TextLength(), edit->TextLength()});
                  edit->ReplaceSel(" two");
                  edited = true;
                  form->SaveAndExit();
              });
    ASSERT_TRUE(edited);
    EXPECT_EQ(w->cdsViewData->State(), dsEdit);
    w->DBNavigator->Button(nbsPost)->Click();
    Settle();
    EXPECT_TRUE(Shown.isEmpty()) << Shown.join("; ").toStdString();
    TFileContent file(path);
    TkqDBRichEdit reread;
    reread.LoadFromBlobField(file.ds.FieldByName("Memo"));
    EXPECT_EQ(reread.Text(), "Plain bold red\nitem two");
    reread.SetSel({0, 5});
    EXPECT_TRUE(reread.GetCharFormat(SCF_SELECTION).Effects & CFE_ITALIC);
    reread.SetSel({6, 10});
    EXPECT_TRUE(reread.GetCharFormat(SCF_SELECTION).Effects & CFE_BOLD);
    reread.SetSel({11, 14});
    EXPECT_EQ(reread.GetCharFormat(SCF_SELECTION).TextColor, clRed);
    EXPECT_NE(reread.document()->lastBlock().textList(), nullptr);
    EXPECT_EQ(memoText(), "Plain bold red item two");
}

TEST_F(ViewDataFixture, TheChangeLogGridOpensAndClosesWithItsButton)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("app-sales-Vendas.cds");
    TFrmViewData* w = Open(path);
    ASSERT_TRUE(w->cdsDelta->Active());
    EXPECT_EQ(w->cdsDelta->RecordCount(), 9);
    w->btnDeltaInfo->Click();
    EXPECT_LT(w->grdDelta->maximumHeight(), 2);
    EXPECT_EQ(w->btnDeltaInfo->GetGlyph().Image(), w->ArrowUpBitmap.Image());
    // Closed: no delta is loaded, however many changes there are.
    w->actRefresh->trigger();
    EXPECT_FALSE(w->cdsDelta->Active());
    w->btnDeltaInfo->Click();
    EXPECT_EQ(w->grdDelta->maximumHeight(), 100);
    EXPECT_EQ(w->btnDeltaInfo->GetGlyph().Image(), w->ArrowDownBitmap.Image());
    EXPECT_TRUE(w->cdsDelta->Active());
}

TEST_F(ViewDataFixture, ARecordTheGridDeletesByItselfReachesTheFile)
{
    QUARROW_NEED_SAMPLES();
    const QString path = CopySample("demo-country.cds");
    TFrmViewData* w = Open(path);
    w->grdViewData->setFocus();
    TDialogSeam::AnswerMessages({mrOk});
    QTest::keyClick(w->grdViewData, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(TDialogSeam::Messages().value(0), "Delete record?");
    EXPECT_EQ(TFileContent(path).Count(), 17);
    EXPECT_EQ(Panel(w, 1), "ChangeCount: 1");
}

TEST_F(ViewDataFixture, AChosenColumnIsHighlightedUntilTheRowKeysMove)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-country.cds"));
    TkqDBGrid* grid = w->grdViewData;
    auto colours = [&](const QString& field) {
        TFont font;
        TColor brush = clWindow;
        grid->OnCalcCellColors(grid, w->cdsViewData->FieldByName(field), {}, false, font, brush);
        return std::make_pair(font.Color, brush);
    };
    w->grdViewDataTitleButtonClick(grid, "Area");
    EXPECT_EQ(colours("Area"), std::make_pair(TColor(clWhite), TColor(clHighlight)));
    EXPECT_EQ(colours("Name"), std::make_pair(TColor(clWindowText), TColor(clWindow)));
    grid->SelectRecord();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(w->SelectedColumn, "");
    EXPECT_TRUE(grid->SelectedBookmarks().isEmpty());
    EXPECT_EQ(w->cdsViewData->RecNo(), 2);
    EXPECT_EQ(Panel(w, 0), "Rec: 2 / 18");

    // The spin edit sets the fixed columns of the grid in use.
    w->EdtFixedColumns->SetIntValue(2);
    EXPECT_EQ(grid->FixedCols(), 2);
}

TEST_F(ViewDataFixture, LocateSearchesTheGridInUseAndFilterTheMainData)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-country.cds"));
    QString caption;
    WithModal([&] { w->actLocate->trigger(); },
              [&](QDialog* dialog) {
                  caption = dialog->windowTitle();
                  dialog->reject();
              });
    EXPECT_EQ(caption, "Locate Field Value");
    EXPECT_EQ(w->LocateDialog->DataSource(), w->dsViewData);
    WithModal([&] { w->actFilter->trigger(); },
              [&](QDialog* dialog) {
                  caption = dialog->windowTitle();
                  dialog->reject();
              });
    EXPECT_EQ(caption, "Filter");
    EXPECT_EQ(w->FilterDialog->DataSource(), w->dsViewData);
}

TEST_F(ViewDataFixture, UndoInTheNestedGridUndoesTheNestedChange)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 2);
    TFrmViewData* w = Open(path);
    w->cdsViewData->SetRecNo(2);
    w->grdViewData->SelectFieldByName("Items");
    Settle();
    w->ExpandButton->Toggle();
    TDataSet* items = w->dsDetail->DataSet();
    w->grdDetail->setFocus();
    items->Edit();
    items->FieldByName("Code")->SetAsString("X");
    items->Post();
    EXPECT_TRUE(w->actUndo->isEnabled());
    w->actUndo->trigger();
    EXPECT_EQ(items->FieldByName("Code")->AsString(), "C2-1");
    EXPECT_TRUE(w->UnsavedChanges);
    w->grdViewData->setFocus();
    w->cdsViewData->Cancel();
    TDialogSeam::Clear();
    TDialogSeam::AnswerMessages({mrNo});
    EXPECT_TRUE(w->CloseChild());
    EXPECT_EQ(TDialogSeam::Messages(), QStringList{"Data is not saved, Save now?"});
}

TEST(ViewDataStart, TheFileOnTheCommandLineOpensInFrontOfTheTree)
{
    QUARROW_NEED_SAMPLES();
    TWorkbenchFixture workbench;
    SetDataWindowFactory([] { return new TFrmViewData; });
    QTemporaryDir dir;
    const QString path = dir.filePath("demo-events.cds");
    QFile::copy(SamplePath("demo-events.cds"), path);
    {
        TMainForm frame;
        frame.StartFile = path;
        frame.show();
        Settle();
        const QList<TFrmViewData*> windows = OpenChildren<TFrmViewData>();
        ASSERT_EQ(windows.size(), 1);
        EXPECT_EQ(windows[0]->Caption(), "View Data " + path);
        EXPECT_EQ(frame.MdiArea()->activeSubWindow(), windows[0]->SubWindow());
        EXPECT_EQ(windows[0]->cdsViewData->RecordCount(), 23);
        frame.close();
    }
    Settle();
}

// Typing a new nested line and pressing Down keeps the line and starts the next one; the key
// never reaches the main grid around it.
TEST_F(ViewDataFixture, DownInTheNestedGridKeepsTheTypedLine)
{
    const QString path = Path("orders.cds");
    WriteFilledNestedFile(path, 3);
    TFrmViewData* w = Open(path);
    w->grdViewData->SelectFieldByName("Items");
    Settle();
    w->ExpandButton->Toggle();
    TDataSet* items = w->dsDetail->DataSet();
    const int before = items->RecordCount();
    w->grdDetail->setFocus();
    items->Last();
    w->grdDetail->SelectFieldByName("Code");
    QTest::keyClick(w->grdDetail, Qt::Key_Down);
    ASSERT_EQ(items->State(), dsInsert);
    for (QChar c : QStringLiteral("Engine")) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    Settle();
    EXPECT_TRUE(w->ExpandButton->Expanded());
    EXPECT_EQ(w->cdsViewData->RecNo(), 1);
    EXPECT_EQ(items->State(), dsInsert);   // the next line waits
    w->ExpandButton->Toggle();
    TFileContent file(path);
    TDataSet* fileItems = static_cast<TDataSetField*>(file.ds.FieldByName("Items"))->NestedDataSet();
    ASSERT_EQ(fileItems->RecordCount(), before + 1);
    fileItems->Last();
    EXPECT_EQ(fileItems->FieldByName("Code")->AsString(), "Engine");
}

TEST_F(ViewDataFixture, ExportWritesTheGridInTheFormatItsExtensionNames)
{
    QUARROW_NEED_SAMPLES();
    TFrmViewData* w = Open(CopySample("demo-country.cds"));
    TClientDataSet* ds = w->cdsViewData;
    const int records = ds->RecordCount();
    ds->First();
    ds->MoveBy(3);
    const int recNo = ds->RecNo();
    struct Case {
        const char* file;
        const char* starts;
        const char* contains;
    };
    const Case cases[] = {
        {"out.csv", "\"Name String(24)\",\"Capital String(24)\",", "\r\n\"Argentina\",\"Buenos Aires\","},
        {"out.txt", "\"Name String(24)\"\t\"Capital String(24)\"\t", "\r\n\"Argentina\"\t\"Buenos Aires\"\t"},
        {"out.prn", "\"Name String(24)\"          \"Capital", "\r\n\"Argentina\"                \"Buenos Aires\""},
        {"out.html", "<HTML>\r\n", "<TH colspan=\"5\" scope=\"colgroup\">demo-country.cds</TH>"},
        {"out.slk", "ID;PBrannock 3000;N;E\r\n", "C;K\"Argentina\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TDialogSeam::AnswerFiles({Path(QString::fromLatin1(c.file))});
        w->Export1->trigger();
        const QByteArray bytes = ReadWholeFile(Path(QString::fromLatin1(c.file)));
        EXPECT_TRUE(bytes.startsWith(c.starts)) << bytes.left(200).constData();
        EXPECT_TRUE(bytes.contains(c.contains)) << bytes.left(400).constData();
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(ds->RecNo(), recNo);
    }
    EXPECT_EQ(ReadWholeFile(Path("out.csv")).count("\r\n"), records + 1);
    EXPECT_TRUE(ReadWholeFile(Path("out.slk")).contains("\r\nB;Y" + QByteArray::number(records) + ";X5\r\n"));
    // Selected records alone.
    ds->First();
    w->grdViewData->SelectRecord();
    TDialogSeam::AnswerFiles({Path("one.csv")});
    w->Export1->trigger();
    EXPECT_EQ(ReadWholeFile(Path("one.csv")).count("\r\n"), 2);
    // An extension that names no format says which ones do.
    TDialogSeam::AnswerFiles({Path("out.doc")});
    w->Export1->trigger();
    EXPECT_EQ(TDialogSeam::Messages().value(0), "Export writes files ending in .csv, .txt, .prn, .html or .slk.");
    EXPECT_FALSE(QFile::exists(Path("out.doc")));
}
