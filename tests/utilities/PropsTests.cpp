#include "UtilitiesTestSupport.h"
#include "utilities/VZProps.h"

#include <QElapsedTimer>
#include <QMap>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
class TNested : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(int Size MEMBER Size)
public:
    using QObject::QObject;
    QString Name = "Sans";
    int Size = 8;
};

class THolder : public QWidget {
    Q_OBJECT
public:
    enum TAlign { alNone, alLeft, alRight };
    Q_ENUM(TAlign)
    enum TOption { opA = 0x1, opB = 0x2, opC = 0x4 };
    Q_DECLARE_FLAGS(TOptions, TOption)
    Q_FLAG(TOptions)
private:
    Q_PROPERTY(int Count MEMBER Count)
    Q_PROPERTY(qint64 Big MEMBER Big)
    Q_PROPERTY(bool Checked MEMBER Checked)
    Q_PROPERTY(TAlign Align MEMBER Align)
    Q_PROPERTY(TOptions Options READ GetOptions WRITE SetOptions)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(float Single MEMBER Single)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(QChar Letter MEMBER Letter)
    Q_PROPERTY(QVariant Data MEMBER Data)
    Q_PROPERTY(QStringList Lines MEMBER Lines)
    Q_PROPERTY(QWidget* Buddy MEMBER Buddy)
    Q_PROPERTY(TNested* Font MEMBER Font)
public:
    explicit THolder(QWidget* parent = nullptr) : QWidget(parent)
    {
        setObjectName("Holder");
        Font = new TNested(this);
    }
    int Count = 42;
    qint64 Big = 5000000000;
    bool Checked = true;
    TAlign Align = alRight;
    TOptions Options = TOptions(opA | opC);
    TOptions GetOptions() const { return Options; }
    void SetOptions(TOptions value) { Options = value; }
    double Ratio = 2.5;
    float Single = 0.1f;
    QString Text = "  padded text ";
    QChar Letter = 'x';
    QVariant Data = QVariant(7);
    QStringList Lines{"one", "two"};
    QWidget* Buddy = nullptr;
    TNested* Font;
};

// A collection property: items with properties of their own.
class TPanelItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(int Width MEMBER Width)
public:
    using QObject::QObject;
    QString Text;
    int Width = 50;
};

class TPanels : public QObject, public TStoredCollection {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize MEMBER AutoSize)
public:
    using QObject::QObject;
    bool AutoSize = false;
    QList<TPanelItem*> Items;
    QStringList Brackets;   // "begin" and "end" as the updates run
    int CollectionCount() const override { return int(Items.size()); }
    QObject* CollectionItem(int index) const override { return Items.value(index); }
    QObject* AddCollectionItem() override { return Items.emplace_back(new TPanelItem(this)); }
    void ClearCollection() override
    {
        qDeleteAll(Items);
        Items.clear();
    }
    void BeginCollectionUpdate() override { Brackets << "begin"; }
    void EndCollectionUpdate() override { Brackets << "end"; }
};

class TBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TPanels* Panels MEMBER Panels)
public:
    explicit TBar(QWidget* parent) : QWidget(parent), Panels(new TPanels(this)) { setObjectName("StatusBar1"); }
    TPanels* Panels;
};

// The settings file, as the storage sees it through its three operations.
struct TFakeSettings {
    QStringList Log;
    QMap<QString, QString> Values;   // "section|key"
    void Bind(TPropsStorage& s)
    {
        s.OnWriteText = [this](const QString& sec, const QString& key, const QString& v) {
            Log << sec + "|" + key + "=" + v;
            Values[(sec + "|" + key).toLower()] = v;
        };
        s.OnEraseGroup = [this](const QString& sec) { Log << "erase " + sec; };
        s.OnReadText = [this](const QString& sec, const QString& key, const QString& def) {
            return Values.value((sec + "|" + key).toLower(), def);
        };
    }
};

struct TFormFixture {
    QWidget Form;
    THolder* Holder;
    QWidget* Edit;
    TFormFixture()
    {
        Form.setObjectName("FrmTest");
        Holder = new THolder(&Form);
        Edit = new QWidget(&Form);
        Edit->setObjectName("Edit1");
    }
    TStoredList List(const QStringList& lines)
    {
        TStoredList list;
        for (const QString& l : lines) list.append({l, nullptr});
        SyncStoredList(&Form, list, smFromDefinition);
        return list;
    }
};

const QStringList AllProps = {"Holder.Count", "Holder.Big", "Holder.Checked", "Holder.Align", "Holder.Options",
                              "Holder.Ratio", "Holder.Single", "Holder.Text", "Holder.Letter", "Holder.Data",
                              "Holder.Lines", "Holder.Buddy", "Holder.Font"};
} // namespace

TEST(PropsStorage, TextFormsByKind)
{
    TFormFixture f;
    f.Holder->Buddy = f.Edit;
    TFakeSettings settings;
    TPropsStorage storage;
    storage.TargetSection = "Sec";
    settings.Bind(storage);
    TStoredList list = f.List(AllProps);
    storage.SaveStoredProperties(&f.Form, list);
    EXPECT_EQ(settings.Log, QStringList({
        "Sec|Holder_Count=42", "Sec|Holder_Big=5000000000", "Sec|Holder_Checked=True", "Sec|Holder_Align=alRight",
        "Sec|Holder_Options=[opA,opC]", "Sec|Holder_Ratio=2.5", "Sec|Holder_Single=0.1", "Sec|Holder_Text=padded text",
        "Sec|Holder_Letter=x", "Sec|Holder_Data=7", "erase Sec.Holder_Lines", "Sec.Holder_Lines|Count=2",
        "Sec.Holder_Lines|Item0=one", "Sec.Holder_Lines|Item1=two", "Sec|Holder_Buddy=Edit1",
        "Sec|Holder_FontName=Sans", "Sec|Holder_FontSize=8"}));

    // Back into a fresh window: every value returns.
    TFormFixture g;
    TPropsStorage loader;
    loader.TargetSection = "Sec";
    settings.Bind(loader);
    TStoredList list2 = g.List(AllProps);
    g.Holder->Count = 0;
    g.Holder->Checked = false;
    g.Holder->Align = THolder::alNone;
    g.Holder->Options = {};
    g.Holder->Lines.clear();
    g.Holder->Font->Size = 0;
    loader.LoadStoredProperties(&g.Form, list2);
    EXPECT_EQ(g.Holder->Count, 42);
    EXPECT_EQ(g.Holder->Big, 5000000000);
    EXPECT_TRUE(g.Holder->Checked);
    EXPECT_EQ(g.Holder->Align, THolder::alRight);
    EXPECT_EQ(g.Holder->Options, THolder::TOptions(THolder::opA | THolder::opC));
    EXPECT_EQ(g.Holder->Text, "padded text");
    EXPECT_EQ(g.Holder->Data, QVariant(QString("7")));   // comes back as text
    EXPECT_EQ(g.Holder->Lines, QStringList({"one", "two"}));
    EXPECT_EQ(g.Holder->Buddy, g.Edit);
    EXPECT_EQ(g.Holder->Font->Size, 8);
}

TEST(PropsStorage, ApplyingStoredTexts)
{
    struct Case { const char* prop; const char* text; std::function<bool(const THolder&)> check; };
    const Case cases[] = {
        {"Checked", "FALSE", [](const THolder& h) { return !h.Checked; }},
        {"Checked", "maybe", [](const THolder& h) { return h.Checked; }},
        {"Align", "ALLEFT", [](const THolder& h) { return h.Align == THolder::alLeft; }},
        {"Align", "alMiddle", [](const THolder& h) { return h.Align == THolder::alRight; }},
        {"Options", "opC , opB", [](const THolder& h) { return h.Options == THolder::TOptions(THolder::opB | THolder::opC); }},
        {"Options", "[opB,opZ]", [](const THolder& h) { return h.Options == THolder::TOptions(THolder::opB); }},
        {"Options", "[]", [](const THolder& h) { return h.Options == THolder::TOptions(); }},
        {"Count", "12x", [](const THolder& h) { return h.Count == 0; }},
        {"Count", "$10", [](const THolder& h) { return h.Count == 16; }},
        {"Ratio", "1E-7", [](const THolder& h) { return h.Ratio == 1e-7; }},
        {"Ratio", "1,5", [](const THolder& h) { return h.Ratio == 2.5; }},
        {"Letter", "", [](const THolder& h) { return h.Letter == 'x'; }},
        {"Letter", "yz", [](const THolder& h) { return h.Letter == 'y'; }},
        {"Text", "  spaced\t", [](const THolder& h) { return h.Text == "spaced"; }},
        {"Buddy", "(NULL)", [](const THolder& h) { return h.Buddy == nullptr; }},
        {"Buddy", "Missing", [](const THolder& h) { return h.Buddy == nullptr; }},
        {"Buddy", "NoSuchForm.Edit1", [](const THolder& h) { return h.Buddy == h.parentWidget(); }},
    };
    for (const Case& c : cases) {
        TFormFixture f;
        f.Holder->Buddy = &f.Form;   // something to see changed or kept
        TFakeSettings settings;
        settings.Values[QString("sec|holder_%1").arg(c.prop).toLower()] = c.text;
        TPropsStorage storage;
        storage.TargetSection = "Sec";
        settings.Bind(storage);
        TStoredList list = f.List({QString("Holder.%1").arg(c.prop)});
        storage.LoadStoredProperties(&f.Form, list);
        EXPECT_TRUE(c.check(*f.Holder)) << c.prop << " <- " << c.text;
    }
}

TEST(PropsStorage, StringListsAndReferencesAcrossForms)
{
    TFormFixture f;
    QWidget other;
    other.setObjectName("OtherForm");
    auto* button = new QWidget(&other);
    button->setObjectName("Btn");
    f.Holder->Buddy = button;
    f.Holder->Lines.clear();
    TFakeSettings settings;
    TPropsStorage storage;
    storage.TargetSection = "Sec";
    settings.Bind(storage);
    TStoredList list = f.List({"Holder.Lines", "Holder.Buddy"});
    storage.SaveStoredProperties(&f.Form, list);
    // An empty list leaves no section; a reference to another window names it.
    EXPECT_EQ(settings.Log, QStringList({"erase Sec.Holder_Lines", "Sec|Holder_Buddy=OtherForm.Btn"}));

    f.Holder->Buddy = nullptr;
    f.Holder->Lines = {"designed"};
    settings.Values["sec.holder_lines|count"] = "0";
    storage.LoadStoredProperties(&f.Form, list);
    EXPECT_EQ(f.Holder->Buddy, button);
    EXPECT_EQ(f.Holder->Lines, QStringList{"designed"});

    // A damaged count neither hangs nor allocates without bound.
    settings.Values["sec.holder_lines|count"] = "2147483647";
    settings.Values["sec.holder_lines|item0"] = "first";
    QElapsedTimer timer;
    timer.start();
    storage.LoadStoredProperties(&f.Form, list);
    EXPECT_LT(timer.elapsed(), 30000);   // a hang would read two billion keys; a sanitized build is slow
    EXPECT_EQ(f.Holder->Lines.value(0), "first");
    EXPECT_LE(f.Holder->Lines.size(), 100000);
}

TEST(PropsStorage, CollectionsKeepTheirItemsInASectionOfTheirOwn)
{
    TFormFixture f;
    auto* bar = new TBar(&f.Form);
    for (const auto& [text, width] : QList<std::pair<QString, int>>{{"Rec:", 100}, {"Size", 80}}) {
        auto* item = static_cast<TPanelItem*>(bar->Panels->AddCollectionItem());
        item->Text = text;
        item->Width = width;
    }
    bar->Panels->AutoSize = true;
    TFakeSettings settings;
    TPropsStorage storage;
    storage.TargetSection = "Sec";
    settings.Bind(storage);
    TStoredList list = f.List({"StatusBar1.Panels"});
    storage.SaveStoredProperties(&f.Form, list);
    // The section is made anew, the count stands in the storage's own section, each item's
    // properties in name order with their index before them, then the collection's own.
    EXPECT_EQ(settings.Log, QStringList({"erase Sec.StatusBar1_Panels", "Sec|StatusBar1_Panels.Count=2",
                                         "Sec.StatusBar1_Panels|Item0_Text=Rec:", "Sec.StatusBar1_Panels|Item0_Width=100",
                                         "Sec.StatusBar1_Panels|Item1_Text=Size", "Sec.StatusBar1_Panels|Item1_Width=80",
                                         "Sec|StatusBar1_PanelsAutoSize=True"}));

    // Another count: the collection is made again with one item per stored index, inside
    // one update bracket.
    bar->Panels->ClearCollection();
    bar->Panels->AddCollectionItem();
    bar->Panels->AutoSize = false;
    settings.Values["sec|statusbar1_panels.count"] = "3";
    settings.Values["sec.statusbar1_panels|item2_text"] = "Third";
    storage.LoadStoredProperties(&f.Form, list);
    ASSERT_EQ(bar->Panels->CollectionCount(), 3);
    EXPECT_EQ(bar->Panels->Items[0]->Text, "Rec:");
    EXPECT_EQ(bar->Panels->Items[1]->Width, 80);
    EXPECT_EQ(bar->Panels->Items[2]->Text, "Third");
    EXPECT_EQ(bar->Panels->Items[2]->Width, 50);   // nothing stored: as made
    EXPECT_TRUE(bar->Panels->AutoSize);
    EXPECT_EQ(bar->Panels->Brackets, QStringList({"begin", "end"}));

    // The same count keeps the items and loads into them; a damaged count stays bounded.
    TPanelItem* kept = bar->Panels->Items[0];
    settings.Values["sec.statusbar1_panels|item0_text"] = "Record:";
    storage.LoadStoredProperties(&f.Form, list);
    EXPECT_EQ(bar->Panels->Items[0], kept);
    EXPECT_EQ(kept->Text, "Record:");
    settings.Values["sec|statusbar1_panels.count"] = "-5";
    storage.LoadStoredProperties(&f.Form, list);
    EXPECT_EQ(bar->Panels->CollectionCount(), 0);
}

TEST(PropsStorage, StoredListUpkeep)
{
    TFormFixture f;
    TStoredList list = f.List({"Holder.Count", "Gone.Text", "NoDot", ".Text", "Holder.", " Edit1 . objectName "});
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].Text, "Holder.Count");
    EXPECT_EQ(list[1].Object, f.Edit);
    f.Edit->setObjectName("EdtRenamed");
    SyncStoredList(&f.Form, list, smWriting);
    EXPECT_EQ(list[1].Text, "EdtRenamed.objectName");
    delete f.Holder;
    SyncStoredList(&f.Form, list, smWriting);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(MakeStoredItem("a", ""), "");
    EXPECT_EQ(RenameStoredItem("x.Prop", "y"), "y.Prop");
    EXPECT_EQ(RenameStoredItem("bad", "y"), "");
}

TEST(PropsStorage, GeneralFloatFormat)
{
    struct Case { double v; int digits; const char* text; };
    const Case cases[] = {
        {0, 15, "0"}, {100, 15, "100"}, {2.5, 15, "2.5"}, {-0.125, 15, "-0.125"}, {1e20, 15, "1E20"},
        {1.5e-7, 15, "1.5E-7"}, {0.00001, 15, "0.00001"}, {123456789012345678.0, 15, "1.23456789012346E17"},
        {0.1f, 7, "0.1"}, {1.0 / 3, 15, "0.333333333333333"}, {100000000000000.0, 15, "100000000000000"},
        {1e15, 15, "1E15"},
    };
    for (const Case& c : cases) EXPECT_EQ(FloatToStrGeneral(c.v, c.digits), QString(c.text)) << c.text;
}

#include "PropsTests.moc"
