#pragma once
// Readable constraint descriptions that name views by their keys and
// attributes by their names; they replace the description of every
// NSLayoutConstraint in the process when this library loads.
//
// Any thread (the tables are built once).

#include <platform_uikit/NSLayoutConstraint.h>

#include <map>
#include <string>

const std::map<int64_t, std::string>& lc_layoutRelationDescriptionsByValue();
const std::map<int64_t, std::string>& lc_layoutAttributeDescriptionsByValue();
const std::map<float, std::string>& lc_layoutPriorityDescriptionsByValue();
// "Class:key" when the object has a key, else "Class:0x…".
std::string lc_descriptionForObject(const NSObject* object);
std::string lc_description(const NSLayoutConstraint& constraint);
