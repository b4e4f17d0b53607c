#pragma once
// Three-way ordering result shared by every compare method of the runtime.

enum NSComparisonResult : int {
    NSOrderedAscending = -1,
    NSOrderedSame = 0,
    NSOrderedDescending = 1,
};
