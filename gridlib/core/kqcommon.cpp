#include "gridlib/core/kqcommon.h"

#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QWidget>

// ---------------------------------------------------------------------------------------------

bool IsClassOrAncestorNamed(const QObject* object, const char* className)
{
    if (!object) return false;
    for (const QMetaObject* mo = object->metaObject(); mo; mo = mo->superClass())
        if (qstricmp(mo->className(), className) == 0) return true;
    return false;
}

namespace {
QMetaProperty FindProperty(const QObject* object, const char* name)
{
    if (!object) return {};
    const QMetaObject* mo = object->metaObject();
    const int i = mo->indexOfProperty(name);
    return i >= 0 ? mo->property(i) : QMetaProperty();
}
} // namespace

bool SetControlDataSource(QObject* control, TDataSource* source)
{
    const QMetaProperty p = FindProperty(control, "DataSource");
    if (!p.isValid() || !p.isWritable()) return false;
    return p.write(control, QVariant::fromValue(source));
}

bool SetControlDataField(QObject* control, const QString& fieldName)
{
    const QMetaProperty p = FindProperty(control, "DataField");
    if (!p.isValid() || !p.isWritable()) return false;
    return p.write(control, fieldName);
}

TDataSource* GetControlDataSource(const QObject* control)
{
    const QMetaProperty p = FindProperty(control, "DataSource");
    if (!p.isValid()) return nullptr;
    const QVariant v = p.read(control);
    return qobject_cast<TDataSource*>(v.value<QObject*>());
}

QString GetControlDataField(const QObject* control)
{
    const QMetaProperty p = FindProperty(control, "DataField");
    return p.isValid() ? p.read(control).toString() : QString();
}

bool GetStringListProperty(const QObject* object, const char* name, QStringList& list)
{
    const QMetaProperty p = FindProperty(object, name);
    if (!p.isValid() || p.metaType().id() != QMetaType::QStringList) return false;
    list = p.read(object).toStringList();
    return true;
}

bool SetStringListProperty(QObject* object, const char* name, const QStringList& list)
{
    const QMetaProperty p = FindProperty(object, name);
    if (!p.isValid() || !p.isWritable() || p.metaType().id() != QMetaType::QStringList) return false;
    return p.write(object, list);
}

QWidget* FindOwnerForm(QWidget* control)
{
    // A child window of a multiple-document frame is a form of its own: two such windows hold
    // controls of the same names, and each control belongs to its own window.
    for (QWidget* w = control; w; w = w->parentWidget())
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w->parentWidget())) return w;
    return nullptr;
}

QWidget* FindNamedControl(QWidget* root, const QString& name)
{
    if (!root || name.isEmpty()) return nullptr;
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        if (root->objectName() == name) return root;
        return root->findChild<QWidget*>(name);
    }
    const QString after = name.mid(dot + 1);
    if (after.isEmpty()) return nullptr;
    QWidget* frame = root->findChild<QWidget*>(name.left(dot));
    return frame ? frame->findChild<QWidget*>(after) : nullptr;
}

// ---------------------------------------------------------------------------------------------

bool IsEditControlType(const QString& kind)
{
    return kind.compare(QLatin1String("CustomEdit"), Qt::CaseInsensitive) == 0 ||
           kind.compare(QLatin1String("LookupCombo"), Qt::CaseInsensitive) == 0 ||
           kind.compare(QLatin1String("Combo"), Qt::CaseInsensitive) == 0 ||
           kind.compare(QLatin1String("RichEdit"), Qt::CaseInsensitive) == 0;
}

void GetControlTypeEntry(const QStringList& list, const QString& fieldName, QString& kind, QString& params)
{
    kind.clear();
    params.clear();
    for (const QString& line : list) {
        const int first = line.indexOf(QLatin1Char(';'));
        const QString field = first < 0 ? line : line.left(first);
        if (field != fieldName) continue;
        if (first < 0) {
            kind.clear();
            params.clear();
            continue;
        }
        const int second = line.indexOf(QLatin1Char(';'), first + 1);
        kind = second < 0 ? line.mid(first + 1) : line.mid(first + 1, second - first - 1);
        params = second < 0 ? QString() : line.mid(second + 1).left(255);
    }
}

void StoreControlTypeEntry(QStringList& list, const QString& fieldName, const QString& kind, const QString& params)
{
    const bool remove = kind.isEmpty() || kind.compare(QLatin1String("field"), Qt::CaseInsensitive) == 0;
    for (int i = 0; i < list.size(); ++i) {
        const QString& line = list[i];
        const int first = line.indexOf(QLatin1Char(';'));
        const QString field = first < 0 ? line : line.left(first);
        if (field.compare(fieldName, Qt::CaseInsensitive) != 0) continue;
        if (remove) list.removeAt(i);
        else list[i] = field + QLatin1Char(';') + kind + QLatin1Char(';') + params;
        return;
    }
    if (!remove) list.append(fieldName + QLatin1Char(';') + kind + QLatin1Char(';') + params);
}

// ---------------------------------------------------------------------------------------------

QString SelectedPart(const QString& line, int part)
{
    const QStringList parts = line.split(QLatin1Char('\t'));
    if (part < parts.size()) {
        if (part == 3 && parts[part].isEmpty()) return QStringLiteral("F");
        return parts[part];
    }
    return part == 3 ? QStringLiteral("F") : QString();
}

QString WithSelectedPart(const QString& line, int part, const QString& value)
{
    QStringList parts;
    for (int k = 0; k < 5; ++k) parts << (k == part ? value : SelectedPart(line, k));
    QString result = parts.mid(0, 4).join(QLatin1Char('\t'));
    if (!parts[4].isEmpty()) result += QLatin1Char('\t') + parts[4];
    return result;
}

int FindSelectedEntry(const QStringList& list, const QString& fieldName)
{
    for (int i = 0; i < list.size(); ++i)
        if (SelectedPart(list[i], 0).compare(fieldName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void ApplySelectedToFields(TDataSet* dataSet, const QStringList& list)
{
    if (!dataSet) return;
    dataSet->DisableControls();
    try {
        for (TField* f : dataSet->Fields()) f->SetVisible(false);
        for (int k = 0; k < list.size(); ++k) {
            const QStringList parts = list[k].split(QLatin1Char('\t'));
            TField* f = dataSet->FindField(parts.value(0));
            if (!f) continue;
            if (parts.size() < 3) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {2}));
            int width = 0;
            if (!TryStrToInt(parts[1], width))
                throw EConvertError(Format(QStringLiteral("'%s' is not a valid integer value"), {parts[1]}));
            f->SetDisplayWidth(width);
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
        if (f->Visible())
            list << f->FieldName() + QLatin1Char('\t') + QString::number(f->DisplayWidth()) + QLatin1Char('\t') +
                        f->DisplayLabel();
}
