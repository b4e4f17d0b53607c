#pragma once
// Class records for the platform classes a Value stands for (NSString, NSNumber, NSArray,
// their mutable and decimal subclasses, NSNull, ...), so that type names in property
// attributes resolve by name and a value can be asked for its class.

#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/Value.h>

// The class of a value: an object's own class; otherwise NSNull, NSNumber (bools and
// integers too), NSDecimalNumber, NSString / NSMutableString, NSData / NSMutableData, NSDate,
// NSArray / NSMutableArray, NSDictionary / NSMutableDictionary, NSSet / NSMutableSet, NSValue
// (geometry), by kind and mutability.
ObjCClass& classForValue(const Value& value);
