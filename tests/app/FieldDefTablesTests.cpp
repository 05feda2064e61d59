#include "app/UGeneral.h"
#include "platform/client/ClientDataSet.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList FieldNames(const TDataSet& ds)
{
    QStringList names;
    for (TField* f : ds.Fields()) names << f->FieldName();
    return names;
}

QStringList Column(TDataSet& ds, const char* field)
{
    QStringList values;
    ds.First();
    while (!ds.Eof()) {
        values << ds.FieldByName(field)->AsString();
        ds.Next();
    }
    return values;
}

void AddRow(TClientDataSet& t, int pos, const QString& name, const QString& type, const QString& size,
            const QString& orgName = QString())
{
    t.Append();
    t.FieldByName("Pos")->SetAsInteger(pos);
    t.FieldByName("Name")->SetAsString(name);
    t.FieldByName("Type")->SetAsString(type);
    t.FieldByName("Size")->SetAsString(size);
    t.FieldByName("OrgName")->SetAsString(orgName);
    t.Post();
}

} // namespace

TEST(FieldDefTables, MasterShapeOrderIndexAndCalculation)
{
    TClientDataSet t;
    CreateFieldDefsTable(&t);
    ASSERT_TRUE(t.Active());
    EXPECT_EQ(FieldNames(t), (QStringList{"Pos", "Name", "Detail", "Type", "Size", "OrgName"}));
    EXPECT_EQ(t.FieldByName("Name")->DataType(), ftWideString);
    EXPECT_EQ(t.FieldByName("Name")->Size(), 60);
    EXPECT_EQ(t.FieldByName("Size")->Size(), 20);
    EXPECT_EQ(t.FieldByName("OrgName")->DataType(), ftString);
    EXPECT_EQ(t.FieldByName("OrgName")->Size(), 30);
    EXPECT_FALSE(t.FieldByName("OrgName")->Visible());
    EXPECT_EQ(t.FieldByName("Detail")->DisplayLabel(), " ");
    EXPECT_EQ(t.FieldByName("Detail")->DisplayWidth(), 2);
    EXPECT_EQ(t.FieldByName("Pos")->DisplayWidth(), 6);
    EXPECT_EQ(t.FieldByName("Type")->DisplayWidth(), 30);
    EXPECT_EQ(t.FieldByName("Size")->DisplayWidth(), 10);

    AddRow(t, 3, "Items", "DataSet", "0", "Items");
    AddRow(t, 1, "ID", "Integer", "0", "ID");
    AddRow(t, 2, "Lower", "dataset", "0");
    EXPECT_EQ(Column(t, "Name"), (QStringList{"ID", "Lower", "Items"}));
    EXPECT_EQ(Column(t, "Detail"), (QStringList{"0", "0", "1"}));

    // Names are unique; Name, Type and Size are required.
    EXPECT_THROW(AddRow(t, 4, "ID", "String", "10"), EDatabaseError);
    t.Cancel();
    t.Append();
    t.FieldByName("Pos")->SetAsInteger(5);
    t.FieldByName("Type")->SetAsString("String");
    t.FieldByName("Size")->SetAsString("1");
    EXPECT_THROW(t.Post(), EDatabaseError);
    t.Cancel();

    // Created again: empty, same shape.
    CreateFieldDefsTable(&t);
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.FieldCount(), 6);
}

TEST(FieldDefTables, DetailAndClipboardShapes)
{
    TClientDataSet detail;
    CreateDetailTable(&detail);
    EXPECT_EQ(FieldNames(detail), (QStringList{"Pos", "Name", "Type", "Size", "OrgName", "Detail"}));
    EXPECT_FALSE(detail.FieldByName("Detail")->Visible());
    EXPECT_EQ(detail.FieldByName("Detail")->DataType(), ftSmallint);
    EXPECT_FALSE(detail.FieldByName("Size")->Required());
    AddRow(detail, 2, "B", "String", "");
    AddRow(detail, 1, "A", "Integer", "0");
    EXPECT_EQ(Column(detail, "Name"), (QStringList{"A", "B"}));
    EXPECT_EQ(Column(detail, "Detail"), (QStringList{"1", "1"}));

    TClientDataSet clip;
    CreateFieldDefsClipboard(&clip);
    EXPECT_EQ(FieldNames(clip), (QStringList{"Pos", "Name", "Type", "Size", "Precision", "OrgName"}));
    EXPECT_TRUE(clip.IsEmpty());
    clip.Append();
    clip.FieldByName("Pos")->SetAsInteger(2);
    clip.FieldByName("Name")->SetAsString("Z");
    clip.Post();
    clip.Append();
    clip.FieldByName("Pos")->SetAsInteger(1);
    clip.FieldByName("Name")->SetAsString("Y");
    clip.Post();
    EXPECT_EQ(Column(clip, "Name"), (QStringList{"Z", "Y"}));
    clip.Append();
    clip.FieldByName("Name")->SetAsString("Z");
    EXPECT_THROW(clip.Post(), EDatabaseError);
    clip.Cancel();
}

TEST(NestedStructure, FindsTheNestedFieldByItsFileNameElseAPlaceholder)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("orders, nested é.cds");
    WriteNestedFile(file);
    TClientDataSet master;
    CreateFieldDefsTable(&master);
    TClientDataSet nested;
    CreateDetailTable(&nested);

    struct Case {
        const char* Name;
        const char* OrgName;
        QString Path;
        QStringList Expected;   // "Name Type(Size)" of the appended rows
    };
    const QStringList items{"Code String(10)", "Qty Integer(0)"};
    const QStringList dummy{"Dummy String(50)"};
    const Case cases[] = {
        {"Items", "Items", file, items},
        {"Renamed", "Items", file, items},         // the name it has in the file counts
        {"Items", "", file, items},                // a row the user added: its name
        {"ID", "ID", file, dummy},                 // not a nested-dataset field
        {"Gone", "Gone", file, dummy},             // no such field
        {"Items", "Items", dir.filePath("missing.cds"), dummy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CreateFieldDefsTable(&master);
        AddRow(master, 1, c.Name, "DataSet", "0", c.OrgName);
        CreateDetailTable(&nested);
        LoadNestedStructure(&master, &nested, c.Path);
        QStringList rows;
        nested.First();
        while (!nested.Eof()) {
            rows << QStringLiteral("%1 %2(%3)").arg(nested.FieldByName("Name")->AsString(),
                                                     nested.FieldByName("Type")->AsString(),
                                                     nested.FieldByName("Size")->AsString());
            EXPECT_EQ(nested.FieldByName("OrgName")->AsString(), nested.FieldByName("Name")->AsString());
            nested.Next();
        }
        EXPECT_EQ(rows, c.Expected);
        EXPECT_EQ(nested.ChangeCount(), 0);
        EXPECT_FALSE(nested.ControlsDisabled());
    }

    // Rows are appended to what the table holds (the placeholder of the last case).
    LoadNestedStructure(&master, &nested, file);
    EXPECT_EQ(Column(nested, "Name"), (QStringList{"Dummy", "Code", "Qty"}));
}

TEST(NestedStructure, UnreadableFileRaisesWithControlsEnabledAgain)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.cds");
    WriteWholeFile(bad, QByteArray("\x96\x19\xE0\xBD garbage", 12));
    TClientDataSet master;
    CreateFieldDefsTable(&master);
    AddRow(master, 1, "Items", "DataSet", "0", "Items");
    TClientDataSet nested;
    CreateDetailTable(&nested);
    EXPECT_THROW(LoadNestedStructure(&master, &nested, bad), EDatabaseError);
    EXPECT_FALSE(nested.ControlsDisabled());
    EXPECT_TRUE(nested.IsEmpty());
}
