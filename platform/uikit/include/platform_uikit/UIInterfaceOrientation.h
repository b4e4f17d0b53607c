#pragma once
// Interface orientations and the masks controllers and the application answer
// with. An interface orientation has the value of the device orientation that
// shows it upright (landscape left of the interface is the device turned right).

#include <cstdint>

enum UIInterfaceOrientation : int64_t {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeLeft = 4,
    UIInterfaceOrientationLandscapeRight = 3,
};

using UIInterfaceOrientationMask = uint64_t;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortrait = 1 << UIInterfaceOrientationPortrait;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeLeft = 1
                                                                                      << UIInterfaceOrientationLandscapeLeft;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeRight =
    1 << UIInterfaceOrientationLandscapeRight;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortraitUpsideDown =
    1 << UIInterfaceOrientationPortraitUpsideDown;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscape =
    UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAll =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape | UIInterfaceOrientationMaskPortraitUpsideDown;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAllButUpsideDown =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape;

inline bool UIInterfaceOrientationIsLandscape(int64_t orientation) {
    return orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
}
