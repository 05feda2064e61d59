#include "gridlib/core/Kqqbe.h"

TkqQBE::TkqQBE(QObject* owner) : TkqBDEDataSetOf<TDBDataSet>(owner)
{
    // The query by example checks no masks before posting.
    FValidateWithMask = false;
}

TkqQBE::~TkqQBE()
{
    FDestroying = true;
    CloseOnDestroy();
}

void TkqQBE::SetQBE(const QStringList& lines)
{
    FQBE = lines;
    if (!Active()) return;
    Close();
    Open();
}

void TkqQBE::SetOnFilter(const TkqQBEFilterEvent& handler)
{
    FOnFilter = handler;
    HandlerChanged(QStringLiteral("Local Filtering is not supported on this QBE."));
}

QString TkqQBE::PreparedQBEText() const
{
    QStringList lines = FQBE;
    for (QString& line : lines) {
        for (qsizetype at = line.indexOf(QLatin1Char('~')); at >= 0; at = line.indexOf(QLatin1Char('~'))) {
            qsizetype end = at + 1;
            while (end < line.size()) {
                const QChar c = line.at(end).toLower();
                if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit() || c == QLatin1Char('#')
                      || c == QLatin1Char('_')))
                    break;
                ++end;
            }
            line.replace(at, end - at, QStringLiteral(" "));
        }
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString TkqQBE::StatementKind() const
{
    return QStringLiteral("Running QBE queries");
}

int TkqQBE::ExecQBE()
{
    // The engine that ran PreparedQBEText() does not exist here.
    StatementNotSupported();
}

void TkqQBE::InternalOpen()
{
    if (FQBE.isEmpty() || FQBE.first().isEmpty()) TkqBDEDataSetOf<TDBDataSet>::InternalOpen();
    else ExecQBE();
}
