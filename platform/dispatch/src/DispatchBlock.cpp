#include <platform_dispatch/DispatchBlock.h>

#include <atomic>
#include <memory>

namespace {

// The callable stored in a cancellable block; its state is shared by every
// copy of the std::function, which is what lets a copy cancel the original.
struct CancellableBlock {
    struct State {
        std::atomic<bool> cancelled{false};
        dispatch_block_t block;
    };
    std::shared_ptr<State> state;

    void operator()() const {
        if (!state->cancelled.load(std::memory_order_acquire)) state->block();
    }
};

}  // namespace

dispatch_block_t dispatch_block_create(dispatch_block_flags_t, dispatch_block_t block) {
    auto state = std::make_shared<CancellableBlock::State>();
    state->block = std::move(block);
    return CancellableBlock{std::move(state)};
}

void dispatch_block_cancel(const dispatch_block_t& block) {
    if (auto* c = block.target<CancellableBlock>()) c->state->cancelled.store(true, std::memory_order_release);
}

long dispatch_block_testcancel(const dispatch_block_t& block) {
    auto* c = block.target<CancellableBlock>();
    return c && c->state->cancelled.load(std::memory_order_acquire) ? 1 : 0;
}
