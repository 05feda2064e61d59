#include "utilities/AppUtils.h"

#include "platform/vcl/Forms.h"
#include "platform/core/SysUtils.h"
#include "utilities/vzStrUtils.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QVariant>

std::function<QString()> DefaultSettingsFileNameHook;
QString DefaultCompanyName;
bool RegistryKeyUsesTitle = false;

namespace {
std::function<TScreenMetrics()> GScreenSource;

const char* const MinPositionProperty = "quarrowMinPosition";
const char* const MaxPositionProperty = "quarrowMaxPosition";
const char* const NormalGeometryProperty = "quarrowNormalGeometry";
const char* const TrackedProperty = "quarrowNormalGeometryTracked";

const TCharSet PositionDelimiters{' ', ','};

bool Minimized(const QWidget* w) { return w->windowState() & Qt::WindowMinimized; }
bool MaximizedOrFull(const QWidget* w) { return w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen); }
bool NormalState(const QWidget* w) { return !Minimized(w) && !MaximizedOrFull(w); }

// Remembers the normal rectangle of a multiple-document child, which Qt does not report
// while the child is maximized or minimized.
class TNormalGeometryTracker : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (NormalState(w)) w->setProperty(NormalGeometryProperty, w->geometry());
        }
        return false;
    }
};

QRect NormalRect(QWidget* w)
{
    if (NormalState(w)) return w->geometry();
    if (w->isWindow()) {
        QRect r = w->normalGeometry();
        return r.isValid() ? r : w->geometry();
    }
    QRect r = w->property(NormalGeometryProperty).toRect();
    return r.isValid() ? r : w->geometry();
}

QString PositionText(int a, int b, int c, int d)
{
    return Format(QStringLiteral("%d,%d,%d,%d"), {a, b, c, d});
}
} // namespace

TScreenMetrics ScreenMetrics()
{
    if (GScreenSource) return GScreenSource();
    TScreenMetrics m;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        m.Width = screen->geometry().width();
        m.Height = screen->geometry().height();
        m.PixelsPerInch = qRound(screen->logicalDotsPerInch());
    }
    return m;
}

void SetScreenMetricsSource(std::function<TScreenMetrics()> source) { GScreenSource = std::move(source); }

bool IsForm(const QObject* object)
{
    if (!object || !object->isWidgetType()) return false;
    auto* w = static_cast<const QWidget*>(object);
    return w->isWindow() || qobject_cast<const QMdiSubWindow*>(w->parentWidget());
}

QWidget* FormOf(const QObject* object)
{
    for (const QObject* o = object; o; o = o->parent())
        if (IsForm(o)) return const_cast<QWidget*>(static_cast<const QWidget*>(o));
    return nullptr;
}

QWidget* PlacementWindow(QWidget* form)
{
    if (!form) return nullptr;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) return sub;
    return form;
}

bool IsMDIChild(const QWidget* form) { return form && qobject_cast<const QMdiSubWindow*>(form->parentWidget()); }

bool IsMDIFrame(const QWidget* form)
{
    auto* main = qobject_cast<const QMainWindow*>(form);
    return main && qobject_cast<const QMdiArea*>(main->centralWidget());
}

TFormBorderStyle FormBorderStyle(const QWidget* form)
{
    static const char* const Names[] = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
    QVariant v = form->property("BorderStyle");
    if (v.isValid()) {
        if (v.typeId() == QMetaType::QString) {
            for (int i = 0; i < 6; ++i)
                if (v.toString().compare(QLatin1String(Names[i]), Qt::CaseInsensitive) == 0) return TFormBorderStyle(i);
        } else if (bool ok = false; v.toInt(&ok), ok && v.toInt() >= bsNone && v.toInt() <= bsSizeToolWin) {
            return TFormBorderStyle(v.toInt());
        }
    }
    const QWidget* w = PlacementWindow(const_cast<QWidget*>(form));
    const Qt::WindowFlags flags = w->windowFlags();
    if (flags & Qt::FramelessWindowHint) return bsNone;
    const bool fixed = (flags & Qt::MSWindowsFixedSizeDialogHint) || w->minimumSize() == w->maximumSize();
    if ((flags & Qt::WindowType_Mask) == Qt::Tool) return fixed ? bsToolWindow : bsSizeToolWin;
    if (!fixed) return bsSizeable;
    return qobject_cast<const QDialog*>(form) ? bsDialog : bsSingle;
}

bool IsMainFormOrNone(const QWidget* form)
{
    QWidget* main = Application() ? Application()->MainForm() : nullptr;
    return !main || main == form;
}

TWindowPlacement GetWindowPlacement(QWidget* form)
{
    TWindowPlacement p;
    QWidget* w = PlacementWindow(form);
    if (!w) return p;
    if (Minimized(w)) p.ShowCmd = SW_SHOWMINIMIZED;
    else if (MaximizedOrFull(w)) p.ShowCmd = SW_SHOWMAXIMIZED;
    if (Minimized(w) && (w->windowState() & Qt::WindowMaximized)) p.Flags |= WPF_RESTORETOMAXIMIZED;
    QVariant minPos = w->property(MinPositionProperty);
    QVariant maxPos = w->property(MaxPositionProperty);
    if (minPos.isValid()) p.MinPosition = minPos.toPoint();
    if (maxPos.isValid()) p.MaxPosition = maxPos.toPoint();
    if (!w->isWindow() && Minimized(w)) p.MinPosition = w->pos();
    QRect r = NormalRect(w);
    p.Left = r.left();
    p.Top = r.top();
    p.Right = r.left() + r.width();
    p.Bottom = r.top() + r.height();
    return p;
}

void SetWindowPlacement(QWidget* form, const TWindowPlacement& p)
{
    QWidget* w = PlacementWindow(form);
    if (!w) return;
    w->setProperty(MinPositionProperty, p.MinPosition);
    w->setProperty(MaxPositionProperty, p.MaxPosition);
    const QRect r(p.Left, p.Top, p.Right - p.Left, p.Bottom - p.Top);
    if (NormalState(w)) {
        w->setGeometry(r);
    } else {
        // The normal rectangle of a maximized or minimized window is set through its normal state.
        const Qt::WindowStates state = w->windowState();
        w->setWindowState(Qt::WindowNoState);
        w->setGeometry(r);
        w->setWindowState(state);
    }
    if (!w->isWindow()) w->setProperty(NormalGeometryProperty, r);
}

void SetMaxPosition(QWidget* form, const QPoint& position)
{
    if (QWidget* w = PlacementWindow(form)) w->setProperty(MaxPositionProperty, position);
}

void TrackNormalGeometry(QWidget* form)
{
    static TNormalGeometryTracker* tracker = new TNormalGeometryTracker;
    QWidget* w = PlacementWindow(form);
    if (!w || w->isWindow() || w->property(TrackedProperty).toBool()) return;
    w->setProperty(TrackedProperty, true);
    if (NormalState(w)) w->setProperty(NormalGeometryProperty, w->geometry());
    w->installEventFilter(tracker);
}

QString DefaultSettingsSection(const QObject* component)
{
    if (!component) return QString();
    if (IsForm(component)) return QString::fromLatin1(component->metaObject()->className());
    if (component->isWidgetType()) {
        if (QWidget* form = FormOf(component->parent()))
            return QString::fromLatin1(form->metaObject()->className()) + component->objectName();
        auto* parent = static_cast<const QWidget*>(component)->parentWidget();
        return (parent ? parent->objectName() : QString()) + component->objectName();
    }
    if (IsForm(component->parent()))
        return Format(QStringLiteral("%s.%s"), {QString::fromLatin1(component->parent()->metaObject()->className()),
                                                component->objectName()});
    return component->objectName();
}

QString DefaultSettingsFileName()
{
    if (DefaultSettingsFileNameHook) return DefaultSettingsFileNameHook();
    return ChangeFileExt(ExtractFileName(QCoreApplication::applicationFilePath()), QStringLiteral(".INI"));
}

QString DefaultSettingsRegistryKey()
{
    QString key;
    if (RegistryKeyUsesTitle && !QGuiApplication::applicationDisplayName().isEmpty())
        key = QGuiApplication::applicationDisplayName();
    else
        key = ChangeFileExt(ExtractFileName(QCoreApplication::applicationFilePath()), QString());
    if (!DefaultCompanyName.isEmpty()) key = DefaultCompanyName + '\\' + key;
    return QStringLiteral("Software\\") + key;
}

QString SettingsReadString(const TCustomIniFile* settings, const QString& section, const QString& ident, const QString& def)
{
    return settings ? settings->ReadString(section, ident, def) : def;
}

void SettingsWriteString(TCustomIniFile* settings, const QString& section, const QString& ident, const QString& value)
{
    if (!settings) return;
    QString v = value;
    if (dynamic_cast<TIniFile*>(settings) && !v.isEmpty()
        && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
        v = '"' + v + '"';
    settings->WriteString(section, ident, v);
}

int SettingsReadInteger(const TCustomIniFile* settings, const QString& section, const QString& ident, int def)
{
    return settings ? settings->ReadInteger(section, ident, def) : def;
}

void SettingsWriteInteger(TCustomIniFile* settings, const QString& section, const QString& ident, int value)
{
    if (settings) settings->WriteInteger(section, ident, value);
}

void SettingsEraseSection(TCustomIniFile* settings, const QString& section)
{
    if (settings) settings->EraseSection(section);
}

void SettingsDeleteKey(TCustomIniFile* settings, const QString& section, const QString& ident)
{
    if (settings) settings->DeleteKey(section, ident);
}

QString ScreenSizeSuffix()
{
    TScreenMetrics m = ScreenMetrics();
    return Format(QStringLiteral("(%dx%d)"), {m.Width, m.Height});
}

QString ReadPositionString(const TCustomIniFile* settings, const QString& section, const QString& ident)
{
    QString s = SettingsReadString(settings, section, ident + ScreenSizeSuffix(), QString());
    return s.isEmpty() ? SettingsReadString(settings, section, ident, QString()) : s;
}

void WritePositionString(TCustomIniFile* settings, const QString& section, const QString& ident, const QString& value)
{
    SettingsWriteString(settings, section, ident + ScreenSizeSuffix(), value);
    SettingsWriteString(settings, section, ident, value);
}

void WriteWindowPlacement(QWidget* form, TCustomIniFile* settings, const QString& section)
{
    TWindowPlacement p = GetWindowPlacement(form);
    if (IsMDIChild(form) && Minimized(PlacementWindow(form))) p.Flags |= WPF_SETMINPOSITION;
    SettingsWriteInteger(settings, section, QStringLiteral("Flags"), p.Flags);
    SettingsWriteInteger(settings, section, QStringLiteral("ShowCmd"), p.ShowCmd);
    SettingsWriteInteger(settings, section, QStringLiteral("PixelsPerInch"), ScreenMetrics().PixelsPerInch);
    WritePositionString(settings, section, QStringLiteral("MinMaxPos"),
                        PositionText(p.MinPosition.x(), p.MinPosition.y(), p.MaxPosition.x(), p.MaxPosition.y()));
    WritePositionString(settings, section, QStringLiteral("NormPos"), PositionText(p.Left, p.Top, p.Right, p.Bottom));
}

void ReadWindowPlacement(QWidget* form, const TCustomIniFile* settings, const QString& section, bool loadState,
                         bool loadPosition)
{
    if (!form || (!loadState && !loadPosition)) return;
    QWidget* w = PlacementWindow(form);
    TWindowPlacement p = GetWindowPlacement(form);
    if (loadPosition) {
        bool found = false;
        p.Flags = SettingsReadInteger(settings, section, QStringLiteral("Flags"), p.Flags);
        QString s = ReadPositionString(settings, section, QStringLiteral("MinMaxPos"));
        if (!s.isEmpty()) {
            found = true;
            p.MinPosition = QPoint(StrToIntDef(NthWord(1, s, PositionDelimiters), 0), StrToIntDef(NthWord(2, s, PositionDelimiters), 0));
            p.MaxPosition = QPoint(StrToIntDef(NthWord(3, s, PositionDelimiters), 0), StrToIntDef(NthWord(4, s, PositionDelimiters), 0));
        }
        s = ReadPositionString(settings, section, QStringLiteral("NormPos"));
        if (!s.isEmpty()) {
            found = true;
            const QRect current = w->geometry();
            p.Left = StrToIntDef(NthWord(1, s, PositionDelimiters), current.left());
            p.Top = StrToIntDef(NthWord(2, s, PositionDelimiters), current.top());
            p.Right = StrToIntDef(NthWord(3, s, PositionDelimiters), current.left() + current.width());
            p.Bottom = StrToIntDef(NthWord(4, s, PositionDelimiters), current.top() + current.height());
        }
        const int ppi = ScreenMetrics().PixelsPerInch;
        if (SettingsReadInteger(settings, section, QStringLiteral("PixelsPerInch"), ppi) != ppi) found = false;
        if (found) {
            const TFormBorderStyle border = FormBorderStyle(form);
            if (border != bsSizeable && border != bsSizeToolWin) {
                p.Right = p.Left + w->width();
                p.Bottom = p.Top + w->height();
            }
            // An empty or inverted rectangle (a damaged file) would make the window vanish.
            if (p.Left < p.Right && p.Top < p.Bottom) SetWindowPlacement(form, p);
        }
    }
    if (loadState) {
        Qt::WindowState state = Qt::WindowNoState;
        if (IsMainFormOrNone(form) && IsMDIFrame(form)) state = Qt::WindowMaximized;
        switch (SettingsReadInteger(settings, section, QStringLiteral("ShowCmd"), SW_HIDE)) {
        case SW_SHOWNORMAL: case SW_SHOW: case SW_RESTORE: state = Qt::WindowNoState; break;
        case SW_SHOWMINIMIZED: case SW_MINIMIZE: case SW_SHOWMINNOACTIVE: state = Qt::WindowMinimized; break;
        case SW_SHOWMAXIMIZED: state = Qt::WindowMaximized; break;
        default: break;
        }
        if (state == Qt::WindowMinimized && IsMainFormOrNone(form)) {
            // The main window opens normal and minimizes once it is up.
            w->setWindowState(Qt::WindowNoState);
            PostCall(w, [w] { w->setWindowState(w->windowState() | Qt::WindowMinimized); });
            return;
        }
        // Only the minimised and maximised flags are the placement's: a child window's active
        // flag stays, and an unchanged state is not set again (a child would be laid out anew).
        const Qt::WindowStates sizeFlags = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
        const Qt::WindowStates wanted = (w->windowState() & ~sizeFlags) | state;
        if (wanted != w->windowState()) w->setWindowState(wanted);
    }
    w->update();
}
