#include "tests/utilities/UtilitiesTestSupport.h"
#include "utilities/ToolEdit.h"
#include "utilities/VZProps.h"

#include <QApplication>
#include <QDialog>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

namespace {
struct TFiles {
    QTemporaryDir Dir;
    QString Spaced, Plain, Bracket;
    TFiles()
    {
        Spaced = Dir.filePath(QStringLiteral("with blank.cds"));
        Plain = Dir.filePath(QStringLiteral("plain.cds"));
        Bracket = Dir.filePath(QStringLiteral("odd[1].cds"));
        for (const QString& f : {Spaced, Plain, Bracket}) WriteWholeFile(f, "x");
    }
    QString Folder() const { return IncludeTrailingPathDelimiter(Dir.path()); }
};

void Drop(QWidget* target, const QStringList& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}
} // namespace

TEST(FilenameEdit, FileNameReadsTheTextAsACommandLine)
{
    TFiles f;
    TFilenameEdit edit;
    struct Case {
        QString text, name;
    };
    const Case cases[] = {
        {f.Spaced, f.Spaced},                                                      // an existing file, blank and all
        {'"' + f.Spaced + QStringLiteral("\" -x"), f.Spaced},                      // quotes removed, switch dropped
        {f.Folder() + QStringLiteral("no such.cds"), f.Folder() + QStringLiteral("no")},   // the part before the blank
        {QStringLiteral("  plain.xml"), QStringLiteral("plain.xml")},
        {QStringLiteral("\"\" after"), QStringLiteral("after")},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        edit.SetText(c.text);
        EXPECT_EQ(edit.FileName(), c.name) << c.text.toStdString();
    }
}

TEST(FilenameEdit, WritingFileNameQuotesAndRefusesInvalidNames)
{
    TFilenameEdit edit;
    QStringList changes;
    edit.OnChange = [&](QObject*) { changes << edit.Text(); };
    struct Case {
        QString value, text;
    };
    for (const Case& c : {Case{QStringLiteral("/data/a b.cds"), QStringLiteral("\"/data/a b.cds\"")},
                          Case{QStringLiteral("\"/data/a b.cds\""), QStringLiteral("\"/data/a b.cds\"")},
                          Case{QStringLiteral("/data/ab.cds"), QStringLiteral("/data/ab.cds")}, Case{QString(), QString()}}) {
        edit.SetFileName(c.value);
        EXPECT_EQ(edit.Text(), c.text);
    }
    edit.SetFileName(QStringLiteral("/data/ok.cds"));
    for (const QString& bad : {QStringLiteral("a<b"), QStringLiteral("a>b"), QStringLiteral("x[1]"), QStringLiteral("y]"),
                              QStringLiteral("p|q rest")}) {
        try {
            edit.SetFileName(bad);
            ADD_FAILURE() << bad.toStdString();
        } catch (const EComboEditError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid file name - ") + bad);
        }
    }
    EXPECT_EQ(edit.Text(), QStringLiteral("/data/ok.cds"));   // unchanged
    edit.SetFileName(QStringLiteral("/data/fine.cds <odd>"));   // only the first token is tested
    EXPECT_EQ(changes.size(), 5);   // the quoted form of the same name changed nothing
}

TEST(FilenameEdit, BrowsingStartsInTheTextsFolderAndQuotesTheChoice)
{
    TFiles f;
    TFilenameEdit edit;
    edit.SetFilter(QStringLiteral("CDS files (*.cds)|*.cds"));
    EXPECT_TRUE(edit.FilterStored());
    EXPECT_FALSE(edit.DialogTitleStored());
    edit.SetText(f.Plain);
    QStringList hooks;
    edit.OnBeforeDialog = [&](QObject*, QString& name, bool&) { hooks << QStringLiteral("before ") + name; };
    edit.OnAfterDialog = [&](QObject*, QString& name, bool& action) {
        hooks << QStringLiteral("after %1 %2").arg(name).arg(action);
    };
    TDialogSeam::AnswerFiles({f.Spaced});
    QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
    ASSERT_EQ(TDialogSeam::Records().size(), 1u);
    EXPECT_EQ(TDialogSeam::Records()[0].Kind, TDialogRecord::OpenFile);
    EXPECT_EQ(TDialogSeam::Records()[0].Text, QStringLiteral("Browse"));
    EXPECT_EQ(edit.Text(), '"' + f.Spaced + '"');
    EXPECT_EQ(edit.InitialDir(), f.Folder());
    EXPECT_EQ(hooks, (QStringList{QStringLiteral("before ") + f.Plain, QStringLiteral("after %1 1").arg(f.Spaced)}));

    // A cancelled dialog leaves text and folder; a hook that says no runs no dialog.
    edit.SetInitialDir(QStringLiteral("/elsewhere"));
    edit.EditButtonClick();   // nothing scripted: cancelled
    EXPECT_EQ(edit.Text(), '"' + f.Spaced + '"');
    EXPECT_EQ(edit.InitialDir(), f.Folder());   // the text's folder was taken before the dialog ran
    edit.OnBeforeDialog = [](QObject*, QString&, bool& action) { action = false; };
    edit.EditButtonClick();
    EXPECT_EQ(TDialogSeam::Records().size(), 2u);
    // Read-only: Alt+Down does nothing and is still consumed.
    edit.OnBeforeDialog = nullptr;
    edit.SetReadOnly(true);
    QKeyEvent altDown(QEvent::KeyPress, Qt::Key_Down, Qt::AltModifier);
    QApplication::sendEvent(&edit, &altDown);
    EXPECT_TRUE(altDown.isAccepted());
    EXPECT_EQ(TDialogSeam::Records().size(), 2u);

    // The dialog kind can change; the settings go with it.
    edit.SetDialogKind(dkSave);
    EXPECT_EQ(edit.Filter(), QStringLiteral("CDS files (*.cds)|*.cds"));
    edit.SetReadOnly(false);
    TDialogSeam::AnswerFiles({f.Folder() + QStringLiteral("new.cds")});
    edit.EditButtonClick();
    EXPECT_EQ(TDialogSeam::Records().back().Kind, TDialogRecord::SaveFile);
    EXPECT_EQ(edit.Text(), f.Folder() + QStringLiteral("new.cds"));
}

TEST(FilenameEdit, DroppedFiles)
{
    TFiles f;
    TFilenameEdit edit;
    int drops = 0;
    edit.OnDropFiles = [&](QObject*) { ++drops; };
    Drop(&edit, {f.Plain});
    EXPECT_TRUE(edit.Text().isEmpty());   // not accepting files
    edit.SetAcceptFiles(true);
    Drop(&edit, {f.Plain, f.Spaced, f.Folder() + QStringLiteral("third.cds")});
    EXPECT_EQ(edit.Text(), f.Plain);   // only the first without multiple selection
    EXPECT_TRUE(edit.Files().isEmpty());
    edit.SetDialogOptions({ofHideReadOnly, ofAllowMultiSelect});
    edit.DropNames({f.Plain, f.Spaced, f.Folder() + QStringLiteral("third.cds")});
    EXPECT_EQ(edit.Text(), f.Plain);
    EXPECT_EQ(edit.Files().size(), 3);
    EXPECT_EQ(drops, 2);
    EXPECT_THROW(edit.DropNames({f.Bracket}), EComboEditError);
    EXPECT_TRUE(edit.Files().isEmpty());   // cleared before the refusal
}

TEST(ComboEdit, ButtonWidthGlyphKindsAndTheTextArea)
{
    TFilenameEdit edit;
    edit.resize(200, 21);
    edit.show();
    EXPECT_EQ(edit.GlyphKind(), gkDefault);
    EXPECT_EQ(edit.ButtonWidth(), 21);   // the folder picture is 14 wide: 20, at least 21
    EXPECT_EQ(edit.Glyph().Width(), 14);
    EXPECT_FALSE(edit.ButtonWidthStored());
    EXPECT_EQ(edit.ButtonHost()->geometry(), QRect(200 - 21 - 2, 2, 21, 17));
    EXPECT_EQ(edit.EditRect().right(), 2 + (200 - 4 - 21 - 2) - 1);
    edit.SetButtonWidth(1);
    EXPECT_TRUE(edit.ButtonHost()->isHidden());
    EXPECT_TRUE(edit.ButtonWidthStored());
    edit.SetButtonWidth(21);
    EXPECT_FALSE(edit.ButtonHost()->isHidden());

    edit.SetGlyphKind(gkDropDown);
    EXPECT_EQ(edit.ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
    edit.resize(300, 21);
    EXPECT_EQ(edit.ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_FALSE(edit.ButtonWidthStored());

    edit.SetGlyphKind(gkEllipsis);
    edit.SetButtonWidth(18);   // a 12 x 4 picture: gap 3, dots at 0, 5 and 10
    const TBitmap& dots = edit.Glyph();
    ASSERT_EQ(dots.Width(), 12);
    for (int x : {0, 1, 5, 6, 10, 11}) EXPECT_EQ(dots.Pixel(x, 1), clBlack) << x;
    for (int x : {2, 4, 7, 9}) EXPECT_EQ(dots.Pixel(x, 1), clWhite) << x;
    EXPECT_EQ(dots.Pixel(0, 0), clWhite);
    edit.SetNumGlyphs(3);
    EXPECT_EQ(edit.NumGlyphs(), 1);

    // A height below what the font needs is raised.
    edit.resize(200, 5);
    EXPECT_EQ(edit.height(), edit.MinimumHeight());
    EXPECT_GE(TPropInfoList(&edit).FindProperty(QStringLiteral("Text")), 0);   // stored by the window storage
}

TEST(ComboEdit, EnterReachesTheDefaultButtonAndReadOnlyFollowsDirectInput)
{
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new TFilenameEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    layout->addWidget(edit);
    layout->addWidget(ok);
    int clicked = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++clicked; });
    dialog.show();
    edit->setFocus();
    edit->SetText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(edit->Text(), QStringLiteral("abc"));
    edit->SetDirectInput(false);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_FALSE(edit->ReadOnly());   // the button still browses
    edit->SetDirectInput(true);
    edit->SetReadOnly(true);
    EXPECT_TRUE(edit->isReadOnly());
    edit->setEnabled(false);
    EXPECT_FALSE(edit->Button()->isEnabled());
}

TEST(ComboEdit, PopupDropsBelowAndGivesItsValueBack)
{
    // A combo edit with a popup of its own, as a descendant would have.
    struct TPopupEdit : TCustomComboEdit {
        QWidget Panel{nullptr, Qt::Tool | Qt::FramelessWindowHint};
        TPopupEdit()
        {
            Panel.resize(80, 50);
            SetPopup(&Panel);
        }
    };
    TFixedScreen screen({800, 600});
    QWidget form;
    TPopupEdit edit;
    edit.setParent(&form);
    form.show();
    edit.setGeometry(10, 10, 150, 21);
    edit.SetText(QStringLiteral("old"));
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    edit.EditButtonClick();
    ASSERT_TRUE(edit.PopupVisible());
    EXPECT_EQ(edit.Panel.property("Value").toString(), QStringLiteral("old"));
    const QPoint p = edit.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(edit.Panel.pos(), QPoint(p.x() + 150 - 80, p.y() + 21));   // right-aligned below
    EXPECT_TRUE(edit.isReadOnly());   // typing is off while it is open
    edit.Panel.setProperty("Value", QStringLiteral("new"));
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_FALSE(edit.PopupVisible());
    EXPECT_FALSE(edit.Panel.isVisible());
    EXPECT_EQ(edit.Text(), QStringLiteral("new"));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(edit.isReadOnly());
    edit.EditButtonClick();
    edit.Panel.setProperty("Value", QStringLiteral("ignored"));
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_EQ(edit.Text(), QStringLiteral("new"));
    edit.setParent(nullptr);
}

TEST(DirectoryEdit, BrowsesAppendsAndConvertsSeveralFolders)
{
    TFiles f;
    QDir(f.Dir.path()).mkdir(QStringLiteral("B"));
    const QString a = f.Dir.path(), b = f.Dir.filePath(QStringLiteral("B"));
    TDirectoryEdit edit;
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    TDialogSeam::AnswerFiles({a});
    edit.EditButtonClick();
    EXPECT_EQ(edit.Text(), a);
    EXPECT_EQ(edit.InitialDir(), a);
    EXPECT_EQ(TDialogSeam::Records()[0].Kind, TDialogRecord::Directory);
    edit.SetMultipleDirs(true);
    TDialogSeam::AnswerFiles({b});
    edit.EditButtonClick();
    EXPECT_EQ(edit.Text(), a + ';' + b);
    EXPECT_EQ(changes, 2);
    edit.SetText(a + QStringLiteral(";;") + b);
    EXPECT_EQ(edit.GetLongFileName(), a + ';' + b);   // no empty piece between separators
    // A dropped file gives its folder.
    edit.SetAcceptFiles(true);
    edit.SetMultipleDirs(false);
    Drop(&edit, {f.Plain});
    EXPECT_EQ(edit.Text(), f.Folder());
}
