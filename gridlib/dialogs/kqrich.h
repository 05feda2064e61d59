#pragma once
// The rich-text editor window that Execute of a rich edit opens: a main menu, a toolbar, a
// format bar (font name and size, styles, colour, alignment, bullets, highlight), the ruler,
// the editing control RichEdit1 (an instance of the opening control's class) on a copy of the
// content, and a status bar with the hint and the lock keys. It closes with OK (Save and Exit)
// or Cancel (Exit), asking before changes are dropped. The page setup dialog of its File menu
// lives here too.

#include <QDialog>
#include <QPointer>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class TkqCustomRichEdit;
class TkqDBComboBox;
class TkqColorMenu;
class TkqRulerPanel;
class TPopupMenu;
class TqeStatusBar;
class TVzSpeedButton;

class TkqRichEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TkqRichEditForm(QWidget* parent = nullptr);
    ~TkqRichEditForm() override;

    // The control that opened the window, the editing control and the ruler (set by Execute).
    void SetEditors(TkqCustomRichEdit* source, TkqCustomRichEdit* richEdit);
    void SetRuler(TkqRulerPanel* ruler);
    TkqCustomRichEdit* Source() const;
    TkqCustomRichEdit* RichEdit1() const;
    TkqRulerPanel* Ruler() const;
    bool ReadOnlyContent() const;

    // --- Commands
    void LoadClick();
    void SaveAsClick();
    // File, Save and Exit: closes with OK.
    void SaveAndExit();
    void PrintClick();
    void PageSetupClick();
    // File, Exit: closes with Cancel, after the question when there are changes.
    void ExitEditor();
    void NewClick();
    void StyleClick(TVzSpeedButton* button);
    void AlignClick(TVzSpeedButton* button);
    void BulletClick();
    void HighlightClick();
    void FontNameCloseUp();
    void FontSizeCloseUp();
    void SetTextColor(int color);
    void ToggleBar(QAction* item);
    // Command states from the selection: buttons, boxes, items and the ruler's markers.
    void UpdateCommandStates();
    // The CAPS and NUM indicators of the status bar.
    void UpdateKeyIndicators();
    // Places the bars, the ruler, the control and the status bar.
    void LayOut();

    // --- Parts of the window
    QMenuBar* MainMenu1() const { return FMainMenu; }
    QAction* Item(const QString& name) const;
    TPopupMenu* ColorMenu() const;
    TVzSpeedButton* Button(const QString& name) const;
    QWidget* Toolbar() const { return FToolbar; }
    QWidget* FormatBar() const { return FFormatBar; }
    QWidget* Bevel(const QString& name) const;
    TkqDBComboBox* FontNameCombo() const { return FFontName; }
    TkqDBComboBox* FontSizeCombo() const { return FFontSize; }
    TqeStatusBar* StatusBar() const { return FStatusBar; }
    // The menu of colours the colour button drops down: captions with their colour values.
    static const std::vector<std::pair<QString, int>>& ColorItems();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateMenus();
    void CreateBars();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QString& shortcut = {});
    TVzSpeedButton* AddButton(QWidget* bar, const char* name, int x, int width, const QImage& glyph);
    QWidget* AddBevel(QWidget* parent, const char* name, bool vertical);
    // Before the window shows: texts, options, visibility, the toolbar's places.
    void PrepareToShow();
    // Key preview: answers true when the key was taken.
    bool PreviewKey(QKeyEvent* event);
    // The close query: true when the window may close, with the result it closes with.
    bool CanClose(int& result);
    int ScaleX(int pixels) const;

    QPointer<TkqCustomRichEdit> FSource;
    QPointer<TkqCustomRichEdit> FRichEdit;
    QPointer<TkqRulerPanel> FRuler;
    QMenuBar* FMainMenu = nullptr;
    TkqColorMenu* FColorMenu = nullptr;
    QWidget* FToolbar = nullptr;
    QWidget* FFormatBar = nullptr;
    TkqDBComboBox* FFontName = nullptr;
    TkqDBComboBox* FFontSize = nullptr;
    TqeStatusBar* FStatusBar = nullptr;
    bool FShownOnce = false;
    bool FClosing = false;
    bool FUpdating = false;
};

// The page setup dialog of the editor: margins in the control's units, and the paper size and
// orientation when the control lays out at printer width.
class TkqPageSetupDialog : public QObject {
    Q_OBJECT
public:
    explicit TkqPageSetupDialog(TkqCustomRichEdit* control, QObject* owner = nullptr);
    TkqCustomRichEdit* Control() const { return FControl; }
    // True when accepted: the margins, paper size and orientation are taken.
    bool Execute(QWidget* parent = nullptr);

    // While the dialog runs (for the dialog seam): margins in thousandths of the unit, the
    // paper size code and landscape.
    int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
    int PaperSize = 0;
    bool Landscape = false;
    bool PaperEnabled = false;

private:
    bool Show(QWidget* parent);
    TkqCustomRichEdit* FControl;
};
