#include "platform/core/SysCalendar.h"

#include <QLocale>

namespace {
int GFirstDayOfWeek = -1;
}

int FirstDayOfWeekSetting()
{
    if (GFirstDayOfWeek < 0) GFirstDayOfWeek = int(QLocale::system().firstDayOfWeek()) - 1;
    return GFirstDayOfWeek;
}

void SetFirstDayOfWeekSetting(int day) { GFirstDayOfWeek = day < 0 || day > 6 ? -1 : day; }
