#pragma once
// The library's one routine that moves a dataset to the first, or the next, record whose field
// matches a text: exactly, at its start, or anywhere. The locate dialog, the incremental
// search, the lookup combo and the grid all search through it.
//
// Records are read where they lie (the dataset does not move record by record and its controls
// do not repaint); the dataset moves once, to the record found. An index whose first field is
// the searched one answers an exact search (and a search at the start from the first record)
// without a scan.

#include "platform/data/DB.h"

#include <QString>

// Match kinds, in the order the match type numbers follow.
enum TkqLocateMatchType { mtExactMatch, mtPartialMatchStart, mtPartialMatchAny };

// Moves dataSet to the first record (fromFirst, the first record included) or to the next
// record after the current one whose field text matches searchValue; matchType 0 exact, 1 at
// the start, 2 anywhere, any other value never matches. Without caseSensitive both texts
// compare in upper case. An exact search of a float, currency or BCD field compares numbers
// (a key that is no number finds nothing). useLocate lets the dataset's own Locate answer a
// search from the first record. A pending edit is posted (or cancelled) first. No match: false,
// and the dataset is back on the record it was on. A field the dataset lacks: the warning
// "Field <name> not found." and false. The dataset's own errors pass to the caller.
bool FindFieldValue(bool fromFirst, TDataSet* dataSet, const QString& fieldName, const QString& searchValue,
                    int matchType, bool caseSensitive, bool useLocate = false);

// The comparison rule: the field text (upper-cased unless caseSensitive) against a key that
// the caller has already upper-cased when not caseSensitive. Exact: equal texts (two empty
// texts match); start and anywhere: the key found there (an empty key is found nowhere).
bool MatchFieldText(const QString& fieldText, const QString& key, int matchType, bool caseSensitive);

// The same for a memo field's value, taken as plain text (a rich-text value without its
// control words). An empty key never matches, not even an empty memo.
bool MatchMemoText(const TField* field, const QString& key, bool caseSensitive, int matchType);
