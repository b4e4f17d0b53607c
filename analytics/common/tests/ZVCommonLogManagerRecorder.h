#pragma once
// The class operations of the recording log manager (include in exactly one file per test
// program).

#include "AnalyticsTestSupport.h"

NS_CLASS_LOAD(ZVCommonLogManager) {
    cls.addClassOperation("registerZVCommonComponent:withPrefixName:withComponentVersion:",
                          [](ObjCClass&, const Value::Array&) { return Value(true); });
    cls.addClassOperation("setZVCommonComponent:withLogLevel:", [](ObjCClass&, const Value::Array&) { return Value(true); });
    cls.addClassOperation("checkValidCommonLogLevel:withLogFlag:",
                          [](ObjCClass&, const Value::Array&) { return Value(true); });
    cls.addClassOperation("log:flag:context:file:function:line:tag:format:args:component:",
                          [](ObjCClass&, const Value::Array& a) {
                              std::lock_guard lock(ZVCommonLogManager::mutex());
                              ZVCommonLogManager::lines().push_back(
                                  {a[9].intValue(), a[1].intValue(), std::string(a[7].asString())});
                              return Value();
                          });
}
