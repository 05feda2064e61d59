#include "UtilitiesTestSupport.h"
#include "utilities/FindFile.h"

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// root: files of every kind, two subfolders (one nested), a hidden folder and links that loop.
class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = Dir.path();
        QDir d(Root);
        for (const char* sub : {"sub1/deep", "sub2", ".hid", "empty/inner"}) d.mkpath(sub);
        for (const char* f : {"b.cds", "A.CDS", ".hidden.cds", "noext", "ro.cds", "with,comma.cds", "sub1/x.cds",
                              "sub1/deep/y.cds", "sub2/z.xml", ".hid/h.cds", "empty/inner/i.cds"})
            WriteWholeFile(d.filePath(f), QByteArray(10, 'x'));
        ::chmod(QFile::encodeName(d.filePath("ro.cds")).constData(), 0444);
        ::symlink("sub1", QFile::encodeName(d.filePath("link")).constData());
        ::symlink(".", QFile::encodeName(d.filePath("loop")).constData());
    }
    QStringList Paths(const TFindFile& f) const
    {
        QStringList paths;
        for (const QString& line : f.Files()) paths << TFindFile::PathOfLine(line).mid(Root.size() + 1);
        return paths;
    }
    QTemporaryDir Dir;
    QString Root;
};
} // namespace

TEST_F(FindFileTest, OneFolderInNameOrder)
{
    TFindFile f;
    f.SetDirectory(Root);
    f.Execute();
    EXPECT_EQ(Paths(f), QStringList({".hidden.cds", "A.CDS", "b.cds", "noext", "ro.cds", "with,comma.cds"}));
    EXPECT_EQ(f.FileCount(), 6);
    EXPECT_EQ(f.FolderCount(), 0);
    EXPECT_EQ(f.TotalSize(), 60);
    // Each line: the full path (commas and all), its size and its time.
    const QString line = f.Files().last();
    EXPECT_TRUE(line.startsWith(Root + "/with,comma.cds,10,")) << line.toStdString();
    EXPECT_EQ(line.count(','), 3);

    f.SetDirectory(Root + "/");
    f.SetFilter("*.cds");
    f.Execute();
    EXPECT_EQ(Paths(f), QStringList({".hidden.cds", "A.CDS", "b.cds", "ro.cds", "with,comma.cds"}));
}

TEST_F(FindFileTest, Attributes)
{
    struct Case { TAttrOptions attrs; QStringList expected; int folders; };
    const Case cases[] = {
        {ffArchive, {"A.CDS", "b.cds", "noext", "ro.cds", "with,comma.cds"}, 0},            // no hidden entries
        {ffReadOnly, {"A.CDS", "b.cds", "noext", "ro.cds", "with,comma.cds"}, 0},           // changes nothing
        {ffDirectory, {"A.CDS", "b.cds", "empty", "link", "loop", "noext", "ro.cds", "sub1", "sub2", "with,comma.cds"}, 5},
        {ffDirectory | ffHidden, {".hid", ".hidden.cds", "A.CDS", "b.cds", "empty", "link", "loop", "noext", "ro.cds", "sub1",
                                  "sub2", "with,comma.cds"}, 5},   // a hidden folder is no plain folder
    };
    for (const Case& c : cases) {
        TFindFile f;
        f.SetDirectory(Root);
        f.SetAttributes(c.attrs);
        f.Execute();
        EXPECT_EQ(Paths(f), c.expected) << int(c.attrs);
        EXPECT_EQ(f.FolderCount(), c.folders) << int(c.attrs);
    }
}

TEST_F(FindFileTest, RecursesBreadthFirstWithoutLooping)
{
    TFindFile f;
    f.SetDirectory(Root);
    f.SetFilter("*.cds");
    f.SetRecurse(true);
    QStringList folders;
    f.OnNewPath = [&](const QString& path, bool&) { folders << path.mid(Root.size()); };
    f.Execute();
    EXPECT_EQ(folders, QStringList({"/", "/.hid/", "/empty/", "/sub1/", "/sub2/", "/empty/inner/", "/sub1/deep/"}));
    EXPECT_EQ(Paths(f), QStringList({".hidden.cds", "A.CDS", "b.cds", "ro.cds", "with,comma.cds", ".hid/h.cds", "sub1/x.cds",
                                     "empty/inner/i.cds", "sub1/deep/y.cds"}));

    // Stopping at the second folder keeps the first folder's lines; the next search starts over.
    f.OnNewPath = [&](const QString& path, bool& abort) { abort = path.endsWith("/.hid/"); };
    f.Execute();
    EXPECT_EQ(Paths(f).size(), 5);
    f.OnNewPath = nullptr;
    f.Execute();
    EXPECT_EQ(Paths(f).size(), 9);
}

TEST_F(FindFileTest, FindOne)
{
    TFindFile f;
    f.SetDirectory(Root);
    f.SetFindOne(true);
    f.SetAttributes(f.Attributes() | ffDirectory);
    f.Execute();
    EXPECT_TRUE(f.Files().isEmpty());   // "." came first

    f.SetDirectory(Root + "/empty");
    f.SetAttributes(ffArchive);
    f.SetRecurse(true);
    f.Execute();
    EXPECT_EQ(Paths(f), QStringList{"empty/inner/i.cds"});
}

TEST_F(FindFileTest, NothingToSearch)
{
    int before = 0, after = 0;
    TFindFile f;
    f.BeforeExecute = [&] { ++before; };
    f.AfterExecute = [&] { ++after; };
    f.Execute();
    EXPECT_TRUE(f.Files().isEmpty());
    EXPECT_EQ(before + after, 2);
    f.SetDirectory(Root + "/missing");
    f.SetRecurse(true);
    f.Execute();
    EXPECT_TRUE(f.Files().isEmpty());
    f.SetDirectory(Root + "/b.cds");   // a file is no folder
    f.Execute();
    EXPECT_TRUE(f.Files().isEmpty());
}

TEST(FindFilePatterns, Matching)
{
    struct Case { const char* name; const char* pattern; bool match; };
    const Case cases[] = {
        {"data.cds", "*.*", true}, {"noext", "*.*", true}, {".hidden", "*.*", true}, {"DATA.CDS", "*.cds", true},
        {"data.cds.bak", "*.cds", false}, {"a.cds", "?.cds", true}, {"ab.cds", "?.cds", false}, {"abc", "abc.*", true},
        {"abc.x", "abc.*", true}, {"abd", "abc.*", false}, {"x", "", false}, {"a*b", "a*b", true}, {"aXYZb", "a*b", true},
    };
    for (const Case& c : cases) EXPECT_EQ(TFindFile::MatchesPattern(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
    EXPECT_EQ(TFindFile::PathOfLine("/a,b/c.cds,10,123"), "/a,b/c.cds");
    EXPECT_EQ(TFindFile::PathOfLine("/a/c.cds,10,123"), "/a/c.cds");
}
