// Multi-selection: a list of bookmarks of the selected records, kept in the order they were
// added, with a set of the same records so that painting a page asks nothing per record of the
// dataset; and a flag per buffered row, rebuilt before every paint.

#include "gridlib/grid/Kqdbgrid.h"

#include <QScopeGuard>
#include <algorithm>

namespace {

// Same record: some datasets answer 2 for equal keys.
bool SameRecord(int order) { return order == 0 || order == 2; }

} // namespace

bool TkqDBGrid::AskSelect(bool selecting)
{
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, selecting, accept);
    return accept;
}

void TkqDBGrid::AddSelectedBookmark(const TBookmark& bookmark)
{
    FSelectedBookmarks.append(bookmark);
    ++FSelectedCount[bookmark.RecordId()];
}

void TkqDBGrid::RemoveSelectedBookmark(int index)
{
    const TRecordId id = FSelectedBookmarks.at(index).RecordId();
    FSelectedBookmarks.removeAt(index);
    auto it = FSelectedCount.find(id);
    if (it != FSelectedCount.end() && --it.value() <= 0) FSelectedCount.erase(it);
}

void TkqDBGrid::ClearSelectedBookmarks()
{
    FSelectedBookmarks.clear();
    FSelectedCount.clear();
}

bool TkqDBGrid::ActiveRecordSelected() const
{
    TDataSet* ds = DataSet();
    if (!ds || ds->State() == dsEdit || ds->State() == dsInsert || FSelectedCount.isEmpty()) return false;
    const TBookmark current = ds->GetBookmark();
    return !current.IsNull() && FSelectedCount.contains(current.RecordId());
}

void TkqDBGrid::UpdateRowSelectionFlags()
{
    const int rows = std::max(0, VisibleRowCount() + RowOffset());
    FRowFlags.assign(size_t(rows), 0);
    if (FSelectedBookmarks.isEmpty() || !DataLink()->Active()) return;
    TDataLink* link = DataLink();
    const int saved = link->ActiveRecord();
    auto restore = qScopeGuard([&] { link->SetActiveRecord(saved); });
    const int count = std::min(rows, link->RecordCount());
    for (int i = 0; i < count; ++i) {
        link->SetActiveRecord(i);
        FRowFlags[size_t(i)] = ActiveRecordSelected() ? 1 : 0;
    }
}

bool TkqDBGrid::IsRowSelected(int dataRow) const
{
    if (dataRow < 0) return false;
    const int i = dataRow + RowOffset();
    return i < int(FRowFlags.size()) && FRowFlags[size_t(i)] != 0;
}

bool TkqDBGrid::IsCurrentRecordSelected() const
{
    // Answered from the record itself: the flags may be a paint old.
    return ActiveRecordSelected();
}

int TkqDBGrid::FindSelectedBookmark() const
{
    TDataSet* ds = DataSet();
    if (!ds) return -1;
    const TBookmark current = ds->GetBookmark();
    if (current.IsNull() || !FSelectedCount.contains(current.RecordId())) return -1;
    for (int i = 0; i < FSelectedBookmarks.size(); ++i)
        if (SameRecord(ds->CompareBookmarks(current, FSelectedBookmarks.at(i)))) return i;
    return -1;
}

void TkqDBGrid::SelectAll()
{
    if (OnMultiSelectAllRecords) {
        bool accept = true;
        OnMultiSelectAllRecords(this, true, accept);
        if (!accept) return;
    }
    ClearSelectedBookmarks();
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active()) {
        InvalidateGrid();
        return;
    }
    const TBookmark current = ds->GetBookmark();
    ds->DisableControls();
    auto enable = qScopeGuard([&] {
        if (!current.IsNull() && ds->BookmarkValid(current)) ds->GotoBookmark(current);
        ds->EnableControls();
    });
    FSelectedBookmarks.reserve(ds->RecordCount());
    FSelectedCount.reserve(ds->RecordCount());
    ds->First();
    while (!ds->Eof()) {
        AddSelectedBookmark(ds->GetBookmark());
        ds->Next();
    }
}

void TkqDBGrid::UnselectAll()
{
    if (OnMultiSelectAllRecords) {
        bool accept = true;
        OnMultiSelectAllRecords(this, false, accept);
        if (!accept) return;
    }
    ClearSelectedBookmarks();
    InvalidateGrid();
    FRowFlags.assign(size_t(std::max(0, VisibleRowCount() + RowOffset())), 0);
}

void TkqDBGrid::SelectRecord()
{
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active()) return;
    if (FShiftSelecting) {
        ds->CheckBrowseMode();
        FShiftAnchor = ds->GetBookmark();
    }
    ds->CheckBrowseMode();
    UpdateRowSelectionFlags();
    if (ActiveRecordSelected()) return;
    if (!AskSelect(true)) return;
    const TBookmark current = ds->GetBookmark();
    if (current.IsNull()) return;
    AddSelectedBookmark(current);
    InvalidateCurrentRow();
}

void TkqDBGrid::UnselectRecord()
{
    if (!ActiveRecordSelected()) return;
    if (!AskSelect(false)) return;
    const int i = FindSelectedBookmark();
    if (i < 0) return;
    RemoveSelectedBookmark(i);
    InvalidateCurrentRow();
}

void TkqDBGrid::UnselectRecordRange(const TBookmark& low, const TBookmark& high)
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    for (int i = 0; i < FSelectedBookmarks.size();) {
        const TBookmark& e = FSelectedBookmarks.at(i);
        const int a = ds->CompareBookmarks(low, e), b = ds->CompareBookmarks(e, high);
        const bool inside = (a < 0 || SameRecord(a)) && (b < 0 || SameRecord(b));
        if (inside && AskSelect(false)) {
            RemoveSelectedBookmark(i);
            continue;
        }
        ++i;
    }
    InvalidateGrid();
}

void TkqDBGrid::SelectRecordRange(const TBookmark& clicked, const TBookmark& anchor)
{
    TDataSet* ds = DataSet();
    if (!ds || clicked.IsNull() || anchor.IsNull()) return;
    const int shownRow = GetDataRow();
    ds->DisableControls();
    {
        auto enable = qScopeGuard([&] { ds->EnableControls(); });
        // Walks forward from the current record to the one at last, adding each accepted one.
        const auto addUpTo = [&](const TBookmark& last) {
            while (!ds->Eof()) {
                const TBookmark here = ds->GetBookmark();
                if (AskSelect(true)) AddSelectedBookmark(here);
                if (SameRecord(ds->CompareBookmarks(here, last))) break;
                ds->Next();
            }
        };
        try {
            if (ds->CompareBookmarks(clicked, anchor) < 0) {
                UnselectRecordRange(clicked, anchor);
                addUpTo(anchor);
            } else {
                ds->GotoBookmark(anchor);
                UnselectRecordRange(anchor, clicked);
                addUpTo(clicked);
            }
        } catch (...) {
            // What was selected so far stays selected.
        }
        // Back on the clicked record: the window of rows did not move meanwhile.
        ds->GotoBookmark(clicked);
    }
    if (GetDataRow() != shownRow && shownRow >= 0 && shownRow < DataLink()->RecordCount()) SetDataRow(shownRow);
    InvalidateGrid();
}

void TkqDBGrid::SortSelectedBookmarks()
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    std::sort(FSelectedBookmarks.begin(), FSelectedBookmarks.end(),
              [ds](const TBookmark& a, const TBookmark& b) { return ds->CompareBookmarks(a, b) < 0; });
}
