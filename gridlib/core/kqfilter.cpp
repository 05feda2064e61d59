#include "gridlib/core/kqfilter.h"

#include "gridlib/core/kqStacks.h"
#include "platform/core/CodePages.h"
#include "platform/core/SysFormat.h"
#include "platform/vcl/Dialogs.h"

#include <QPointer>
#include <QtEndian>
#include <cstring>

namespace {

constexpr int MaxOperandLength = 64;
// What a block's 16-bit sizes leave room for; it also bounds the tree's depth.
constexpr int MaxNodes = (0xFFFF - FilterBlock::HeaderSize - FilterBlock::LiteralPoolSize) / FilterBlock::NodeSize;
constexpr int MaxParentheses = 256;
constexpr int MaxStringLength = 255;

// The table of the last ApplyFilterText: CompileFilter looks its fields up there.
QPointer<TTableDataSet> GCompileTable;

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool IsComparisonChar(QChar c) { return c == QLatin1Char('<') || c == QLatin1Char('=') || c == QLatin1Char('>'); }

bool IsNameStart(QChar c)
{
    const ushort u = c.unicode();
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u > 145) return true;
    switch (u) {
    case '!': case '#': case '$': case '*': case '+': case '-': case '/': case '@': case '_': case '`': return true;
    default: return false;
    }
}

bool IsNamePart(QChar c) { return IsNameStart(c) || c == QLatin1Char(' ') || c.isDigit(); }

bool IsAcceptedComparison(const QString& t)
{
    return t == QLatin1String("<") || t == QLatin1String("<>") || t == QLatin1String("<=") || t == QLatin1String(">=")
           || t == QLatin1String("=") || t == QLatin1String(">");
}

// Text of a constant: a quoted text loses its quotes, any other its trailing blanks.
QString ConstantText(const QString& token)
{
    if (token.startsWith(QLatin1Char('"'))) return token.mid(1, token.size() - 2);
    qsizetype n = token.size();
    while (n > 0 && token.at(n - 1) == QLatin1Char(' ')) --n;
    return token.left(n);
}

// One compilation: the remaining input, the two stacks, the table, the block being written.
class TFilterCompiler {
public:
    TFilterCompiler(const QString& text, TTableDataSet* table) : FInput(text), FTable(table) {}
    ~TFilterCompiler()
    {
        while (FNodes.Count() > 0) delete static_cast<TNode*>(FNodes.Pop());
    }

    QByteArray Compile()
    {
        if (!ParseL()) return {};
        std::unique_ptr<TNode> root(static_cast<TNode*>(FNodes.Pop()));
        if (!root) return {};
        return Write(*root);
    }

private:
    // ---- Tokens: read without consuming; Accept consumes what was read.
    QString Peek(bool logicalExpected)
    {
        qsizetype i = 0;
        while (i < FInput.size() && IsBlank(FInput.at(i))) ++i;
        FInput.remove(0, i);
        FToken = ReadToken(logicalExpected);
        return FToken;
    }

    QString ReadToken(bool logicalExpected) const
    {
        const QString& s = FInput;
        if (s.isEmpty()) return {};
        const QChar c = s.at(0);
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) return QString(c);
        if (IsComparisonChar(c)) return s.size() > 1 && IsComparisonChar(s.at(1)) ? s.left(2) : s.left(1);
        if (logicalExpected) {
            if (s.startsWith(QLatin1String("AND"), Qt::CaseInsensitive)) return s.left(3);
            if (s.startsWith(QLatin1String("OR"), Qt::CaseInsensitive)) return s.left(2);
        }
        if (IsNameStart(c)) {
            qsizetype n = 1;
            while (n < s.size() && IsNamePart(s.at(n))) ++n;
            while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
            return s.left(n);
        }
        // A minus sign starts a name above, so a number here begins with a digit.
        if (c.isDigit()) {
            qsizetype n = 0;
            while (n < s.size() && s.at(n).isDigit()) ++n;
            if (n < s.size() && s.at(n) == FormatSettings.DecimalSeparator) {
                ++n;
                while (n < s.size() && s.at(n).isDigit()) ++n;
            }
            return s.left(n);
        }
        if (c == QLatin1Char('"')) {
            const qsizetype close = s.indexOf(QLatin1Char('"'), 1);
            return close < 0 ? QString() : s.left(close + 1);
        }
        return {};
    }

    void Accept(qsizetype length)
    {
        FSymbols.Push(FInput.left(length));
        FInput.remove(0, length);
    }

    // ---- Grammar

    bool ParseL()
    {
        if (!ParseR()) return false;
        for (;;) {
            const QString t = Peek(true);
            const bool isAnd = t.compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0;
            if (!isAnd && t.compare(QLatin1String("OR"), Qt::CaseInsensitive) != 0) return true;
            Accept(t.size());
            if (!ParseR() || !Reduce(nkLogical, t)) return false;
        }
    }

    bool ParseR()
    {
        if (!ParseE()) return false;
        const QString t = Peek(false);
        if (!IsAcceptedComparison(t)) return true;
        Accept(t.size());
        return ParseE() && Reduce(nkComparison, t);
    }

    bool ParseE()
    {
        if (!ParseT()) return false;
        for (;;) {
            const QString t = Peek(false);
            if (t != QLatin1String("+") && t != QLatin1String("-")) return true;
            Accept(t.size());
            if (!ParseT() || !Reduce(nkArithmetic, t)) return false;
        }
    }

    bool ParseT()
    {
        if (!ParseP()) return false;
        for (;;) {
            const QString t = Peek(false);
            if (t != QLatin1String("*") && t != QLatin1String("/")) return true;
            Accept(t.size());
            if (!ParseP() || !Reduce(nkArithmetic, t)) return false;
        }
    }

    bool ParseP()
    {
        if (++FNodesMade > MaxNodes) return false;
        const QString t = Peek(false);
        if (t == QLatin1String("(")) {
            if (FDepth >= MaxParentheses) return false;
            Accept(1);
            ++FDepth;
            const bool parsed = ParseL();
            --FDepth;
            if (!parsed) return false;
            if (Peek(false) != QLatin1String(")")) return false;
            Accept(1);
            // "(" L ")" reduces to the operand L stands for.
            FSymbols.Pop();
            const QString inner = FSymbols.Pop();
            FSymbols.Pop();
            FSymbols.Push(inner);
            return true;
        }
        if (t.isEmpty() || t == QLatin1String(")") || IsComparisonChar(t.at(0))) return false;
        auto node = std::make_unique<TNode>();
        node->Kind = nkOperand;
        node->Text = t.left(MaxOperandLength);
        Accept(node->Text.size());
        FNodes.Push(node.release());
        return true;
    }

    // Replaces the last three symbols (operand, operator, operand) with the new node's, and the
    // last two nodes with the node over them.
    bool Reduce(TkqNodeKind kind, const QString& op)
    {
        if (FSymbols.Count() < 3 || FNodes.Count() < 2) return false;
        for (int i = 0; i < 3; ++i) FSymbols.Pop();
        FSymbols.Push(op);
        std::unique_ptr<TNode> right(static_cast<TNode*>(FNodes.Pop()));
        std::unique_ptr<TNode> left(static_cast<TNode*>(FNodes.Pop()));
        if (left->Kind == nkOperand) {
            const TFieldDef* def = FTable ? FindFieldDef(left->Text) : nullptr;
            if (!def) {
                MessageDlg(left->Text + QLatin1Char('\r') + QStringLiteral("Field not found in Table. "), mtWarning, {mbOK});
                return false;
            }
            right->ConstType = ConstTypeForField(def->DataType());
            if (def->DataType() == ftBCD) right->Size = def->Size();
        }
        auto node = std::make_unique<TNode>();
        node->Kind = kind;
        node->Text = op;
        node->Left = std::move(left);
        node->Right = std::move(right);
        FNodes.Push(node.release());
        return true;
    }

    const TFieldDef* FindFieldDef(const QString& name) const
    {
        if (FTable->FieldDefs().Count() == 0) FTable->FieldDefs().Update();
        const int i = FTable->FieldDefs().IndexOf(name);
        return i >= 0 ? FTable->FieldDefs()[i] : nullptr;
    }

    // ---- Writing

    static int CountNodes(const TNode& n)
    {
        return 1 + (n.Left ? CountNodes(*n.Left) : 0) + (n.Right ? CountNodes(*n.Right) : 0);
    }

    QByteArray Write(TNode& root)
    {
        const int n = CountNodes(root);
        const int literalStart = FilterBlock::HeaderSize + n * FilterBlock::NodeSize;
        if (literalStart + FilterBlock::LiteralPoolSize > 0xFFFF) return {};
        FBlock = QByteArray(literalStart + FilterBlock::LiteralPoolSize, '\0');
        FLiteralStart = literalStart;
        FNextSlot = n - 1;
        FLiteralUsed = 0;
        FFieldNumber = 0;
        FCodePage = FTable ? FTable->TextCodePage() : 0;
        if (FCodePage <= 0) FCodePage = DefaultCodePage();
        if (!WriteNode(root)) return {};
        Put16(0, FilterBlock::Version);
        Put16(2, literalStart + FLiteralUsed);
        Put16(4, n);
        Put16(6, FilterBlock::HeaderSize);
        Put16(8, literalStart);
        FBlock.truncate(literalStart + FLiteralUsed);
        return FBlock;
    }

    void Put16(int at, int value) { qToLittleEndian<quint16>(quint16(value), FBlock.data() + at); }
    void Put32(int at, int value) { qToLittleEndian<quint32>(quint32(value), FBlock.data() + at); }

    // Appends to the pool; -1 when it is full.
    int AddLiteral(const void* bytes, int size)
    {
        if (FLiteralUsed + size > FilterBlock::LiteralPoolSize) return -1;
        const int offset = FLiteralUsed;
        std::memcpy(FBlock.data() + FLiteralStart + offset, bytes, size_t(size));
        FLiteralUsed += size;
        return offset;
    }

    QByteArray Encoded(const QString& text) const
    {
        QByteArray bytes = EncodeCodePage(QStringView(text).left(MaxStringLength), FCodePage);
        bytes.append('\0');
        return bytes;
    }

    // Operands first, then the node, into the slots from the last one down.
    bool WriteNode(TNode& node)
    {
        if (node.Left && !WriteNode(*node.Left)) return false;
        if (node.Right && !WriteNode(*node.Right)) return false;
        node.Offset = FNextSlot-- * FilterBlock::NodeSize;
        const int at = FilterBlock::HeaderSize + node.Offset;
        if (node.Kind != nkOperand) {
            Put32(at, nodeBINARY);
            Put32(at + 4, OperatorCode(node));
            Put16(at + 8, node.Left->Offset);
            Put16(at + 10, node.Right->Offset);
            return true;
        }
        if (node.ConstType == kctField) {
            const QByteArray name = Encoded(node.Text);
            const int literal = AddLiteral(name.constData(), int(name.size()));
            if (literal < 0) return false;
            Put32(at, nodeFIELD);
            Put32(at + 4, canFIELD2);
            Put16(at + 8, ++FFieldNumber);
            Put16(at + 10, literal);
            return true;
        }
        int type = 0;
        QByteArray value;
        if (!ConstantValue(node, type, value)) return false;
        const int literal = AddLiteral(value.constData(), int(value.size()));
        if (literal < 0) return false;
        Put32(at, nodeCONST);
        Put32(at + 4, canCONST2);
        Put16(at + 8, type);
        Put16(at + 10, int(value.size()));
        Put16(at + 12, literal);
        return true;
    }

    static int OperatorCode(const TNode& node)
    {
        const QString& t = node.Text;
        if (node.Kind == nkLogical) return t.compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0 ? canAND : canOR;
        if (t == QLatin1String("=")) return canEQ;
        if (t == QLatin1String("<>")) return canNE;
        if (t == QLatin1String(">")) return canGT;
        if (t == QLatin1String("<")) return canLT;
        if (t == QLatin1String(">=")) return canGE;
        if (t == QLatin1String("<=")) return canLE;
        if (t == QLatin1String("+")) return canADD;
        if (t == QLatin1String("-")) return canSUB;
        if (t == QLatin1String("*")) return canMUL;
        return canDIV;
    }

    template <typename T>
    static QByteArray LittleEndian(T value)
    {
        QByteArray bytes(sizeof(T), '\0');
        qToLittleEndian<T>(value, bytes.data());
        return bytes;
    }

    // The constant's data type and bytes; conversion errors of the text raise.
    bool ConstantValue(const TNode& node, int& type, QByteArray& value) const
    {
        const QString text = ConstantText(node.Text);
        switch (node.ConstType) {
        case kctString:
            type = fdtString;
            value = Encoded(text);
            return true;
        case kctFloat:
            type = fdtFloat;
            value = LittleEndian<double>(StrToFloat(text));
            return true;
        case kctBCD: {
            type = fdtBcd;
            value = QByteArray(FilterBlock::BcdSize, '\0');
            if (!FloatToFilterBcd(StrToFloat(text), node.Size, reinterpret_cast<uchar*>(value.data())))
                throw EConvertError(Format(QStringLiteral("'%s' is not a valid BCD value"), {text}));
            return true;
        }
        case kctInteger:
            type = fdtInt32;
            value = LittleEndian<qint32>(StrToInt(text));
            return true;
        case kctSmallInt:
            type = fdtInt16;
            value = LittleEndian<qint16>(qint16(StrToInt(text)));
            return true;
        case kctTimeStamp: {
            type = fdtTimeStamp;
            const TDateTime dt = text.contains(QLatin1Char(' ')) ? StrToDateTime(text) : StrToDate(text);
            value = LittleEndian<double>(double(DateTimeToDayNumber(dt)) * MSecsPerDay + DateTimeToMSecOfDay(dt));
            return true;
        }
        case kctDate:
            type = fdtDate;
            value = LittleEndian<qint32>(DateTimeToDayNumber(StrToDate(text)));
            return true;
        case kctTime:
            type = fdtTime;
            value = LittleEndian<qint32>(DateTimeToMSecOfDay(StrToTime(text)));
            return true;
        case kctBoolean:
            type = fdtBoolean;
            value = LittleEndian<qint16>(text.startsWith(QLatin1Char('T'), Qt::CaseInsensitive) ? -1 : 0);
            return true;
        default:
            return false;
        }
    }

    QString FInput;
    QString FToken;
    int FNodesMade = 0;
    int FDepth = 0;
    TTableDataSet* FTable;
    TStackStr FSymbols;
    TStackPtr FNodes;
    QByteArray FBlock;
    int FLiteralStart = 0;
    int FLiteralUsed = 0;
    int FNextSlot = 0;
    int FFieldNumber = 0;
    int FCodePage = 0;
};

void RefreshOpenTable(TTableDataSet* table)
{
    // While the table opens, its view is built after the cursor's filters are in place.
    if (table->Active() && table->State() != dsOpening) table->Refresh();
}

} // namespace

TkqConstType ConstTypeForField(TFieldType type)
{
    switch (type) {
    case ftString: case ftFixedChar: case ftWideString: return kctString;
    case ftSmallint: case ftWord: return kctSmallInt;
    case ftInteger: case ftAutoInc: return kctInteger;
    case ftBoolean: return kctBoolean;
    // 64-bit integers (long dBASE numbers, which the engine read as floats) compare as floats.
    case ftFloat: case ftCurrency: case ftLargeint: return kctFloat;
    case ftBCD: return kctBCD;
    case ftDate: return kctDate;
    case ftTime: return kctTime;
    case ftDateTime: return kctTimeStamp;
    default: return kctField;
    }
}

QByteArray CompileFilter(const QString& text)
{
    return TFilterCompiler(text, GCompileTable.data()).Compile();
}

QByteArray CompileFilter(const QString& text, TTableDataSet* table)
{
    GCompileTable = table;
    return CompileFilter(text);
}

void DropDataSetFilter(TDataSet* dataSet, TFilterHandle& filterHandle)
{
    if (!filterHandle) return;
    auto* table = qobject_cast<TTableDataSet*>(dataSet);
    // A closed cursor took its filters with it.
    if (table && table->Active()) {
        try {
            table->DeactivateFilter(filterHandle);
            table->DropFilter(filterHandle);
        } catch (const EDatabaseError&) {
        }
    }
    filterHandle = 0;
}

bool ApplyFilterText(const QString& text, TDataSet* dataSet, TFilterHandle& filterHandle, bool force)
{
    if (!dataSet) return false;
    if (!dataSet->Active() && !force) {
        filterHandle = 0;
        return true;
    }
    auto* table = qobject_cast<TTableDataSet*>(dataSet);
    if (!table) {
        filterHandle = 0;
        return false;
    }
    if (!text.isEmpty()) {
        const QByteArray block = CompileFilter(text, table);
        if (block.isNull()) {
            // The text that failed leaves the table unfiltered, not under the previous text.
            DropDataSetFilter(table, filterHandle);
            RefreshOpenTable(table);
            return false;
        }
        DropDataSetFilter(table, filterHandle);
        try {
            filterHandle = table->AddFilter(block);
        } catch (const EDatabaseError&) {
            filterHandle = 0;
            return false;
        }
        table->ActivateFilter(filterHandle);
    } else {
        DropDataSetFilter(table, filterHandle);
    }
    RefreshOpenTable(table);
    return true;
}

bool InstallRecordFilterCallback(const TRecordFilterCallback& callback, TDataSet* dataSet, TFilterHandle& filterHandle)
{
    if (!dataSet) return false;
    DropDataSetFilter(dataSet, filterHandle);
    auto* table = qobject_cast<TTableDataSet*>(dataSet);
    if (callback) {
        if (!table || !table->Active()) return false;
        try {
            filterHandle = table->AddFilterCallback(callback);
        } catch (const EDatabaseError&) {
            filterHandle = 0;
            return false;
        }
        table->ActivateFilter(filterHandle);
    }
    if (table) RefreshOpenTable(table);
    else if (dataSet->Active()) dataSet->Resync();
    return true;
}
