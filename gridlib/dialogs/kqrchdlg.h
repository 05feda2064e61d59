#pragma once
// The paragraph dialog of a rich edit: indents, alignment, spacing before and after, and line
// spacing of the selected paragraphs, lengths in the control's measurement units.

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TkqCustomRichEdit;
class TkqDBComboBox;

// Lengths typed in a rich edit's dialogs lie from 0 to 22 inches.
constexpr int MaxRichEditLengthTwips = 31680;
// True when the text, without its unit marks, is empty or a number whose length in twips lies
// from 0 to 22 inches.
bool IsValidUnitsText(const TkqCustomRichEdit* control, const QString& text);

class TkqRichParagraphDialog : public QDialog {
    Q_OBJECT
public:
    explicit TkqRichParagraphDialog(TkqCustomRichEdit* control, QWidget* parent = nullptr);
    TkqCustomRichEdit* Control() const;

    // OK: checks the fields (the first bad one takes the focus and the dialog stays open).
    void OKClick();
    // The accepted values into the selected paragraphs.
    void Apply();
    // A new line-spacing kind: the spacing field takes the kind's default.
    void LineSpacingKindChanged(int kind);

    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QGroupBox* GroupBox1;
    QGroupBox* SpacingGroup;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLabel *BeforeParagraphLabel, *AfterParagraphLabel, *WithinParagraphLabel, *WithinParagraphAt;
    TkqDBComboBox* AlignmentCombo;
    QLineEdit *LeftEdit, *RightEdit, *FirstLineEdit;
    QLineEdit *BeforeParagraphEdit, *AfterParagraphEdit, *WithinParagraphEdit;
    TkqDBComboBox* LineSpacingComboBox;

private:
    void LoadValues();
    void SpacingTyped();
    QPointer<TkqCustomRichEdit> FControl;
    bool FSettingSpacing = false;
};
