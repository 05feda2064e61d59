#pragma once
// The grid library's one global texts-and-settings object: every caption, hint and message of
// the library's dialogs, navigator, grid, memo and rich-text editors, month calendar,
// incremental search and validation errors, and a few library-wide settings. A program changes
// the global object's properties in code, or places a TkqIntl of its own, edits its texts and
// sets Connected, which copies everything it holds into the global object.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QWidget;
class TField;

using TFontStyles = TSet<TFontStyle>;
Q_DECLARE_METATYPE(TFontStyles)

// How the grid paints check boxes.
enum TkqCheckBoxInGridStyle { cbStyleAuto, cbStyleCheckmark, cbStyleXmark, cbStyleCheckmarkFlat };
Q_DECLARE_METATYPE(TkqCheckBoxInGridStyle)

// Called before a picture-mask failure is reported: the handler may change the message, or
// clear doDefault to let the control go on as if the value were accepted.
using TkqPictureValidationError = std::function<void(QObject* sender, TField* field, QString& msg, bool& doDefault)>;
Q_DECLARE_METATYPE(TkqPictureValidationError)

// Base of the text holders: copies every property of another holder of its class, holders
// held by it included.
class TkqIntlHolder : public QObject {
    Q_OBJECT
public:
    explicit TkqIntlHolder(QObject* parent = nullptr) : QObject(parent) {}
    void Assign(const TkqIntlHolder& source);
};

// The message-box and error texts.
class TkqUserMessagesIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString kqDBGridDiscardChanges MEMBER kqDBGridDiscardChanges)
    Q_PROPERTY(QString PictureValidateError MEMBER PictureValidateError)
    Q_PROPERTY(QString LocateNoMatches MEMBER LocateNoMatches)
    Q_PROPERTY(QString LocateNoMoreMatches MEMBER LocateNoMoreMatches)
    Q_PROPERTY(QString MemoChangesWarning MEMBER MemoChangesWarning)
    Q_PROPERTY(QString RichEditExitWarning MEMBER RichEditExitWarning)
    Q_PROPERTY(QString RichEditClearWarning MEMBER RichEditClearWarning)
    Q_PROPERTY(QString RichEditSpellCheckComplete MEMBER RichEditSpellCheckComplete)
    Q_PROPERTY(QString RichEditMSWordNotFound MEMBER RichEditMSWordNotFound)
    Q_PROPERTY(QString FilterDlgNoCriteria MEMBER FilterDlgNoCriteria)
    Q_PROPERTY(QString RecordViewExitWarning MEMBER RecordViewExitWarning)
public:
    explicit TkqUserMessagesIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString kqDBGridDiscardChanges = QStringLiteral("Discard changes to this record?");
    QString PictureValidateError = QStringLiteral("Invalid characters. Field : ");
    QString LocateNoMatches = QStringLiteral("No matches found");
    QString LocateNoMoreMatches = QStringLiteral("No more matches found");
    QString MemoChangesWarning = QStringLiteral("Changes have been made!  Are you sure you wish to cancel?");
    QString RichEditExitWarning = QStringLiteral("Changes have been made!  Do you wish to save your changes?");
    QString RichEditClearWarning = QStringLiteral("Clear entire text?");
    QString RichEditSpellCheckComplete = QStringLiteral("The spell check is complete.");
    QString RichEditMSWordNotFound = QStringLiteral("Unable to start Microsoft Word's Spell Checker.");
    QString FilterDlgNoCriteria = QStringLiteral("You have not selected any search criteria");
    QString RecordViewExitWarning = QStringLiteral("Changes have been made!  Do you wish to save your changes?");
};

// The hints of the navigator buttons.
class TkqDBNavigatorIntlHints : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString FirstHint MEMBER FirstHint)
    Q_PROPERTY(QString PriorHint MEMBER PriorHint)
    Q_PROPERTY(QString NextHint MEMBER NextHint)
    Q_PROPERTY(QString LastHint MEMBER LastHint)
    Q_PROPERTY(QString InsertHint MEMBER InsertHint)
    Q_PROPERTY(QString DeleteHint MEMBER DeleteHint)
    Q_PROPERTY(QString EditHint MEMBER EditHint)
    Q_PROPERTY(QString PostHint MEMBER PostHint)
    Q_PROPERTY(QString CancelHint MEMBER CancelHint)
    Q_PROPERTY(QString RefreshHint MEMBER RefreshHint)
    Q_PROPERTY(QString PriorPageHint MEMBER PriorPageHint)
    Q_PROPERTY(QString NextPageHint MEMBER NextPageHint)
    Q_PROPERTY(QString SaveBookmarkHint MEMBER SaveBookmarkHint)
    Q_PROPERTY(QString RestoreBookmarkHint MEMBER RestoreBookmarkHint)
    Q_PROPERTY(QString RecordViewDialogHint MEMBER RecordViewDialogHint)
    Q_PROPERTY(QString LocateDialogHint MEMBER LocateDialogHint)
    Q_PROPERTY(QString FilterDialogHint MEMBER FilterDialogHint)
    Q_PROPERTY(QString SearchDialogHint MEMBER SearchDialogHint)
public:
    explicit TkqDBNavigatorIntlHints(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString FirstHint = QStringLiteral("Move to first record");
    QString PriorHint = QStringLiteral("Move to prior record");
    QString NextHint = QStringLiteral("Move to next record");
    QString LastHint = QStringLiteral("Move to last record");
    QString InsertHint = QStringLiteral("Insert new record");
    QString DeleteHint = QStringLiteral("Delete current record");
    QString EditHint = QStringLiteral("Edit current record");
    QString PostHint = QStringLiteral("Post changes of current record");
    QString CancelHint = QStringLiteral("Cancel changes made to current record");
    QString RefreshHint = QStringLiteral("Refresh the contents of the dataset");
    QString PriorPageHint = QStringLiteral("Move backward %d records");
    QString NextPageHint = QStringLiteral("Move forward %d records");
    QString SaveBookmarkHint = QStringLiteral("Bookmark current record");
    QString RestoreBookmarkHint = QStringLiteral("Go back to saved bookmark");
    QString RecordViewDialogHint = QStringLiteral("View current record");
    QString LocateDialogHint = QStringLiteral("Locate a specific record");
    QString FilterDialogHint = QStringLiteral("Filter the dataset");
    QString SearchDialogHint = QStringLiteral("Search the dataset");
};

// The incremental search dialog texts.
class TkqSearchDialogIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString SearchCharLabel MEMBER SearchCharLabel)
    Q_PROPERTY(QString SearchCharShortLabel MEMBER SearchCharShortLabel)
    Q_PROPERTY(QString SearchByLabel MEMBER SearchByLabel)
    Q_PROPERTY(QString StatusRecLabel MEMBER StatusRecLabel)
    Q_PROPERTY(QString StatusOfLabel MEMBER StatusOfLabel)
    Q_PROPERTY(QString SearchCharHint MEMBER SearchCharHint)
    Q_PROPERTY(QString SearchByHint MEMBER SearchByHint)
public:
    explicit TkqSearchDialogIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString SearchCharLabel = QStringLiteral("&Search Characters");
    QString SearchCharShortLabel = QStringLiteral("&Search Char");
    QString SearchByLabel = QStringLiteral("Search &By");
    QString StatusRecLabel = QStringLiteral("Rec #");
    QString StatusOfLabel = QStringLiteral("of");
    QString SearchCharHint = QStringLiteral("Enter characters for incremental search");
    QString SearchByHint = QStringLiteral("Incremental searching and sorting order");
};

// The month calendar texts.
class TkqMonthCalendarIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString PopupYearLabel MEMBER PopupYearLabel)
    Q_PROPERTY(QString EnterYearPrompt MEMBER EnterYearPrompt)
public:
    explicit TkqMonthCalendarIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString PopupYearLabel = QStringLiteral("Edit Year");
    QString EnterYearPrompt = QStringLiteral("Enter Valid Year");
};

// The locate dialog texts.
class TkqLocateDialogIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString FieldValueLabel MEMBER FieldValueLabel)
    Q_PROPERTY(QString SearchTypeLabel MEMBER SearchTypeLabel)
    Q_PROPERTY(QString CaseSensitiveLabel MEMBER CaseSensitiveLabel)
    Q_PROPERTY(QString MatchExactLabel MEMBER MatchExactLabel)
    Q_PROPERTY(QString MatchStartLabel MEMBER MatchStartLabel)
    Q_PROPERTY(QString MatchAnyLabel MEMBER MatchAnyLabel)
    Q_PROPERTY(QString FieldsLabel MEMBER FieldsLabel)
    Q_PROPERTY(QString BtnFirst MEMBER BtnFirst)
    Q_PROPERTY(QString BtnNext MEMBER BtnNext)
    Q_PROPERTY(QString BtnCancel MEMBER BtnCancel)
    Q_PROPERTY(QString BtnClose MEMBER BtnClose)
    Q_PROPERTY(QString FieldValueHint MEMBER FieldValueHint)
    Q_PROPERTY(QString CaseSensitiveHint MEMBER CaseSensitiveHint)
    Q_PROPERTY(QString MatchExactHint MEMBER MatchExactHint)
    Q_PROPERTY(QString MatchStartHint MEMBER MatchStartHint)
    Q_PROPERTY(QString MatchAnyHint MEMBER MatchAnyHint)
    Q_PROPERTY(QString BtnFirstHint MEMBER BtnFirstHint)
    Q_PROPERTY(QString BtnNextHint MEMBER BtnNextHint)
    Q_PROPERTY(QString FieldNameHint MEMBER FieldNameHint)
public:
    explicit TkqLocateDialogIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString FieldValueLabel = QStringLiteral("Field &Value");
    QString SearchTypeLabel = QStringLiteral("&Search Type");
    QString CaseSensitiveLabel = QStringLiteral("&Case-sensitive");
    QString MatchExactLabel = QStringLiteral("&Exact Match");
    QString MatchStartLabel = QStringLiteral("&Partial Match at Beginning");
    QString MatchAnyLabel = QStringLiteral("Partial Match &Anywhere");
    QString FieldsLabel = QStringLiteral("&Fields");
    QString BtnFirst = QStringLiteral("Fi&rst");
    QString BtnNext = QStringLiteral("&Next");
    QString BtnCancel = QStringLiteral("Cancel");
    QString BtnClose = QStringLiteral("Close");
    QString FieldValueHint = QStringLiteral("Enter field's search value");
    QString CaseSensitiveHint = QStringLiteral("Searching is case-sensitive");
    QString MatchExactHint = QStringLiteral("Match occurs only if there is an exact match");
    QString MatchStartHint = QStringLiteral("Match occurs if the start of the field's value matches");
    QString MatchAnyHint = QStringLiteral("Match occurs if any part of the field matches");
    QString BtnFirstHint = QStringLiteral("Find first match");
    QString BtnNextHint = QStringLiteral("Find next match from current record");
    QString FieldNameHint = QStringLiteral("Select the field to search on");
};

// The filter dialog texts.
class TkqFilterDialogIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString BtnViewSummary MEMBER BtnViewSummary)
    Q_PROPERTY(QString BtnViewSummaryHint MEMBER BtnViewSummaryHint)
    Q_PROPERTY(QString BtnNewSearch MEMBER BtnNewSearch)
    Q_PROPERTY(QString BtnNewSearchHint MEMBER BtnNewSearchHint)
    Q_PROPERTY(QString FieldOrderLabel MEMBER FieldOrderLabel)
    Q_PROPERTY(QString FieldOrderHint MEMBER FieldOrderHint)
    Q_PROPERTY(QString AlphabeticLabel MEMBER AlphabeticLabel)
    Q_PROPERTY(QString LogicalLabel MEMBER LogicalLabel)
    Q_PROPERTY(QString AllFieldsLabel MEMBER AllFieldsLabel)
    Q_PROPERTY(QString SearchedFieldsLabel MEMBER SearchedFieldsLabel)
    Q_PROPERTY(QString StartingRangeLabel MEMBER StartingRangeLabel)
    Q_PROPERTY(QString EndingRangeLabel MEMBER EndingRangeLabel)
    Q_PROPERTY(QString StartingRangeHint MEMBER StartingRangeHint)
    Q_PROPERTY(QString EndingRangeHint MEMBER EndingRangeHint)
    Q_PROPERTY(QString BtnClearMin MEMBER BtnClearMin)
    Q_PROPERTY(QString BtnClearMax MEMBER BtnClearMax)
    Q_PROPERTY(QString BtnClearFilterValue MEMBER BtnClearFilterValue)
    Q_PROPERTY(QString BtnClearMinHint MEMBER BtnClearMinHint)
    Q_PROPERTY(QString BtnClearMaxHint MEMBER BtnClearMaxHint)
    Q_PROPERTY(QString BtnClearFilterValueHint MEMBER BtnClearFilterValueHint)
    Q_PROPERTY(QString ByValueLabel MEMBER ByValueLabel)
    Q_PROPERTY(QString ByRangeLabel MEMBER ByRangeLabel)
    Q_PROPERTY(QString FieldValueLabel MEMBER FieldValueLabel)
    Q_PROPERTY(QString FieldValueHint MEMBER FieldValueHint)
    Q_PROPERTY(QString SearchTypeLabel MEMBER SearchTypeLabel)
    Q_PROPERTY(QString SearchTypeHint MEMBER SearchTypeHint)
    Q_PROPERTY(QString MatchExactLabel MEMBER MatchExactLabel)
    Q_PROPERTY(QString MatchStartLabel MEMBER MatchStartLabel)
    Q_PROPERTY(QString MatchAnyLabel MEMBER MatchAnyLabel)
    Q_PROPERTY(QString CaseSensitiveLabel MEMBER CaseSensitiveLabel)
    Q_PROPERTY(QString CaseSensitiveHint MEMBER CaseSensitiveHint)
    Q_PROPERTY(QString NonMatchingLabel MEMBER NonMatchingLabel)
    Q_PROPERTY(QString NonMatchingHint MEMBER NonMatchingHint)
    Q_PROPERTY(QString SummaryFieldLabel MEMBER SummaryFieldLabel)
    Q_PROPERTY(QString SummarySearchLabel MEMBER SummarySearchLabel)
    Q_PROPERTY(QString SummaryValueLabel MEMBER SummaryValueLabel)
    Q_PROPERTY(QString SummaryCaption MEMBER SummaryCaption)
    Q_PROPERTY(QString FieldsLabel MEMBER FieldsLabel)
    Q_PROPERTY(QString ValueRangeTabHint MEMBER ValueRangeTabHint)
    Q_PROPERTY(QString AllSearchedTabHint MEMBER AllSearchedTabHint)
    Q_PROPERTY(QString ViewSummaryNotText MEMBER ViewSummaryNotText)
public:
    explicit TkqFilterDialogIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString BtnViewSummary = QStringLiteral("View Su&mmary");
    QString BtnViewSummaryHint = QStringLiteral("View summary of current search criteria");
    QString BtnNewSearch = QStringLiteral("&New Search");
    QString BtnNewSearchHint = QStringLiteral("Start a new search");
    QString FieldOrderLabel = QStringLiteral("Field Order");
    QString FieldOrderHint = QStringLiteral("Sort field list alphabetically or in their natural logical order");
    QString AlphabeticLabel = QStringLiteral("Alpha&betic");
    QString LogicalLabel = QStringLiteral("&Logical");
    QString AllFieldsLabel = QStringLiteral("&All");
    QString SearchedFieldsLabel = QStringLiteral("&Searched");
    QString StartingRangeLabel = QStringLiteral("&Starting Range");
    QString EndingRangeLabel = QStringLiteral("En&ding Range");
    QString StartingRangeHint = QStringLiteral("Enter starting range for field");
    QString EndingRangeHint = QStringLiteral("Enter ending range for field");
    QString BtnClearMin = QStringLiteral("&Clear");
    QString BtnClearMax = QStringLiteral("Cl&ear");
    QString BtnClearFilterValue = QStringLiteral("&Clear");
    QString BtnClearMinHint = QStringLiteral("Clear starting range for field");
    QString BtnClearMaxHint = QStringLiteral("Clear ending range for field");
    QString BtnClearFilterValueHint = QStringLiteral("Clear the current field's search value");
    QString ByValueLabel = QStringLiteral("By &Value");
    QString ByRangeLabel = QStringLiteral("By &Range");
    QString FieldValueLabel = QStringLiteral("Field &Value");
    QString FieldValueHint = QStringLiteral("Enter field's search value");
    QString SearchTypeLabel = QStringLiteral("Search Type");
    QString SearchTypeHint = QStringLiteral("Specify how the Field Value should be compared");
    QString MatchExactLabel = QStringLiteral("&Exact Match");
    QString MatchStartLabel = QStringLiteral("&Partial Match at Beginning");
    QString MatchAnyLabel = QStringLiteral("Partial Match Any&where");
    QString CaseSensitiveLabel = QStringLiteral("Case Sensi&tive");
    QString CaseSensitiveHint = QStringLiteral("Searching is case-sensitive");
    QString NonMatchingLabel = QStringLiteral("N&on-matching records");
    QString NonMatchingHint = QStringLiteral("Show records that do not match the field value criteria");
    QString SummaryFieldLabel = QStringLiteral("Field");
    QString SummarySearchLabel = QStringLiteral("Search Type");
    QString SummaryValueLabel = QStringLiteral("Value");
    QString SummaryCaption = QString();
    QString FieldsLabel = QStringLiteral("&Fields");
    QString ValueRangeTabHint = QStringLiteral("Search fields by value or by range");
    QString AllSearchedTabHint = QStringLiteral("Show all fields or only currently searched fields");
    QString ViewSummaryNotText = QStringLiteral("NOT");
};

// The main menu of the rich-text editor window.
class TkqRichEditMenuLabels : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString FileCaption MEMBER FileCaption)
    Q_PROPERTY(QString LoadCaption MEMBER LoadCaption)
    Q_PROPERTY(QString SaveAsCaption MEMBER SaveAsCaption)
    Q_PROPERTY(QString SaveExitCaption MEMBER SaveExitCaption)
    Q_PROPERTY(QString PrintCaption MEMBER PrintCaption)
    Q_PROPERTY(QString PageSetupCaption MEMBER PageSetupCaption)
    Q_PROPERTY(QString ExitCaption MEMBER ExitCaption)
    Q_PROPERTY(QString EditCaption MEMBER EditCaption)
    Q_PROPERTY(QString UndoCaption MEMBER UndoCaption)
    Q_PROPERTY(QString CutCaption MEMBER CutCaption)
    Q_PROPERTY(QString CopyCaption MEMBER CopyCaption)
    Q_PROPERTY(QString PasteCaption MEMBER PasteCaption)
    Q_PROPERTY(QString ClearCaption MEMBER ClearCaption)
    Q_PROPERTY(QString SelectallCaption MEMBER SelectallCaption)
    Q_PROPERTY(QString FindCaption MEMBER FindCaption)
    Q_PROPERTY(QString FindNextCaption MEMBER FindNextCaption)
    Q_PROPERTY(QString ReplaceCaption MEMBER ReplaceCaption)
    Q_PROPERTY(QString InsertObjectCaption MEMBER InsertObjectCaption)
    Q_PROPERTY(QString ToolCaption MEMBER ToolCaption)
    Q_PROPERTY(QString SpellCheckCaption MEMBER SpellCheckCaption)
    Q_PROPERTY(QString InsertCaption MEMBER InsertCaption)
    Q_PROPERTY(QString RulerCaption MEMBER RulerCaption)
    Q_PROPERTY(QString RedoCaption MEMBER RedoCaption)
    Q_PROPERTY(QString ViewCaption MEMBER ViewCaption)
    Q_PROPERTY(QString ToolbarCaption MEMBER ToolbarCaption)
    Q_PROPERTY(QString FormatBarCaption MEMBER FormatBarCaption)
    Q_PROPERTY(QString ViewStatusBarCaption MEMBER ViewStatusBarCaption)
    Q_PROPERTY(QString OptionsCaption MEMBER OptionsCaption)
    Q_PROPERTY(QString FormatCaption MEMBER FormatCaption)
    Q_PROPERTY(QString FontCaption MEMBER FontCaption)
    Q_PROPERTY(QString BulletStyleCaption MEMBER BulletStyleCaption)
    Q_PROPERTY(QString ParagraphCaption MEMBER ParagraphCaption)
    Q_PROPERTY(QString TabsCaption MEMBER TabsCaption)
    Q_PROPERTY(QString HelpCaption MEMBER HelpCaption)
public:
    explicit TkqRichEditMenuLabels(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString FileCaption = QStringLiteral("&File");
    QString LoadCaption = QStringLiteral("&Load");
    QString SaveAsCaption = QStringLiteral("Save &As");
    QString SaveExitCaption = QStringLiteral("&Save and Exit");
    QString PrintCaption = QStringLiteral("&Print");
    QString PageSetupCaption = QStringLiteral("Page Set&up");
    QString ExitCaption = QStringLiteral("E&xit");
    QString EditCaption = QStringLiteral("&Edit");
    QString UndoCaption = QStringLiteral("&Undo");
    QString CutCaption = QStringLiteral("Cu&t");
    QString CopyCaption = QStringLiteral("&Copy");
    QString PasteCaption = QStringLiteral("&Paste");
    QString ClearCaption = QStringLiteral("Cle&ar");
    QString SelectallCaption = QStringLiteral("Select A&ll");
    QString FindCaption = QStringLiteral("&Find");
    QString FindNextCaption = QStringLiteral("Find &Next");
    QString ReplaceCaption = QStringLiteral("R&eplace");
    QString InsertObjectCaption = QStringLiteral("&Object...");
    QString ToolCaption = QStringLiteral("&Tools");
    QString SpellCheckCaption = QStringLiteral("Check &Spelling");
    QString InsertCaption = QStringLiteral("&Insert");
    QString RulerCaption = QStringLiteral("&Ruler");
    QString RedoCaption = QString();
    QString ViewCaption = QStringLiteral("&View");
    QString ToolbarCaption = QStringLiteral("&Toolbar");
    QString FormatBarCaption = QStringLiteral("&Format Bar");
    QString ViewStatusBarCaption = QStringLiteral("&Status Bar");
    QString OptionsCaption = QStringLiteral("&Options");
    QString FormatCaption = QStringLiteral("F&ormat");
    QString FontCaption = QStringLiteral("&Font");
    QString BulletStyleCaption = QStringLiteral("&Bullet Style");
    QString ParagraphCaption = QStringLiteral("&Paragraph");
    QString TabsCaption = QStringLiteral("&Tabs");
    QString HelpCaption = QStringLiteral("Help");
};

// The context menu of the rich-text editor.
class TkqRichEditPopupMenuLabels : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString EditCaption MEMBER EditCaption)
    Q_PROPERTY(QString ViewCaption MEMBER ViewCaption)
    Q_PROPERTY(QString CutCaption MEMBER CutCaption)
    Q_PROPERTY(QString CopyCaption MEMBER CopyCaption)
    Q_PROPERTY(QString PasteCaption MEMBER PasteCaption)
    Q_PROPERTY(QString FontCaption MEMBER FontCaption)
    Q_PROPERTY(QString BulletStyleCaption MEMBER BulletStyleCaption)
    Q_PROPERTY(QString BoldCaption MEMBER BoldCaption)
    Q_PROPERTY(QString ItalicCaption MEMBER ItalicCaption)
    Q_PROPERTY(QString UnderlineCaption MEMBER UnderlineCaption)
    Q_PROPERTY(QString ParagraphCaption MEMBER ParagraphCaption)
    Q_PROPERTY(QString TabsCaption MEMBER TabsCaption)
    Q_PROPERTY(QString FindCaption MEMBER FindCaption)
    Q_PROPERTY(QString ReplaceCaption MEMBER ReplaceCaption)
    Q_PROPERTY(QString InsertObjectCaption MEMBER InsertObjectCaption)
    Q_PROPERTY(QString ObjectPropertiesCaption MEMBER ObjectPropertiesCaption)
    Q_PROPERTY(QString SpellCheckCaption MEMBER SpellCheckCaption)
public:
    explicit TkqRichEditPopupMenuLabels(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString EditCaption = QStringLiteral("&Edit");
    QString ViewCaption = QStringLiteral("&View");
    QString CutCaption = QStringLiteral("Cu&t");
    QString CopyCaption = QStringLiteral("&Copy");
    QString PasteCaption = QStringLiteral("&Paste");
    QString FontCaption = QStringLiteral("&Font");
    QString BulletStyleCaption = QStringLiteral("&Bullet Style");
    QString BoldCaption = QStringLiteral("B&old");
    QString ItalicCaption = QStringLiteral("&Italic");
    QString UnderlineCaption = QStringLiteral("&Underline");
    QString ParagraphCaption = QStringLiteral("P&aragraph");
    QString TabsCaption = QStringLiteral("&Tabs");
    QString FindCaption = QStringLiteral("Fin&d");
    QString ReplaceCaption = QStringLiteral("&Replace");
    QString InsertObjectCaption = QStringLiteral("Insert &Object...");
    QString ObjectPropertiesCaption = QStringLiteral("Object P&roperties");
    QString SpellCheckCaption = QStringLiteral("Check &Spelling");
};

// The paragraph dialog texts.
class TkqRichEditParagraphDlg : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString ParagraphDlgCaption MEMBER ParagraphDlgCaption)
    Q_PROPERTY(QString IndentationGroupBoxCaption MEMBER IndentationGroupBoxCaption)
    Q_PROPERTY(QString LeftEditHint MEMBER LeftEditHint)
    Q_PROPERTY(QString RightEditHint MEMBER RightEditHint)
    Q_PROPERTY(QString FirstLineEditHint MEMBER FirstLineEditHint)
    Q_PROPERTY(QString AlignmentHint MEMBER AlignmentHint)
    Q_PROPERTY(QString LeftEditCaption MEMBER LeftEditCaption)
    Q_PROPERTY(QString RightEditCaption MEMBER RightEditCaption)
    Q_PROPERTY(QString FirstLineEditCaption MEMBER FirstLineEditCaption)
    Q_PROPERTY(QString SpacingGroupCaption MEMBER SpacingGroupCaption)
    Q_PROPERTY(QString BeforeParagraphCaption MEMBER BeforeParagraphCaption)
    Q_PROPERTY(QString AfterParagraphCaption MEMBER AfterParagraphCaption)
    Q_PROPERTY(QString WithinParagraphCaption MEMBER WithinParagraphCaption)
    Q_PROPERTY(QString WithinParagraphAtCaption MEMBER WithinParagraphAtCaption)
    Q_PROPERTY(QString AlignmentCaption MEMBER AlignmentCaption)
    Q_PROPERTY(QString AlignLeft MEMBER AlignLeft)
    Q_PROPERTY(QString AlignRight MEMBER AlignRight)
    Q_PROPERTY(QString AlignCenter MEMBER AlignCenter)
    Q_PROPERTY(QString AlignJustify MEMBER AlignJustify)
    Q_PROPERTY(QString SpacingSingle MEMBER SpacingSingle)
    Q_PROPERTY(QString Spacing1_5 MEMBER Spacing1_5)
    Q_PROPERTY(QString SpacingDouble MEMBER SpacingDouble)
    Q_PROPERTY(QString SpacingAtLeast MEMBER SpacingAtLeast)
    Q_PROPERTY(QString SpacingExactly MEMBER SpacingExactly)
    Q_PROPERTY(QString SpacingMultiple MEMBER SpacingMultiple)
    Q_PROPERTY(int HelpContext MEMBER HelpContext)
public:
    explicit TkqRichEditParagraphDlg(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString ParagraphDlgCaption = QStringLiteral("Paragraph");
    QString IndentationGroupBoxCaption = QStringLiteral("Indentation");
    QString LeftEditHint = QStringLiteral("Left Indentation");
    QString RightEditHint = QStringLiteral("Right Indentation");
    QString FirstLineEditHint = QStringLiteral("First Line of Paragraph Indentation");
    QString AlignmentHint = QStringLiteral("Changes Alignment of Paragraph");
    QString LeftEditCaption = QStringLiteral("Left:");
    QString RightEditCaption = QStringLiteral("Right:");
    QString FirstLineEditCaption = QStringLiteral("First line:");
    QString SpacingGroupCaption = QStringLiteral("Spacing");
    QString BeforeParagraphCaption = QStringLiteral("&Before");
    QString AfterParagraphCaption = QStringLiteral("Aft&er");
    QString WithinParagraphCaption = QStringLiteral("Li&ne Spacing");
    QString WithinParagraphAtCaption = QStringLiteral("&At");
    QString AlignmentCaption = QStringLiteral("Alignment");
    QString AlignLeft = QStringLiteral("Left");
    QString AlignRight = QStringLiteral("Right");
    QString AlignCenter = QStringLiteral("Center");
    QString AlignJustify = QStringLiteral("Justify");
    QString SpacingSingle = QString();
    QString Spacing1_5 = QString();
    QString SpacingDouble = QString();
    QString SpacingAtLeast = QString();
    QString SpacingExactly = QString();
    QString SpacingMultiple = QString();
    int HelpContext = 0;
};

// The tab dialog texts.
class TkqRichEditTabDlg : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString TabDlgCaption MEMBER TabDlgCaption)
    Q_PROPERTY(int HelpContext MEMBER HelpContext)
    Q_PROPERTY(QString TabGroupBoxCaption MEMBER TabGroupBoxCaption)
    Q_PROPERTY(QString SetTabButtonCaption MEMBER SetTabButtonCaption)
    Q_PROPERTY(QString ClearTabButtonCaption MEMBER ClearTabButtonCaption)
    Q_PROPERTY(QString ClearAllButtonCaption MEMBER ClearAllButtonCaption)
    Q_PROPERTY(QString TabPositionEditHint MEMBER TabPositionEditHint)
    Q_PROPERTY(QString ListBoxHint MEMBER ListBoxHint)
    Q_PROPERTY(QString SetButtonHint MEMBER SetButtonHint)
    Q_PROPERTY(QString ClearButtonHint MEMBER ClearButtonHint)
    Q_PROPERTY(QString ClearAllButtonHint MEMBER ClearAllButtonHint)
public:
    explicit TkqRichEditTabDlg(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    QString TabDlgCaption = QStringLiteral("Tab");
    int HelpContext = 0;
    QString TabGroupBoxCaption = QStringLiteral("&Tab Stop Position");
    QString SetTabButtonCaption = QStringLiteral("Set");
    QString ClearTabButtonCaption = QStringLiteral("Clear");
    QString ClearAllButtonCaption = QStringLiteral("Clear All");
    QString TabPositionEditHint = QStringLiteral("Tab Position Edit Box");
    QString ListBoxHint = QStringLiteral("List of tabs and their positions");
    QString SetButtonHint = QStringLiteral("Set a new tab position");
    QString ClearButtonHint = QStringLiteral("Clear the selected tab position");
    QString ClearAllButtonHint = QStringLiteral("Clear all the tabs");
};

// The rich-text editor hints and status texts.
class TkqDBRichEditIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString FontNameComboHint MEMBER FontNameComboHint)
    Q_PROPERTY(QString FontSizeComboHint MEMBER FontSizeComboHint)
    Q_PROPERTY(QString NewButtonHint MEMBER NewButtonHint)
    Q_PROPERTY(QString LoadButtonHint MEMBER LoadButtonHint)
    Q_PROPERTY(QString SaveAsButtonHint MEMBER SaveAsButtonHint)
    Q_PROPERTY(QString PrintButtonHint MEMBER PrintButtonHint)
    Q_PROPERTY(QString FindButtonHint MEMBER FindButtonHint)
    Q_PROPERTY(QString CutButtonHint MEMBER CutButtonHint)
    Q_PROPERTY(QString CopyButtonHint MEMBER CopyButtonHint)
    Q_PROPERTY(QString UndoButtonHint MEMBER UndoButtonHint)
    Q_PROPERTY(QString RedoButtonHint MEMBER RedoButtonHint)
    Q_PROPERTY(QString PasteButtonHint MEMBER PasteButtonHint)
    Q_PROPERTY(QString BoldButtonHint MEMBER BoldButtonHint)
    Q_PROPERTY(QString ColorButtonHint MEMBER ColorButtonHint)
    Q_PROPERTY(QString UnderlineButtonHint MEMBER UnderlineButtonHint)
    Q_PROPERTY(QString ItalicButtonHint MEMBER ItalicButtonHint)
    Q_PROPERTY(QString LeftButtonHint MEMBER LeftButtonHint)
    Q_PROPERTY(QString CenterButtonHint MEMBER CenterButtonHint)
    Q_PROPERTY(QString RightButtonHint MEMBER RightButtonHint)
    Q_PROPERTY(QString JustifyButtonHint MEMBER JustifyButtonHint)
    Q_PROPERTY(QString BulletButtonHint MEMBER BulletButtonHint)
    Q_PROPERTY(QString HighlightButtonHint MEMBER HighlightButtonHint)
    Q_PROPERTY(QString SaveExitHint MEMBER SaveExitHint)
    Q_PROPERTY(QString PageSetupHint MEMBER PageSetupHint)
    Q_PROPERTY(QString ExitHint MEMBER ExitHint)
    Q_PROPERTY(QString ClearHint MEMBER ClearHint)
    Q_PROPERTY(QString SelectAllHint MEMBER SelectAllHint)
    Q_PROPERTY(QString FindNextHint MEMBER FindNextHint)
    Q_PROPERTY(QString ReplaceHint MEMBER ReplaceHint)
    Q_PROPERTY(QString InsertObjectHint MEMBER InsertObjectHint)
    Q_PROPERTY(QString SpellCheckHint MEMBER SpellCheckHint)
    Q_PROPERTY(QString ToolbarHint MEMBER ToolbarHint)
    Q_PROPERTY(QString FormatBarHint MEMBER FormatBarHint)
    Q_PROPERTY(QString ViewStatusBarHint MEMBER ViewStatusBarHint)
    Q_PROPERTY(QString OptionsHint MEMBER OptionsHint)
    Q_PROPERTY(QString FontHint MEMBER FontHint)
    Q_PROPERTY(QString ParagraphHint MEMBER ParagraphHint)
    Q_PROPERTY(QString TabsHint MEMBER TabsHint)
    Q_PROPERTY(QString CAPLockCaption MEMBER CAPLockCaption)
    Q_PROPERTY(QString NUMLockCaption MEMBER NUMLockCaption)
    Q_PROPERTY(TkqRichEditMenuLabels* MenuLabels READ GetMenuLabels CONSTANT)
    Q_PROPERTY(TkqRichEditPopupMenuLabels* PopupMenuLabels READ GetPopupMenuLabels CONSTANT)
    Q_PROPERTY(TkqRichEditParagraphDlg* ParagraphDialog READ GetParagraphDialog CONSTANT)
    Q_PROPERTY(TkqRichEditTabDlg* TabDialog READ GetTabDialog CONSTANT)
public:
    explicit TkqDBRichEditIntl(QObject* parent = nullptr);  // creates the four label holders
    QString FontNameComboHint = QStringLiteral("Font | Changes the font of the selection");
    QString FontSizeComboHint = QStringLiteral("Font Size | Changes the font size of the selection");
    QString NewButtonHint = QStringLiteral("New | Creates a new document");
    QString LoadButtonHint = QStringLiteral("Load | Load from file");
    QString SaveAsButtonHint = QStringLiteral("Save As | Save to file");
    QString PrintButtonHint = QStringLiteral("Print | Prints the active document");
    QString FindButtonHint = QStringLiteral("Find | Finds the specified text");
    QString CutButtonHint = QStringLiteral("Cut | Cuts the selection and puts it on the Clipboard");
    QString CopyButtonHint = QStringLiteral("Copy | Copies the selection and puts it on the Clipboard");
    QString UndoButtonHint = QStringLiteral("Undo | Reverses the last action");
    QString RedoButtonHint = QStringLiteral("Redo | Reverses the last undo action");
    QString PasteButtonHint = QStringLiteral("Paste | Inserts Clipboard contents");
    QString BoldButtonHint = QStringLiteral("Bold | Makes the selection bold (toggle)");
    QString ColorButtonHint = QStringLiteral("Color | Formats the selection with a color");
    QString UnderlineButtonHint = QStringLiteral("Underline | Formats the selection with a continuous underline (toggle)");
    QString ItalicButtonHint = QStringLiteral("Italic | Makes the selection italic (toggle)");
    QString LeftButtonHint = QStringLiteral("Align Left | Left-justifies paragraph (toggle)");
    QString CenterButtonHint = QStringLiteral("Center | Center-justifies paragraph (toggle)");
    QString RightButtonHint = QStringLiteral("Align Right | Right-justifies paragraph (toggle)");
    QString JustifyButtonHint = QStringLiteral("Justify | Full Justification for paragraph (toggle)");
    QString BulletButtonHint = QStringLiteral("Bullets | Inserts a bullet on this line (toggle)");
    QString HighlightButtonHint = QStringLiteral("Highlight Text | Makes the selection highlighted");
    QString SaveExitHint = QStringLiteral("Save And Exit | Saves changes and exits editor");
    QString PageSetupHint = QStringLiteral("Page Setup | Changes page layout settings");
    QString ExitHint = QStringLiteral("Exit");
    QString ClearHint = QStringLiteral("Erases the Selection");
    QString SelectAllHint = QStringLiteral("Selects all of the text");
    QString FindNextHint = QStringLiteral("Repeats the last find");
    QString ReplaceHint = QStringLiteral("Replaces specific text with different text");
    QString InsertObjectHint = QStringLiteral("Inserts new embedded object");
    QString SpellCheckHint = QStringLiteral("Check spelling");
    QString ToolbarHint = QStringLiteral("Shows or hides the toolbar");
    QString FormatBarHint = QStringLiteral("Shows or hides the format bar");
    QString ViewStatusBarHint = QStringLiteral("Shows or hides the status bar");
    QString OptionsHint = QStringLiteral("Sets options");
    QString FontHint = QStringLiteral("Selects font for current selection");
    QString ParagraphHint = QStringLiteral("Formats current or selected paragraph(s)");
    QString TabsHint = QStringLiteral("Sets tabs");
    QString CAPLockCaption = QStringLiteral("CAP");
    QString NUMLockCaption = QStringLiteral("NUM");
    TkqRichEditMenuLabels* MenuLabels;
    TkqRichEditMenuLabels* GetMenuLabels() const { return MenuLabels; }
    TkqRichEditPopupMenuLabels* PopupMenuLabels;
    TkqRichEditPopupMenuLabels* GetPopupMenuLabels() const { return PopupMenuLabels; }
    TkqRichEditParagraphDlg* ParagraphDialog;
    TkqRichEditParagraphDlg* GetParagraphDialog() const { return ParagraphDialog; }
    TkqRichEditTabDlg* TabDialog;
    TkqRichEditTabDlg* GetTabDialog() const { return TabDialog; }
};
// The navigator's delete confirmation and its button hints (the two page hints hold "%d" for
// the navigator's move-by count).
class TkqDBNavigatorIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(QString ConfirmDeleteMessage MEMBER ConfirmDeleteMessage)
    Q_PROPERTY(TkqDBNavigatorIntlHints* Hints READ GetHints CONSTANT)
public:
    explicit TkqDBNavigatorIntl(QObject* parent = nullptr);
    QString ConfirmDeleteMessage = QStringLiteral("Delete record?");
    TkqDBNavigatorIntlHints* Hints;
    TkqDBNavigatorIntlHints* GetHints() const { return Hints; }
};

class TkqADOIntl : public TkqIntlHolder {
    Q_OBJECT
    Q_PROPERTY(bool UseLocateWhenFindingValue MEMBER UseLocateWhenFindingValue)
public:
    explicit TkqADOIntl(QObject* parent = nullptr) : TkqIntlHolder(parent) {}
    bool UseLocateWhenFindingValue = true;
};

class TkqIntl : public QObject {
    Q_OBJECT
    Q_PROPERTY(TkqADOIntl* ADO READ GetADO CONSTANT)
    Q_PROPERTY(TkqDBNavigatorIntl* Navigator READ GetNavigator CONSTANT)
    Q_PROPERTY(TkqSearchDialogIntl* SearchDialog READ GetSearchDialog CONSTANT)
    Q_PROPERTY(TkqLocateDialogIntl* LocateDialog READ GetLocateDialog CONSTANT)
    Q_PROPERTY(TkqMonthCalendarIntl* MonthCalendar READ GetMonthCalendar CONSTANT)
    Q_PROPERTY(TkqFilterDialogIntl* FilterDialog READ GetFilterDialog CONSTANT)
    Q_PROPERTY(TkqDBRichEditIntl* RichEdit READ GetRichEdit CONSTANT)
    Q_PROPERTY(TkqUserMessagesIntl* UserMessages READ GetUserMessages CONSTANT)
    Q_PROPERTY(bool OKCancelBitmapped MEMBER OKCancelBitmapped)
    Q_PROPERTY(QString BtnOKCaption MEMBER BtnOKCaption)
    Q_PROPERTY(QString BtnCancelCaption MEMBER BtnCancelCaption)
    Q_PROPERTY(TkqCheckBoxInGridStyle CheckBoxInGridStyle READ CheckBoxInGridStyle WRITE SetCheckBoxInGridStyle)
    Q_PROPERTY(int FilterMemoSize MEMBER FilterMemoSize)
    Q_PROPERTY(QString IniFileName MEMBER IniFileName)
    Q_PROPERTY(bool UseLocateMethodForSearch MEMBER UseLocateMethodForSearch)
    Q_PROPERTY(TFontStyles DialogFontStyle MEMBER DialogFontStyle)
    Q_PROPERTY(int DefaultEpochYear MEMBER DefaultEpochYear)
    Q_PROPERTY(TkqPictureValidationError OnValidationErrorUsingMask READ GetOnValidationErrorUsingMask WRITE
                   SetOnValidationErrorUsingMask)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)

public:
    explicit TkqIntl(QObject* owner = nullptr);
    ~TkqIntl() override;

    TkqADOIntl* ADO;
    TkqDBNavigatorIntl* Navigator;
    TkqSearchDialogIntl* SearchDialog;
    TkqLocateDialogIntl* LocateDialog;
    TkqMonthCalendarIntl* MonthCalendar;
    TkqFilterDialogIntl* FilterDialog;
    TkqDBRichEditIntl* RichEdit;
    TkqUserMessagesIntl* UserMessages;
    bool OKCancelBitmapped = true;
    QString BtnOKCaption = QStringLiteral("&OK");
    QString BtnCancelCaption = QStringLiteral("Cancel");
    // Buffer size for memo values in filters and field parameters.
    int FilterMemoSize = 65536;
    // Settings file of grid layouts and combo histories that name none.
    QString IniFileName;
    // Incremental and key searches use the dataset's Locate instead of index seeks.
    bool UseLocateMethodForSearch = true;
    TFontStyles DialogFontStyle;
    // The date-time pickers' initial two-digit-year pivot.
    int DefaultEpochYear = 1950;
    TkqPictureValidationError OnValidationErrorUsingMask;
    // Read by the table class when it cancels a key range on an SQL-based database.
    bool ReopenOnCancelRange = true;

    TkqCheckBoxInGridStyle CheckBoxInGridStyle() const { return FCheckBoxInGridStyle; }
    // On a connected component the style keeps flowing to the global object.
    void SetCheckBoxInGridStyle(TkqCheckBoxInGridStyle style);
    bool Connected() const { return FConnected; }
    // Setting it on copies this object into the global one.
    void SetConnected(bool connected);

    // After the object's settings were loaded: a connected one applies itself.
    void Loaded();
    // Copies this object's settings into the global object; nothing on the global itself.
    void ApplyToGlobal();
    // The edits' and grid's report of a value that fails its picture mask: the handler may
    // change the message or suppress the report; otherwise a beep and EInvalidOperation.
    virtual void ReportValidationError(QObject* sender, TField* field);

    TkqADOIntl* GetADO() const { return ADO; }
    TkqDBNavigatorIntl* GetNavigator() const { return Navigator; }
    TkqSearchDialogIntl* GetSearchDialog() const { return SearchDialog; }
    TkqLocateDialogIntl* GetLocateDialog() const { return LocateDialog; }
    TkqMonthCalendarIntl* GetMonthCalendar() const { return MonthCalendar; }
    TkqFilterDialogIntl* GetFilterDialog() const { return FilterDialog; }
    TkqDBRichEditIntl* GetRichEdit() const { return RichEdit; }
    TkqUserMessagesIntl* GetUserMessages() const { return UserMessages; }
    TkqPictureValidationError GetOnValidationErrorUsingMask() const { return OnValidationErrorUsingMask; }
    void SetOnValidationErrorUsingMask(const TkqPictureValidationError& handler) { OnValidationErrorUsingMask = handler; }

private:
    TkqCheckBoxInGridStyle FCheckBoxInGridStyle = cbStyleAuto;
    bool FConnected = false;
};

// The global object: created on first use, owned by the application object, never null
// while the program runs.
TkqIntl* KqIntl();
// The global object's FilterMemoSize.
int GlobalFilterMemoSize();

// The form's font takes the global object's DialogFontStyle.
void ApplyDialogFontStyle(QWidget* form);

// One hidden button for a library dialog, owned and parented by the form: kind 1 OK, 2 Cancel,
// 3 Help. The caller positions and shows it.
QAbstractButton* CreateDialogButton(QWidget* form, int kind);
