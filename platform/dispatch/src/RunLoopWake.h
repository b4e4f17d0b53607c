#pragma once
// The dispatch side's way to tell the main run loop that the main queue has
// work.

namespace dispatch_detail {
void wakeMainRunLoop();
}
