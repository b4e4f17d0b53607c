#pragma once
// Classes and selectors that exist only from some system version on: while a
// class's predicate answers false NSClassFromString does not find it; while a
// selector's answers false neither the class (and its subclasses) nor their
// instances respond to it.
//
// Register at class load; the lookups may come from any thread.

#include <functional>
#include <string>
#include <string_view>

class ObjCClass;

using ObjCAvailability = std::function<bool()>;

void objc_setClassAvailability(const ObjCClass& cls, ObjCAvailability available);
void objc_setSelectorAvailability(const ObjCClass& cls, std::string selector, ObjCAvailability available);
// True for null and for classes without a predicate.
bool objc_isClassAvailable(const ObjCClass* cls);
// The nearest predicate registered for the selector on the class or a superclass decides.
bool objc_isSelectorAvailable(const ObjCClass* cls, std::string_view selector);
