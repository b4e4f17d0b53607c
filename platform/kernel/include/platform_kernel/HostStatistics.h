#pragma once
// Host virtual-memory statistics in the platform's shape (page counts of a 15-word record),
// from /proc/meminfo: free = MemFree, active = Active, inactive = Inactive, wired =
// Unevictable + Mlocked; the page size is the kernel's. And whether a debugger traces us.

#include <cstdint>

using kern_return_t = int;
using host_t = unsigned;
using host_flavor_t = int;
using host_info_t = int*;
using mach_msg_type_number_t = unsigned;
using vm_size_t = uintptr_t;

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;
inline constexpr kern_return_t KERN_FAILURE = 5;
inline constexpr kern_return_t KERN_RESOURCE_SHORTAGE = 6;
inline constexpr host_flavor_t HOST_VM_INFO = 2;

struct vm_statistics {
    uint32_t free_count, active_count, inactive_count, wire_count, zero_fill_count, reactivations, pageins,
        pageouts, faults, cow_faults, lookups, hits, purgeable_count, purges, speculative_count;
};
using vm_statistics_data_t = vm_statistics;
inline constexpr mach_msg_type_number_t HOST_VM_INFO_COUNT = sizeof(vm_statistics_data_t) / sizeof(int);

host_t mach_host_self();
// HOST_VM_INFO with *count >= HOST_VM_INFO_COUNT fills the record and sets *count;
// KERN_INVALID_ARGUMENT for other flavours or a short buffer, KERN_FAILURE when unreadable.
kern_return_t host_statistics(host_t host, host_flavor_t flavor, host_info_t info, mach_msg_type_number_t* count);
kern_return_t host_page_size(host_t host, vm_size_t* size);

// 1 when another process traces this one, 0 when not, -1 when that cannot be read.
int processTracedFlag();
