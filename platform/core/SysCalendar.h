#pragma once
// What the date controls need of the platform beyond the number and date formats: their error
// class and the regional first day of the week.

#include "platform/core/SysUtils.h"

// A date outside the limits of a date control ("Date exceeds maximum of %s").
class EDateTimeError : public Exception { public: using Exception::Exception; };

// The regional first day of the week, 0 Monday ... 6 Sunday: the system locale's unless set
// (tests pin it).
int FirstDayOfWeekSetting();
void SetFirstDayOfWeekSetting(int day);
