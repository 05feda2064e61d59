#include "gridlib/core/Kqdbspin.h"
#include "gridlib/core/kqcommon.h"
#include "tests/common/TestSupport.h"
#include "tests/gridlib/GridTestData.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

TEST(ControlTypeLines, EntriesAreFoundAndStoredByTheListRules)
{
    const QStringList list = {QStringLiteral("Price;CheckBox;Y;N"), QStringLiteral("Price;CustomEdit;EdPrice;F"),
                              QStringLiteral("Memo;RichEdit"), QStringLiteral("Type;CustomEdit;EdtTypes;F")};
    struct Case {
        const char* field;
        const char* kind;
        const char* params;
    };
    const Case reads[] = {
        {"Price", "CustomEdit", "EdPrice;F"},   // the last line of the field wins
        {"price", "", ""},                      // exact case
        {"Memo", "RichEdit", ""},
        {"Nothing", "", ""},
    };
    for (const Case& c : reads) {
        QString kind, params;
        GetControlTypeEntry(list, QString::fromLatin1(c.field), kind, params);
        EXPECT_EQ(kind, QString::fromLatin1(c.kind)) << c.field;
        EXPECT_EQ(params, QString::fromLatin1(c.params)) << c.field;
    }
    QStringList changed = list;
    StoreControlTypeEntry(changed, QStringLiteral("price"), QStringLiteral("Combo"), QStringLiteral("Cb;T"));
    EXPECT_EQ(changed[0], QStringLiteral("Price;Combo;Cb;T"));   // first line, its own spelling
    StoreControlTypeEntry(changed, QStringLiteral("TYPE"), QStringLiteral("Field"), QString());
    EXPECT_FALSE(changed.contains(QStringLiteral("Type;CustomEdit;EdtTypes;F")));
    StoreControlTypeEntry(changed, QStringLiteral("New"), QString(), QString());
    StoreControlTypeEntry(changed, QStringLiteral("Detail"), QStringLiteral("CustomEdit"), QStringLiteral("ExpandButton"));
    EXPECT_EQ(changed.size(), 4);
    EXPECT_EQ(changed.last(), QStringLiteral("Detail;CustomEdit;ExpandButton"));
    for (const char* k : {"CustomEdit", "customedit", "LookupCombo", "Combo", "RichEdit"}) EXPECT_TRUE(IsEditControlType(QString::fromLatin1(k)));
    for (const char* k : {"CheckBox", "Bitmap", "", "field"}) EXPECT_FALSE(IsEditControlType(QString::fromLatin1(k)));
}

TEST(SelectedLines, PartsAndTheFieldsTheyLayOut)
{
    const QString line = QStringLiteral("Qty\t8\tQuantity");
    EXPECT_EQ(SelectedPart(line, 0), QStringLiteral("Qty"));
    EXPECT_EQ(SelectedPart(line, 3), QStringLiteral("F"));
    EXPECT_EQ(SelectedPart(line, 4), QString());
    EXPECT_EQ(WithSelectedPart(line, 2, QStringLiteral("Qty.")), QStringLiteral("Qty\t8\tQty.\tF"));
    EXPECT_EQ(WithSelectedPart(line, 4, QStringLiteral("G")), QStringLiteral("Qty\t8\tQuantity\tF\tG"));
    EXPECT_EQ(FindSelectedEntry({QStringLiteral("A\t1\tA"), QStringLiteral("Name\t3\tN")}, QStringLiteral("NAME")), 1);

    TGridTestDataSet ds;
    ds.Define({{"Id", ftInteger}, {"Name", ftWideString}, {"City", ftWideString}});
    ds.Open();
    ApplySelectedToFields(&ds, {QStringLiteral("City\t12\tTown"), QStringLiteral("Missing\t3\tX"), QStringLiteral("Id\t4\tNo.")});
    EXPECT_FALSE(ds.FieldByName(QStringLiteral("Name"))->Visible());
    EXPECT_EQ(ds.FieldByName(QStringLiteral("City"))->Index(), 0);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("City"))->DisplayLabel(), QStringLiteral("Town"));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Id"))->DisplayWidth(), 4);
    QStringList built;
    BuildSelectedFromFields(&ds, built);
    EXPECT_EQ(built, (QStringList{QStringLiteral("City\t12\tTown"), QStringLiteral("Id\t4\tNo.")}));
    EXPECT_THROW(ApplySelectedToFields(&ds, {QStringLiteral("Id\twide\tNo.")}), EConvertError);
    EXPECT_FALSE(ds.ControlsDisabled());
    ApplySelectedToFields(&ds, {});
    for (TField* f : ds.Fields()) EXPECT_FALSE(f->Visible());
}

TEST(PropertiesByName, DataSourceFieldAndNamedControls)
{
    TGridTestDataSet ds;
    ds.Define({{"Size", ftWideString}});
    ds.AddRow({TVariant(QStringLiteral("50"))});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    QWidget form;
    auto* frame = new QWidget(&form);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* spin = new TkqDBSpinEdit(frame);
    spin->setObjectName(QStringLiteral("EdtSize"));
    EXPECT_EQ(FindNamedControl(&form, QStringLiteral("EdtSize")), spin);
    EXPECT_EQ(FindNamedControl(&form, QStringLiteral("Frame1.EdtSize")), spin);
    EXPECT_EQ(FindNamedControl(&form, QStringLiteral("Frame1.")), nullptr);
    EXPECT_EQ(FindNamedControl(&form, QStringLiteral("Nothing")), nullptr);
    EXPECT_TRUE(SetControlDataSource(spin, &source));
    EXPECT_TRUE(SetControlDataField(spin, QStringLiteral("Size")));
    EXPECT_EQ(GetControlDataSource(spin), &source);
    EXPECT_EQ(spin->Text(), QStringLiteral("50"));
    EXPECT_FALSE(SetControlDataSource(frame, &source));   // a control without the property
    EXPECT_TRUE(IsClassOrAncestorNamed(spin, "qspinbox"));
    EXPECT_FALSE(IsClassOrAncestorNamed(spin, "QLineEdit"));
}

TEST(PropertiesByName, EachChildWindowOfAFrameIsItsOwnForm)
{
    // Two child windows with controls of the same name: each control's form is its own window.
    QWidget frame;
    auto* area = new QMdiArea(&frame);
    QWidget* forms[2];
    QWidget* controls[2];
    for (int i = 0; i < 2; ++i) {
        forms[i] = new QWidget;
        controls[i] = new QLineEdit(new QWidget(forms[i]));
        controls[i]->setObjectName(QStringLiteral("ExpandButton"));
        area->addSubWindow(forms[i]);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FindOwnerForm(controls[i]), forms[i]);
        EXPECT_EQ(FindNamedControl(FindOwnerForm(controls[i]), QStringLiteral("ExpandButton")), controls[i]);
    }
    EXPECT_EQ(FindOwnerForm(&frame), &frame);
    QWidget plain;
    auto* inner = new QLineEdit(&plain);
    EXPECT_EQ(FindOwnerForm(inner), &plain);
    EXPECT_EQ(FindOwnerForm(nullptr), nullptr);
}

TEST(DBSpinEdit, StepsWriteTheFieldAndNullShowsEmpty)
{
    TGridTestDataSet ds;
    ds.Define({{"Size", ftWideString}});
    ds.AddRow({TVariant(QStringLiteral("50"))});
    ds.AddRow({TVariant::Null()});
    TDataSource source;
    source.SetDataSet(&ds);
    ds.Open();
    TkqDBSpinEdit spin;
    spin.SetMaxValue(32565);
    spin.SetDataSource(&source);
    spin.SetDataField(QStringLiteral("Size"));
    int changes = 0;
    spin.OnChange = [&](QObject*) { ++changes; };
    spin.stepBy(1);
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Size"))->AsString(), QStringLiteral("51"));
    EXPECT_EQ(changes, 1);
    ds.Post();
    ds.Next();
    EXPECT_TRUE(spin.Text().isEmpty());
    spin.SetReadOnly(true);
    spin.stepBy(1);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("Size"))->IsNull());
}
