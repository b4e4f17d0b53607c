#pragma once
// Which thread is the main thread: the process's initial thread.

namespace dispatch_detail {
bool isMainThread();
}
