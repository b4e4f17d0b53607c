#include <platform_kernel/HostStatistics.h>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

// The kB figure of a /proc/meminfo line; nothing when the line is another one.
bool field(const char* line, const char* name, uint64_t* kb) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(line, name, n) != 0 || line[n] != ':') return false;
    unsigned long long v = 0;
    if (std::sscanf(line + n + 1, "%llu", &v) != 1) return false;
    *kb = v;
    return true;
}

}  // namespace

host_t mach_host_self() { return 1; }

kern_return_t host_page_size(host_t, vm_size_t* size) {
    if (!size) return KERN_INVALID_ARGUMENT;
    *size = static_cast<vm_size_t>(sysconf(_SC_PAGESIZE));
    return KERN_SUCCESS;
}

kern_return_t host_statistics(host_t, host_flavor_t flavor, host_info_t info, mach_msg_type_number_t* count) {
    if (flavor != HOST_VM_INFO || !info || !count || *count < HOST_VM_INFO_COUNT) return KERN_INVALID_ARGUMENT;
    FILE* f = std::fopen("/proc/meminfo", "re");
    if (!f) return KERN_FAILURE;
    uint64_t memFree = 0, active = 0, inactive = 0, unevictable = 0, mlocked = 0;
    bool sawFree = false;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (field(line, "MemFree", &memFree)) sawFree = true;
        field(line, "Active", &active);
        field(line, "Inactive", &inactive);
        field(line, "Unevictable", &unevictable);
        field(line, "Mlocked", &mlocked);
    }
    std::fclose(f);
    if (!sawFree) return KERN_FAILURE;
    const uint64_t pageKB = static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
    vm_statistics_data_t vm{};
    vm.free_count = static_cast<uint32_t>(memFree / pageKB);
    vm.active_count = static_cast<uint32_t>(active / pageKB);
    vm.inactive_count = static_cast<uint32_t>(inactive / pageKB);
    vm.wire_count = static_cast<uint32_t>((unevictable + mlocked) / pageKB);
    std::memcpy(info, &vm, sizeof vm);
    *count = HOST_VM_INFO_COUNT;
    return KERN_SUCCESS;
}

int processTracedFlag() {
    FILE* f = std::fopen("/proc/self/status", "re");
    if (!f) return -1;
    int result = -1;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        int pid = 0;
        if (std::sscanf(line, "TracerPid: %d", &pid) == 1) {
            result = pid != 0 ? 1 : 0;
            break;
        }
    }
    std::fclose(f);
    return result;
}
