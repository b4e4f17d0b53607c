#pragma once
// Names of the keyboard's notifications and their user-info keys, and of the
// status-bar orientation change. This platform shows no keyboard; tests post
// these to check what listens.

inline constexpr char UIKeyboardWillShowNotification[] = "UIKeyboardWillShowNotification";
inline constexpr char UIKeyboardDidShowNotification[] = "UIKeyboardDidShowNotification";
inline constexpr char UIKeyboardWillHideNotification[] = "UIKeyboardWillHideNotification";
inline constexpr char UIKeyboardDidHideNotification[] = "UIKeyboardDidHideNotification";
// A CGRect value.
inline constexpr char UIKeyboardFrameBeginUserInfoKey[] = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr char UIKeyboardFrameEndUserInfoKey[] = "UIKeyboardFrameEndUserInfoKey";
// Seconds, a number.
inline constexpr char UIKeyboardAnimationDurationUserInfoKey[] = "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr char UIApplicationDidChangeStatusBarOrientationNotification[] =
    "UIApplicationDidChangeStatusBarOrientationNotification";
