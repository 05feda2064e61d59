#include "utilities/MRUList.h"

#include "platform/core/SysUtils.h"
#include "utilities/AppUtils.h"
#include "utilities/MaxMin.h"

#include <QAction>
#include <QMenu>

// ---- TRecentStrings ----

QStringList TRecentStrings::ToStringList() const
{
    QStringList list;
    list.reserve(Count());
    for (const TItem& item : FItems) list << item.Text;
    return list;
}

int TRecentStrings::IndexOf(const QString& text) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Text.compare(text, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

void TRecentStrings::SetMaxCount(int value)
{
    value = MaxOf(1, value);
    if (value == FMaxCount) return;
    FMaxCount = value;
    TrimToCapacity();
}

void TRecentStrings::Changed()
{
    if (FUpdateCount == 0 && OnChange) OnChange();
}

void TRecentStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TRecentStrings::Move(int from, int to)
{
    if (from == to) return;
    TItem item = std::move(FItems[size_t(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
    Changed();
}

int TRecentStrings::AddObject(const QString& text, int data)
{
    const int existing = IndexOf(text);
    if (existing >= 0) {
        const int to = FAddMode == rmAppend ? Count() - 1 : 0;
        Move(existing, to);
        FItems[size_t(to)].Data = data;
        return to;
    }
    BeginUpdate();
    if (FAddMode == rmAppend) FItems.push_back({text, data});
    else FItems.insert(FItems.begin(), TItem{text, data});
    TrimToCapacity();
    EndUpdate();
    return FAddMode == rmAppend ? Count() - 1 : 0;
}

void TRecentStrings::AddStrings(const TRecentStrings& source)
{
    BeginUpdate();
    const int n = MinOf(source.Count(), FMaxCount);
    if (FAddMode == rmAppend)
        for (int i = 0; i < n; ++i) AddObject(source.Strings(i), source.UserData(i));
    else
        for (int i = n - 1; i >= 0; --i) AddObject(source.Strings(i), source.UserData(i));
    TrimToCapacity();
    EndUpdate();
}

void TRecentStrings::AddStrings(const QStringList& source)
{
    TRecentStrings list;
    list.SetMaxCount(int(qMin<qsizetype>(source.size(), INT_MAX)));
    list.SetAddMode(rmAppend);
    for (const QString& s : source) list.FItems.push_back({s, 0});
    AddStrings(list);
}

void TRecentStrings::Delete(int index)
{
    if (index < 0 || index >= Count()) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TRecentStrings::RemoveText(const QString& text)
{
    const int i = IndexOf(text);
    if (i >= 0) Delete(i);
}

void TRecentStrings::Clear()
{
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

void TRecentStrings::TrimToCapacity()
{
    if (Count() <= FMaxCount) return;
    BeginUpdate();
    if (FAddMode == rmAppend) FItems.erase(FItems.begin(), FItems.begin() + (Count() - FMaxCount));
    else FItems.resize(size_t(FMaxCount));
    EndUpdate();
}

// ---- TMRUManager ----

TMRUManager::TMRUManager(QObject* owner) : QObject(owner), FIniLink(std::make_unique<TIniLink>())
{
    FIniLink->OnSaveSettings = [this](TIniLink*) { LinkSave(); };
    FIniLink->OnLoadSettings = [this](TIniLink*) { LinkLoad(); };
    FRecentItems.OnChange = [this] { RecentListChanged(); };
}

TMRUManager::~TMRUManager()
{
    ClearRecentMenu();
    FIniLink.reset();
    FRecentItems.OnChange = nullptr;
}

void TMRUManager::AddRecent(const QString& recentName, int userData) { FRecentItems.AddObject(recentName, userData); }

void TMRUManager::RemoveRecent(const QString& recentName) { FRecentItems.RemoveText(recentName); }

void TMRUManager::RecentListChanged()
{
    DoChange();
    if (FAutoUpdate) RebuildRecentMenu();
}

void TMRUManager::DoChange()
{
    if (OnChange) OnChange();
}

QString TMRUManager::SettingsSection() const
{
    return FIniLink->RootSection() + (FSection.isEmpty() ? DefaultSettingsSection(this) : FSection);
}

void TMRUManager::LinkSave()
{
    TCustomIniFile* settings = FIniLink->SettingsObject();
    if (objectName().isEmpty() || !settings) return;
    SaveRecentItems(settings, SettingsSection());
}

void TMRUManager::LinkLoad()
{
    TCustomIniFile* settings = FIniLink->SettingsObject();
    if (objectName().isEmpty() || !settings) return;
    if (IsForm(parent())) FSection = DefaultSettingsSection(this);
    LoadRecentItems(settings, SettingsSection());
}

void TMRUManager::SaveRecentItems(TCustomIniFile* settings, const QString& section)
{
    SettingsEraseSection(settings, section);
    for (int i = 0; i < FRecentItems.Count(); ++i)
        WriteItem(settings, section, i, FRecentItems.Strings(i), FRecentItems.UserData(i));
}

void TMRUManager::LoadRecentItems(TCustomIniFile* settings, const QString& section)
{
    const TRecentMode mode = FRecentItems.AddMode();
    FRecentItems.BeginUpdate();
    try {
        FRecentItems.Clear();
        FRecentItems.SetAddMode(rmInsert);
        // Highest index first, each to the top: the list comes back in its saved order.
        for (int i = FRecentItems.MaxCount() - 1; i >= 0; --i) {
            QString text;
            int data = 0;
            ReadItem(settings, section, i, text, data);
            if (!text.isEmpty()) AddRecent(text, data);
        }
    } catch (...) {
        FRecentItems.SetAddMode(mode);
        FRecentItems.EndUpdate();
        throw;
    }
    FRecentItems.SetAddMode(mode);
    FRecentItems.EndUpdate();
}

void TMRUManager::ReadItem(TCustomIniFile* settings, const QString& section, int index, QString& recentName, int& userData)
{
    if (OnReadItem) {
        OnReadItem(settings, section, index, recentName, userData);
        return;
    }
    recentName = SettingsReadString(settings, section, Format(QStringLiteral("Item_%d"), {index}), recentName);
    userData = SettingsReadInteger(settings, section, Format(QStringLiteral("User_%d"), {index}), userData);
}

void TMRUManager::WriteItem(TCustomIniFile* settings, const QString& section, int index, const QString& recentName, int userData)
{
    if (OnWriteItem) {
        OnWriteItem(settings, section, index, recentName, userData);
        return;
    }
    SettingsWriteString(settings, section, Format(QStringLiteral("Item_%d"), {index}), recentName);
    const QString userKey = Format(QStringLiteral("User_%d"), {index});
    if (userData != 0) SettingsWriteInteger(settings, section, userKey, userData);
    else SettingsDeleteKey(settings, section, userKey);
}

void TMRUManager::DoGetItemData(QString& caption, QKeySequence& shortCut, int userData)
{
    if (OnGetItemData) OnGetItemData(caption, shortCut, userData);
}

void TMRUManager::DoClick(const QString& recentName, const QString& caption, int userData)
{
    if (OnClick) OnClick(recentName, caption, userData);
}

void TMRUManager::SetRecentMenu(QMenu* menu)
{
    ClearRecentMenu();
    FRecentMenu = menu;
    RebuildRecentMenu();
}

void TMRUManager::SetAutoEnable(bool value)
{
    if (value == FAutoEnable) return;
    FAutoEnable = value;
    if (FAutoEnable) ApplyAutoEnable();
}

void TMRUManager::SetShowAccelChar(bool value)
{
    if (value == FShowAccelChar) return;
    FShowAccelChar = value;
    if (FAutoUpdate) RebuildRecentMenu();
}

void TMRUManager::SetStartAccel(uint value)
{
    if (value == FStartAccel) return;
    FStartAccel = value;
    if (FAutoUpdate) RebuildRecentMenu();
}

void TMRUManager::SetAccelDelimiter(TAccelDelimiter value)
{
    if (value == FAccelDelimiter) return;
    FAccelDelimiter = value;
    if (FAutoUpdate && FShowAccelChar) RebuildRecentMenu();
}

void TMRUManager::SetSeparateSize(int value)
{
    if (value == FSeparateSize) return;
    FSeparateSize = value;
    if (FAutoUpdate) RebuildRecentMenu();
}

void TMRUManager::ApplyAutoEnable()
{
    if (FAutoEnable && FRecentMenu) FRecentMenu->setEnabled(!FRecentMenu->actions().isEmpty());
}

void TMRUManager::ClearRecentMenu()
{
    for (qsizetype i = FItems.size() - 1; i >= 0; --i) {
        QAction* item = FItems[i];
        // Later, not now: the item may be the one whose click is being handled.
        if (item && FRecentMenu && FRecentMenu->actions().contains(item)) {
            FRecentMenu->removeAction(item);
            item->deleteLater();
        }
    }
    FItems.clear();
    ApplyAutoEnable();
}

void TMRUManager::RebuildRecentMenu()
{
    ClearRecentMenu();
    if (!FRecentMenu) return;
    auto track = [this](QAction* a) { FItems.append(a); };
    if (FRecentItems.Count() > 0 && !FRecentMenu->actions().isEmpty()) track(FRecentMenu->addSeparator());
    for (int i = 0; i < FRecentItems.Count(); ++i) {
        if (FSeparateSize > 0 && i > 0 && i % FSeparateSize == 0) track(FRecentMenu->addSeparator());
        QString text = FRecentItems.Strings(i);
        QKeySequence shortCut;
        DoGetItemData(text, shortCut, FRecentItems.UserData(i));
        const qsizetype bar = text.indexOf('|');
        QString caption = bar < 0 ? text : text.left(bar);
        const QString hint = bar < 0 ? text : text.mid(bar + 1);
        if (FShowAccelChar) {
            const qint64 n = qint64(i) + FStartAccel;
            QString accel;
            if (n < 10) accel = '&' + QString::number(n);
            else if (n <= 100) accel = QStringLiteral("&") + QChar(char16_t(55 + n));
            else accel = QStringLiteral(" ");
            caption = accel + (FAccelDelimiter == adTab ? '\t' : ' ') + caption;
        }
        auto* action = new QAction(caption, FRecentMenu);
        action->setShortcut(shortCut);
        action->setStatusTip(hint);
        action->setToolTip(hint);
        action->setData(i);
        connect(action, &QAction::triggered, this, [this, action] { RecentItemClick(action); });
        FRecentMenu->addAction(action);
        track(action);
    }
    ApplyAutoEnable();
}

void TMRUManager::RecentItemClick(QAction* item)
{
    const int index = item->data().toInt();
    if (index < 0 || index >= FRecentItems.Count()) return;
    const QString caption = item->text();
    try {
        DoClick(FRecentItems.Strings(index), caption, FRecentItems.UserData(index));
    } catch (...) {
        if (FRemoveOnSelect && index < FRecentItems.Count()) FRecentItems.Delete(index);
        throw;
    }
    if (FRemoveOnSelect && index < FRecentItems.Count()) FRecentItems.Delete(index);
}
