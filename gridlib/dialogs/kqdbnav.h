#pragma once
// The data navigator: a row of buttons that move through and edit the dataset behind a data
// source. A button's click first runs the button's own OnClick; a silent abort there stops the
// button's action (the windows replace the delete action this way).

#include "gridlib/core/kqcommon.h"
#include "platform/data/DB.h"

#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QHBoxLayout;
class TkqDBNavigator;

enum TkqNavButtonStyle {
    nbsFirst, nbsPriorPage, nbsPrior, nbsNext, nbsNextPage, nbsLast, nbsInsert, nbsDelete, nbsEdit,
    nbsPost, nbsCancel, nbsRefresh, nbsSaveBookmark, nbsRestoreBookmark, nbsFilterDialog,
    nbsRecordViewDialog, nbsLocateDialog, nbsSearchDialog, nbsCustom
};
using TkqNavButtonStyles = TkqSet<TkqNavButtonStyle>;
enum TkqNavOption { noConfirmDelete, noUseInternationalText };
using TkqNavOptions = TkqSet<TkqNavOption>;

struct TkqNavRepeatInterval {
    int InitialDelay = 500;
    int Interval = 100;
};

class TkqNavButton : public QToolButton {
    Q_OBJECT
public:
    TkqNavButton(TkqDBNavigator* navigator, TkqNavButtonStyle style);
    TkqNavButtonStyle Style() const { return FStyle; }
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    TkqDBNavigator* Navigator() const { return FNavigator; }
    // OnClick, then the style's action unless OnClick aborted silently.
    void Click();

    std::function<void(QObject*)> OnClick;

private:
    friend class TkqDBNavigator;
    TkqDBNavigator* FNavigator;
    TkqNavButtonStyle FStyle;
    QString FHint;
};

class TkqDBNavigator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)

public:
    explicit TkqDBNavigator(QWidget* parent = nullptr);
    ~TkqDBNavigator() override;

    TDataSource* DataSource() const;
    // May be switched at run time; the buttons follow the new dataset.
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;

    // The buttons shown, in style order; the default row is First .. Refresh.
    TkqNavButtonStyles VisibleButtons() const { return FVisible; }
    void SetVisibleButtons(TkqNavButtonStyles styles);
    int ButtonCount() const { return int(FButtons.size()); }
    TkqNavButton* Buttons(int index) const;
    // The button of a style; none when it is not shown.
    TkqNavButton* Button(TkqNavButtonStyle style) const;

    bool Flat() const { return FFlat; }
    void SetFlat(bool flat);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool show);
    TkqNavOptions Options() const { return FOptions; }
    void SetOptions(TkqNavOptions options) { FOptions = options; }
    int MoveBy() const { return FMoveBy; }
    void SetMoveBy(int count) { FMoveBy = count; }
    TkqNavRepeatInterval RepeatInterval() const { return FRepeat; }
    void SetRepeatInterval(const TkqNavRepeatInterval& interval);
    // Square buttons of this side.
    void SetButtonSize(int side);

    // Enables the buttons by the dataset's state.
    void UpdateStates();
    // The style's action on the dataset (without OnClick).
    void DoAction(TkqNavButtonStyle style);

    static QString DefaultHint(TkqNavButtonStyle style);

private:
    class TNavDataLink;
    std::unique_ptr<TNavDataLink> FDataLink;
    std::vector<TkqNavButton*> FButtons;
    QHBoxLayout* FLayout;
    TkqNavButtonStyles FVisible;
    TkqNavOptions FOptions;
    TkqNavRepeatInterval FRepeat;
    bool FFlat = true;
    bool FShowHint = true;
    int FMoveBy = 10;
    int FButtonSide = 25;
    TBookmark FSavedBookmark;
};
