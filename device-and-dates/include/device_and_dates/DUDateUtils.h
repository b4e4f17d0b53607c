#pragma once
// Everything the date utilities add to the platform's date type, in one include: the implicit
// calendar, time-ago texts, components, arithmetic, comparison and formatting (namespace DUDate).

#include <device_and_dates/DUDateArithmetic.h>
#include <device_and_dates/DUDateCalendar.h>
#include <device_and_dates/DUDateComponents.h>
#include <device_and_dates/DUDateFormatting.h>
#include <device_and_dates/DUTimeAgo.h>
