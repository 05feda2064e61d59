#include "gridlib/core/kqfieldlists.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/core/CoreTestObjects.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {
QStringList Lines(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* l : lines) out << QString::fromLatin1(l);
    return out;
}
} // namespace

TEST(ControlTypeLines, TheLastLineReadsTheFirstLineIsChanged)
{
    const QStringList list = Lines({"Price;CheckBox;Y;N", "Price;CustomEdit;EdPrice;F", "Memo;RichEdit", "Type"});
    struct Case {
        const char* field;
        const char* kind;
        const char* params;
    };
    const Case reads[] = {
        {"Price", "CustomEdit", "EdPrice;F"},   // the last line of the field wins
        {"price", "", ""},                      // exact case
        {"Memo", "RichEdit", ""},
        {"Type", "", ""},
        {"Nothing", "", ""},
    };
    for (const Case& c : reads) {
        QString kind, params;
        GetControlTypeEntry(list, QString::fromLatin1(c.field), kind, params);
        EXPECT_EQ(kind, QString::fromLatin1(c.kind)) << c.field;
        EXPECT_EQ(params, QString::fromLatin1(c.params)) << c.field;
    }
    QString kind, params;
    GetControlTypeEntry(QStringList{QStringLiteral("Long;Combo;") + QString(300, QLatin1Char('x'))},
                        QStringLiteral("Long"), kind, params);
    EXPECT_EQ(params.size(), 255);

    QStringList changed = list;
    StoreControlTypeEntry(changed, QStringLiteral("price"), QStringLiteral("Combo"), QStringLiteral("Cb;T"));
    EXPECT_EQ(changed[0], QStringLiteral("Price;Combo;Cb;T"));   // first line, its own spelling
    EXPECT_EQ(changed[1], list[1]);
    StoreControlTypeEntry(changed, QStringLiteral("MEMO"), QStringLiteral("FIELD"), QString());
    EXPECT_FALSE(changed.contains(QStringLiteral("Memo;RichEdit")));
    StoreControlTypeEntry(changed, QStringLiteral("New"), QString(), QString());
    StoreControlTypeEntry(changed, QStringLiteral("New"), QStringLiteral("field"), QString());
    EXPECT_EQ(changed.size(), 3);
    StoreControlTypeEntry(changed, QStringLiteral("Detail"), QStringLiteral("CustomEdit"), QStringLiteral("ExpandButton"));
    EXPECT_EQ(changed.last(), QStringLiteral("Detail;CustomEdit;ExpandButton"));

    for (const char* k : {"CustomEdit", "customedit", "LookupCombo", "Combo", "RichEdit"})
        EXPECT_TRUE(IsEditControlType(QString::fromLatin1(k)));
    for (const char* k : {"CheckBox", "Bitmap", "", "field", "URL-Link"}) EXPECT_FALSE(IsEditControlType(QString::fromLatin1(k)));
}

TEST(ControlTypeLines, ListsOfComponentsAndTheControlThatEditsAField)
{
    TListedDataSet ds;
    ds.Define({{"Price", ftInteger}, {"Name", ftWideString}, {"Notes", ftMemo}, {"Pic", ftBlob}});
    ds.ControlType = Lines({"Price;CheckBox;Y;N", "Price;CustomEdit;EdPrice;F", "Name;Combo", "Name;Combo;CbName;F"});
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);

    QWidget form;
    auto* edPrice = new QLineEdit(&form);
    edPrice->setObjectName(QStringLiteral("EdPrice"));
    auto* cbName = new QLineEdit(&form);
    cbName->setObjectName(QStringLiteral("CbName"));
    auto* grid = new TListedControl(&form);
    grid->DataSource = &source;
    grid->ControlType = Lines({"Price;CustomEdit;CbName;F"});

    // The dataset's list while the control follows it, else the control's own.
    EXPECT_EQ(ChooseControlTypeOwner(grid), &ds);
    EXPECT_EQ(FindCustomEditControl(grid, &form, ds.FieldByName(QStringLiteral("Price"))), edPrice);
    // The first deciding line has no control name: no control, later lines not examined.
    EXPECT_EQ(FindCustomEditControl(grid, &form, ds.FieldByName(QStringLiteral("Name"))), nullptr);
    grid->ControlInfoInDataset = false;
    EXPECT_EQ(ChooseControlTypeOwner(grid), grid);
    EXPECT_EQ(FindCustomEditControl(grid, &form, ds.FieldByName(QStringLiteral("Price"))), cbName);
    QObject nonWindowed(&form);
    nonWindowed.setObjectName(QStringLiteral("Plain"));
    grid->ControlType = Lines({"Price;CustomEdit;Plain;F"});
    EXPECT_EQ(FindCustomEditControl(grid, &form, ds.FieldByName(QStringLiteral("Price"))), nullptr);

    QString kind, params;
    GetControlTypeEntry(&ds, QStringLiteral("Price"), kind, params);
    EXPECT_EQ(kind, QStringLiteral("CustomEdit"));
    StoreControlTypeEntry(&ds, QStringLiteral("Detail"), QStringLiteral("CustomEdit"), QStringLiteral("ExpandButton;F"));
    EXPECT_EQ(ds.ControlType.last(), QStringLiteral("Detail;CustomEdit;ExpandButton;F"));
    QObject noList;
    StoreControlTypeEntry(&noList, QStringLiteral("Detail"), QStringLiteral("Combo"), QString());   // left alone

    // Rich text: a blob field marked in its dataset's list, or whose value begins "{\rtf".
    ds.Edit();
    ds.FieldByName(QStringLiteral("Pic"))->SetAsBytes(QByteArray("{\\rtf1 x}"));
    EXPECT_FALSE(IsRichTextField(ds.FieldByName(QStringLiteral("Pic")), false));
    EXPECT_TRUE(IsRichTextField(ds.FieldByName(QStringLiteral("Pic")), true));
    ds.FieldByName(QStringLiteral("Pic"))->SetAsBytes(QByteArray("{\\r"));
    EXPECT_FALSE(IsRichTextField(ds.FieldByName(QStringLiteral("Pic")), true));
    ds.Cancel();
    ds.ControlType << QStringLiteral("Notes;RichEdit");
    EXPECT_TRUE(IsRichTextField(ds.FieldByName(QStringLiteral("Notes")), false));
    ds.ControlType.last() = QStringLiteral("notes;RichEdit");   // exact case at the start
    EXPECT_FALSE(IsRichTextField(ds.FieldByName(QStringLiteral("Notes")), false));
    ds.ControlType << QStringLiteral("Price;RichEdit");
    EXPECT_FALSE(IsRichTextField(ds.FieldByName(QStringLiteral("Price")), false));   // not a blob field
}

TEST(PictureMaskLines, FlagsDefaultsAndStoring)
{
    const QStringList list = QStringList{QStringLiteral("Zip\t#####"), QStringLiteral("Phone\t###-####\tt\tT"),
                                         QStringLiteral("Code\t&&\tT\tF")};
    struct Case {
        const char* field;
        const char* mask;
        bool autoFill, gridValidate;
    };
    const Case reads[] = {
        {"Other", "", true, true},   // no line: both flags true
        {"ZIP", "#####", false, false},
        {"Phone", "###-####", false, true},   // only a capital T reads true
        {"Code", "&&", true, false},
    };
    for (const Case& c : reads) {
        const TkqPictureMaskEntry e = FindPictureMask(list, QString::fromLatin1(c.field));
        EXPECT_EQ(e.Mask, QString::fromLatin1(c.mask)) << c.field;
        EXPECT_EQ(e.AutoFill, c.autoFill) << c.field;
        EXPECT_EQ(e.GridValidate, c.gridValidate) << c.field;
    }

    QStringList changed = list;
    // An edit stores its mask and auto-fill, keeping the grid flag of the line.
    StorePictureMask(changed, QStringLiteral("phone"), QStringLiteral("(###)###-####"), true, false, true, true, false);
    EXPECT_EQ(changed[1], QStringLiteral("phone\t(###)###-####\tT\tT"));
    StorePictureMask(changed, QStringLiteral("Code"), QString(), false, true, false, false, true);
    EXPECT_EQ(changed[2], QStringLiteral("Code\t&&\tT\tT"));
    StorePictureMask(changed, QStringLiteral("Zip"), QString(), false, false, true, false, false);
    EXPECT_EQ(changed.size(), 2);
    StorePictureMask(changed, QStringLiteral("None"), QString(), true, true, true, true, true);
    EXPECT_EQ(changed.size(), 2);
    StorePictureMask(changed, QStringLiteral("Qty"), QStringLiteral("*#"), false, true, true, true, true);
    EXPECT_EQ(changed.last(), QStringLiteral("Qty\t*#\tF\tT"));

    TListedDataSet ds;
    ds.Define({{"Zip", ftWideString}});
    ds.Open();
    TDataSource source;
    source.SetDataSet(&ds);
    TListedControl edit;
    edit.DataSource = &source;
    EXPECT_EQ(ChoosePictureMaskOwner(&edit), &ds);
    edit.PictureMaskFromDataSet = false;
    EXPECT_EQ(ChoosePictureMaskOwner(&edit), &edit);
    StorePictureMask(&ds, QStringLiteral("Zip"), QStringLiteral("#####"), true, false, true, true, false);
    EXPECT_EQ(ds.PictureMasks, QStringList{QStringLiteral("Zip\t#####\tT\tF")});
    EXPECT_EQ(FindPictureMask(&ds, QStringLiteral("zip")).Mask, QStringLiteral("#####"));
}

TEST(PictureMaskLines, ATablesOwnPicturesWin)
{
    TPicturedTable table;
    table.PictureMasks = Lines({"Zip\t#####\tT\tF", "Name\t&*?"});
    // The table's picture is the mask, and the line that held another is rewritten to it.
    const TkqPictureMaskEntry zip = FindPictureMask(&table, QStringLiteral("zip"));
    EXPECT_EQ(zip.Mask, QStringLiteral("#####[-####]"));
    EXPECT_TRUE(zip.AutoFill);
    EXPECT_EQ(table.PictureMasks, Lines({"zip\t#####[-####]\tT\tF", "Name\t&*?"}));
    EXPECT_EQ(FindPictureMask(&table, QStringLiteral("Name")).Mask, QStringLiteral("&*?"));
    // Without the table's masks the list alone answers.
    table.PictureMasks = Lines({"Zip\t###"});
    EXPECT_EQ(FindPictureMask(&table, QStringLiteral("Zip"), false).Mask, QStringLiteral("###"));
    EXPECT_EQ(table.PictureMasks, Lines({"Zip\t###"}));
    // Storing a mask for such a field stores the table's picture.
    StorePictureMask(&table, QStringLiteral("Zip"), QStringLiteral("#"), false, true, true, true, true);
    EXPECT_EQ(table.PictureMasks, Lines({"Zip\t#####[-####]\tF\tT"}));
}

TEST(SelectedLines, PartsAndTheFieldsTheyLayOut)
{
    const QString line = QStringLiteral("Qty\t8\tQuantity");
    EXPECT_EQ(SelectedPart(line, 0), QStringLiteral("Qty"));
    EXPECT_EQ(SelectedPart(line, 3), QStringLiteral("F"));
    EXPECT_EQ(SelectedPart(QStringLiteral("Qty\t8\tQ\t"), 3), QStringLiteral("F"));
    EXPECT_EQ(SelectedPart(line, 4), QString());
    EXPECT_EQ(WithSelectedPart(line, 2, QStringLiteral("Qty.")), QStringLiteral("Qty\t8\tQty.\tF"));
    EXPECT_EQ(WithSelectedPart(line, 4, QStringLiteral("G")), QStringLiteral("Qty\t8\tQuantity\tF\tG"));
    EXPECT_EQ(WithSelectedPart(QStringLiteral("Value\t62\tFill Value\tF\t"), 1, QStringLiteral("60")),
              QStringLiteral("Value\t60\tFill Value\tF"));
    EXPECT_EQ(FindSelectedEntry(Lines({"A\t1\tA", "Name\t3\tN"}), QStringLiteral("NAME")), 1);
    EXPECT_EQ(FindSelectedEntry(Lines({"Names\t3\tN"}), QStringLiteral("Name")), -1);

    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}, {"City", ftWideString}});
    ds.Open();
    ApplySelectedToFields(&ds, Lines({"City\t12\tTown", "Missing\t3", "Id\t4\tNo."}));
    EXPECT_FALSE(ds.FieldByName(QStringLiteral("Name"))->Visible());
    EXPECT_EQ(ds.FieldByName(QStringLiteral("City"))->Index(), 0);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("City"))->DisplayLabel(), QStringLiteral("Town"));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Id"))->Index(), 2);   // the line's own position
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Id"))->DisplayWidth(), 4);
    QStringList built;
    BuildSelectedFromFields(&ds, built);
    EXPECT_EQ(built, Lines({"City\t12\tTown", "Id\t4\tNo."}));
    EXPECT_THROW(ApplySelectedToFields(&ds, Lines({"Id\twide\tNo."})), EConvertError);
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_THROW(ApplySelectedToFields(&ds, Lines({"Id\t4"})), EListError);
    EXPECT_FALSE(ds.ControlsDisabled());
    ApplySelectedToFields(&ds, {});
    for (TField* f : ds.Fields()) EXPECT_FALSE(f->Visible());
}

TEST(LookupLines, ReadersAndPurgingKeepThePairs)
{
    TListedDataSet ds;
    ds.Define({{"CustNo", ftInteger}, {"Company", ftWideString}, {"Rep", ftWideString}});
    ds.LookupFields = Lines({"Old;DB;old.db;Name;ByName", "Company;DBDEMOS;customer.db;Company;ByNo",
                             "Rep;DB2;emp.db;LastName;;EmpNo;Dept;N"});
    ds.LookupLinks = Lines({"OldNo;No", "CustNo;CustNo", "RepNo;EmpNo;Dept;Dept"});
    ds.ControlType = Lines({"Old;Combo;CbOld;F", "Company;Combo;CbCompany;F"});
    ds.Open();

    EXPECT_EQ(GetLookupLinkEntry(&ds, QStringLiteral("Company")), QStringLiteral("CustNo;CustNo"));
    EXPECT_EQ(GetLookupLinkEntry(&ds, QStringLiteral("company")), QString());   // exact case
    EXPECT_EQ(GetLookupResultFieldName(&ds, QStringLiteral("Rep")), QStringLiteral("LastName"));
    const TkqLookupTableInfo rep = GetLookupTableInfo(ds.FieldByName(QStringLiteral("Rep")));
    EXPECT_EQ(rep.DatabaseName, QStringLiteral("DB2"));
    EXPECT_EQ(rep.TableName, QStringLiteral("emp.db"));
    EXPECT_EQ(rep.ResultField, QStringLiteral("LastName"));
    EXPECT_EQ(rep.Links, QStringLiteral("RepNo;EmpNo;Dept;Dept"));
    const TkqLookupTableInfo none = GetLookupTableInfo(ds.FieldByName(QStringLiteral("CustNo")));
    EXPECT_EQ(none.DatabaseName, QStringLiteral("MAIN"));
    EXPECT_EQ(none.TableName, QString());

    PurgeMissingFieldEntries(&ds, &ds.LookupFields, &ds.LookupLinks, &ds.ControlType);
    EXPECT_EQ(ds.LookupFields.size(), 2);
    EXPECT_EQ(ds.LookupLinks, Lines({"CustNo;CustNo", "RepNo;EmpNo;Dept;Dept"}));
    EXPECT_EQ(ds.ControlType, Lines({"Company;Combo;CbCompany;F"}));
    PurgeMissingFieldEntries(&ds, nullptr, nullptr, nullptr);
}
