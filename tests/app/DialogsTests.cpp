#include "app/About.h"
#include "app/UImage.h"
#include "app/UNewCDS.h"
#include "app/URename.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "platform/client/ClientDataSet.h"
#include "platform/dbctrls/DBCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Shell.h"
#include "tests/common/TestSupport.h"
#include "treestatus/qeLabel.h"
#include "utilities/ToolEdit.h"
#include "utilities/VzVerInf.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(NewFileDialog, RefusesExistingNamesAndDropsQuotes)
{
    QTemporaryDir dir;
    WriteWholeFile(dir.filePath("taken.cds"), "x");
    WriteWholeFile(dir.filePath("plain"), "x");
    struct Case {
        QString Typed;
        bool Accepted;
        QString Result;
    };
    const Case cases[] = {
        {dir.filePath("taken"), false, {}},                    // its ".cds" form exists
        {dir.filePath("taken.cds"), false, {}},
        {'"' + dir.filePath("taken.cds") + '"', false, {}},    // tested without the quotes
        {'"' + dir.filePath("new") + '"', true, dir.filePath("new")},
        {dir.filePath("plain"), true, dir.filePath("plain")},  // no extension: "plain.cds" is free
        {dir.filePath("new.xml"), true, dir.filePath("new.xml")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed.toStdString());
        TDialogSeam::Clear();
        TFrmNewCDS dialog;
        dialog.SetFolder(dir.path());
        EXPECT_EQ(dialog.EdtFileName->Text(), dir.path());
        EXPECT_EQ(dialog.EdtFileName->InitialDir(), dir.path());
        dialog.EdtFileName->SetText(c.Typed);
        dialog.show();
        dialog.btnSelect->click();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.Accepted);
        EXPECT_EQ(dialog.isVisible(), !c.Accepted);
        if (c.Accepted) {
            EXPECT_EQ(dialog.EdtFileName->Text(), c.Result);
            EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
        } else {
            EXPECT_EQ(TDialogSeam::Messages(), QStringList{"File already exists."});
            EXPECT_EQ(dialog.EdtFileName->Text(), c.Typed);   // the text is kept
        }
    }
}

TEST(NewFileDialog, ShowPutsTheCaretAtTheEnd)
{
    TFrmNewCDS dialog;
    dialog.SetFolder("/tmp/some folder");
    dialog.show();
    QApplication::processEvents();
    QLineEdit* edit = dialog.EdtFileName;
    EXPECT_EQ(edit->cursorPosition(), edit->text().size());
    EXPECT_FALSE(edit->hasSelectedText());
    EXPECT_EQ(dialog.windowTitle(), "New CDS");
}

TEST(RenameDialog, OldNameIsOfferedAndOkGivesTheEditText)
{
    TFrmRename dialog;
    dialog.SetOldName("/data/old name.cds");
    EXPECT_EQ(dialog.labRename->text(), "/data/old name.cds");
    EXPECT_EQ(dialog.EdtRename->text(), "/data/old name.cds");
    dialog.show();
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.NewName, "/data/old name.cds");

    TFrmRename changed;
    changed.SetOldName("/data/a.cds");
    changed.show();
    changed.EdtRename->setText("/data/b.cds");
    changed.btnCancel->click();
    EXPECT_EQ(changed.result(), QDialog::Rejected);
    EXPECT_EQ(changed.NewName, "/data/a.cds");
    changed.show();
    changed.btnOK->click();
    EXPECT_EQ(changed.NewName, "/data/b.cds");
}

namespace {
struct ImageDialogFixture : ::testing::Test {
    TClientDataSet ds;
    TDataSource source;
    void SetUp() override
    {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Pic", ftGraphic);
        ds.CreateDataSet();
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(1);
        ds.Post();
        ds.MergeChangeLog();
        source.SetDataSet(&ds);
    }
    void Bind(TFrmImage& dialog)
    {
        dialog.DBImage->SetDataSource(&source);
        dialog.DBImage->SetDataField("Pic");
        dialog.DBNavigator->SetDataSource(&source);
    }
};
} // namespace

TEST_F(ImageDialogFixture, CloseWithoutEditPostsNothing)
{
    TFrmImage dialog;
    Bind(dialog);
    EXPECT_EQ(dialog.DBNavigator->Buttons()->GetVisibleCount(), 2);
    EXPECT_EQ(dialog.DBNavigator->Button(nbsEdit)->Hint(), "Edit current record");
    EXPECT_EQ(dialog.DBNavigator->Button(nbsPost)->Hint(), "Post changes of current record");
    dialog.show();
    dialog.btnClose->click();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(ImageDialogFixture, PasteThenClosePostsThePicture)
{
    TFrmImage dialog;
    Bind(dialog);
    dialog.show();
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    dialog.EditPaste1->trigger();
    EXPECT_EQ(ds.State(), dsEdit);
    dialog.btnClose->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.ChangeCount(), 1);
    // A graphic field gets the graphic header before the bitmap.
    const QByteArray stored = ds.FieldByName("Pic")->AsBytes();
    EXPECT_TRUE(stored.startsWith(QByteArray("\x01\x00\x00\x01", 4)));
    EXPECT_EQ(ReadPicture(TDBImage::StripGraphicHeader(stored)).size(), picture.size());

    QApplication::clipboard()->clear();
    dialog.EditCopy1->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), picture.size());
}

TEST_F(ImageDialogFixture, CenterAndStretchFollowTheCheckBoxes)
{
    TFrmImage dialog;
    Bind(dialog);
    dialog.show();
    auto click = [](TkqCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2)); };
    EXPECT_FALSE(dialog.cbCenter->Checked());
    EXPECT_FALSE(dialog.DBImage->Center());
    EXPECT_FALSE(dialog.DBImage->Stretch());
    click(dialog.cbStretch);
    EXPECT_TRUE(dialog.DBImage->Stretch());
    click(dialog.cbCenter);
    EXPECT_TRUE(dialog.DBImage->Center());
    click(dialog.cbStretch);
    EXPECT_FALSE(dialog.DBImage->Stretch());
}

TEST(AboutBoxTest, TitleVersionAndLinks)
{
    TAboutBox about;
    about.show();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(445, 228));
    EXPECT_EQ(about.labVersion->text(), CreateModuleVersionInfo()->GetFileVersionText());
    EXPECT_EQ(about.labTitle->Caption(), "Quarrow");
    EXPECT_EQ(about.labTitle->TextOptions().Style(), qelsOutline);
    EXPECT_EQ(about.labTitle->TextOptions().OutlineColor(), clNavy);
    EXPECT_EQ(about.labTitle->TextOptions().Alignment(), taCenter);
    EXPECT_EQ(about.labTitle->FontColor(), TColor(14599344));
    EXPECT_TRUE(about.labTitle->font().bold());
    EXPECT_EQ(about.labTitle->font().pixelSize(), 19);

    QStringList opened;
    SetShellOpenHandler([&opened](const QString& target) {
        opened << target;
        return false;   // a failed open is not reported
    });
    QTest::mouseClick(about.labWebAddress, Qt::LeftButton);
    QTest::mouseClick(about.labMailTo, Qt::LeftButton);
    SetShellOpenHandler(nullptr);
    EXPECT_EQ(opened, (QStringList{about.labWebAddress->text(), about.labMailTo->text()}));
    EXPECT_TRUE(TDialogSeam::Messages().isEmpty());
    about.OKButton->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
}
