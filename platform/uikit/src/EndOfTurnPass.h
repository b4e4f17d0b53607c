#pragma once
// The work UIKit does at the end of a main-run-loop turn (before the loop
// waits, and when a run call returns): layout, then display, of the views in
// the application's windows. And how trait changes travel down a view tree.

class UIView;
class UITraitCollection;

namespace uikit_detail {
// Makes sure the pass runs at the end of the current (or next) turn. Main thread.
void scheduleEndOfTurnPass();
// Runs the pass now: lays out and displays what asked for it.
void runEndOfTurnPass();
// Tells `view` and its subtree that their traits changed, given what the
// view's traits were before; each view whose colour appearance changed hears
// traitCollectionDidChange.
void propagateTraitChange(UIView& view, const UITraitCollection& previous);
}  // namespace uikit_detail
