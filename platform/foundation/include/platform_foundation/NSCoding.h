#pragma once
// NSCoding for our own classes: encode into a keyed coder, and fill a fresh instance from one.
//
// Archivable classes derive from NSObject and NSCoding and register with the runtime
// (NS_CLASS), which is how the unarchiver finds them by name and makes the instance it then
// fills with initWithCoder. Classes that declare NS_PROTOCOLS("NSSecureCoding") may be
// archived and unarchived when secure coding is required.

#include <platform_foundation/NSCoder.h>

inline constexpr char NSSecureCodingProtocol[] = "NSSecureCoding";

class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder& coder) const = 0;
    // Reads the instance's state from the coder; false when the values are unusable (the object
    // then decodes as nil; call coder.failWithError to fail the whole unarchiving instead).
    virtual bool initWithCoder(NSCoder& coder) = 0;
};
