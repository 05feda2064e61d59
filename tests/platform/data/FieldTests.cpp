#include "tests/common/TestSupport.h"
#include "tests/platform/data/TestDataSet.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// One field of every class, on a single record being edited.
class FieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const struct { const char* name; TFieldType type; int size; } defs[] = {
            {"S", ftString, 10}, {"W", ftWideString, 5}, {"SI", ftSmallint, 0}, {"I", ftInteger, 0},
            {"WO", ftWord, 0}, {"AI", ftAutoInc, 0}, {"LI", ftLargeint, 0}, {"B", ftBoolean, 0},
            {"F", ftFloat, 0}, {"C", ftCurrency, 0}, {"BCD", ftBCD, 2}, {"D", ftDate, 0}, {"T", ftTime, 0},
            {"DT", ftDateTime, 0}, {"BY", ftBytes, 4}, {"VB", ftVarBytes, 4}, {"BL", ftBlob, 0},
            {"M", ftMemo, 0}, {"G", ftGraphic, 0}, {"GU", ftGuid, 38}, {"V", ftVariant, 0},
            {"FC", ftFixedChar, 3}, {"FMT", ftFMTBcd, 4}, {"TS", ftTimeStamp, 0},
        };
        for (const auto& d : defs) ds.FieldDefs().Add(d.name, d.type, d.size);
        ds.FieldDefs().Find("BCD")->SetPrecision(6);
        ds.AddRow({});
        ds.Open();
        ds.Edit();
    }
    TField* F(const char* name) { return ds.FieldByName(name); }

    TTestDataSet ds;
};

template <typename E>
QString MessageOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

} // namespace

TEST_F(FieldTest, ClassesAndDefaults)
{
    struct Case { const char* field; const char* className; TFieldType type; int width; TAlignment align; };
    const Case cases[] = {
        {"S", "TStringField", ftString, 10, taLeftJustify}, {"W", "TWideStringField", ftWideString, 5, taLeftJustify},
        {"SI", "TSmallintField", ftSmallint, 6, taRightJustify}, {"I", "TIntegerField", ftInteger, 11, taRightJustify},
        {"WO", "TWordField", ftWord, 5, taRightJustify}, {"AI", "TAutoIncField", ftAutoInc, 11, taRightJustify},
        {"LI", "TLargeintField", ftLargeint, 15, taRightJustify}, {"B", "TBooleanField", ftBoolean, 5, taLeftJustify},
        {"F", "TFloatField", ftFloat, 10, taRightJustify}, {"C", "TCurrencyField", ftCurrency, 10, taRightJustify},
        {"BCD", "TBCDField", ftBCD, 8, taRightJustify}, {"D", "TDateField", ftDate, 10, taLeftJustify},
        {"T", "TTimeField", ftTime, 10, taLeftJustify}, {"DT", "TDateTimeField", ftDateTime, 18, taLeftJustify},
        {"BY", "TBytesField", ftBytes, 10, taLeftJustify}, {"VB", "TVarBytesField", ftVarBytes, 10, taLeftJustify},
        {"BL", "TBlobField", ftBlob, 10, taLeftJustify}, {"M", "TMemoField", ftMemo, 10, taLeftJustify},
        {"G", "TGraphicField", ftGraphic, 10, taLeftJustify}, {"GU", "TGuidField", ftGuid, 38, taLeftJustify},
        {"V", "TVariantField", ftVariant, 10, taLeftJustify}, {"FC", "TStringField", ftFixedChar, 3, taLeftJustify},
        {"FMT", "TFMTBCDField", ftFMTBcd, 10, taRightJustify}, {"TS", "TSQLTimeStampField", ftTimeStamp, 18, taLeftJustify},
    };
    for (const Case& c : cases) {
        TField* f = F(c.field);
        EXPECT_STREQ(f->metaObject()->className(), c.className) << c.field;
        EXPECT_EQ(f->DataType(), c.type) << c.field;
        EXPECT_EQ(f->DisplayWidth(), c.width) << c.field;
        EXPECT_EQ(f->Alignment(), c.align) << c.field;
        EXPECT_TRUE(f->IsNull()) << c.field;
    }
    EXPECT_EQ(CreateField(ftADT), nullptr);
    EXPECT_EQ(CreateField(ftUnknown), nullptr);
    std::unique_ptr<TField> memo(CreateField(ftOraClob));
    EXPECT_STREQ(memo->metaObject()->className(), "TMemoField");
    EXPECT_TRUE(memo->IsBlob());
    F("S")->SetDisplayLabel("Label");
    EXPECT_EQ(F("S")->DisplayName(), QStringLiteral("Label"));
    F("S")->SetDisplayWidth(4);
    EXPECT_EQ(F("S")->DisplayWidth(), 4);
}

TEST_F(FieldTest, AssignmentsAndReadings)
{
    // Each assignment by text or by value, read back as text and as the field's value.
    struct Case { const char* field; TVariant assigned; const char* asString; TVarType valueType; };
    const Case cases[] = {
        {"S", "hello", "hello", varString},
        {"S", "longer than ten", "longer tha", varString},        // truncated to Size
        {"S", 42, "42", varString},
        {"W", QStringLiteral("héllo wörld"), "héllo", varUString},
        {"SI", "-300", "-300", varSmallint},
        {"I", 2.5, "2", varInteger},                            // rounds half to even
        {"I", " 12", "12", varInteger},
        {"WO", 65535, "65535", varWord},
        {"LI", "9223372036854775807", "9223372036854775807", varInt64},
        {"B", "t", "True", varBoolean},
        {"B", "False", "False", varBoolean},
        {"B", 0, "False", varBoolean},
        {"F", "1.25", "1.25", varDouble},
        {"F", 1.0 / 3, "0.333333333333333", varDouble},
        {"C", "12.34567", "12.3457", varCurrency},
        {"C", 2.5, "2.5", varCurrency},
        {"BCD", "1.005", "1.01", varCurrency},                  // two decimals
        {"D", "2/1/2003", "2/1/2003", varDate},
        {"D", TVariant::FromDate(37653.75), "2/1/2003", varDate},   // a date keeps no time
        {"T", "14:05:09", "2:05:09 PM", varDate},
        {"DT", "2/1/2003 14:05", "2/1/2003 2:05:00 PM", varDate},
        {"BY", TVariant::FromBytes("abcd"), "abcd", varBytes},
        {"VB", TVariant::FromBytes("abcdef"), "abcd", varBytes},
        {"M", "memo text", "memo text", varString},
        {"GU", "{00000000-0000-0000-0000-000000000000}", "{00000000-0000-0000-0000-000000000000}", varString},
        {"V", 3.5, "3.5", varDouble},
        {"FMT", "1.5", "1.5", varDouble},
    };
    for (const Case& c : cases) {
        TField* f = F(c.field);
        if (c.assigned.IsString()) f->SetAsString(c.assigned.AsString());
        else f->SetValue(c.assigned);
        EXPECT_EQ(f->AsString(), QString(c.asString)) << c.field;
        EXPECT_EQ(f->Value().Type(), c.valueType) << c.field;
    }
    F("BY")->SetAsBytes("ab");
    EXPECT_EQ(F("BY")->AsBytes(), QByteArray("ab\0\0", 4));   // fixed bytes are padded
    EXPECT_EQ(F("I")->AsFloat(), 12.0);
    EXPECT_EQ(F("C")->AsCurrency().Scaled(), 25000);
    EXPECT_DOUBLE_EQ(F("D")->AsFloat(), 37653);
    EXPECT_EQ(F("B")->AsBoolean(), false);
    F("S")->SetAsInteger(7);
    EXPECT_EQ(F("S")->AsInteger(), 7);
    F("S")->SetAsBoolean(true);
    EXPECT_TRUE(F("S")->AsBoolean());
    F("LI")->SetAsLargeInt(qint64(1) << 40);
    EXPECT_THROW(F("LI")->AsInteger(), EVariantError);
    EXPECT_EQ(F("LI")->AsFloat(), double(qint64(1) << 40));
    F("I")->Clear();
    EXPECT_TRUE(F("I")->IsNull());
    EXPECT_EQ(F("I")->AsInteger(), 0);
    F("I")->SetAsString("");
    EXPECT_TRUE(F("I")->IsNull());
}

TEST_F(FieldTest, ValuesThatDoNotConvertRaise)
{
    struct Case { const char* field; std::function<void(TField*)> assign; const char* message; };
    const Case cases[] = {
        {"I", [](TField* f) { f->SetAsString("abc"); }, "'abc' is not a valid integer value for field 'I'"},
        {"I", [](TField* f) { f->SetAsString("1.5"); }, "'1.5' is not a valid integer value for field 'I'"},
        {"I", [](TField* f) { f->SetValue(TVariant(QStringLiteral("abc"))); }, "'abc' is not a valid integer value for field 'I'"},
        {"SI", [](TField* f) { f->SetAsInteger(40000); }, "40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767"},
        {"WO", [](TField* f) { f->SetAsInteger(-1); }, "-1 is not a valid value for field 'WO'. The allowed range is 0 to 65535"},
        {"I", [](TField* f) { f->SetAsFloat(1e12); }, "1000000000000 is not a valid value for field 'I'. The allowed range is -2147483648 to 2147483647"},
        {"F", [](TField* f) { f->SetAsString("1,5"); }, "'1,5' is not a valid floating point value for field 'F'"},
        {"C", [](TField* f) { f->SetAsString("cash"); }, "'cash' is not a valid floating point value for field 'C'"},
        {"BCD", [](TField* f) { f->SetAsFloat(123456); }, "123456 is not a valid value for field 'BCD'. The allowed range is -9999 to 9999"},
        {"B", [](TField* f) { f->SetAsString("maybe"); }, "'maybe' is not a valid boolean value for field 'B'"},
        {"D", [](TField* f) { f->SetAsString("31/31/2003"); }, "'31/31/2003' is not a valid date"},
        {"DT", [](TField* f) { f->SetAsString("yesterday"); }, "'yesterday' is not a valid date and time"},
        {"B", [](TField* f) { f->SetAsDateTime(1); }, "Cannot access field 'B' as type DateTime"},
        {"F", [](TField* f) { f->SetValue(TVariant::FromBytes("x")); }, "Could not convert variant of type (Array of Byte) into type (Double)"},
    };
    for (const Case& c : cases) {
        TField* f = F(c.field);
        f->SetAsVariant(TVariant::Null());
        QString message = QStringLiteral("<no exception>");
        try {
            c.assign(f);
        } catch (const Exception& e) {
            message = e.Message();
        }
        EXPECT_EQ(message, QString(c.message)) << c.field;
        EXPECT_TRUE(f->IsNull()) << c.field << ": a refused value leaves the field as it was";
    }
    auto* i = qobject_cast<TIntegerField*>(F("I"));
    i->SetMinValue(1);
    i->SetMaxValue(10);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { i->SetAsInteger(11); }), QStringLiteral("11 is not a valid value for field 'I'. The allowed range is 1 to 10"));
}

TEST_F(FieldTest, DisplayAndEditTextWithFormats)
{
    auto* f = qobject_cast<TFloatField*>(F("F"));
    auto* i = qobject_cast<TIntegerField*>(F("I"));
    auto* c = qobject_cast<TCurrencyField*>(F("C"));
    auto* bcd = qobject_cast<TBCDField*>(F("BCD"));
    auto* d = qobject_cast<TDateTimeField*>(F("DT"));
    auto* b = qobject_cast<TBooleanField*>(F("B"));
    f->SetAsFloat(1234.5);
    i->SetAsInteger(-42);
    c->SetAsFloat(1234.5);
    bcd->SetAsFloat(12.5);
    d->SetAsDateTime(EncodeDate(2003, 2, 1) + EncodeTime(14, 5, 0, 0));
    b->SetAsBoolean(true);
    F("M")->SetAsString("x");

    struct Case { TField* field; std::function<void()> setup; const char* display; const char* edit; };
    const Case cases[] = {
        {f, [] {}, "1234.5", "1234.5"},
        {f, [&] { f->SetDisplayFormat("#,##0.00"); }, "1,234.50", "1,234.50"},
        {f, [&] { f->SetEditFormat("0.0"); }, "1,234.50", "1234.5"},
        {f, [&] { f->SetDisplayFormat(""); f->SetEditFormat(""); f->SetCurrency(true); }, "$1,234.50", "1234.50"},
        {f, [&] { f->SetCurrency(false); f->SetPrecision(3); }, "1.23E3", "1.23E3"},
        {i, [&] { i->SetDisplayFormat("000;(000)"); }, "(042)", "(042)"},
        {c, [] {}, "$1,234.50", "1234.50"},
        {bcd, [] {}, "12.5", "12.5"},
        {bcd, [&] { bcd->SetCurrency(true); }, "$12.50", "12.50"},
        {d, [] {}, "2/1/2003 2:05:00 PM", "2/1/2003 2:05:00 PM"},
        {d, [&] { d->SetDisplayFormat("yyyy-mm-dd hh:nn"); }, "2003-02-01 14:05", "2/1/2003 2:05:00 PM"},
        {F("D"), [this] { F("D")->SetAsDateTime(EncodeDate(2003, 2, 1)); }, "2/1/2003", "2/1/2003"},
        {b, [] {}, "True", "True"},
        {b, [&] { b->SetDisplayValues("Yes;No"); }, "Yes", "Yes"},
        {F("M"), [] {}, "(MEMO)", "(MEMO)"},
        {F("G"), [] {}, "(Graphic)", "(Graphic)"},
        {F("BY"), [this] { F("BY")->SetAsBytes("\x01\x02"); }, "(BYTES)", "(BYTES)"},
        {F("S"), [this] { F("S")->SetAsString("plain"); }, "plain", "plain"},
    };
    for (const Case& k : cases) {
        k.setup();
        EXPECT_EQ(k.field->DisplayText(), QString(k.display)) << k.field->FieldName().toStdString();
        EXPECT_EQ(k.field->EditText(), QString(k.edit)) << k.field->FieldName().toStdString();
    }
    b->SetAsString("n");
    EXPECT_FALSE(b->AsBoolean());
    b->SetValue(TVariant(QStringLiteral("True")));
    EXPECT_TRUE(b->AsBoolean());
    F("S")->Clear();
    EXPECT_EQ(F("S")->DisplayText(), QString());
    // Text writes go through the field's own parsing.
    i->SetText("17");
    EXPECT_EQ(i->AsInteger(), 17);
}

TEST_F(FieldTest, ValidCharacters)
{
    struct Case { const char* field; const char* valid; const char* invalid; };
    const Case cases[] = {
        {"I", "0123456789+-", ".eEa ,"},
        {"F", "0123456789+-.eE", "a ,x"},
        {"BCD", "0123456789+-.", "a ,"},
        {"S", "a .,-xé", ""},
    };
    for (const Case& c : cases) {
        for (QChar ch : QString::fromUtf8(c.valid)) EXPECT_TRUE(F(c.field)->IsValidChar(ch)) << c.field << " " << ch.toLatin1();
        for (QChar ch : QString::fromUtf8(c.invalid)) EXPECT_FALSE(F(c.field)->IsValidChar(ch)) << c.field << " " << ch.toLatin1();
    }
}

TEST_F(FieldTest, StringFieldsKeepTheirBytesInTheirCodePage)
{
    auto* s = qobject_cast<TStringField*>(F("S"));
    EXPECT_EQ(s->CodePage(), 1252);
    s->SetCodePage(1251);
    s->SetAsString(QStringLiteral("Привет мир!"));
    EXPECT_EQ(s->AsBytes(), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", 10));
    EXPECT_EQ(s->AsString(), QStringLiteral("Привет мир"));
    ds.Post();
    EXPECT_EQ(ds.Stored(0, 0).RawBytes(), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", 10));

    // Bytes no page defines come back unchanged when the value is copied over.
    ds.Edit();
    s->SetAsBytes(QByteArray("\x98\x81", 2));
    EXPECT_EQ(s->Value().AsAnsiString(1251), QByteArray("\x98\x81", 2));
    const TVariant copy = s->Value();
    s->Clear();
    s->SetValue(copy);
    EXPECT_EQ(s->AsBytes(), QByteArray("\x98\x81", 2));
    // Text from another page is re-encoded.
    s->SetValue(TVariant::FromAnsiString("\xE7", 1252));
    EXPECT_EQ(s->AsString(), QStringLiteral("?"));
    s->SetValue(QStringLiteral("жук"));
    EXPECT_EQ(s->AsBytes(), QByteArray("\xE6\xF3\xEA"));

    // A multi-byte page never keeps half a character.
    if (IsCodePageSupported(932)) {
        s->SetCodePage(932);
        s->SetAsString(QStringLiteral("日本語テキストです"));
        EXPECT_EQ(s->AsString(), QStringLiteral("日本語テキ"));
        EXPECT_LE(s->AsBytes().size(), 10);
    }
}

TEST_F(FieldTest, BlobsThroughStreams)
{
    auto* blob = qobject_cast<TBlobField*>(F("BL"));
    auto* memo = qobject_cast<TMemoField*>(F("M"));
    QByteArray picture(3000, '\0');
    for (int k = 0; k < picture.size(); ++k) picture[k] = char(k * 7);
    {
        auto stream = ds.CreateBlobStream(blob, bmWrite);
        ASSERT_EQ(stream->write(picture), picture.size());
    }   // written into the field when the stream goes
    EXPECT_EQ(blob->AsBytes(), picture);
    EXPECT_EQ(blob->BlobSize(), 3000);
    {
        auto stream = ds.CreateBlobStream(blob, bmReadWrite);
        stream->seek(stream->size());
        stream->write("tail");
        stream->close();
    }
    EXPECT_EQ(blob->BlobSize(), 3004);
    auto reader = ds.CreateBlobStream(blob, bmRead);
    EXPECT_EQ(reader->readAll().left(3000), picture);

    QBuffer in;
    in.setData("line 1\r\nline \xE7");
    in.open(QIODevice::ReadOnly);
    memo->LoadFromStream(in);
    EXPECT_EQ(memo->AsString(), QStringLiteral("line 1\r\nline ç"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    memo->SaveToStream(out);
    EXPECT_EQ(out.data(), QByteArray("line 1\r\nline \xE7"));
    memo->SetAsString("");
    EXPECT_TRUE(memo->IsNull());   // an empty blob is null
    memo->SetCodePage(TBlobField::WideTextCodePage);
    memo->SetAsString(QStringLiteral("wide ☃"));
    EXPECT_EQ(memo->Value().Type(), varUString);
    EXPECT_EQ(memo->AsString(), QStringLiteral("wide ☃"));
    ds.Post();
    EXPECT_THROW(ds.CreateBlobStream(blob, bmWrite), EDatabaseError);
    EXPECT_EQ(ds.CreateBlobStream(blob, bmRead)->size(), 3004);
}

TEST(FieldDefs, DefinitionsAndIndexes)
{
    TTestDataSet ds;
    ds.setObjectName("cdsDefs");
    TFieldDefs& defs = ds.FieldDefs();
    defs.Add("Pos", ftInteger);
    defs.Add("Name", ftWideString, 60, true);
    TFieldDef* nested = defs.Add("Lines", ftDataSet);
    nested->ChildDefs()->Add("Qty", ftSmallint);
    EXPECT_EQ(defs.Count(), 3);
    EXPECT_EQ(defs[2]->FieldNo(), 3);
    EXPECT_EQ(defs.Find("name")->Size(), 60);
    EXPECT_TRUE(defs.Find("name")->Required());
    EXPECT_TRUE(nested->HasChildDefs());
    EXPECT_EQ(nested->ChildDefs()->Items(0)->ParentDef(), nested);
    EXPECT_THROW(defs.Find("Missing"), EDatabaseError);
    EXPECT_THROW(defs.Items(3), EListError);
    TTestDataSet copy;
    copy.FieldDefs().Assign(defs);
    EXPECT_EQ(copy.FieldDefs()[2]->ChildDefs()->Items(0)->Name(), QStringLiteral("Qty"));
    defs.Delete(0);
    EXPECT_EQ(defs[0]->FieldNo(), 1);

    TIndexDefs& idx = ds.IndexDefs();
    idx.Add("NAME_INX", "Name", ixUnique);
    idx.Add("BOTH", "Pos;Name", ixCaseInsensitive | ixDescending);
    EXPECT_EQ(idx.Find("name_inx")->Options(), TIndexOptions(ixUnique));
    EXPECT_EQ(idx.GetIndexForFields("Name", false)->Name(), QStringLiteral("NAME_INX"));
    EXPECT_EQ(idx.GetIndexForFields("pos", true)->Name(), QStringLiteral("BOTH"));
    EXPECT_EQ(idx.GetIndexForFields("Pos", false), nullptr);
    EXPECT_THROW(idx.Add("Name_Inx", "Pos"), EDatabaseError);
    try {
        idx.Find("None");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("cdsDefs: Index 'None' not found"));
    }
}
