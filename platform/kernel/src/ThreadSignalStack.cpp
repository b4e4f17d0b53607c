#include <platform_kernel/ThreadSignalStack.h>

#include <csignal>
#include <sys/mman.h>

namespace kernel {

namespace {

// Unregisters and unmaps the thread's stack when the thread ends.
struct OwnedStack {
    void* memory = nullptr;
    ~OwnedStack() {
        if (!memory) return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            if (sigaltstack(&off, nullptr) != 0) return;  // still running on it: keep it
        }
        munmap(memory, kThreadSignalStackSize);
    }
};

thread_local OwnedStack tlsStack;

}  // namespace

bool installThreadSignalStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return true;
    void* memory = mmap(nullptr, kThreadSignalStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kThreadSignalStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, kThreadSignalStackSize);
        return false;
    }
    tlsStack.memory = memory;
    return true;
}

}  // namespace kernel
