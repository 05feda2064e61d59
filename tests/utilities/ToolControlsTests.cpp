#include "platform/vcl/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "utilities/ToolEdit.h"
#include "utilities/VZProps.h"
#include "utilities/VZSpin.h"
#include "utilities/VZSplit.h"

#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(FilenameEdit, FileNameFromTheTextAndBrowsing)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("with blank.cds"));
    WriteWholeFile(existing, "x");
    TFilenameEdit edit;
    struct Case {
        QString text;
        QString name;
    };
    const Case cases[] = {
        {existing, existing},                                              // an existing file, blanks and all
        {QStringLiteral("\"/tmp/a b.cds\" -x"), QStringLiteral("/tmp/a b.cds")},   // quotes removed
        {QStringLiteral("/tmp/new.cds /param"), QStringLiteral("/tmp/new.cds")},   // parameters dropped
        {QStringLiteral("  plain.xml"), QStringLiteral("plain.xml")},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        edit.SetText(c.text);
        EXPECT_EQ(edit.GetFileName(), c.name) << c.text.toStdString();
    }
    QStringList changes;
    edit.OnChange = [&](QObject*) { changes << edit.Text(); };
    edit.Filter = QStringLiteral("CDS files (*.cds)|*.cds");
    edit.SetInitialDir(dir.path());
    TDialogSeam::AnswerFiles({existing, QString()});
    edit.DoClick();
    EXPECT_EQ(edit.Text(), existing);
    edit.DoClick();   // cancelled: nothing changes
    EXPECT_EQ(changes, QStringList{existing});
    ASSERT_EQ(TDialogSeam::Records().size(), 2u);
    EXPECT_EQ(TDialogSeam::Records()[0].Kind, TDialogRecord::OpenFile);
    edit.SetText(QStringLiteral("typed"));
    EXPECT_EQ(changes.last(), QStringLiteral("typed"));
}

TEST(DirectoryEdit, BrowsesAndKeepsItsTextAsAStoredProperty)
{
    TDirectoryEdit edit;
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    TDialogSeam::AnswerFiles({QStringLiteral("/data/files")});
    edit.DoClick();
    EXPECT_EQ(edit.Text(), QStringLiteral("/data/files"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(TDialogSeam::Records()[0].Kind, TDialogRecord::Directory);
    // The window storage finds the stored properties of these controls by name.
    EXPECT_GE(TPropInfoList(&edit).FindProperty(QStringLiteral("Text")), 0);
    TVzSpinEdit spin;
    EXPECT_GE(TPropInfoList(&spin).FindProperty(QStringLiteral("Value")), 0);
}

TEST(VzSpinEdit, LimitsIntegerValueAndChangeEvent)
{
    TVzSpinEdit spin;
    int changes = 0;
    spin.OnChange = [&](QObject*) { ++changes; };
    spin.SetIntValue(250000);   // no limits while MinValue equals MaxValue
    EXPECT_EQ(spin.GetIntValue(), 250000);
    spin.SetMinValue(0);
    spin.SetMaxValue(99);
    EXPECT_EQ(spin.GetIntValue(), 99);
    spin.SetIntValue(-5);
    EXPECT_EQ(spin.GetIntValue(), 0);
    spin.stepBy(3);
    EXPECT_EQ(spin.GetIntValue(), 3);
    EXPECT_EQ(spin.text(), QStringLiteral("3"));
    EXPECT_EQ(changes, 4);
}

TEST(VzSplitter, DraggingResizesTheControlBelow)
{
    QWidget form;
    form.resize(300, 300);
    auto* layout = new QVBoxLayout(&form);
    auto* top = new QWidget(&form);
    auto* splitter = new TVzSplitter(&form);
    splitter->setFixedHeight(12);
    auto* bottom = new QWidget(&form);
    bottom->setFixedHeight(100);
    layout->addWidget(top);
    layout->addWidget(splitter);
    layout->addWidget(bottom);
    splitter->SetControlFirst(bottom);
    form.show();
    QTest::mousePress(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseMove(splitter, QPoint(10, -25));
    QTest::mouseRelease(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, -25));
    EXPECT_EQ(bottom->height(), 130);
    // Escape cancels a drag.
    QTest::mousePress(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseMove(splitter, QPoint(10, 60));
    QTest::keyClick(splitter, Qt::Key_Escape);
    QTest::mouseRelease(splitter, Qt::LeftButton, Qt::NoModifier, QPoint(10, 60));
    EXPECT_EQ(bottom->height(), 130);
}
