#pragma once
// Whether the app has settled: nothing waits on the main queue or runs on
// the other dispatch queues, no URL load is under way, no navigation or
// presentation transition and no one-shot layer animation runs in a shown
// window, and no local notification is due. The host prints or takes the
// next key of --keys only then; a key typed in the terminal waits only
// while the screen moves (a transition or an animation), as a finger would.
//
// Main thread.

#include <string>
#include <vector>

class IdleMonitor {
public:
    // What still runs, one short phrase each; empty when idle.
    static std::vector<std::string> stillRunning();
    // Only the transitions and animations of the shown windows.
    static std::vector<std::string> stillMoving();
    // Whether stillRunning() (movingOnly: stillMoving()) would name anything. Asked after every
    // turn: the counters are read first and the shown windows walked only while those are
    // quiet, each walk ending at the first thing found.
    static bool busy(bool movingOnly);
};
