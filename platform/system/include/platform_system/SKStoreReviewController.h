#pragma once
// The in-app review request: each request is recorded and counted (this
// platform shows no review sheet). The class exists from system 10.3 on;
// below, NSClassFromString("SKStoreReviewController") finds nothing.
//
// Any thread.

#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>

class SKStoreReviewController : public NSObject {
    NS_CLASS(SKStoreReviewController, NSObject)
public:
    static void requestReview();
    // Requests made in this process since the last reset.
    static uint64_t requestCount();
    static void resetRequestCountForTesting();
    // Whether the class exists on the system version the process reports.
    static bool isAvailable();
};
