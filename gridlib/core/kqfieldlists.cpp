#include "gridlib/core/kqfieldlists.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqcommon.h"

#include <QIODevice>
#include <QWidget>

namespace {
const QChar Semicolon(QLatin1Char(';'));
const QChar Tab(QLatin1Char('\t'));

// Item k of a line, walking from the start: every item after the last reads empty.
QString Item(const QString& line, QChar sep, int k)
{
    return line.section(sep, k, k);
}

QStringView FieldOf(const QString& line, QChar sep)
{
    const qsizetype i = line.indexOf(sep);
    return i < 0 ? QStringView(line) : QStringView(line).left(i);
}

QObject* DataSetOfControl(const QObject* control)
{
    const TDataSource* source = GetControlDataSource(control);
    return source ? source->DataSet() : nullptr;
}

QObject* ChooseListOwner(QObject* control, QObject* dataSet, bool useDataSet, const char* listName)
{
    if (!dataSet) dataSet = DataSetOfControl(control);
    QStringList list;
    if (useDataSet && dataSet && GetStringListProperty(dataSet, listName, list)) return dataSet;
    return control;
}
} // namespace

QObject* ChooseControlTypeOwner(QObject* control, QObject* dataSet)
{
    return ChooseListOwner(control, dataSet, GetControlInfoInDataSet(control), "ControlType");
}

QObject* ChoosePictureMaskOwner(QObject* control, QObject* dataSet)
{
    return ChooseListOwner(control, dataSet, GetPictureMaskFromDataSet(control), "PictureMasks");
}

// --- ControlType -----------------------------------------------------------------------------

bool IsEditControlType(const QString& kind)
{
    static const QString kinds[] = {QStringLiteral("CUSTOMEDIT"), QStringLiteral("LOOKUPCOMBO"), QStringLiteral("COMBO"),
                                    QStringLiteral("RICHEDIT")};
    const QString upper = AsciiUpper(kind);
    for (const QString& k : kinds)
        if (upper == k) return true;
    return false;
}

void GetControlTypeEntry(const QStringList& list, const QString& fieldName, QString& kind, QString& params)
{
    kind.clear();
    params.clear();
    for (const QString& line : list) {
        if (FieldOf(line, Semicolon) != fieldName) continue;
        kind = Item(line, Semicolon, 1);
        const int first = line.indexOf(Semicolon);
        const int second = first < 0 ? -1 : line.indexOf(Semicolon, first + 1);
        params = second < 0 ? QString() : line.mid(second + 1).left(255);
    }
}

void GetControlTypeEntry(const QObject* component, const QString& fieldName, QString& kind, QString& params)
{
    QStringList list;
    GetControlTypeList(component, list);
    GetControlTypeEntry(list, fieldName, kind, params);
}

QWidget* FindCustomEditControl(const QObject* control, const QObject* owner, const TField* field)
{
    if (!owner || !field) return nullptr;
    QStringList list;
    const bool fromDataSet = GetControlInfoInDataSet(control) && GetControlTypeList(field->DataSet(), list);
    if (!fromDataSet && !GetControlTypeList(control, list)) return nullptr;
    for (const QString& line : list) {
        const QStringList items = line.split(Semicolon);
        if (items.size() < 2 || !EqualIgnoringCase(items[0], field->FieldName()) || !IsEditControlType(items[1]))
            continue;
        if (items.size() < 3) return nullptr;
        QObject* found = owner->findChild<QObject*>(items[2]);
        return found && found->isWidgetType() ? static_cast<QWidget*>(found) : nullptr;
    }
    return nullptr;
}

bool IsRichTextField(const TField* field, bool readValue)
{
    if (!field || !field->IsBlob()) return false;
    QStringList list;
    if (GetControlTypeList(field->DataSet(), list)) {
        const QString marker = field->FieldName() + QStringLiteral(";RichEdit");
        for (const QString& line : list)
            if (line.startsWith(marker)) return true;
    }
    if (!readValue) return false;
    QByteArray head = field->AsBytes().left(5);
    head.append(QByteArray(5 - head.size(), ' '));
    return head == "{\\rtf";
}

void StoreControlTypeEntry(QStringList& list, const QString& fieldName, const QString& kind, const QString& params)
{
    const bool remove = kind.isEmpty() || AsciiLower(kind) == QLatin1String("field");
    for (int i = 0; i < list.size(); ++i) {
        const QString field = FieldOf(list[i], Semicolon).toString();
        if (!EqualIgnoringCase(field, fieldName)) continue;
        if (remove) list.removeAt(i);
        else list[i] = field + Semicolon + kind + Semicolon + params;
        return;
    }
    if (!remove) list.append(fieldName + Semicolon + kind + Semicolon + params);
}

void StoreControlTypeEntry(QObject* component, const QString& fieldName, const QString& kind, const QString& params)
{
    QStringList list;
    if (!GetControlTypeList(component, list)) return;
    StoreControlTypeEntry(list, fieldName, kind, params);
    SetStringListProperty(component, "ControlType", list);
}

// --- PictureMasks ----------------------------------------------------------------------------

namespace {
int FindMaskLine(const QStringList& list, const QString& fieldName)
{
    for (int i = 0; i < list.size(); ++i)
        if (EqualIgnoringCase(FieldOf(list[i], Tab), fieldName)) return i;
    return -1;
}
} // namespace

TkqPictureMaskEntry FindPictureMask(const QStringList& list, const QString& fieldName)
{
    TkqPictureMaskEntry entry;
    const int i = FindMaskLine(list, fieldName);
    if (i < 0) return entry;
    const QStringList items = list[i].split(Tab);
    entry.Mask = items.value(1);
    entry.AutoFill = items.value(2) == QLatin1String("T");
    entry.GridValidate = items.value(3) == QLatin1String("T");
    return entry;
}

namespace {
QString TablePictureOf(const QObject* component, const QString& fieldName)
{
    const auto* table = dynamic_cast<const TkqTablePictures*>(component);
    return table ? table->TablePicture(fieldName) : QString();
}
} // namespace

TkqPictureMaskEntry FindPictureMask(QObject* component, const QString& fieldName, bool useTableMasks)
{
    QStringList list;
    GetPictureMaskList(component, list);
    TkqPictureMaskEntry entry = FindPictureMask(list, fieldName);
    if (!useTableMasks) return entry;
    const QString picture = TablePictureOf(component, fieldName);
    if (picture.isEmpty()) return entry;
    if (!entry.Mask.isEmpty())
        StorePictureMask(component, fieldName, picture, entry.AutoFill, entry.GridValidate, true, true, false);
    entry.Mask = picture;
    return entry;
}

void StorePictureMask(QStringList& list, const QString& fieldName, const QString& mask, bool autoFill,
                      bool gridValidate, bool setMask, bool setAutoFill, bool setGridValidate)
{
    const int i = FindMaskLine(list, fieldName);
    if (i < 0) {
        if (!mask.isEmpty())
            list.append(fieldName + Tab + mask + Tab + BoolToTF(autoFill) + Tab + BoolToTF(gridValidate));
        return;
    }
    const TkqPictureMaskEntry old = FindPictureMask(QStringList{list[i]}, fieldName);
    const QString newMask = setMask ? mask : old.Mask;
    const bool newAutoFill = setAutoFill ? autoFill : old.AutoFill;
    const bool newGridValidate = setGridValidate ? gridValidate : old.GridValidate;
    if (newMask.isEmpty()) list.removeAt(i);
    else list[i] = fieldName + Tab + newMask + Tab + BoolToTF(newAutoFill) + Tab + BoolToTF(newGridValidate);
}

void StorePictureMask(QObject* component, const QString& fieldName, const QString& mask, bool autoFill,
                      bool gridValidate, bool setMask, bool setAutoFill, bool setGridValidate)
{
    QStringList list;
    if (!GetPictureMaskList(component, list)) return;
    const QString picture = TablePictureOf(component, fieldName);
    StorePictureMask(list, fieldName, picture.isEmpty() ? mask : picture, autoFill, gridValidate, setMask, setAutoFill, setGridValidate);
    SetStringListProperty(component, "PictureMasks", list);
}

// --- Selected --------------------------------------------------------------------------------

QString SelectedPart(const QString& line, int part)
{
    const QString value = Item(line, Tab, part);
    return part == 3 && value.isEmpty() ? QStringLiteral("F") : value;
}

QString WithSelectedPart(const QString& line, int part, const QString& value)
{
    QStringList parts;
    for (int k = 0; k < 5; ++k) parts << (k == part ? value : SelectedPart(line, k));
    QString result = parts.mid(0, 4).join(Tab);
    if (!parts[4].isEmpty()) result += Tab + parts[4];
    return result;
}

int FindSelectedEntry(const QStringList& list, const QString& fieldName)
{
    for (int i = 0; i < list.size(); ++i)
        if (EqualIgnoringCase(FieldOf(list[i], Tab), fieldName)) return i;
    return -1;
}

void ApplySelectedToFields(TDataSet* dataSet, const QStringList& list)
{
    if (!dataSet) return;
    dataSet->DisableControls();
    try {
        for (TField* f : dataSet->Fields()) f->SetVisible(false);
        for (int k = 0; k < list.size(); ++k) {
            const QStringList parts = list[k].split(Tab);
            TField* f = dataSet->FindField(parts.value(0));
            if (!f) continue;
            if (parts.size() < 3) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {2}));
            f->SetDisplayWidth(StrToInt(parts[1]));
            f->SetDisplayLabel(parts[2]);
            f->SetIndex(qMin(k, dataSet->FieldCount() - 1));
            f->SetVisible(true);
        }
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
    dataSet->EnableControls();
}

void BuildSelectedFromFields(const TDataSet* dataSet, QStringList& list)
{
    list.clear();
    if (!dataSet) return;
    for (const TField* f : dataSet->Fields())
        if (f->Visible()) list << f->FieldName() + Tab + QString::number(f->DisplayWidth()) + Tab + f->DisplayLabel();
}

// --- LookupFields and LookupLinks --------------------------------------------------------------

namespace {
int FindLookupLine(const QStringList& fields, const QString& fieldName, int minItems = 0)
{
    for (int i = 0; i < fields.size(); ++i)
        if (FieldOf(fields[i], Semicolon) == fieldName && fields[i].count(Semicolon) + 1 >= minItems) return i;
    return -1;
}
} // namespace

QString GetLookupLinkEntry(const QObject* dataSet, const QString& fieldName)
{
    QStringList fields, links;
    if (!GetLookupFieldsList(dataSet, fields) || !GetLookupLinksList(dataSet, links)) return QString();
    const int i = FindLookupLine(fields, fieldName);
    return i >= 0 ? links.value(i) : QString();
}

QString GetLookupResultFieldName(const QObject* dataSet, const QString& fieldName)
{
    QStringList fields;
    if (!GetLookupFieldsList(dataSet, fields)) return QString();
    const int i = FindLookupLine(fields, fieldName);
    return i >= 0 ? Item(fields[i], Semicolon, 3) : QString();
}

TkqLookupTableInfo GetLookupTableInfo(const TField* field)
{
    TkqLookupTableInfo info;
    if (!field) return info;
    const TDataSet* dataSet = field->DataSet();
    QStringList fields, links;
    GetLookupFieldsList(dataSet, fields);
    GetLookupLinksList(dataSet, links);
    const int i = FindLookupLine(fields, field->FieldName(), 5);
    if (i < 0) {
        info.DatabaseName = GetDataSetDatabaseName(dataSet);
        return info;
    }
    info.DatabaseName = Item(fields[i], Semicolon, 1);
    info.TableName = Item(fields[i], Semicolon, 2);
    info.ResultField = Item(fields[i], Semicolon, 3);
    info.Links = links.value(i);
    return info;
}

void PurgeMissingFieldEntries(const TDataSet* dataSet, QStringList* lookupFields, QStringList* lookupLinks,
                              QStringList* controlType)
{
    if (lookupFields)
        for (int i = int(lookupFields->size()) - 1; i >= 0; --i) {
            if (DataSetHasField(dataSet, FieldOf((*lookupFields)[i], Semicolon).toString())) continue;
            lookupFields->removeAt(i);
            if (lookupLinks && i < lookupLinks->size()) lookupLinks->removeAt(i);
        }
    if (controlType)
        for (int i = int(controlType->size()) - 1; i >= 0; --i)
            if (!DataSetHasField(dataSet, FieldOf((*controlType)[i], Semicolon).toString())) controlType->removeAt(i);
}
