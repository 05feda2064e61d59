#include "gridlib/dialogs/kqrecviewbuild.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqframe.h"
#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/core/SysUtils.h"
#include "platform/core/TypInfo.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPalette>

namespace kqrecview {

std::vector<TEntry> RecordEntries(const TDataSet* dataSet, const QStringList& selected)
{
    std::vector<TEntry> entries;
    if (!dataSet) return entries;
    if (!selected.isEmpty()) {
        entries.reserve(size_t(selected.size()));
        for (const QString& line : selected) {
            const QStringList parts = line.split(QLatin1Char('\t'));
            TEntry e;
            e.Field = dataSet->FindField(parts.value(0));
            if (e.Field) {
                bool ok = false;
                e.DisplayWidth = parts.value(1).trimmed().toInt(&ok);
                if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(parts.value(1)));
                e.Title = parts.value(2);
                e.ReadOnly = parts.value(3) == QLatin1String("T");
            }
            entries.push_back(e);
        }
        return entries;
    }
    entries.reserve(size_t(dataSet->FieldCount()));
    for (TField* field : dataSet->Fields())
        entries.push_back({field, field->DisplayWidth(), field->DisplayLabel(), field->ReadOnly()});
    return entries;
}

bool AcceptsEntry(const TEntry& entry, bool hideReadOnly, bool hideCalculated)
{
    if (!entry.Field) return false;
    if (entry.ReadOnly && hideReadOnly) return false;
    return !(entry.Field->Calculated() && hideCalculated);
}

namespace {
// The field's "Field;CheckBox;Checked;Unchecked" line, names compared exactly.
bool FindCheckBoxLine(QObject* control, const TField* field, QString& checked, QString& unchecked)
{
    QStringList list;
    QObject* owner = ChooseControlTypeOwner(control, field->DataSet());
    if (!GetControlTypeList(owner, list)) return false;
    for (const QString& line : list) {
        const QStringList parts = line.split(QLatin1Char(';'));
        if (parts.size() < 4 || parts[0] != field->FieldName() || parts[1] != QLatin1String("CheckBox")) continue;
        checked = parts[2];
        unchecked = parts[3];
        return true;
    }
    return false;
}

bool IsDateTimeType(TFieldType type)
{
    return type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
}
} // namespace

TEditorChoice ChooseEditor(QObject* control, const QList<const QObject*>& owners, TField* field, bool useCustomControls,
                           bool useDateTimePicker, bool editFrameInEffect)
{
    TEditorChoice choice;
    if (useCustomControls) {
        if (FindCheckBoxLine(control, field, choice.ValueChecked, choice.ValueUnchecked)) {
            choice.Kind = ekCheckBox;
            return choice;
        }
        for (const QObject* owner : owners) {
            if (!owner) continue;
            if (QWidget* found = FindCustomEditControl(control, owner, field)) {
                choice.Kind = ekBorrowed;
                choice.Borrowed = found;
                return choice;
            }
        }
    }
    const TFieldType type = field->DataType();
    if (IsDateTimeType(type) && useDateTimePicker) choice.Kind = ekDateTime;
    else if (IsRichTextField(field, true)) choice.Kind = ekRichEdit;
    else if (type == ftMemo || type == ftFmtMemo) choice.Kind = editFrameInEffect ? ekEditMemo : ekMemo;
    else if (type == ftGraphic) choice.Kind = ekImage;
    else choice.Kind = ekEdit;
    return choice;
}

QWidget* CreateEditor(TEditorKind kind, QWidget* parent)
{
    QWidget* editor = nullptr;
    switch (kind) {
    case ekDateTime: editor = new TkqDBDateTimePicker(parent); break;
    case ekRichEdit: editor = new TkqDBRichEdit(parent); break;
    case ekMemo: editor = new TkqDBMemo(parent); break;
    case ekEditMemo: editor = new TkqDBEditMemo(parent); break;
    case ekImage: {
        auto* image = new TDBImage(parent);
        image->SetStretch(false);
        editor = image;
        break;
    }
    default: editor = new TkqDBEdit(parent); break;
    }
    editor->hide();
    return editor;
}

QLabel* CreateLabel(bool forCheckBox, const QFont& font, const QString& caption, QWidget* parent)
{
    QLabel* label = forCheckBox ? new TkqLabel(parent) : new QLabel(parent);
    label->hide();
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    return label;
}

TkqDBCheckBox* CreateCheckBox(QWidget* parent, QLabel* label, const TEditorChoice& choice, TDataSource* source,
                              const TField* field, bool readOnly, bool disable)
{
    auto* box = new TkqDBCheckBox(parent);
    box->hide();
    box->SetLabel(label);
    if (label) label->setBuddy(box);
    box->SetCaption(QString());
    box->SetValueChecked(choice.ValueChecked);
    box->SetValueUnchecked(choice.ValueUnchecked);
    if (!BindControl(box, source, field->FieldName())) {
        delete box;
        return nullptr;
    }
    if (readOnly || field->Calculated()) {
        SetTabStop(box, false);
        if (disable) box->setEnabled(false);
    }
    return box;
}

void PrepareBorrowedControl(QWidget* control)
{
    WriteProperty(control, "Ctl3D", true);
    const TkqEditFrame* frame = GetControlFrame(control);
    if (!frame || !frame->Enabled()) SetControlBorderStyle(control, true);
}

std::unique_ptr<TkqCustomControlItem> SaveControlItem(QWidget* control)
{
    auto item = std::make_unique<TkqCustomControlItem>();
    item->Control = control;
    item->Left = control->x();
    item->Top = control->y();
    item->Width = control->width();
    item->Height = control->height();
    item->Parent = control->parentWidget();
    item->Visible = !control->isHidden();
    if (TkqButtonEffects* effects = GetControlButtonEffects(control)) {
        item->ButtonFlat = effects->Flat();
        item->ButtonTransparent = effects->Transparent();
    }
    return item;
}

void RestoreControlItem(const TkqCustomControlItem& item, QWidget* fallbackParent)
{
    QWidget* control = item.Control;
    if (!control) return;
    control->hide();
    QWidget* parent = item.Parent ? item.Parent.data() : fallbackParent;
    control->setParent(parent == control ? nullptr : parent);
    control->setGeometry(item.Left, item.Top, item.Width, item.Height);
    control->setVisible(item.Visible);
    if (TkqButtonEffects* effects = GetControlButtonEffects(control)) {
        effects->SetTransparent(item.ButtonTransparent);
        effects->SetFlat(item.ButtonFlat);
    }
}

int PlainEditWidth(int charWidth, int displayWidth) { return charWidth * (displayWidth + 1) + 3; }

int EditorButtonWidth(const QWidget* editor)
{
    const auto* picker = qobject_cast<const TkqDBCustomDateTimePicker*>(editor);
    if (!picker || !picker->ShowButton()) return 0;
    return picker->ButtonWidth() > 0 ? picker->ButtonWidth() : std::max(GetSystemMetrics(SM_CXVSCROLL), 15);
}

bool IsRichEditControl(const QObject* control)
{
    return IsClassOrAncestorNamed(control, "TCustomRichEdit") || IsClassOrAncestorNamed(control, "TkqCustomRichEdit");
}

void SetEditorColor(QWidget* editor, TColor color)
{
    if (WriteIntegerProperty(editor, "Color", int(color))) return;
    QPalette p = editor->palette();
    p.setColor(QPalette::Base, ColorToQColor(ColorToRGB(color)));
    p.setColor(QPalette::Window, ColorToQColor(ColorToRGB(color)));
    editor->setPalette(p);
    editor->setAutoFillBackground(true);
}

void SetTabStop(QWidget* control, bool tabStop)
{
    if (control->focusPolicy() == Qt::NoFocus) return;
    control->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

bool BindControl(QObject* control, TDataSource* source, const QString& fieldName)
{
    if (!SetControlDataSource(control, source)) return false;
    return SetControlDataField(control, fieldName);
}

QString LabelText(const QString& title)
{
    QString text = title;
    text.replace(QLatin1Char('~'), QLatin1Char(' '));
    return text;
}

int TextWidth(const QFont& font, const QString& text) { return QFontMetrics(font).horizontalAdvance(text); }

bool EditorModified(const QWidget* editor)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(editor)) return edit->isModified();
    if (const auto* memo = qobject_cast<const TDBMemo*>(editor)) return memo->Modified();
    if (const auto* rich = qobject_cast<const TCustomRichEdit*>(editor)) return rich->Modified();
    if (const auto* box = qobject_cast<const TkqCustomCheckBox*>(editor)) return box->Modified;
    return ReadBoolProperty(editor, "Modified", false);
}

void ClearEditorModified(QWidget* editor)
{
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) edit->setModified(false);
    else if (auto* memo = qobject_cast<TDBMemo*>(editor)) memo->SetModified(false);
    else if (auto* rich = qobject_cast<TCustomRichEdit*>(editor)) rich->SetModified(false);
    else if (auto* box = qobject_cast<TkqCustomCheckBox*>(editor)) box->Modified = false;
    else WriteProperty(editor, "Modified", false);
}

} // namespace kqrecview
