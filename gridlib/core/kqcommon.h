#pragma once
// Stateless services every unit of the grid library calls. The library never needs the
// dataset or control classes it works with: it recognises them by the name of their class or
// of an ancestor, and reaches their settings through published properties found by name
// (ignoring case). A reader answers its default when the property is missing; a writer answers
// false when it is missing or of the wrong kind.

#include "platform/core/TypInfo.h"
#include "platform/data/DB.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QMetaProperty>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;
class QWidget;

template <typename E>
using TkqSet = TSet<E>;

// The dataset event that a field whose value fails its mask triggers before the error.
using TkqInvalidValueEvent = std::function<void(TDataSet* dataSet, TField* field)>;
Q_DECLARE_METATYPE(TkqInvalidValueEvent)
// The record-filter event a dataset publishes as OnFilter.
using TFilterRecordEvent = TDataSet::TFilterRecordEvent;
Q_DECLARE_METATYPE(TFilterRecordEvent)
// The dataset notification a dataset publishes as OnFilterEscape.
Q_DECLARE_METATYPE(TDataSet::TDataSetNotifyEvent)

// Filter options of the library's table datasets (published as "OnFilterOptions").
enum TkqOnFilterOption { ofoEnabled, ofoShowHourGlass, ofoCancelOnEscape };
using TkqOnFilterOptions = TSet<TkqOnFilterOption>;
Q_DECLARE_METATYPE(TkqOnFilterOptions)

// --- Classes by name

// True when the class, or one of its ancestors, has that name (ignoring case); false for none.
bool IsClassOrAncestorNamed(const QMetaObject* classRef, const char* name);
bool IsClassOrAncestorNamed(const QObject* object, const char* name);

// --- Properties by name

// FindPublishedProperty, GetStringListProperty and the others: platform/core/TypInfo.h.

TkqInvalidValueEvent GetOnInvalidValueHandler(const QObject* dataSet);
bool GetPictureMaskList(const QObject* component, QStringList& list);
bool GetControlTypeList(const QObject* component, QStringList& list);
// True when the component lacks the switch.
bool GetControlInfoInDataSet(const QObject* component);
bool GetPictureMaskFromDataSet(const QObject* component);
bool GetLookupFieldsList(const QObject* dataSet, QStringList& list);
bool GetLookupLinksList(const QObject* dataSet, QStringList& list);
int GetDataSetCursorLocation(const QObject* dataSet);
bool SetDataSetCursorLocation(QObject* dataSet, int value);
bool SetDataSetMaxRecords(QObject* dataSet, int value);
QString GetDataSetDatabaseName(const QObject* dataSet);
bool SetDataSetDatabaseName(QObject* dataSet, const QString& text);
QString GetDataSetSessionName(const QObject* dataSet);
bool SetDataSetSessionName(QObject* dataSet, const QString& text);
QString GetDataSetTableName(const QObject* dataSet);
QObject* GetDataSetConnection(const QObject* dataSet);
bool SetDataSetConnection(QObject* dataSet, QObject* connection);
QString GetDataSetConnectionString(const QObject* dataSet);
bool SetDataSetConnectionString(QObject* dataSet, const QString& text);
QObject* GetDataSetDatabaseObject(const QObject* dataSet);
bool SetDataSetDatabaseObject(QObject* dataSet, QObject* database);
QObject* GetDataSetMasterSource(const QObject* dataSet);
QObject* GetDataSetParams(const QObject* dataSet);
// The dataset's own parameter list copies the given one (its invokable Assign).
bool SetDataSetParams(QObject* dataSet, QObject* params);
// A string-list property takes a copy of the lines, a text property the lines joined with
// CR LF; other kinds are left alone. False when nothing was assigned.
bool AssignLinesToProperty(QObject* dataSet, const QStringList& lines, const char* propertyName);
TDataSource* GetControlDataSource(const QObject* component);
// Only a windowed control takes part.
bool SetControlDataSource(QObject* component, TDataSource* source);
QString GetControlDataField(const QObject* control);
bool SetControlDataField(QObject* component, const QString& fieldName);
// Writes 1 (single) or 0 (none).
bool SetControlBorderStyle(QObject* control, bool single);
bool ControlHasBorder(const QObject* control);
bool GetControlWantReturns(const QObject* control);
// Without the property: {ofoEnabled} while the dataset is filtered.
TkqOnFilterOptions GetDataSetFilterOptions(const QObject* dataSet);
void SetFilterEnabledOption(QObject* dataSet, bool enabled);

// --- Where a control sits

// The widget a cell control counts as its parent: its parent widget, or the scroll area whose
// viewport that is.
QWidget* ControlParent(const QWidget* control);
// The parent's class or an ancestor has that name.
bool ParentIsNamed(const QWidget* control, const char* className);
bool IsInGrid(const QWidget* control);
bool IsPaintCopyInGrid(const QWidget* control);
bool IsPaintCopyInDBGrid(const QWidget* control);
bool IsInInspector(const QWidget* control);
bool IsPaintCopyInInspector(const QWidget* control);
bool IsPaintCopyState(TControlState state);
// There is no form designer here: always false.
bool IsInDesigner(const QObject* control);
// The first form up the owner chain: a window, or a child window of a multiple-document
// frame (each such window holds its own controls of the same names); none at the end.
QWidget* FindOwnerForm(const QObject* component);
// The same, stopping also at a frame (a class or ancestor named "TCustomFrame").
QWidget* FindOwnerFormOrFrame(const QObject* component);
// A visible child whose top-left corner lies outside the control's client rectangle.
bool HasChildOutsideClient(const QWidget* control);
// A control found by object name under root; "Frame.Edit" looks inside the child named Frame.
QWidget* FindNamedControl(QWidget* root, const QString& name);

// --- Numbers and rectangles

inline int IntegerMax(int a, int b) { return a > b ? a : b; }
inline int IntegerMin(int a, int b) { return a < b ? a : b; }
// Min when value is below Min, else the smaller of value and Max.
inline int ClampInteger(int value, int min, int max) { return value < min ? min : IntegerMin(value, max); }
// value x pixelsPerInch / 96, truncating toward zero.
inline int ScaleToScreenDpi(int value, int pixelsPerInch) { return value * pixelsPerInch / 96; }
// The primary screen without the task bar.
TRect GetDesktopWorkArea();

// --- Fields and datasets

inline bool DataSetAssigned(const TDataSet* dataSet) { return dataSet != nullptr; }
// False when the object is not a dataset.
bool DataSetHasField(const QObject* dataSet, const QString& name);
// The first field whose label equals the text ignoring case, "~" counting as a blank.
QString FieldNameFromDisplayLabel(const TDataSet* dataSet, const QString& label);
// Index of the first line equal to the text ignoring case; -1 when none.
int FindTextInList(const QStringList& list, const QString& text);
bool IsCalculatedOrLookup(const TField* field);
// No index can serve a search on the field.
bool IsScanOnlyField(const TField* field);
// False for bytes, var-bytes, blob and graphic fields.
bool IsSearchableFieldType(TFieldType type);
int CompareDataSetBookmarks(const TDataSet* dataSet, const TBookmark& a, const TBookmark& b);
inline QString BoolToTF(bool flag) { return flag ? QStringLiteral("T") : QStringLiteral("F"); }
// The lines joined by one blank, or by CR LF.
QString JoinLinesToBuffer(const QStringList& lines, bool blankSeparated);
// The next token of an SQL text from pos (1-based): a quoted text with its quotes, a run of
// "$", ".", digits, A-Z and "_", or one character. An unclosed quote gives nothing and pos
// stays on it; pos below 1 or past the end gives nothing.
QString NextSqlToken(const QString& text, int& pos);

// --- Keyboard and mouse

bool IsTypingKey(int virtualKey);
// Posts a key press and release of the key to the window as if the modifier key were held.
void PostKeystrokeWithModifier(QWidget* window, int virtualKey, int modifierKey);
// Releases the left button for the active form, or its first child that holds it.
void PostPendingButtonUp();
// Consumes the next key event waiting for the program; an Escape press switches the dataset's
// filtering off (ofoEnabled) and answers true.
bool EscapeStopsFilter(QObject* dataSet);

// --- Drawing

// DrawAlignedText options.
enum : unsigned { datPrefix = 0x1, datEllipsis = 0x2, datWordBreak = 0x4, datNoFill = 0x10, datCenterLine = 0x20 };
// alignment 0 left, 1 right, 2 centre.
void DrawAlignedText(TCanvas& canvas, const TRect& rect, int leftMargin, unsigned options, int alignment,
                     const QString& text, int topMargin);
bool FitsOneTextLine(TCanvas& canvas, const TRect& rect, unsigned format);
void DrawCellFocusFrame(TCanvas& canvas, const TRect& rect);
// The dotted focus rectangle, drawn by inverting (drawing it twice removes it).
void DrawFocusRect(TCanvas& canvas, const TRect& rect);
void DrawEllipsisButton(TCanvas& canvas, const TRect& rect, TButtonState buttonState, bool noEdge, bool noFill,
                        TControlState controlState);
void DrawComboArrowButton(TCanvas& canvas, const TRect& rect, TButtonState buttonState, bool enabled,
                          TControlState controlState);

// --- Rich text to plain text

// A grid cell shows one piece of a stored rich text: the rich-text control reads its streams
// in pieces of half its request size, and a limit of 2 stops after the first.
constexpr int RichTextPreviewPieceLimit = 2;

// Reads formatted text as the rich-text edit does; the rich-text library supplies it.
class TkqRichTextReader {
public:
    virtual ~TkqRichTextReader() = default;
    // pieceLimit 0: the whole text.
    virtual QString PlainText(const QByteArray& richText, int pieceLimit) = 0;
};
using TkqRichTextReaderFactory = std::function<std::unique_ptr<TkqRichTextReader>(QObject* owner)>;
void SetRichTextReaderFactory(TkqRichTextReaderFactory factory);
// The plain text of formatted text. reader is the caller's slot: made on first use (owned by
// the caller, its hidden control by owner) and reused. Without a reader plugged in, the bytes
// are read as plain text of the system code page.
QString RichTextToPlainText(QObject* owner, const QByteArray& buffer, std::unique_ptr<TkqRichTextReader>& reader,
                            int pieceLimit = 0);
