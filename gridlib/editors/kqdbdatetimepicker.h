#pragma once
// The data-aware date-time picker: a single-line edit that shows one date, time or date-and-time
// value in its display format and is edited part by part (day, month, year, hour, minute,
// second, designator), never as free text. Keys step the current part, jump it to its ends, or
// set it from typed digits and letters; a button drops down a month calendar. Bound to a field
// (DataSource, DataField) or unbound with a value of its own. The data grid places one over the
// current date cell and paints copies of it into the other cells.

#include "gridlib/core/kqdbedit.h"
#include "gridlib/editors/kqmonthcal.h"
#include "platform/data/DB.h"

#include <QFont>
#include <QPointer>
#include <QWidget>
#include <functional>

class TkqDBCustomDateTimePicker;

enum TkqDTEditDataType { kqDTEdtDate, kqDTEdtTime, kqDTEdtDateTime };
enum TDTDateFormat { dfShort, dfLong };
enum TkqDTCalAlignment { kqdtaLeft, kqdtaRight, kqdtaCenter };

// The minute part's step.
class TkqDTInterval : public QObject {
    Q_OBJECT
    Q_PROPERTY(int MinutesInterval MEMBER MinutesInterval)
    Q_PROPERTY(bool RoundMinutes MEMBER RoundMinutes)
public:
    explicit TkqDTInterval(QObject* owner = nullptr) : QObject(owner) {}
    // Taken as 1 when below 1 and as 60 above: the steps divide by it within an hour.
    int MinutesInterval = 1;
    bool RoundMinutes = false;
};

// What the drop-down calendar gets at every drop-down.
class TkqCalendarOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Alignment READ AlignmentValue WRITE SetAlignmentValue)
    Q_PROPERTY(TkqDateTimeColors* Colors READ Colors)
    Q_PROPERTY(int Options READ OptionsValue WRITE SetOptionsValue)
    Q_PROPERTY(TkqPopupYearOptions* PopupYearOptions READ PopupYearOptions)
    Q_PROPERTY(int FirstDayOfWeek READ FirstDayOfWeekValue WRITE SetFirstDayOfWeekValue)
public:
    explicit TkqCalendarOptions(QWidget* picker);
    TkqDTCalAlignment Alignment = kqdtaLeft;
    TkqDateTimeColors* Colors() const { return FColors; }
    void SetColors(const TkqDateTimeColors* colors)
    {
        if (colors != FColors) FColors->Assign(colors);
    }
    QFont Font;
    bool FontSet = false;   // a font of its own was given (else the picker's)
    void SetFont(const QFont& font)
    {
        Font = font;
        FontSet = true;
    }
    TkqMonthOptions Options{mdoDayState};
    TkqPopupYearOptions* PopupYearOptions() const { return FPopupYearOptions; }
    void SetPopupYearOptions(const TkqPopupYearOptions* options)
    {
        if (options != FPopupYearOptions) FPopupYearOptions->Assign(options);
    }
    TkqCalDayOfWeek FirstDayOfWeek = kqdowLocaleDefault;

private:
    int AlignmentValue() const { return int(Alignment); }
    void SetAlignmentValue(int v) { Alignment = TkqDTCalAlignment(v); }
    int OptionsValue() const { return int(Options.Bits()); }
    void SetOptionsValue(int v) { Options = TkqMonthOptions::FromBits(unsigned(v)); }
    int FirstDayOfWeekValue() const { return int(FirstDayOfWeek); }
    void SetFirstDayOfWeekValue(int v) { FirstDayOfWeek = TkqCalDayOfWeek(v); }
    TkqDateTimeColors* FColors;
    TkqPopupYearOptions* FPopupYearOptions;
};

// The drop-down calendar: a window of its own below the picker that never takes the focus.
class TkqPopupCalendar : public TkqMonthCalendar {
    Q_OBJECT
public:
    explicit TkqPopupCalendar(TkqDBCustomDateTimePicker* picker);
    void FocusIfVisible() override {}
    // A key the picker hands on: the calendar's own key handling.
    void SendKey(int& key, TShiftState shift) { KeyDown(key, shift); }

protected:
    void Change() override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TkqDBCustomDateTimePicker* FPicker;
};

// The drop-down button at the picker's right edge.
class TkqDateComboButton : public QWidget {
    Q_OBJECT
public:
    explicit TkqDateComboButton(TkqDBCustomDateTimePicker* picker);
    bool Down() const { return FDown; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TkqDBCustomDateTimePicker* FPicker;
    bool FDown = false;
    bool FMouseOver = false;
};

// One part of the display format in the shown text.
struct TkqDTPartInfo {
    int Start = 0;       // characters before the part
    int Length = 0;
    QString Token;       // empty: no such part
    QString Text;        // the text of the format up to and including the part
};

class TkqDBCustomDateTimePicker : public TkqCustomMaskEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(int UnboundDataType READ UnboundDataTypeValue WRITE SetUnboundDataTypeValue)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE SetDisplayFormat)
    Q_PROPERTY(int DateFormat READ DateFormatValue WRITE SetDateFormatValue)
    Q_PROPERTY(int Epoch READ Epoch WRITE SetEpoch)
    Q_PROPERTY(double MaxDate READ MaxDate WRITE SetMaxDate)
    Q_PROPERTY(double MinDate READ MinDate WRITE SetMinDate)
    Q_PROPERTY(double Date READ Date WRITE SetDate)
    Q_PROPERTY(double Time READ Time WRITE SetTime)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(TkqDTInterval* Interval READ Interval)
    Q_PROPERTY(TkqCalendarOptions* CalendarAttributes READ CalendarAttributes)
    Q_PROPERTY(bool ShowButton READ ShowButton WRITE SetShowButton)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE SetButtonWidth)

public:
    explicit TkqDBCustomDateTimePicker(QWidget* parent = nullptr);
    ~TkqDBCustomDateTimePicker() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FDataLink.Field(); }
    TFieldDataLink* DataLink() { return &FDataLink; }
    TkqDTEditDataType UnboundDataType() const { return FUnboundDataType; }
    void SetUnboundDataType(TkqDTEditDataType value);
    QString DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const QString& value);
    TDTDateFormat DateFormat() const { return FDateFormat; }
    void SetDateFormat(TDTDateFormat value);
    int Epoch() const { return FEpoch; }
    void SetEpoch(int value) { FEpoch = value; }
    TDateTime MaxDate() const { return FMaxDate; }
    void SetMaxDate(TDateTime value);
    TDateTime MinDate() const { return FMinDate; }
    void SetMinDate(TDateTime value);
    // The date (0 for a time-kind picker) and the time (0 for a date-kind one); a part typed
    // half-way is finished first.
    TDateTime Date() const;
    void SetDate(TDateTime value);
    TDateTime Time() const;
    void SetTime(TDateTime value);
    // The one setter of the value: outside a set bound it raises EDateTimeError, the value
    // stored and shown nevertheless.
    void SetDateTime(TDateTime value);
    TDateTime Value() const { return FValue; }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool value);
    TkqDTInterval* Interval() const { return FInterval; }
    TkqCalendarOptions* CalendarAttributes() const { return FCalendarAttributes; }
    bool ShowButton() const { return FShowButton; }
    virtual void SetShowButton(bool value);
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int value);
    TkqDateComboButton* Button() const { return FButton; }

    // The kinds of value edited.
    bool IsDateKind() const;
    bool IsTimeKind() const;
    bool IsDateTimeKind() const;
    bool EditsDateOnly() const;
    bool IsDangling() const;

    // The display format: own, else the field's, else (with defaults) the locale's.
    QString ResolveDisplayFormat(bool withDefaults) const;
    QString ExpandDisplayFormat() const;
    QString FormatValue(TDateTime value) const;
    QString DisplayText(TDateTime value) const;
    void RefreshText();

    // Parts of the expanded format.
    int CountParts() const;
    int CountShownParts() const;
    bool HasDesignatorPart() const;
    TkqDTPartInfo GetPartInfo(int n, TDateTime value) const;
    bool IsShortDateTimeFormat() const;
    bool IsTimeShown() const;
    bool IsTimePartAfterDate() const;
    int CurrentPart() const { return FCurrentPart; }
    void SetCurrentPart(int part) { FCurrentPart = part; }
    void SelectCurrentPart(TDateTime value);
    void SelectCurrentPart() { SelectCurrentPart(FValue); }
    bool InDigitEntry() const { return FInDigitEntry; }
    TDateTime PendingValue() const { return FPendingValue; }
    void CommitDigitEntry();

    // Edit permission and the data link.
    bool CanModify() const;
    virtual bool CanAcceptCalendarValue() const;
    virtual void EnterEditState();
    void SetModifiedState(bool flag);

    // The drop-down calendar.
    virtual void DropDown();
    virtual void CloseUp(bool accept);
    virtual bool IsDroppedDown() const;
    TkqPopupCalendar* Calendar() const { return FCalendar; }
    void ButtonClick();

    // The platform's clipboard commands.
    void CutToClipboard();
    void PasteFromClipboard();

    TCalcBoldDayEvent OnCalcBoldDay;
    std::function<void(QObject*)> OnDropDown;
    std::function<void(QObject*)> OnCloseUp;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject*)> OnMouseEnter;
    std::function<void(QObject*)> OnMouseLeave;
    std::function<void(QObject*, int& key, TShiftState shift)> OnKeyDown;
    std::function<void(QObject*, QChar& key)> OnKeyPress;

    // A refused key beeps; counted so that tests can see it.
    int BeepCount() const { return FBeeps; }

    void PaintCopy(TCanvas& canvas) override;
    void SetEditRect() override;

    // Date routines of the unit.
    static int DaysInMonth(int month, int year);
    static TDateTime AddMonths(int n, TDateTime value);
    static int ExpandTwoDigitYear(int yy, int epoch);
    static bool SameOrLaterDay(TDateTime a, TDateTime b);
    static QString ReplaceAllInFormat(const QString& text, const QString& oldText, const QString& newText);

protected:
    friend class TkqPopupCalendar;
    friend class TkqDateComboButton;

    // The key-down, character and before-dialog-key stages.
    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyPress(QChar& key);
    void HandleDropDownKey(int& key, TShiftState shift);
    virtual void Beep();
    void CalendarChange();
    void DataChange();
    void UpdateData();
    void UpdateRecordSafely();
    void RevertEdit();
    TDateTime EffectiveMaxDate() const;
    TDateTime EffectiveMinDate() const;
    void PlaceButton();
    int GetButtonLeft() const;
    int GetButtonWidth() const;
    // Paints the text as the picker shows it unfocused (and in copies).
    void PaintPicker(TCanvas& canvas);
    bool PaintsItself() const;

    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct TWork {
        int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, MSec = 0;
        TDateTime Max = 0, Min = 0;
        int MaxYear = 0, MaxMonth = 0, MaxDay = 0, MinYear = 0, MinMonth = 0, MinDay = 0;
    };
    void DecodeWork(TWork& w) const;
    void SetDateParts(const TWork& w);
    void StepDatePart(const QString& token, int n, bool wrap, TWork& w) const;
    bool MonthNameLetter(bool anyMonth, QChar ch, const QString& token, TWork& w) const;
    void DayNameLetter(QChar ch, const QString& token, TWork& w) const;
    int DesignatorLetter(int hour, QChar ch, const QString& token) const;
    int TypeDigit(int digit, const TkqDTPartInfo& info, TWork& w);
    bool IsDigitFinal(int digit, const QString& token) const;
    bool IsTypedValueValid(int value, const QString& token, TWork& w) const;
    bool DecadeCanReachMinDate(int digit) const;
    int AdjustHourForAmPm(int hour, int typed) const;
    void FirstAndLastDayOfWeek(int& first, int& last) const;
    bool WholeTextSelected() const;
    int SelStart() const;
    bool PassKeyToGrid(int& key, TShiftState shift);
    void FireGridKeyDown(int& key, TShiftState shift);
    bool FormatHasDatePart(const QString& format) const;
    void SetFocusedState(bool value);
    void DoExitPicker();
    void ShowCaret(bool show);
    TDateTime FieldValue() const;
    bool FieldIsNull() const;
    void TextChanged();
    int UnboundDataTypeValue() const { return int(FUnboundDataType); }
    void SetUnboundDataTypeValue(int v) { SetUnboundDataType(TkqDTEditDataType(v)); }
    int DateFormatValue() const { return int(FDateFormat); }
    void SetDateFormatValue(int v) { SetDateFormat(TDTDateFormat(v)); }

    TFieldDataLink FDataLink;
    TAlignment FFieldAlignment = taLeftJustify;
    QPointer<TkqPopupCalendar> FCalendar;
    TkqCalendarOptions* FCalendarAttributes;
    TDTDateFormat FDateFormat = dfShort;
    TDateTime FMaxDate = 0, FMinDate = 0;
    bool FInCloseUp = false;
    TDateTime FValueAtEnter = 0;
    TDateTime FValue = 0;
    TkqDateComboButton* FButton;
    bool FFocused = false;
    int FCurrentPart = 1;
    TkqDTEditDataType FUnboundDataType = kqDTEdtDateTime;
    QString FDisplayFormat;
    bool FInDigitEntry = false;
    bool FTextCleared = true;
    int FEpoch = 1950;
    bool FKeepSelectionOnEnter = false;
    TDateTime FValueBeforeDropDown = 0;
    bool FEscapeClosedDropDown = false;
    bool FShowButton = true;
    TkqDTInterval* FInterval;
    int FButtonWidth = 0;
    bool FValueFromCalendar = false;
    TDateTime FPendingValue = 0;
    bool FHookInstalled = false;
    bool FMouseOver = false;
    bool FCaretShown = true;
    int FBeeps = 0;
    bool FInExit = false;
};

class TkqDBDateTimePicker : public TkqDBCustomDateTimePicker {
    Q_OBJECT
public:
    explicit TkqDBDateTimePicker(QWidget* parent = nullptr) : TkqDBCustomDateTimePicker(parent) {}
};

// The data grid makes the picker of its date cells by class name: registers this class for it.
void RegisterDateTimePickerClass();
