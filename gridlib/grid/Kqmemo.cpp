#include "gridlib/grid/Kqmemo.h"

#include "gridlib/core/Kqintl.h"
#include "platform/vcl/Dialogs.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>

namespace {

constexpr int DesignedWidth = 561;
constexpr int DesignedHeight = 395;

// The lines of a text as the edit shows them, and back in the text's own line ends.
QString JoinLikeOriginal(const QString& edited, const QString& original)
{
    if (!original.contains(QLatin1String("\r\n"))) return edited;
    QString text = edited;
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

} // namespace

// =============================================================================================
// TkqMemoDialog

TkqMemoDialog::TkqMemoDialog(QObject* owner) : QObject(owner), FDataLink(std::make_unique<TFieldDataLink>())
{
    FDataLink->SetControl(this);
}

TkqMemoDialog::~TkqMemoDialog() = default;

TDataSource* TkqMemoDialog::DataSource() const { return FDataLink->DataSource(); }
void TkqMemoDialog::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }
QString TkqMemoDialog::DataField() const { return FDataLink->FieldName(); }
void TkqMemoDialog::SetDataField(const QString& name) { FDataLink->SetFieldName(name); }

void TkqMemoDialog::DoInitDialog(TkqMemoDlg* dialog)
{
    if (OnInitDialog) OnInitDialog(dialog);
}

void TkqMemoDialog::DoCloseDialog(TkqMemoDlg* dialog)
{
    if (OnCloseDialog) OnCloseDialog(dialog);
}

bool TkqMemoDialog::Execute()
{
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    TField* field = nullptr;
    if (ds && !DataField().isEmpty()) field = ds->FieldByName(DataField());
    TkqMemoDlg form(this);
    FForm = &form;
    auto forget = qScopeGuard([this] { FForm = nullptr; });
    if (QWidget* active = QApplication::activeWindow(); active && (active->windowFlags() & Qt::WindowStaysOnTopHint))
        form.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    bool viewOnly = FMemoAttributes.Contains(mViewOnly);
    QString original;
    if (field) {
        original = field->AsString();
        if (field->IsBlob() && field->ReadOnly()) viewOnly = true;
    } else {
        original = FLines.join(QLatin1Char('\n'));
    }
    form.Memo->setPlainText(original);
    form.Memo->setLineWrapMode(FMemoAttributes.Contains(mWordWrap) ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    if (!FMemoAttributes.Contains(mSizeable)) form.setFixedSize(form.size());
    form.FShowFont = FFont;
    form.FShowCaption = FCaption;
    if (viewOnly) {
        form.CancelBtn->hide();
        form.Memo->setReadOnly(true);
    }
    form.FPlacement = QRect(DlgLeft, DlgTop, DlgWidth, DlgHeight);
    form.UserButton1->setText(UserButton1Caption);
    form.UserButton2->setText(UserButton2Caption);
    if (!viewOnly) form.OKBtn->setEnabled(false);
    const bool result = form.exec() == QDialog::Accepted;
    DoCloseDialog(&form);
    if (!viewOnly && result) {
        const QString edited = form.Memo->toPlainText();
        if (field) {
            ds->Edit();
            field->SetAsString(JoinLikeOriginal(edited, original));
        } else {
            FLines = edited.split(QLatin1Char('\n'));
        }
    }
    return result;
}

// =============================================================================================
// TkqMemoDlg

TkqMemoDlg::TkqMemoDlg(TkqMemoDialog* caller) : QDialog(QApplication::activeWindow()), FCaller(caller)
{
    setObjectName(QStringLiteral("kqMemoDlg"));
    setWindowTitle(QStringLiteral("Dialog"));
    QFont designed(QStringLiteral("MS Sans Serif"));
    designed.setPixelSize(11);
    designed.setBold(true);
    setFont(designed);
    resize(DesignedWidth, DesignedHeight);

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setTabChangesFocus(false);
    Memo->installEventFilter(this);

    UserButtonPanel = new QFrame(this);
    UserButtonPanel->setObjectName(QStringLiteral("UserButtonPanel"));
    UserButtonPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    UserButtonPanel->resize(237, 41);
    UserButtonPanel->hide();
    UserButton1 = new QPushButton(UserButtonPanel);
    UserButton1->setObjectName(QStringLiteral("UserButton1"));
    UserButton1->setGeometry(0, 8, 89, 26);
    UserButton1->hide();
    UserButton2 = new QPushButton(UserButtonPanel);
    UserButton2->setObjectName(QStringLiteral("UserButton2"));
    UserButton2->setGeometry(0, 8, 89, 26);
    UserButton2->hide();
    connect(UserButton1, &QPushButton::clicked, this, [this] {
        if (FCaller->OnUserButton1Click) FCaller->OnUserButton1Click(this, Memo);
    });
    connect(UserButton2, &QPushButton::clicked, this, [this] {
        if (FCaller->OnUserButton2Click) FCaller->OnUserButton2Click(this, Memo);
    });

    OKBtn = CreateDialogButton(this, 1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    // OK is handled here: its flags are set before the window closes.
    disconnect(OKBtn, nullptr, this, nullptr);
    connect(OKBtn, &QAbstractButton::clicked, this, [this] {
        OKBtnClick();
        accept();
    });
    CancelBtn = CreateDialogButton(this, 2);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    setTabOrder(Memo, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
}

bool TkqMemoDlg::Modified() const { return Memo->document()->isModified(); }

void TkqMemoDlg::OKBtnClick()
{
    FAccepted = true;
    FOKPressed = true;
}

void TkqMemoDlg::showEvent(QShowEvent* event)
{
    if (!FShown) FormShow();
    QDialog::showEvent(event);
}

void TkqMemoDlg::FormShow()
{
    FShown = true;
    Memo->setFont(FShowFont.Font);
    QPalette palette = Memo->palette();
    palette.setColor(QPalette::Text, ColorToQColor(FShowFont.Color));
    Memo->setPalette(palette);
    setWindowTitle(FShowCaption);
    const QRect p = FPlacement;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const auto centre = [&] { move(area.center() - QPoint(width() / 2, height() / 2)); };
    if (p.left() == 0 && p.top() == 0) {
        resize(p.width(), p.height());
        centre();
    } else if (p.left() > 0 || p.top() > 0) {
        resize(p.width(), p.height());
        move(p.left(), p.top());
    } else {
        resize(DesignedWidth, DesignedHeight);
        centre();
    }
    if (!UserButton1->text().isEmpty() || !UserButton2->text().isEmpty()) {
        UserButtonPanel->show();
        int x = 0;
        if (!UserButton1->text().isEmpty()) {
            UserButton1->move(10, 8);
            UserButton1->show();
            x = UserButton1->geometry().right() + 1;
        }
        if (!UserButton2->text().isEmpty()) {
            UserButton2->move(x + 15, 8);
            UserButton2->show();
            x = UserButton2->geometry().right() + 1;
        }
        UserButtonPanel->resize(x + 10, UserButtonPanel->height());
    }
    ApplyDialogFontStyle(this);
    Memo->setFont(FShowFont.Font);
    FCaller->DoInitDialog(this);
    Memo->document()->setModified(false);
    connect(Memo, &QPlainTextEdit::textChanged, this, [this] { OKBtn->setEnabled(true); });
    ResizeControls();
}

void TkqMemoDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ResizeControls();
}

void TkqMemoDlg::ResizeControls()
{
    // The old window's sizes less its frame and caption, measured on the client area.
    const int editWidth = std::max(width() - 12, 1);
    const int editHeight = std::max(height() - 53, 1);
    Memo->setGeometry(6, 6, editWidth, editHeight);
    const int top = editHeight + 17;
    OKBtn->move(OKBtn->x(), top);
    CancelBtn->move(CancelBtn->x(), top);
    if (UserButtonPanel->isVisible()) UserButtonPanel->move(Memo->x() - 1, Memo->geometry().bottom() + 1 + 2);
    const bool userButtons = !UserButton1->text().isEmpty() || !UserButton2->text().isEmpty();
    if (!Memo->isReadOnly()) {
        OKBtn->move(editWidth - 2 * OKBtn->width() - 40, top);
        CancelBtn->move(editWidth - OKBtn->width() - 20, top);
        CancelBtn->show();
    } else if (userButtons) {
        OKBtn->move(Memo->x() + editWidth - OKBtn->width() - 25, top);
    } else {
        OKBtn->move(Memo->x() + editWidth / 2 - OKBtn->width() / 2, top);
    }
    OKBtn->show();
}

bool TkqMemoDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if ((enter && (key->modifiers() & Qt::ControlModifier)) || key->key() == Qt::Key_F2) {
            OKBtnClick();
            done(QDialog::Accepted);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TkqMemoDlg::done(int result)
{
    // A changed text that was not accepted is dropped only when the user agrees.
    if (Modified() && !FOKPressed && !Memo->isReadOnly()) {
        if (MessageDlg(KqIntl()->UserMessages->MemoChangesWarning, mtConfirmation, mbYesNo) != mrYes) return;
        result = QDialog::Rejected;
    }
    FOKPressed = false;
    QDialog::done(result);
}
