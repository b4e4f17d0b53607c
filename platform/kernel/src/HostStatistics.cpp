#include <platform_kernel/HostStatistics.h>

#include <platform_kernel/MemInfo.h>
#include <platform_kernel/ProcStatus.h>

#include <cstring>

#include <unistd.h>

host_t mach_host_self() { return 1; }

kern_return_t host_page_size(host_t, vm_size_t* size) {
    if (!size) return KERN_INVALID_ARGUMENT;
    *size = static_cast<vm_size_t>(sysconf(_SC_PAGESIZE));
    return KERN_SUCCESS;
}

kern_return_t host_statistics(host_t, host_flavor_t flavor, host_info_t info, mach_msg_type_number_t* count) {
    if (flavor != HOST_VM_INFO || !info || !count || *count < HOST_VM_INFO_COUNT) return KERN_INVALID_ARGUMENT;
    kernel::MemInfo mem;
    if (!kernel::readMemInfo(&mem)) return KERN_FAILURE;
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    vm_statistics_data_t vm{};
    vm.free_count = static_cast<uint32_t>(mem.freeBytes / page);
    vm.active_count = static_cast<uint32_t>(mem.activeBytes / page);
    vm.inactive_count = static_cast<uint32_t>(mem.inactiveBytes / page);
    vm.wire_count = static_cast<uint32_t>((mem.unevictableBytes + mem.mlockedBytes) / page);
    std::memcpy(info, &vm, sizeof vm);
    *count = HOST_VM_INFO_COUNT;
    return KERN_SUCCESS;
}

int processTracedFlag() {
    const int pid = kernel::tracerPid();
    return pid < 0 ? -1 : (pid != 0 ? 1 : 0);
}
