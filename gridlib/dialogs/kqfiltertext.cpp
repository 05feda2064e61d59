// The filter dialog's criteria as texts: the dataset's Filter property (in the dataset's own
// filter language) and conditions inserted into the WHERE clause of the dataset's SQL; and the
// fields an SQL text can deliver.
//
// A user's value never leaves its literal: quotes inside it are doubled (or, in SQL, the other
// quote delimits it and its own kind is doubled), and a part given for a number field that is
// no number is written as a quoted text instead of bare.

#include "gridlib/dialogs/kqfilter.h"

#include "gridlib/core/kqbde.h"
#include "gridlib/dialogs/kqfiltereval.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"
#include "platform/core/TypInfo.h"
#include "platform/data/DBParams.h"
#include "platform/tables/LocalTables.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QMetaProperty>
#include <cmath>
#include <QRegularExpression>
#include <QScopedValueRollback>

namespace {

bool IsPlainNumberType(TFieldType t)
{
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftBoolean || t == ftFloat || t == ftCurrency ||
           t == ftAutoInc;
}
bool IsDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }
bool IsStringType(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString; }

// The part as a bare number (or boolean) literal, or empty when it is none.
QString BareNumber(const QString& part, TFieldType type)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = part.trimmed();
    if (type == ftBoolean && (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                              t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0))
        return t;
    return number.match(t).hasMatch() ? t : QString();
}

// A filter-text literal: single quotes doubled inside.
QString FilterQuoted(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// An SQL literal: single quotes, or double quotes when the text holds a single quote; the
// delimiter's own kind is doubled inside so that the text cannot end the literal.
QString SqlQuoted(const QString& text)
{
    const QChar quote = text.contains(QLatin1Char('\'')) ? QLatin1Char('"') : QLatin1Char('\'');
    QString t = text;
    t.replace(quote, QString(2, quote));
    return quote + t + quote;
}

bool ReadDateText(TFieldType type, const QString& text, TDateTime& value)
{
    const QString t = text.trimmed();
    switch (type) {
    case ftDate: return TryStrToDate(t, value);
    case ftTime: return TryStrToTime(t, value);
    default: return TryStrToDateTime(t, value) || TryStrToDate(t, value);
    }
}

// "ftString" and the like; ftUnknown for other texts.
TFieldType FieldTypeFromEnumName(const QString& name)
{
    for (int t = 0; t < FieldTypeCount; ++t)
        if (name.compare(QStringLiteral("ft") + FieldTypeText(TFieldType(t)), Qt::CaseInsensitive) == 0) return TFieldType(t);
    return ftUnknown;
}

// A date-time upper bound typed without a time takes in the whole day, as the record callback
// reads it: the condition becomes "before the next day". With equal date and time separators a
// bound exactly on midnight counts as a whole day too.
bool UpperBoundIsWholeDay(TFieldType type, const QString& text, TDateTime& nextDay)
{
    if (type != ftDateTime) return false;
    TDateTime value = 0;
    if (!ReadDateText(type, text, value)) return false;
    const bool wholeDay = !text.contains(FormatSettings.TimeSeparator) ||
                          (FormatSettings.DateSeparator == FormatSettings.TimeSeparator && value == std::floor(value));
    if (wholeDay) nextDay = std::floor(value) + 1;
    return wholeDay;
}

// The parts' conditions joined by their operator in one pair of parentheses; empty for none.
QString JoinParts(const QStringList& pieces, bool orList)
{
    QStringList kept;
    for (const QString& p : pieces)
        if (!p.isEmpty()) kept << p;
    if (kept.isEmpty()) return QString();
    return QLatin1Char('(') + kept.join(orList ? QStringLiteral(" or ") : QStringLiteral(" and ")) + QLatin1Char(')');
}

// The line before a value criterion's condition.
void AddValueConnective(QStringList& lines, bool nonMatching, int emitted)
{
    if (nonMatching)
        lines << (emitted > 0 ? QStringLiteral("  and not") : QStringLiteral("  not"));
    else if (emitted > 0)
        lines << QStringLiteral(" and");
}

} // namespace

QStringList TkqFilterDialog::RangeConditions(const TkqFieldInfo& c, TFieldType type, int size, const QString& column,
                                             const QString& encodeName, const QString& dateName, bool sql) const
{
    QString lower = c.MinValue, upperBound = c.MaxValue;
    bool quoted = true, before = false;
    if (IsStringType(type)) {
        upperBound = PadUpperBound(upperBound, size, ushort(UpperRangePadChar));
    } else if (IsDateType(type)) {
        TDateTime when = 0;
        if (!lower.isEmpty() && ReadDateText(type, lower, when)) lower = FormatQueryDate(when, type, dateName);
        if (!upperBound.isEmpty() && UpperBoundIsWholeDay(type, upperBound, when)) {
            upperBound = FormatQueryDate(when, type, dateName);
            before = true;
        } else if (!upperBound.isEmpty() && ReadDateText(type, upperBound, when)) {
            upperBound = FormatQueryDate(when, type, dateName);
        }
    } else if (IsPlainNumberType(type) || type == ftBCD) {
        quoted = false;
    } else {
        return {};
    }
    if (OnEncodeValue) {
        OnEncodeValue(type, encodeName, lower);
        OnEncodeValue(type, encodeName, upperBound);
    }
    auto literal = [&](const QString& text) {
        const QString bare = quoted ? QString() : BareNumber(text, type);
        return !bare.isEmpty() ? bare : sql ? SqlQuoted(text) : FilterQuoted(text);
    };
    auto condition = [&](const char* op, const QString& bound) {
        const QString text = column + QLatin1String(op) + literal(bound);
        return sql ? QStringLiteral("   ") + text : QLatin1Char('(') + text + QLatin1Char(')');
    };
    QStringList conditions;
    if (!lower.isEmpty()) conditions << condition(" >= ", lower);
    if (!upperBound.isEmpty()) {
        if (!lower.isEmpty()) conditions << QStringLiteral(" and");
        conditions << condition(before ? " < " : " <= ", upperBound);
    }
    return conditions;
}

QString TkqFilterDialog::FormatQueryDate(TDateTime value, TFieldType type, const QString& fieldName) const
{
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, n, s, ms);
    QString date;
    switch (QueryFormatDateMode) {
    case qfdMonthDayYear: date = QStringLiteral("%1/%2/%3").arg(m).arg(d).arg(y); break;
    case qfdDayMonthYear: date = QStringLiteral("%1/%2/%3").arg(d).arg(m).arg(y); break;
    case qfdYearMonthDay: date = QStringLiteral("%1/%2/%3").arg(y).arg(m).arg(d); break;
    }
    const QString time = QStringLiteral("%1:%2:%3").arg(h).arg(n).arg(s);
    QString text = type == ftDate ? date : type == ftTime ? time : date + QLatin1Char(' ') + time;
    if (OnEncodeDateTime) OnEncodeDateTime(value, type, fieldName, text);
    return text;
}

// --- Filter property text -------------------------------------------------------------------

bool TkqFilterDialog::BuildFilterTextLines(QStringList& lines)
{
    lines.clear();
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return false;
    const TkqFieldOperators& ops = *FFieldOperators;
    const TkqFilterPropertyOptions& po = *FFilterPropertyOptions;
    const QString wildcard = po.UseLikeOperator ? po.LikeWildcardChar : QStringLiteral("*");
    int emitted = 0;
    for (const TkqFieldInfo& c : FCriteria) {
        QString name = c.FieldName.isEmpty() ? FieldNameFromDisplayLabel(ds, c.DisplayLabel) : c.FieldName;
        TField* field = ds->FindField(name);
        if (!field) {
            MessageDlg(QStringLiteral("Field Name not found in referenced tables. ") + QLatin1Char('\r') + name,
                       mtWarning, {mbOK});
            return false;
        }
        if (field->IsBlob() || IsBlobFieldType(field->DataType()) || field->FieldKind() == fkLookup ||
            field->FieldKind() == fkCalculated)
            continue;
        const TFieldType type = field->DataType();
        const QString column = po.UseBracketsAroundFields ? QLatin1Char('[') + name + QLatin1Char(']') : name;
        QStringList conditions;
        if (c.MatchType == fdMatchStart || c.MatchType == fdMatchAny || c.MatchType == fdMatchExact) {
            const bool upper = po.UseLikeOperator && po.LikeSupportsUpperKeyword && !c.CaseSensitive &&
                               !IsPlainNumberType(type) && !IsDateType(type);
            const QString col = upper ? UpperFunction() + QLatin1Char('(') + column + QLatin1Char(')') : column;
            const TkqFilterValueParts value = ParseFilterValue(c.FilterValue, ops);
            QStringList pieces;
            for (const QString& raw : value.Parts) {
                QString part = raw.trimmed();
                if (upper) part = part.toUpper();
                QString piece;
                if (part.compare(ops.NullChar(), Qt::CaseInsensitive) == 0) {
                    piece = column + QStringLiteral(" is NULL");
                } else if (IsPlainNumberType(type)) {
                    // Numbers have no partial match; a part that is no number stays a literal.
                    if (OnEncodeValue) OnEncodeValue(type, column, part);
                    const QString bare = BareNumber(part, type);
                    piece = col + QLatin1Char('=') + (bare.isEmpty() ? FilterQuoted(part) : bare);
                } else if (IsDateType(type)) {
                    if (OnEncodeValue) OnEncodeValue(type, column, part);
                    TDateTime when = 0;
                    const QString text = ReadDateText(type, part, when) ? FormatQueryDate(when, type, name) : part;
                    piece = (type == ftDate ? QString() : QStringLiteral("   ")) + col + QLatin1Char('=') +
                            FilterQuoted(text);
                } else {
                    if (c.MatchType == fdMatchStart) part += wildcard;
                    if (c.MatchType == fdMatchAny) part = wildcard + part + wildcard;
                    if (OnEncodeValue) OnEncodeValue(type, column, part);
                    if (IsStringType(type) && field->Size() > 0) part = part.left(field->Size());
                    if (c.MatchType == fdMatchExact)
                        piece = col + QLatin1Char('=') + FilterQuoted(part);
                    else if (po.UseLikeOperator)
                        piece = col + QStringLiteral(" like ") + FilterQuoted(part);
                    else if (c.MatchType == fdMatchStart)
                        piece = col + QLatin1Char('=') + FilterQuoted(part);
                }
                pieces << piece;
            }
            if (const QString condition = JoinParts(pieces, value.Operator == TkqFilterValueParts::opOr);
                !condition.isEmpty()) {
                AddValueConnective(lines, c.NonMatching, emitted);
                conditions << condition;
            }
        } else if (c.MatchType == fdMatchRange) {
            conditions = RangeConditions(c, type, field->Size(), column, column, name, false);
            if (!conditions.isEmpty() && emitted > 0) lines << QStringLiteral(" and");
        }
        if (conditions.isEmpty()) continue;
        lines << conditions;
        ++emitted;
    }
    return true;
}

bool TkqFilterDialog::ApplyFilterText()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return false;
    QStringList lines;
    if (!BuildFilterTextLines(lines)) return false;
    QScopedValueRollback<bool> busy(FBusy, true);
    // An in-memory client dataset would lose its records when closed; it takes a new filter
    // text while open.
    const bool reopen = !IsClassOrAncestorNamed(ds, "TClientDataSet");
    try {
        if (reopen) ds->Close();
        QString text;
        for (const QString& line : lines) text += QLatin1Char(' ') + line;
        TBusyCursor hourglass;
        ds->SetFiltered(false);
        ds->SetFilter(text);
        ds->SetFiltered(true);
        if (FFilterPropertyOptions->DatasetFilterType == fdUseBothFilterTypes) SetDataSetFilterEvent(ds, {});
        if (!ds->Active()) ds->Open();
        return true;
    } catch (const std::exception&) {
        try {
            ds->SetFiltered(false);
            ds->SetFilter(QString());
            if (!ds->Active()) ds->Open();
        } catch (const std::exception&) {
        }
        QString message = QStringLiteral("Unable to Execute Filter:") + QLatin1Char('\r');
        for (const QString& line : lines) message += line + QLatin1Char('\r');
        MessageDlg(message, mtWarning, {mbOK});
        return false;
    }
}

// --- SQL ---------------------------------------------------------------------------------------

QStringList TkqFilterDialog::ReadSQLLines(bool* exists) const
{
    const TDataSet* ds = GetPrimaryDataSet();
    const QByteArray name = GetSQLPropertyName().toLatin1();
    const QMetaProperty p = ds ? FindPublishedProperty(ds, name.constData()) : QMetaProperty();
    if (exists) *exists = p.isValid();
    if (!p.isValid()) return {};
    const QVariant v = p.read(ds);
    if (v.metaType() == QMetaType::fromType<QStringList>()) return v.toStringList();
    return {v.toString()};
}

bool TkqFilterDialog::BuildSQLConditionLines(QStringList& lines)
{
    lines.clear();
    const TkqFieldOperators& ops = *FFieldOperators;
    int emitted = 0;
    for (const TkqFieldInfo& c : FCriteria) {
        QString name = c.FieldName;
        if (name.isEmpty()) {
            name = c.DisplayLabel;
            for (const QString& line : SelectedFields) {
                const int semi = int(line.indexOf(QLatin1Char(';')));
                if (semi >= 0 && line.mid(semi + 1).compare(c.DisplayLabel, Qt::CaseInsensitive) == 0) {
                    name = line.left(semi);
                    break;
                }
            }
        }
        const TkqDBFieldInfo* entry = nullptr;
        for (const TkqDBFieldInfo& e : FDBFieldInfo)
            if (e.FieldName.compare(name, Qt::CaseInsensitive) == 0) {
                entry = &e;
                break;
            }
        if (!entry) {
            MessageDlg(QStringLiteral("TkqFilterDialog: Field not found (") + name + QLatin1Char(')'), mtWarning, {mbOK});
            return false;
        }
        const TFieldType type = entry->DataType;
        QString col = entry->SqlFieldName;
        if (col.contains(QLatin1Char(' ')) || col.contains(QLatin1Char('-'))) col = QLatin1Char('"') + col + QLatin1Char('"');
        const QString plainRef = entry->Qualifier.isEmpty() ? col : entry->Qualifier + QLatin1Char('.') + col;
        const QString column = entry->Qualifier.isEmpty()                          ? col
                               : entry->Qualifier.contains(QLatin1Char('.'))       ? QLatin1Char('"') + entry->Qualifier + QStringLiteral("\".") + col
                                                                                   : plainRef;
        QStringList conditions;
        if (c.MatchType == fdMatchStart || c.MatchType == fdMatchAny || c.MatchType == fdMatchExact) {
            const bool upper = !c.CaseSensitive && !IsPlainNumberType(type) && !IsDateType(type);
            const QString ref = upper ? UpperFunction() + QLatin1Char('(') + plainRef + QLatin1Char(')') : column;
            const TkqFilterValueParts value = ParseFilterValue(c.FilterValue, ops);
            QStringList pieces;
            for (const QString& raw : value.Parts) {
                QString part = raw.trimmed();
                QString piece;
                if (part.compare(ops.NullChar(), Qt::CaseInsensitive) == 0) {
                    piece = column + QStringLiteral(" is NULL");
                } else if (IsPlainNumberType(type)) {
                    if (OnEncodeValue) OnEncodeValue(type, entry->FieldName, part);
                    const QString bare = BareNumber(part, type);
                    piece = ref + QLatin1Char('=') + (bare.isEmpty() ? SqlQuoted(part) : bare);
                } else if (IsDateType(type)) {
                    if (OnEncodeValue) OnEncodeValue(type, entry->FieldName, part);
                    TDateTime when = 0;
                    const QString text =
                        ReadDateText(type, part, when) ? FormatQueryDate(when, type, entry->FieldName) : part;
                    piece = (type == ftDate ? QString() : QStringLiteral("   ")) + ref + QLatin1Char('=') + SqlQuoted(text);
                } else {
                    if (c.MatchType == fdMatchStart) part += QLatin1Char('%');
                    if (c.MatchType == fdMatchAny) part = QLatin1Char('%') + part + QLatin1Char('%');
                    if (upper) part = part.toUpper();
                    if (OnEncodeValue) OnEncodeValue(type, entry->FieldName, part);
                    const bool like = c.MatchType != fdMatchExact || type == ftBlob || type == ftMemo || type == ftOraBlob;
                    piece = ref + (like ? QStringLiteral(" like ") : QStringLiteral("=")) + SqlQuoted(part);
                }
                pieces << piece;
            }
            if (const QString condition = JoinParts(pieces, value.Operator == TkqFilterValueParts::opOr);
                !condition.isEmpty()) {
                AddValueConnective(lines, c.NonMatching, emitted);
                conditions << condition;
            }
        } else if (c.MatchType == fdMatchRange) {
            conditions = RangeConditions(c, type, entry->Size, column, entry->SqlFieldName, entry->SqlFieldName, true);
            if (!conditions.isEmpty() && emitted > 0) lines << QStringLiteral(" and");
        }
        if (conditions.isEmpty()) continue;
        lines << conditions;
        ++emitted;
    }
    return true;
}

void TkqFilterDialog::ApplySQLFilter()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return;
    const QByteArray property = GetSQLPropertyName().toLatin1();
    bool exists = false;
    const QStringList current = ReadSQLLines(&exists);
    {
        QScopedValueRollback<bool> busy(FBusy, true);
        ds->Close();
    }
    if (FHasSavedSQL) {
        AssignLinesToProperty(ds, FSavedSQL, property.constData());
    } else {
        FSavedSQL = current;
        FHasSavedSQL = true;
    }
    QStringList conditions;
    if (!BuildSQLConditionLines(conditions)) return;
    FLastConditionLines = conditions;
    InsertWhereClause(conditions);
    if (OnExecuteSQL && IsClassOrAncestorNamed(ds, "TQuery")) OnExecuteSQL(FForm, ds);
    try {
        ds->Open();
    } catch (const std::exception&) {
        QString message = QStringLiteral("Unable to Execute SQL:") + QLatin1Char('\r');
        for (const QString& line : ReadSQLLines()) message += line + QLatin1Char('\r');
        MessageDlg(message, mtWarning, {mbOK});
        throw;
    }
}

namespace {

bool IsClauseKeyword(const QString& token)
{
    static const QStringList words{QStringLiteral("WHERE"), QStringLiteral("GROUP"), QStringLiteral("HAVING"),
                                   QStringLiteral("UNION"), QStringLiteral("PLAN"),  QStringLiteral("ORDER"),
                                   QStringLiteral("FOR")};
    return words.contains(token);
}

// The first clause word of a line from pos on: its text, and the end (1-based, exclusive) of
// the token before it on that line (pos - 1 when none); empty when the line has none.
QString FindClauseWord(const QString& line, int pos, int& beforeEnd, int& afterEnd)
{
    const QString upper = line.toUpper();
    beforeEnd = pos - 1;
    while (true) {
        const QString token = NextSqlToken(upper, pos);
        if (token.isEmpty()) return QString();
        if (IsClauseKeyword(token)) {
            afterEnd = pos;
            return token;
        }
        beforeEnd = pos - 1;
    }
}

} // namespace

void TkqFilterDialog::InsertWhereClause(const QStringList& conditionLines)
{
    TDataSet* ds = GetPrimaryDataSet();
    bool exists = false;
    QStringList lines = ReadSQLLines(&exists);
    if (!ds || !exists || lines.isEmpty() || conditionLines.isEmpty()) return;
    // Parameter values survive the new text.
    std::unique_ptr<TParams> savedParams;
    if (QObject* params = GetDataSetParams(ds); params && IsClassOrAncestorNamed(params, "TParams")) {
        savedParams = std::make_unique<TParams>();
        QMetaObject::invokeMethod(savedParams.get(), "Assign", Q_ARG(QObject*, params));
    }
    int clauseLine = -1, beforeEnd = 0, afterEnd = 0;
    QString word;
    for (int i = 0; i < lines.size() && word.isEmpty(); ++i) {
        word = FindClauseWord(lines[i], 1, beforeEnd, afterEnd);
        if (!word.isEmpty()) clauseLine = i;
    }
    auto divide = [&](int line, int at, const QString& connective) {
        const QString before = lines[line].left(at);
        const QString rest = lines[line].mid(at);
        QStringList replacement;
        if (!before.trimmed().isEmpty()) replacement << before;
        replacement << connective << conditionLines;
        if (!rest.trimmed().isEmpty()) replacement << rest;
        lines.removeAt(line);
        for (int k = 0; k < replacement.size(); ++k) lines.insert(line + k, replacement[k]);
    };
    if (word.isEmpty()) {
        lines << QStringLiteral("Where") << conditionLines;
    } else if (word == QLatin1String("WHERE")) {
        int endLine = -1, endBefore = 0, endAfter = 0;
        if (!FindClauseWord(lines[clauseLine], afterEnd, endBefore, endAfter).isEmpty()) endLine = clauseLine;
        for (int i = clauseLine + 1; i < lines.size() && endLine < 0; ++i)
            if (!FindClauseWord(lines[i], 1, endBefore, endAfter).isEmpty()) endLine = i;
        if (endLine < 0) {
            endLine = int(lines.size()) - 1;
            endBefore = int(lines[endLine].size());
        }
        divide(endLine, endBefore, QStringLiteral("And"));
    } else {
        divide(clauseLine, beforeEnd, QStringLiteral("Where"));
    }
    AssignLinesToProperty(ds, lines, GetSQLPropertyName().toLatin1().constData());
    if (savedParams) SetDataSetParams(ds, savedParams.get());
}

// --- Fields an SQL text delivers ------------------------------------------------------------

void TkqFilterDialog::LoadFieldInfoBySQL()
{
    TDataSet* ds = GetPrimaryDataSet();
    if (!ds) return;
    if (FieldsFetchMethod == fmUseTFields) {
        FDBFieldInfo.clear();
        ds->FieldDefs().Update();
        QString qualifier;
        if (!SQLTables.isEmpty())
            qualifier = SQLTables[0].TableAliasName.isEmpty() ? SQLTables[0].TableName : SQLTables[0].TableAliasName;
        for (const TField* f : ds->Fields()) {
            TkqDBFieldInfo info;
            info.FieldName = info.SqlFieldName = f->FieldName();
            info.Qualifier = qualifier;
            const int at = ds->FieldDefs().IndexOf(f->FieldName());
            const TFieldDef* def = at >= 0 ? ds->FieldDefs().Items(at) : nullptr;
            info.DataType = def ? def->DataType() : f->DataType();
            info.Size = def ? def->Size() : f->Size();
            info.DisplayLabel = f->DisplayLabel();
            FDBFieldInfo << info;
        }
        return;
    }
    bool exists = false;
    const QStringList sql = ReadSQLLines(&exists);
    if (!exists) return;
    FDBFieldInfo.clear();
    // The tables: from SQLTables, else from the FROM list.
    QList<QPair<QString, QString>> tables;
    if (!SQLTables.isEmpty()) {
        for (const TkqSQLTablesCollectionItem& item : SQLTables)
            if (!item.TableName.isEmpty())
                tables << qMakePair(item.TableName, item.TableAliasName.isEmpty() ? item.TableName : item.TableAliasName);
    } else {
        bool inFrom = false, expectTable = false;
        QString pendingTable;
        bool done = false;
        for (int i = 0; i < sql.size() && !done; ++i) {
            const QString upper = sql[i].toUpper();
            int pos = 1;
            while (!done) {
                const QString token = NextSqlToken(upper, pos);
                if (token.isEmpty()) break;
                if (!inFrom) {
                    if (token == QLatin1String("FROM")) inFrom = expectTable = true;
                    continue;
                }
                if (expectTable) {
                    const bool quoted = token.startsWith(QLatin1Char('"')) || token.startsWith(QLatin1Char('\''));
                    const QString name = quoted ? token.mid(1, token.size() - 2) : token;
                    if (quoted) {
                        pendingTable = name;
                    } else {
                        tables << qMakePair(name, name);
                    }
                    expectTable = false;
                    continue;
                }
                if (!pendingTable.isEmpty()) {
                    if (token == QLatin1String(",")) {
                        tables << qMakePair(pendingTable, pendingTable);
                        pendingTable.clear();
                        expectTable = true;
                        continue;
                    }
                    tables << qMakePair(pendingTable, token);
                    pendingTable.clear();
                    continue;
                }
                if (token == QLatin1String(",")) {
                    expectTable = true;
                    continue;
                }
                done = true;
            }
        }
        if (!pendingTable.isEmpty()) tables << qMakePair(pendingTable, pendingTable);
    }
    if (tables.isEmpty()) return;
    const bool client = IsClassOrAncestorNamed(ds, "TClientDataSet");
    QStringList seen;
    for (const auto& table : tables) {
        if (client) {
            QStringList info;
            if (!GetStringListProperty(ds, "FieldInfo", info) || info.isEmpty()) return;
            for (const QString& line : info) {
                const QStringList p = line.split(QLatin1Char(';'));
                if (p.size() < 6) throw EListError(QStringLiteral("List index out of bounds (5)"));
                TkqDBFieldInfo e;
                e.SqlFieldName = p[0];
                e.FieldName = p[1];
                e.Qualifier = p[2];
                e.DisplayLabel = p[3];
                e.DataType = FieldTypeFromEnumName(p[4]);
                e.Size = StrToInt(p[5]);
                FDBFieldInfo << e;
            }
            continue;
        }
        std::unique_ptr<TDataSet> temp;
        if (dynamic_cast<TkqBDEDataSet*>(ds) && FieldsFetchMethod == fmUseTTable) {
            auto t = std::make_unique<TTable>();
            SetDataSetDatabaseName(t.get(), GetDataSetDatabaseName(ds));
            SetDataSetSessionName(t.get(), GetDataSetSessionName(ds));
            t->SetTableName(table.first);
            temp = std::move(t);
        } else {
            QObject* made = ds->metaObject()->newInstance(Q_ARG(QObject*, this));
            temp.reset(qobject_cast<TDataSet*>(made));
            if (!temp) {
                delete made;
                return;
            }
            SetDataSetDatabaseName(temp.get(), GetDataSetDatabaseName(ds));
            SetDataSetSessionName(temp.get(), GetDataSetSessionName(ds));
            const QByteArray property = GetSQLPropertyName().toLatin1();
            if (!AssignLinesToProperty(temp.get(), {QStringLiteral("Select * from ") + table.first}, property.constData()))
                return;
        }
        DoInitTempDataSet(ds, temp.get());
        temp->FieldDefs().Update();
        for (int i = 0; i < temp->FieldDefs().Count(); ++i) {
            const TFieldDef* def = temp->FieldDefs().Items(i);
            if (FindTextInList(seen, def->Name()) >= 0) continue;
            seen << def->Name();
            TkqDBFieldInfo e;
            e.FieldName = e.SqlFieldName = def->Name();
            e.Qualifier = table.second;
            e.DataType = def->DataType();
            e.Size = def->Size();
            const TField* own = temp->FindField(def->Name());
            if (!own) own = ds->FindField(def->Name());
            e.DisplayLabel = own ? own->DisplayLabel() : def->Name();
            FDBFieldInfo << e;
        }
    }
}
