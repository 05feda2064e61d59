#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
ino_t InodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

TEST(IniFile, NewFileLayoutIsFixed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarrow.ini");
    {
        TIniFile ini(path);
        ini.WriteString("MainForm", "FormVersion", "0");
        ini.WriteInteger("MainForm", "Flags", 0);
        ini.WriteString("TreeDir\\TFrmTree.MRUManager", "Item_0", "/data/a");
        ini.WriteString("MainForm", "NormPos(1024x768)", "10,20,300,400");
        ini.WriteBool("MainForm", "Visible", false);
        ini.WriteString("TreeDir", "EdtFilter_Text", "*.cds");
    }
    EXPECT_EQ(ReadWholeFile(path), "[MainForm]\n"
                                   "FormVersion=0\n"
                                   "Flags=0\n"
                                   "NormPos(1024x768)=10,20,300,400\n"
                                   "Visible=0\n"
                                   "\n"
                                   "[TreeDir\\TFrmTree.MRUManager]\n"
                                   "Item_0=/data/a\n"
                                   "\n"
                                   "[TreeDir]\n"
                                   "EdtFilter_Text=*.cds\n");
}

TEST(IniFile, UpdatesInPlaceAndKeepsWhatItDoesNotKnow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarrow.ini");
    WriteWholeFile(path, "; kept comment\r\n"
                         "stray line\r\n"
                         "[mainform]\r\n"
                         "  flags = 2  \r\n"
                         "Raw=\xff\xfe bytes\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "x=1\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("MAINFORM", "FLAGS", "?"), "2");
    ini.WriteInteger("MainForm", "Flags", 0);        // replaced where it stands, in the file's spelling
    ini.WriteString("MainForm", "ShowCmd", "1");      // appended to the section, before its blank line
    ini.WriteString("Other", "X", "1");               // unchanged value: nothing to save
    ini.WriteString("New", "k", "v");
    EXPECT_EQ(ReadWholeFile(path), "; kept comment\n"
                                   "stray line\n"
                                   "[mainform]\n"
                                   "flags=0\n"
                                   "Raw=\xff\xfe bytes\n"
                                   "ShowCmd=1\n"
                                   "\n"
                                   "[Other]\n"
                                   "x=1\n"
                                   "\n"
                                   "[New]\n"
                                   "k=v\n");
}

TEST(IniFile, ReadRules)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("r.ini");
    WriteWholeFile(path, "[S]\n"
                         "dq=\"quoted text\"\n"
                         "sq='single'\n"
                         "mixed=\"not'\n"
                         "one=\"\n"
                         "twice=\"\"a\"\"\n"
                         "spaces =   padded   \n"
                         "empty=\n"
                         "eq=a=b\n"
                         "NormPos(1024x768)=1,2,3,4\n"
                         "dup=first\n"
                         "dup=second\n"
                         "[s]\n"
                         "later=ignored\n");
    TIniFile ini(path);
    struct Case { const char* key; const char* expected; };
    const Case cases[] = {
        {"dq", "quoted text"}, {"sq", "single"}, {"mixed", "\"not'"}, {"one", "\""}, {"twice", "\"a\""},
        {"SPACES", "padded"}, {"empty", ""}, {"eq", "a=b"}, {"normpos(1024X768)", "1,2,3,4"},
        {"dup", "first"}, {"later", "<default>"}, {"missing", "<default>"},
    };
    for (const Case& c : cases) EXPECT_EQ(ini.ReadString("S", c.key, "<default>"), QString(c.expected)) << c.key;
    EXPECT_EQ(ini.ReadString("Nope", "dq", "d"), "d");
    EXPECT_EQ(ini.ReadSection("s"), QStringList({"dq", "sq", "mixed", "one", "twice", "spaces", "empty", "eq",
                                                 "NormPos(1024x768)", "dup", "dup"}));
    EXPECT_EQ(ini.ReadSections(), QStringList{"S"});
    EXPECT_TRUE(ini.ValueExists("s", "EMPTY"));
    EXPECT_FALSE(ini.ValueExists("s", "later"));
}

TEST(IniFile, Numbers)
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("n.ini"));
    ini.BeginUpdate();
    struct Case { const char* text; int expected; };
    const Case cases[] = {
        {"42", 42}, {" -7 ", -7}, {"+3", 3}, {"$1F", 31}, {"0x10", 16}, {"$FFFFFFFF", -1},
        {"2147483647", 2147483647}, {"2147483648", 99}, {"12abc", 99}, {"", 99}, {"True", 99}, {"--1", 99},
    };
    for (const Case& c : cases) {
        ini.WriteString("N", "v", c.text);
        EXPECT_EQ(ini.ReadInteger("N", "v", 99), c.expected) << c.text;
    }
    ini.WriteBool("N", "b", true);
    EXPECT_EQ(ini.ReadString("N", "b", ""), "1");
    EXPECT_TRUE(ini.ReadBool("N", "b", false));
    ini.WriteString("N", "b", "True");   // not a number: the default
    EXPECT_FALSE(ini.ReadBool("N", "b", false));
}

TEST(IniFile, EraseAndDelete)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("e.ini");
    WriteWholeFile(path, "[A]\na=1\n\n[B]\nb=1\nb2=2\n\n[C]\nc=1\n\n[b]\nagain=1\n");
    TIniFile ini(path);
    ini.EraseSection("b");   // every block of that name
    EXPECT_EQ(ReadWholeFile(path), "[A]\na=1\n\n[C]\nc=1\n");
    ini.DeleteKey("C", "C");
    ini.DeleteKey("C", "missing");
    EXPECT_EQ(ReadWholeFile(path), "[A]\na=1\n\n[C]\n");
    ini.EraseSection("C");
    ini.WriteString("C", "n", "2");
    EXPECT_EQ(ReadWholeFile(path), "[A]\na=1\n\n[C]\nn=2\n");
}

TEST(IniFile, SavesOncePerUpdateAndOnlyWhenChanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("u.ini");
    WriteWholeFile(path, "[S]\nk=v\n");
    const ino_t before = InodeOf(path);
    {
        TIniFile ini(path);
        ini.BeginUpdate();
        ini.WriteString("S", "k", "v");
        EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
        ini.EndUpdate();
    }
    EXPECT_EQ(InodeOf(path), before);   // nothing changed: the file was not rewritten
    {
        TIniFile ini(path);
        ini.BeginUpdate();
        ini.WriteString("S", "k", "w");
        ini.WriteString("S", "k2", "x");
        EXPECT_EQ(ReadWholeFile(path), "[S]\nk=v\n");
        ini.EndUpdate();
    }
    EXPECT_EQ(ReadWholeFile(path), "[S]\nk=w\nk2=x\n");
}

TEST(IniFile, LineBreaksCannotInjectKeys)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("l.ini");
    TIniFile ini(path);
    ini.WriteString("S", "text", "a\r\n[Evil]\nk=1");
    EXPECT_EQ(ReadWholeFile(path), "[S]\ntext=a [Evil] k=1\n");
    EXPECT_EQ(TIniFile(path).ReadSections(), QStringList{"S"});
}

TEST(IniFile, UnreadableFileReadsEmptyAndIsNeverOverwritten)
{
    QTemporaryDir dir;
    // A folder where the file should be, and a file too large to be a settings file.
    QDir(dir.path()).mkdir("folder.ini");
    const QString big = dir.filePath("big.ini");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(TIniFile::MaxFileSize + 1));
    }
    for (const QString& path : {dir.filePath("folder.ini"), big}) {
        TIniFile ini(path);
        EXPECT_FALSE(ini.LoadError().isEmpty());
        EXPECT_EQ(ini.ReadString("S", "k", "d"), "d");
        EXPECT_THROW(ini.WriteString("S", "k", "v"), EFCreateError);
    }
    EXPECT_EQ(QFileInfo(big).size(), TIniFile::MaxFileSize + 1);
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.ini")).isDir());

    // A missing file is simply empty, and is created by the first write.
    TIniFile fresh(dir.filePath("sub/none.ini"));
    EXPECT_TRUE(fresh.LoadError().isEmpty());
    EXPECT_THROW(fresh.WriteString("S", "k", "v"), EFCreateError);   // its folder does not exist
}

TEST(IniFile, RegistryVariantKeepsNothing)
{
    TRegIniFile reg("Software\\Quarrow");
    reg.WriteString("S", "k", "v");
    reg.WriteInteger("S", "i", 5);
    EXPECT_EQ(reg.ReadString("S", "k", "d"), "d");
    EXPECT_EQ(reg.ReadInteger("S", "i", 7), 7);
    EXPECT_FALSE(reg.SectionExists("S"));
}
