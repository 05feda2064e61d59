#include "gridlib/core/kqcommon.h"

#include "platform/vcl/Edges.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

// --- Classes by name ------------------------------------------------------------------------

bool IsClassOrAncestorNamed(const QMetaObject* classRef, const char* name)
{
    for (const QMetaObject* mo = classRef; mo; mo = mo->superClass())
        if (qstricmp(mo->className(), name) == 0) return true;
    return false;
}

bool IsClassOrAncestorNamed(const QObject* object, const char* name)
{
    return object && IsClassOrAncestorNamed(object->metaObject(), name);
}

// --- Properties by name ---------------------------------------------------------------------

namespace {
bool IsWindowed(const QObject* component)
{
    return component && component->isWidgetType();
}
} // namespace

TkqInvalidValueEvent GetOnInvalidValueHandler(const QObject* dataSet)
{
    const QMetaProperty p = FindPublishedProperty(dataSet, "OnInvalidValue");
    if (!p.isValid() || p.metaType() != QMetaType::fromType<TkqInvalidValueEvent>()) return {};
    return p.read(dataSet).value<TkqInvalidValueEvent>();
}

bool GetPictureMaskList(const QObject* component, QStringList& list)
{
    return GetStringListProperty(component, "PictureMasks", list);
}

bool GetControlTypeList(const QObject* component, QStringList& list)
{
    return GetStringListProperty(component, "ControlType", list);
}

bool GetControlInfoInDataSet(const QObject* component)
{
    return ReadBoolProperty(component, "ControlInfoInDataset", true);
}

bool GetPictureMaskFromDataSet(const QObject* component)
{
    return ReadBoolProperty(component, "PictureMaskFromDataSet", true);
}

bool GetLookupFieldsList(const QObject* dataSet, QStringList& list)
{
    return GetStringListProperty(dataSet, "LookupFields", list);
}

bool GetLookupLinksList(const QObject* dataSet, QStringList& list)
{
    return GetStringListProperty(dataSet, "LookupLinks", list);
}

int GetDataSetCursorLocation(const QObject* dataSet)
{
    return ReadProperty(dataSet, "CursorLocation").toInt();
}

bool SetDataSetCursorLocation(QObject* dataSet, int value)
{
    return WriteProperty(dataSet, "CursorLocation", value);
}

bool SetDataSetMaxRecords(QObject* dataSet, int value)
{
    return WriteProperty(dataSet, "MaxRecords", value);
}

QString GetDataSetDatabaseName(const QObject* dataSet)
{
    return ReadTextProperty(dataSet, "DatabaseName");
}

bool SetDataSetDatabaseName(QObject* dataSet, const QString& text)
{
    return WriteTextProperty(dataSet, "DatabaseName", text);
}

QString GetDataSetSessionName(const QObject* dataSet)
{
    return ReadTextProperty(dataSet, "SessionName");
}

bool SetDataSetSessionName(QObject* dataSet, const QString& text)
{
    return WriteTextProperty(dataSet, "SessionName", text);
}

QString GetDataSetTableName(const QObject* dataSet)
{
    return ReadTextProperty(dataSet, "TableName");
}

QObject* GetDataSetConnection(const QObject* dataSet)
{
    return ReadObjectProperty(dataSet, "Connection");
}

bool SetDataSetConnection(QObject* dataSet, QObject* connection)
{
    return WriteObjectProperty(dataSet, "Connection", connection);
}

QString GetDataSetConnectionString(const QObject* dataSet)
{
    return ReadTextProperty(dataSet, "ConnectionString");
}

bool SetDataSetConnectionString(QObject* dataSet, const QString& text)
{
    return WriteProperty(dataSet, "ConnectionString", text);
}

QObject* GetDataSetDatabaseObject(const QObject* dataSet)
{
    return ReadObjectProperty(dataSet, "Database");
}

bool SetDataSetDatabaseObject(QObject* dataSet, QObject* database)
{
    return WriteObjectProperty(dataSet, "Database", database);
}

QObject* GetDataSetMasterSource(const QObject* dataSet)
{
    return ReadObjectProperty(dataSet, "MasterSource");
}

QObject* GetDataSetParams(const QObject* dataSet)
{
    return ReadObjectProperty(dataSet, "Params");
}

bool SetDataSetParams(QObject* dataSet, QObject* params)
{
    QObject* own = GetDataSetParams(dataSet);
    return own && QMetaObject::invokeMethod(own, "Assign", Q_ARG(QObject*, params));
}

bool AssignLinesToProperty(QObject* dataSet, const QStringList& lines, const char* propertyName)
{
    const QMetaProperty p = FindPublishedProperty(dataSet, propertyName);
    if (!p.isValid() || !p.isWritable()) return false;
    if (IsStringListProperty(p)) return p.write(dataSet, QStringList(lines));
    if (IsStringProperty(p)) return p.write(dataSet, lines.join(QStringLiteral("\r\n")));
    return false;
}

TDataSource* GetControlDataSource(const QObject* component)
{
    return qobject_cast<TDataSource*>(ReadObjectProperty(component, "DataSource"));
}

bool SetControlDataSource(QObject* component, TDataSource* source)
{
    return IsWindowed(component) && WriteObjectProperty(component, "DataSource", source);
}

QString GetControlDataField(const QObject* control)
{
    return IsWindowed(control) ? ReadTextProperty(control, "DataField") : QString();
}

bool SetControlDataField(QObject* component, const QString& fieldName)
{
    return IsWindowed(component) && WriteTextProperty(component, "DataField", fieldName);
}

bool SetControlBorderStyle(QObject* control, bool single)
{
    return WriteProperty(control, "BorderStyle", single ? 1 : 0);
}

bool ControlHasBorder(const QObject* control)
{
    const QVariant v = ReadProperty(control, "BorderStyle");
    return v.isValid() && v.toInt() != 0;
}

bool GetControlWantReturns(const QObject* control)
{
    return ReadBoolProperty(control, "WantReturns", false);
}

TkqOnFilterOptions GetDataSetFilterOptions(const QObject* dataSet)
{
    const QMetaProperty p = FindPublishedProperty(dataSet, "OnFilterOptions");
    if (p.isValid()) return p.read(dataSet).value<TkqOnFilterOptions>();
    return ReadBoolProperty(dataSet, "Filtered", false) ? TkqOnFilterOptions{ofoEnabled} : TkqOnFilterOptions{};
}

void SetFilterEnabledOption(QObject* dataSet, bool enabled)
{
    const QMetaProperty p = FindPublishedProperty(dataSet, "OnFilterOptions");
    if (!p.isValid() || !p.isWritable()) return;
    const TkqOnFilterOptions options = p.read(dataSet).value<TkqOnFilterOptions>();
    p.write(dataSet, QVariant::fromValue(options.With(ofoEnabled, enabled)));
}

// --- Where a control sits -------------------------------------------------------------------

QWidget* ControlParent(const QWidget* control)
{
    if (!control) return nullptr;
    QWidget* parent = control->parentWidget();
    if (!parent) return nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(parent->parentWidget()); area && area->viewport() == parent)
        return area;
    return parent;
}

bool ParentIsNamed(const QWidget* control, const char* className)
{
    return IsClassOrAncestorNamed(ControlParent(control), className);
}

bool IsInGrid(const QWidget* control)
{
    return ParentIsNamed(control, "TCustomGrid");
}

bool IsPaintCopyState(TControlState state)
{
    return state.Contains(csPaintCopy);
}

bool IsPaintCopyInGrid(const QWidget* control)
{
    return IsInGrid(control) && IsPaintCopyState(GetControlState(control));
}

bool IsPaintCopyInDBGrid(const QWidget* control)
{
    return ParentIsNamed(control, "TkqCustomDBGrid") && IsPaintCopyState(GetControlState(control));
}

bool IsInInspector(const QWidget* control)
{
    return ParentIsNamed(control, "TkqDataInspector");
}

bool IsPaintCopyInInspector(const QWidget* control)
{
    return IsInInspector(control) && IsPaintCopyState(GetControlState(control));
}

bool IsInDesigner(const QObject*)
{
    return false;
}

namespace {
bool IsForm(const QWidget* w)
{
    return w->isWindow() || qobject_cast<QMdiSubWindow*>(w->parentWidget());
}
} // namespace

QWidget* FindOwnerForm(const QObject* component)
{
    for (const QObject* o = component; o; o = o->parent())
        if (o->isWidgetType() && IsForm(static_cast<const QWidget*>(o)))
            return const_cast<QWidget*>(static_cast<const QWidget*>(o));
    return nullptr;
}

QWidget* FindOwnerFormOrFrame(const QObject* component)
{
    for (const QObject* o = component; o; o = o->parent())
        if (o->isWidgetType() && (IsForm(static_cast<const QWidget*>(o)) || IsClassOrAncestorNamed(o, "TCustomFrame")))
            return const_cast<QWidget*>(static_cast<const QWidget*>(o));
    return nullptr;
}

bool HasChildOutsideClient(const QWidget* control)
{
    if (!control) return false;
    for (const QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isHidden() && !control->rect().contains(child->pos())) return true;
    return false;
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

// --- Numbers and rectangles ------------------------------------------------------------------

TRect GetDesktopWorkArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TRect::FromQRect(screen->availableGeometry()) : TRect();
}

// --- Fields and datasets ---------------------------------------------------------------------

bool DataSetHasField(const QObject* dataSet, const QString& name)
{
    const auto* ds = qobject_cast<const TDataSet*>(dataSet);
    return ds && ds->FindField(name);
}

QString FieldNameFromDisplayLabel(const TDataSet* dataSet, const QString& label)
{
    if (!dataSet) return QString();
    QString wanted = label;
    wanted.replace(QLatin1Char('~'), QLatin1Char(' '));
    for (const TField* f : dataSet->Fields()) {
        QString shown = f->DisplayLabel();
        shown.replace(QLatin1Char('~'), QLatin1Char(' '));
        if (shown.compare(wanted, Qt::CaseInsensitive) == 0) return f->FieldName();
    }
    return QString();
}

int FindTextInList(const QStringList& list, const QString& text)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].compare(text, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

bool IsCalculatedOrLookup(const TField* field)
{
    return field && (field->Calculated() || field->Lookup());
}

bool IsScanOnlyField(const TField* field)
{
    if (!field) return false;
    if (IsCalculatedOrLookup(field)) return true;
    return field->DataSet() && !IsClassOrAncestorNamed(field->DataSet(), "TBDEDataSet");
}

bool IsSearchableFieldType(TFieldType type)
{
    return type != ftBytes && type != ftVarBytes && type != ftBlob && type != ftGraphic;
}

int CompareDataSetBookmarks(const TDataSet* dataSet, const TBookmark& a, const TBookmark& b)
{
    return dataSet->CompareBookmarks(a, b);
}

QString JoinLinesToBuffer(const QStringList& lines, bool blankSeparated)
{
    return lines.join(blankSeparated ? QStringLiteral(" ") : QStringLiteral("\r\n"));
}

QString NextSqlToken(const QString& text, int& pos)
{
    const int n = text.size();
    if (pos < 1 || pos > n) return QString();
    auto at = [&](int i) { return text[i - 1]; };
    while (pos <= n && (at(pos) == QLatin1Char(' ') || at(pos) == QLatin1Char('\t'))) ++pos;
    if (pos > n) return QString();
    const QChar first = at(pos);
    if (first == QLatin1Char('"') || first == QLatin1Char('\'')) {
        const int close = text.indexOf(first, pos);   // 0-based, from the character after the quote
        if (close < 0) return QString();
        const QString token = text.mid(pos - 1, close + 1 - (pos - 1));
        pos = close + 2;
        return token;
    }
    auto inRun = [](QChar c) {
        return c == QLatin1Char('$') || c == QLatin1Char('.') || c == QLatin1Char('_') ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    };
    int end = pos;
    while (end <= n && inRun(at(end))) ++end;
    if (end == pos) ++end;   // one character of its own
    const QString token = text.mid(pos - 1, end - pos);
    pos = end;
    return token;
}

// --- Keyboard and mouse ----------------------------------------------------------------------

bool IsTypingKey(int virtualKey)
{
    return virtualKey == VK_BACK || virtualKey == VK_SPACE || virtualKey == VK_DELETE ||
           (virtualKey >= 0x30 && virtualKey <= 0x6F) || virtualKey > 0x91;
}

void PostKeystrokeWithModifier(QWidget* window, int virtualKey, int modifierKey)
{
    if (!window) return;
    Qt::KeyboardModifiers modifiers;
    if (modifierKey == VK_SHIFT) modifiers = Qt::ShiftModifier;
    else if (modifierKey == VK_CONTROL) modifiers = Qt::ControlModifier;
    else if (modifierKey == VK_MENU) modifiers = Qt::AltModifier;
    const int key = VirtualKeyToQtKey(virtualKey);
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, key, modifiers));
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, key, modifiers));
}

void PostPendingButtonUp()
{
    QWidget* form = QApplication::activeWindow();
    if (!form) return;
    QWidget* target = nullptr;
    if (GetControlState(form).Contains(csLButtonDown)) {
        target = form;
    } else {
        for (QWidget* child : form->findChildren<QWidget*>())
            if (GetControlState(child).Contains(csLButtonDown)) {
                target = child;
                break;
            }
    }
    if (!target) return;
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(0, 0), QPointF(0, 0),
                                                        target->mapToGlobal(QPointF(0, 0)), Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

namespace {
// Takes the first key event that reaches the program while it is installed.
class TKeyTaker : public QObject {
public:
    bool Taken = false;
    bool Escape = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (t != QEvent::KeyPress && t != QEvent::KeyRelease && t != QEvent::ShortcutOverride) return false;
        if (Taken) return false;
        if (t == QEvent::ShortcutOverride) return true;   // belongs to the press that follows
        Taken = true;
        Escape = t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        return true;
    }
};
} // namespace

bool EscapeStopsFilter(QObject* dataSet)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    TKeyTaker taker;
    app->installEventFilter(&taker);
    QCoreApplication::processEvents();
    app->removeEventFilter(&taker);
    if (!taker.Escape) return false;
    SetFilterEnabledOption(dataSet, false);
    return true;
}

// --- Drawing ---------------------------------------------------------------------------------

bool FitsOneTextLine(TCanvas& canvas, const TRect& rect, unsigned format)
{
    TRect measure(0, 0, rect.Width(), 0);
    const int lineHeight = canvas.DrawText(QStringLiteral(" "), measure, format | DT_CALCRECT);
    return lineHeight + 2 * GetSystemMetrics(SM_CYBORDER) + 3 >= rect.Height();
}

void DrawAlignedText(TCanvas& canvas, const TRect& rect, int leftMargin, unsigned options, int alignment,
                     const QString& text, int topMargin)
{
    TRect r(rect.Left + leftMargin, rect.Top + topMargin, rect.Right, rect.Bottom - 1);
    unsigned format = DT_EXPANDTABS | DT_NOPREFIX;
    if (alignment == 1) {
        format |= DT_RIGHT;
        r.Right = rect.Right - 2;
    } else if (alignment == 2) {
        format |= DT_CENTER;
        r.Left = rect.Left + (leftMargin > 3 ? 2 : 0);
    }
    if (options & datPrefix) format &= ~DT_NOPREFIX;
    if (options & datEllipsis) format |= DT_END_ELLIPSIS;
    if (options & datWordBreak) format |= DT_WORDBREAK;
    if (options & datCenterLine) format |= DT_SINGLELINE | DT_VCENTER;
    if ((format & DT_WORDBREAK) && ((options & datEllipsis) || FitsOneTextLine(canvas, r, format)))
        format &= ~DT_WORDBREAK;
    if (!(options & datNoFill)) {
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(rect);
    }
    const TBrushStyle style = canvas.Brush.Style;
    canvas.Brush.Style = bsClear;
    canvas.DrawText(text, r, format);
    canvas.Brush.Style = style;
}

void DrawFocusRect(TCanvas& canvas, const TRect& rect)
{
    if (rect.IsEmpty()) return;
    QPainter& p = canvas.Painter();
    p.save();
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.setPen(Qt::black);
    // Every other pixel of the border, each drawn once (inverting twice would undo it).
    auto dot = [&](int x, int y) {
        if (((x - rect.Left) + (y - rect.Top)) % 2 == 0) p.drawPoint(x, y);
    };
    for (int x = rect.Left; x < rect.Right; ++x) dot(x, rect.Top);
    if (rect.Bottom - 1 > rect.Top)
        for (int x = rect.Left; x < rect.Right; ++x) dot(x, rect.Bottom - 1);
    for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
        dot(rect.Left, y);
        if (rect.Right - 1 > rect.Left) dot(rect.Right - 1, y);
    }
    p.restore();
}

void DrawCellFocusFrame(TCanvas& canvas, const TRect& rect)
{
    const TBrushStyle brushStyle = canvas.Brush.Style;
    const TColor penColor = canvas.Pen.Color;
    canvas.Brush.Color = clHighlight;
    canvas.Brush.Style = bsSolid;
    canvas.FrameRect(rect);
    canvas.Font.Color = clHighlight;
    canvas.Brush.Style = brushStyle;
    canvas.Pen.Color = penColor;
    DrawFocusRect(canvas, rect);
}

void DrawEllipsisButton(TCanvas& canvas, const TRect& rect, TButtonState buttonState, bool noEdge, bool noFill,
                        TControlState controlState)
{
    const bool down = buttonState == bsDown;
    if (!noEdge) {
        TRect r = rect;
        unsigned flags = BF_RECT;
        if (!noFill) flags |= BF_MIDDLE;
        if (down && !IsPaintCopyState(controlState)) flags |= BF_FLAT;
        DrawEdge(canvas, r, EDGE_RAISED, flags);
    }
    const int side = IntegerMax((RectWidth(rect) + 1) / 8, 1);
    int x = rect.Left + (rect.Right - rect.Left) / 2 - 1;
    int y = rect.Top + (rect.Bottom - rect.Top + 1) / 2 - 1;
    if (down) {
        ++x;
        ++y;
    }
    const TCanvas::TBrushState saved = canvas.Brush;
    canvas.Brush.Color = clBlack;
    canvas.Brush.Style = bsSolid;
    for (int dx : {-2 * side, 0, 2 * side}) canvas.FillRect(TRect::Bounds(x + dx, y, side, side));
    canvas.Brush = saved;
}

void DrawComboArrowButton(TCanvas& canvas, const TRect& rect, TButtonState buttonState, bool enabled,
                          TControlState controlState)
{
    unsigned state = DFCS_SCROLLCOMBOBOX;
    if (!enabled) state |= DFCS_INACTIVE;
    else if (buttonState != bsUp && !IsPaintCopyState(controlState)) state |= DFCS_FLAT | DFCS_PUSHED;
    DrawFrameControl(canvas, rect, DFC_SCROLL, state);
}

// --- Rich text to plain text -------------------------------------------------------------------

namespace {
TkqRichTextReaderFactory& RichTextReaderFactory()
{
    static TkqRichTextReaderFactory factory;
    return factory;
}
} // namespace

void SetRichTextReaderFactory(TkqRichTextReaderFactory factory)
{
    RichTextReaderFactory() = std::move(factory);
}

QString RichTextToPlainText(QObject* owner, const QByteArray& buffer, std::unique_ptr<TkqRichTextReader>& reader,
                            int pieceLimit)
{
    if (!reader && RichTextReaderFactory()) reader = RichTextReaderFactory()(owner);
    return reader ? reader->PlainText(buffer, pieceLimit) : QString::fromLocal8Bit(buffer);
}
