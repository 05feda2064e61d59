#pragma once
// The data navigator: a panel of buttons that moves through and edits the dataset behind a data
// source (first, prior, next, last, page moves, insert, delete, edit, post, cancel, refresh, a
// saved bookmark) and opens the locate, filter, search and record view dialogs. Each button is a
// child control of its own with a Style that decides its action, when it is enabled, its glyph
// and its hint; the navigator's collection lists, lays out and sizes them, its data link tells
// every button why the dataset's state may have changed, and it keeps one saved bookmark per
// dataset.
//
// A button's click runs the button's OnClick first; a silent abort there stops the style's
// action (the windows replace the delete action this way).

#include "gridlib/core/kqDialog.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/dialogs/kqspeedbtn.h"
#include "platform/data/DB.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
class TkqDBNavigator;
class TkqNavButton;
class TkqNavButtons;

enum TkqNavButtonStyle {
    nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsEdit, nbsPost, nbsCancel, nbsRefresh,
    nbsPriorPage, nbsNextPage, nbsSaveBookmark, nbsRestoreBookmark, nbsFilterDialog, nbsRecordViewDialog,
    nbsLocateDialog, nbsSearchDialog, nbsCustom
};
using TkqNavButtonNavStylesEx = TkqSet<TkqNavButtonStyle>;
enum TkqNavAutoSizeStyle { asSizeNavigator, asSizeNavButtons, asNone };
enum TkqNavLayout { nlHorizontal, nlVertical };
enum TkqNavOption { noConfirmDelete, noUseInternationalText };
using TkqNavOptions = TkqSet<TkqNavOption>;
enum TkqUpdateCause { ucDataChanged, ucEditingChanged, ucActiveChanged, ucRefreshAll };

// The style's name ("nbsFirst") and the name of its glyph bitmap ("KQ_DBN_FIRST_ENABLED").
QString NavButtonStyleName(TkqNavButtonStyle style);
QString NavGlyphResourceName(TkqNavButtonStyle style, bool enabled);
// The image list all buttons share: 18 x 18, the enabled picture of a style at 2 x its ordinal,
// the disabled one after it, for every style but nbsCustom.
TImageList* NavigatorImages();

// The dialog classes the dialog styles create by name ("TkqLocateDialog", ...): a dialog unit
// registers a maker for its class, owned by the given owner.
// binder points a new dialog at the navigator's data source (without one, its published
// DataSource is set).
using TkqDialogMaker = std::function<TkqCustomDialog*(QObject* owner)>;
using TkqDialogBinder = std::function<void(TkqCustomDialog* dialog, TDataSource* source, TDataSet* dataSet)>;
void RegisterNavDialogClass(const QString& className, const QMetaObject* metaObject, TkqDialogMaker maker,
                            TkqDialogBinder binder = {});
// The class named "Tkq" + the style's name without "nbs"; none when it is not registered.
const QMetaObject* DialogClassForStyle(TkqNavButtonStyle style);

struct TkqNavRepeatInterval {
    int InitialDelay = 500;   // milliseconds
    int Interval = 100;
};

// One stored bookmark of a dataset.
struct TkqNavBookmark {
    QPointer<TDataSet> DataSet;
    TBookmark Bookmark;
    ~TkqNavBookmark();
};

class TkqNavDataLink : public TDataLink {
public:
    explicit TkqNavDataLink(TkqDBNavigator* navigator) : FNavigator(navigator) {}
    ~TkqNavDataLink() override;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;

private:
    TkqDBNavigator* FNavigator;
};

class TkqNavButton : public TkqSpeedButton {
    Q_OBJECT
    Q_PROPERTY(TkqCustomDialog* Dialog READ Dialog WRITE SetDialog)
    Q_PROPERTY(int Index READ GetIndex WRITE SetIndex)
    Q_PROPERTY(bool LineBreak READ LineBreak WRITE SetLineBreak)
    Q_PROPERTY(int Style READ StyleValue WRITE SetStyleValue)
    Q_PROPERTY(bool Visible READ IsShown WRITE setVisible)

public:
    explicit TkqNavButton(QWidget* parent = nullptr);
    ~TkqNavButton() override;

    TkqCustomDialog* Dialog() const { return FDialog; }
    virtual void SetDialog(TkqCustomDialog* value);
    virtual int GetIndex() const;
    virtual void SetIndex(int value);
    bool LineBreak() const { return FLineBreak; }
    virtual void SetLineBreak(bool value);
    TkqNavButtonStyle Style() const { return FStyle; }
    virtual void SetStyle(TkqNavButtonStyle value);
    // Not hidden (whether or not the navigator shows).
    bool IsShown() const { return !isHidden(); }
    // The button's own enabled flag (the navigator's disables it too).
    bool Enabled() const { return !testAttribute(Qt::WA_Disabled); }
    void SetEnabled(bool value);

    virtual TkqNavButtons* GetButtons() const;
    virtual TkqDBNavigator* GetNavigator() const;

    // -1 while the button shows the shared navigator glyphs.
    int GetImageIndex() const override;
    void SetImageIndex(int value) override;

    virtual QString GetHintText() const;
    virtual void UpdateState(TkqUpdateCause cause);
    virtual bool IsInsideNavigator() const;
    virtual void InvalidateBackground();
    virtual void LoadDefaultGlyph();
    // OnClick, then the style's action unless OnClick raised (a silent abort stops quietly).
    void Click() override;
    // The dialog of a dialog style: the one set, else one of the style's class that the search
    // owner already owns for this dataset, else a new one.
    TkqCustomDialog* FindOrCreateDialog(TDataSet* dataSet);
    // The repeat timer while the button is held (none otherwise).
    QTimer* RepeatTimer() const { return FRepeatTimer; }
    virtual void StartRepeatTimer();
    virtual void FreeRepeatTimer();
    virtual void RepeatTimerTick();

    std::function<void(TkqCustomDialog*)> OnAfterCreateDialog;
    std::function<void(QObject*)> OnRowChanged;
    std::function<void(TkqDBNavigator*, TkqNavButton*, TkqUpdateCause)> OnUpdateState;

protected:
    void MouseStateChanged() override;
    void MouseEntered() override;
    void MouseLeft() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TkqNavButtons;
    bool Repeats() const;
    void DoAction(TDataSet* dataSet);
    int StyleValue() const { return int(FStyle); }
    void SetStyleValue(int v) { SetStyle(TkqNavButtonStyle(v)); }

    TkqNavButtons* FButtons = nullptr;
    QPointer<TkqCustomDialog> FDialog;
    bool FOwnsDialog = false;
    bool FLineBreak = false;
    TkqNavButtonStyle FStyle = nbsFirst;
    QTimer* FRepeatTimer = nullptr;
};

// The navigator's buttons, in child order.
class TkqNavButtons {
public:
    explicit TkqNavButtons(TkqDBNavigator* navigator) : FNavigator(navigator) {}
    virtual ~TkqNavButtons() = default;

    virtual void ButtonInserted(TkqNavButton* button) { Q_UNUSED(button); }
    virtual void ButtonRemoved(TkqNavButton* button) { Q_UNUSED(button); }
    virtual void BeginUpdate() { ++FUpdateCount; }
    virtual void EndUpdate() { --FUpdateCount; }
    int UpdateCount() const { return FUpdateCount; }
    virtual TkqNavButton* BottomMostButton() const;
    // The visible button under the point (navigator coordinates), skipping exclude.
    virtual TkqNavButton* ButtonAtPoint(const QPoint& point, const TkqNavButton* exclude = nullptr) const;
    virtual bool IsHidden(const TkqNavButton* button) const;
    virtual TkqNavButton* RightMostButton() const;
    virtual void ShowStyle(TkqNavButtonStyle style);
    virtual void HideStyle(TkqNavButtonStyle style);
    virtual int GetCount() const;
    virtual TkqNavButton* GetItem(int index) const;
    virtual TkqDBNavigator* GetNavigator() const { return FNavigator; }
    virtual TkqNavButton* GetVisibleItem(int index) const;
    virtual int GetVisibleCount() const;
    virtual TkqNavButton* Add(TkqNavButtonStyle style, TkqCustomDialog* dialog = nullptr);
    virtual void AddDialogButtons();
    virtual void Clear();
    virtual void CreateDefaultButtons();
    virtual void Realign();
    virtual void ArrangeButtons();
    virtual void UpdateStates(TkqUpdateCause cause);

    int Count() const { return GetCount(); }
    TkqNavButton* Items(int index) const { return GetItem(index); }
    // The first button of a style (none when there is none).
    TkqNavButton* ButtonOf(TkqNavButtonStyle style) const;

private:
    TkqDBNavigator* FNavigator;
    int FUpdateCount = 0;
};

class TkqDBNavigator : public TkqCustomTransparentPanel {
    Q_OBJECT
    Q_PROPERTY(int AutosizeStyle READ AutosizeStyleValue WRITE SetAutosizeStyleValue)
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(int Layout READ LayoutValue WRITE SetLayoutValue)
    Q_PROPERTY(int MoveBy READ MoveBy WRITE SetMoveBy)
    Q_PROPERTY(bool ShowHint READ GetShowHint WRITE SetShowHint)
    Q_PROPERTY(bool TransparentClearsBackground MEMBER TransparentClearsBackground)

public:
    explicit TkqDBNavigator(QWidget* parent = nullptr);
    ~TkqDBNavigator() override;

    TkqNavButtons* Buttons() const { return FButtons.get(); }
    TkqNavAutoSizeStyle AutosizeStyle() const { return FAutosizeStyle; }
    virtual void SetAutosizeStyle(TkqNavAutoSizeStyle value);
    TDataSource* DataSource() const;
    virtual void SetDataSource(TDataSource* value);
    bool Flat() const { return FFlat; }
    virtual void SetFlat(bool value);
    TImageList* ImageList() const { return FImageList; }
    virtual void SetImageList(TImageList* value);
    TkqNavLayout Layout() const { return FLayout; }
    virtual void SetLayout(TkqNavLayout value);
    int MoveBy() const { return FMoveBy; }
    virtual void SetMoveBy(int value);
    TkqNavOptions Options() const { return FOptions; }
    virtual void SetOptions(TkqNavOptions value) { FOptions = value; }
    virtual bool GetShowHint() const { return FShowHint; }
    virtual void SetShowHint(bool value);
    TkqNavRepeatInterval RepeatInterval;
    bool TransparentClearsBackground = false;

    // Styles of which a button exists (shown or not), nbsFirst .. nbsRestoreBookmark.
    virtual TkqNavButtonNavStylesEx GetVisibleButtons() const;
    // Shows a button of each style in the set (adding missing ones), hides the others; a
    // navigator without buttons first gets the default ones.
    virtual void SetVisibleButtons(TkqNavButtonNavStylesEx value);
    // The button of a style (none when there is none).
    TkqNavButton* Button(TkqNavButtonStyle style) const { return FButtons->ButtonOf(style); }

    // A control joins (or leaves) the navigator: only navigator buttons may.
    virtual void InsertRemoveButton(QWidget* control, bool inserting);
    virtual void DataChanged();
    virtual void EditingChanged();
    virtual void ActiveChanged();
    virtual int BevelCount() const;
    virtual int GetButtonsWidth() const;
    // The data source's dataset; with raiseIfMissing an error when there is none.
    virtual TDataSet* GetDataSet(bool raiseIfMissing) const;
    virtual void ApplyAutosizeStyle();
    // Binds to the component's DataSource (when it has one, or force).
    virtual void LinkToComponent(QObject* component, bool force);

    // An accelerator (Alt + key): clicks the first enabled, shown button whose caption holds it,
    // while the navigator's parent shows; true when one was clicked.
    bool DialogChar(QChar key);

    // Renames the navigator and every button whose name begins with its old name.
    void SetName(const QString& name);

    // The bookmarks kept per dataset.
    TBookmark BookmarkFor(TDataSet* dataSet, bool save);
    void FreeBookmarks(TDataSet* dataSet);

    QSize sizeHint() const override { return size(); }
    QSize minimumSizeHint() const override { return size(); }

protected:
    void AlignControls() override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TkqNavButtons;
    friend class TkqNavButton;
    void EnsureDefaultButtons();
    bool SizeToOneRow();
    int AutosizeStyleValue() const { return int(FAutosizeStyle); }
    void SetAutosizeStyleValue(int v) { SetAutosizeStyle(TkqNavAutoSizeStyle(v)); }
    int LayoutValue() const { return int(FLayout); }
    void SetLayoutValue(int v) { SetLayout(TkqNavLayout(v)); }
    void SetSizeFromButtons(int width, int height);

    std::unique_ptr<TkqNavDataLink> FDataLink;
    std::unique_ptr<TkqNavButtons> FButtons;
    std::vector<TkqNavButton*> FButtonList;
    std::vector<std::unique_ptr<TkqNavBookmark>> FBookmarks;
    QPointer<TDataSource> FDataSource;
    QPointer<QWidget> FKeyWindow;   // while set, Alt keys in this window reach DialogChar
    TImageList* FImageList = nullptr;
    int FImageListFreeKey = 0;
    TkqNavAutoSizeStyle FAutosizeStyle = asSizeNavigator;
    TkqNavLayout FLayout = nlHorizontal;
    TkqNavOptions FOptions{noConfirmDelete};
    int FMoveBy = 10;
    bool FFlat = true;
    bool FShowHint = false;
    bool FMakingDefaults = false;
    bool FRealigning = false;
    bool FDestroying = false;
};
