#pragma once
// Names of the keyboard's notifications and their user-info keys (the
// status-bar orientation change is the application's, UIApplication.h). This
// platform shows no keyboard; tests post these to check what listens.

#include <platform_uikit/UIApplication.h>

inline constexpr char UIKeyboardWillShowNotification[] = "UIKeyboardWillShowNotification";
inline constexpr char UIKeyboardDidShowNotification[] = "UIKeyboardDidShowNotification";
inline constexpr char UIKeyboardWillHideNotification[] = "UIKeyboardWillHideNotification";
inline constexpr char UIKeyboardDidHideNotification[] = "UIKeyboardDidHideNotification";
// A CGRect value.
inline constexpr char UIKeyboardFrameBeginUserInfoKey[] = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr char UIKeyboardFrameEndUserInfoKey[] = "UIKeyboardFrameEndUserInfoKey";
// Seconds, a number.
inline constexpr char UIKeyboardAnimationDurationUserInfoKey[] = "UIKeyboardAnimationDurationUserInfoKey";
