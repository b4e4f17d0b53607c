#pragma once
// The Foundation version number the platform reports for the operating-system version the
// app believes it runs on (NSProcessInfo), so code can branch on it as on the device.
// Read at each call (tests change the version); any thread.

// Reference values callers compare against.
inline constexpr double NSFoundationVersionNumber_iOS_7_0 = 1047.20;
inline constexpr double NSFoundationVersionNumber_iOS_7_1 = 1047.25;
inline constexpr double NSFoundationVersionNumber_iOS_8_0 = 1140.11;
inline constexpr double NSFoundationVersionNumber_iOS_9_0 = 1240.1;

// OS 7.x: 1047.25, 8.x: 1140.11, 9.x: 1240.1; every later major version a higher number,
// every earlier one a lower.
double NSFoundationVersionNumber();
