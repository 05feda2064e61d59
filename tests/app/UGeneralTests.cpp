#include "app/ChildForm.h"
#include "app/Main.h"
#include "app/UGeneral.h"
#include "platform/core/SysUtils.h"
#include "tests/common/TestSupport.h"

#include <QCoreApplication>

#include <QMdiArea>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FieldTypeNames, NamesAndReverseLookup)
{
    struct Case {
        int Code;
        const char* Name;
    };
    const Case cases[] = {{0, "Unknown"},   {1, "String"},     {3, "Integer"},  {11, "DateTime"},
                          {17, "Graphic"},  {21, "TypedBinary"}, {24, "WideString"}, {25, "LargeInt"},
                          {29, "DataSet"},  {35, "Guid"},       {36, "UnKown"},  {37, "UnKown"},
                          {200, "UnKown"},  {-1, "UnKown"}};
    for (const Case& c : cases) EXPECT_EQ(FieldTypeName(c.Code), QLatin1String(c.Name)) << c.Code;
    // Every name leads back to its code.
    for (int code = 0; code <= 35; ++code) EXPECT_EQ(FieldTypeFromName(FieldTypeName(code)), code);

    struct Back {
        const char* Name;
        int Code;
    };
    const Back back[] = {{"Unknown", 0}, {"UnKown", 1}, {"string", 1}, {"", 1}, {"DataSet", 29},
                         {"dataset", 1}, {" Integer", 1}, {"Guid", 35}};
    for (const Back& b : back) EXPECT_EQ(FieldTypeFromName(QLatin1String(b.Name)), b.Code) << b.Name;
}

TEST(SplitDelimitedTest, Cases)
{
    struct Case {
        const char* Text;
        const char* Delimiters;
        QStringList Expected;
    };
    const Case cases[] = {
        {"a;b;c", ";", {"a", "b", "c"}},
        {"a;;b;", ";", {"a", "b"}},
        {";a", ";", {"a"}},
        {"", ";", {}},
        {";;;", ";", {}},
        {"a,b;c", ",;", {"a", "b", "c"}},
        {"\"a;b\";c", ";", {"\"a;b\"", "c"}},
        {"'x;y';z", ";", {"'x;y'", "z"}},
        // Either quote toggles the one state: the double quote closes the single one.
        {"'a;b\";c", ";", {"'a;b\"", "c"}},
        // An apostrophe switches quoting on: the delimiters after it no longer split.
        {"don't;stop;here", ";", {"don't;stop;here"}},
        {"a b\tc", " \t", {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        QStringList list;
        SplitDelimited(QString::fromUtf8(c.Text), QString::fromUtf8(c.Delimiters), list);
        EXPECT_EQ(list, c.Expected) << c.Text;
    }
    // The list is appended to, not cleared.
    QStringList list{"keep"};
    SplitDelimited("x;y", ";", list);
    EXPECT_EQ(list, (QStringList{"keep", "x", "y"}));
}

TEST(RowNavigationKey, OnlyPagingAndVerticalArrows)
{
    for (int key = 0; key < 256; ++key)
        EXPECT_EQ(IsRowNavigationKey(key), key == 33 || key == 34 || key == 38 || key == 40) << key;
}

TEST(DataFileKind, RealSamplesAndSignatures)
{
    EXPECT_EQ(DetectDataFileKind(SamplePath("demo-country.cds")), 1);
    EXPECT_EQ(DetectDataFileKind(SamplePath("demo-country.xml")), 1);
    EXPECT_EQ(DetectDataFileKind(SamplePath("demo-nextcust.cds")), 1);
    EXPECT_EQ(DetectDataFileKind(SamplePath("app-empty-Clientes.cds")), 1);

    QTemporaryDir dir;
    struct Case {
        const char* Name;
        QByteArray Bytes;
        int Kind;
    };
    const Case cases[] = {
        {"mem.dat", QByteArray("TPF0\x0bTzohMemTable", 17), 2},
        {"exact.xml", QByteArray("<?xm"), 1},
        {"bom.xml", QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\"?>"), 0},
        {"blank.xml", QByteArray(" <?xml version=\"1.0\"?>"), 0},
        {"upper.xml", QByteArray("<?XML version=\"1.0\"?>"), 0},
        {"text.cds", QByteArray("hello world"), 0},
        {"near.cds", QByteArray("\x96\x19\xE0\xBC", 4), 0},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.Name));
        WriteWholeFile(path, c.Bytes);
        EXPECT_EQ(DetectDataFileKind(path), c.Kind) << c.Name;
    }
}

TEST(DataFileKind, ShortMissingAndFolderRaise)
{
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.cds");
    WriteWholeFile(shortFile, QByteArray("\x96\x19\xE0", 3));
    const QString empty = dir.filePath("empty.cds");
    WriteWholeFile(empty, QByteArray());
    for (const QString& path : {shortFile, empty, dir.path()}) {
        try {
            DetectDataFileKind(path);
            ADD_FAILURE() << path.toStdString();
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), "Stream read error");
        }
    }
    const QString missing = dir.filePath("missing.cds");
    try {
        DetectDataFileKind(missing);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(e.Message().startsWith("Cannot open file \"" + missing + "\"")) << e.Message().toStdString();
    }
    EXPECT_THROW(DetectDataFileKind(QString()), EFOpenError);
}

namespace {
// A child window with nothing in it but its caption.
class TPlainChild : public TMDIChildForm {
public:
    explicit TPlainChild(const QString& caption)
    {
        SetCaption(caption);
        SetFormSize(300, 200);
    }
};
} // namespace

TEST(FileShownTwiceTest, CountsWindowCaptionsContainingThePath)
{
    TMainForm frame;
    frame.show();
    // The frame opens a tree window of its own when shown; close it to start clean.
    for (QMdiSubWindow* sub : frame.MdiArea()->subWindowList()) sub->close();
    QCoreApplication::processEvents();

    const QString path = "/data/sales.cds";
    EXPECT_FALSE(FileShownTwice(path));
    auto* first = new TPlainChild("View Data " + path);
    first->ShowChild();
    EXPECT_FALSE(FileShownTwice(path));
    auto* other = new TPlainChild("View Data /data/other.cds");
    other->ShowChild();
    EXPECT_FALSE(FileShownTwice(path));

    // A caption holding a longer path that begins with the given one counts (plain substring).
    auto* longer = new TPlainChild("View Data /data/sales.cds.bak");
    longer->ShowChild();
    EXPECT_TRUE(FileShownTwice(path));
    longer->CloseChild();
    EXPECT_FALSE(FileShownTwice(path));

    // Case matters; an empty path counts nothing.
    auto* upper = new TPlainChild("View Data /DATA/SALES.CDS");
    upper->ShowChild();
    EXPECT_FALSE(FileShownTwice(path));
    EXPECT_FALSE(FileShownTwice(QString()));

    auto* second = new TPlainChild("Create/Modify Structure " + path);
    second->ShowChild();
    EXPECT_TRUE(FileShownTwice(path));

    // A maximised child puts its caption into the frame's title too: still one window.
    second->CloseChild();
    first->SubWindow()->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame.windowTitle().contains(path)) << frame.windowTitle().toStdString();
    EXPECT_FALSE(FileShownTwice(path));
    frame.MdiArea()->closeAllSubWindows();
    QCoreApplication::processEvents();
}
