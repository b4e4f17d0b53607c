#include <platform_kernel/ProcSelfStat.h>

#include <platform_kernel/ProcFile.h>

namespace kernel {

namespace {

const char* skipField(const char* p) {
    while (*p == ' ') ++p;
    while (*p && *p != ' ') ++p;
    return p;
}

bool number(const char*& p, uint64_t* out) {
    while (*p == ' ') ++p;
    bool negative = *p == '-';
    if (negative) ++p;
    if (*p < '0' || *p > '9') return false;
    uint64_t v = 0;
    while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<uint64_t>(*p++ - '0');
    *out = negative ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : v;
    return true;
}

}  // namespace

bool readProcSelfStat(ProcSelfStat* out) {
    if (!out) return false;
    char text[2048];
    if (readProcFile("/proc/self/stat", text, sizeof text) <= 0) return false;
    const char* p = text;
    uint64_t v = 0;
    if (!number(p, &v)) return false;
    ProcSelfStat s;
    s.pid = static_cast<int>(v);
    const char* close = nullptr;
    for (const char* q = p; *q; ++q)
        if (*q == ')') close = q;
    if (!close) return false;
    p = close + 1;
    while (*p == ' ') ++p;
    s.state = *p;
    p = skipField(p);  // field 3: state
    // Fields 4 to 24, counted from 1 as in proc(5).
    for (int field = 4; field <= 24; ++field) {
        if (!number(p, &v)) return false;
        switch (field) {
            case 4: s.ppid = static_cast<int>(v); break;
            case 14: s.userTicks = v; break;
            case 15: s.systemTicks = v; break;
            case 20: s.threadCount = static_cast<int64_t>(v); break;
            case 22: s.startTicks = v; break;
            case 23: s.virtualBytes = v; break;
            case 24: s.residentPages = v; break;
            default: break;
        }
    }
    *out = s;
    return true;
}

}  // namespace kernel
