#pragma once
// Tells a view and every view below it that its safe area changed
// (safeAreaInsetsDidChange, then a layout request). Main thread.

class UIView;

void tellSafeAreaChanged(UIView& view);
