#pragma once
// The analytics layer's log bridge: every log line goes through these functions to an
// optional log-manager class "ZVCommonLogManager", found by name once per process. Without
// that class every call does nothing and answers false. Message texts are keys of the
// "ZVCommonLog" string table (none ships: the key is the text). Any thread; no lock.

#include <memory>
#include <string>

#include <platform_runtime/Value.h>

class NSBundle;

// Component numbers and log flags.
inline constexpr int ZVCommonLogComponentCommon = 1;
inline constexpr int ZVCommonLogComponentAnalytics = 2;
inline constexpr int ZVLogFlagError = 1;
inline constexpr int ZVLogFlagWarning = 2;
inline constexpr int ZVLogFlagInfo = 4;
inline constexpr int ZVLogFlagDebug = 8;
inline constexpr int ZVLogLevelAll = -1;

bool ZVCommonLogRegisterComponent(int component, const std::string& prefixName, const std::string& version);
bool ZVCommonLogSetComponentLevel(int component, int level);
bool ZVCommonLogIsLevelValid(int component, int flag);
// Forwards the line when the manager exists and lets the flag through for the component.
void ZVCommonLogWrite(int component, int flag, const char* file, const char* function, int line,
                      const std::string& format, const Value::Array& args = {});
// The same, only while the conditional switch is on (off by default).
void ZVCommonLogWriteIfEnabled(int component, int flag, const char* file, const char* function, int line,
                               const std::string& format, const Value::Array& args = {});
void ZVCommonLogSetEnabled(bool enabled);
// The "ZVCommonLog" bundle inside the main bundle when it exists, else the main bundle.
std::shared_ptr<NSBundle> ZVCommonLogBundle();

// Common-layer log line from this source unit.
#define ZVLOG_COMMON(flag, format, ...) \
    ZVCommonLogWrite(ZVCommonLogComponentCommon, flag, __FILE__, __func__, __LINE__, format, Value::Array{__VA_ARGS__})
