#include <crash_core/CRReportFixup.h>

#include <cstdio>

namespace {

// Civil date of a day count since 1970-01-01 (no locale, no time-zone files: safe
// anywhere).
void civil(int64_t days, int* year, int* month, int* day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t doe = days - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    *year = int(y + (m <= 2));
    *month = int(m);
    *day = int(d);
}

void split(int64_t seconds, int* y, int* mo, int* d, int* h, int* mi, int* s) {
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    civil(days, y, mo, d);
    *h = int(rest / 3600);
    *mi = int(rest % 3600 / 60);
    *s = int(rest % 60);
}

}  // namespace

extern "C" {

void crdate_utcStringFromTimestamp(time_t timestamp, char* buffer) {
    int y, mo, d, h, mi, s;
    split(int64_t(timestamp), &y, &mo, &d, &h, &mi, &s);
    std::snprintf(buffer, 21, "%04d-%02d-%02dT%02d:%02d:%02dZ", y, mo, d, h, mi, s);
}

void crdate_utcStringFromMicroseconds(int64_t microseconds, char* buffer) {
    int64_t seconds = microseconds / 1000000;
    long fraction = long(microseconds % 1000000);
    if (fraction < 0) {
        fraction += 1000000;
        seconds -= 1;
    }
    int y, mo, d, h, mi, s;
    split(seconds, &y, &mo, &d, &h, &mi, &s);
    std::snprintf(buffer, 28, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", y, mo, d, h, mi, s, fraction);
}

}  // extern "C"
