#pragma once
// The whole dispatch API: queues, time, groups, semaphores, once, sources
// and cancellable blocks.

#include <platform_dispatch/DispatchBlock.h>
#include <platform_dispatch/DispatchGroup.h>
#include <platform_dispatch/DispatchOnce.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/DispatchSource.h>
#include <platform_dispatch/DispatchTime.h>
