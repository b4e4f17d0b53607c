#include <platform_foundation/NSFoundationVersion.h>

#include <platform_foundation/NSProcessInfo.h>

double NSFoundationVersionNumber() {
    int64_t major = NSProcessInfo::processInfo()->operatingSystemVersion().majorVersion;
    // Earlier releases step down by about fifty per major version.
    if (major < 7) return 993.0 - 50.0 * static_cast<double>(6 - major);
    switch (major) {
        case 7: return NSFoundationVersionNumber_iOS_7_1;
        case 8: return NSFoundationVersionNumber_iOS_8_0;
        case 9: return NSFoundationVersionNumber_iOS_9_0;
        // Later releases step by about a hundred per major version.
        default: return 1349.0 + 100.0 * static_cast<double>(major - 10);
    }
}
