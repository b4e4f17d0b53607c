#include "session/SerialDelivery.h"

#include <platform_dispatch/NSOperationQueue.h>

SerialDelivery::SerialDelivery(std::shared_ptr<NSOperationQueue> queue) : chain_(std::make_shared<Chain>()) {
    chain_->queue = std::move(queue);
}

void SerialDelivery::post(std::function<void()> block) {
    {
        std::lock_guard lock(chain_->m);
        chain_->pending.push_back(std::move(block));
        if (chain_->onQueue) return;
        chain_->onQueue = true;
    }
    enqueueHead(chain_);
}

std::function<void()> SerialDelivery::hold(std::function<void()> block) {
    std::lock_guard lock(chain_->m);
    chain_->pending.push_back(std::move(block));
    if (chain_->onQueue || chain_->flushDue) return {};
    chain_->flushDue = true;
    return [chain = chain_] { flush(chain); };
}

void SerialDelivery::flush(const std::shared_ptr<Chain>& chain) {
    {
        std::lock_guard lock(chain->m);
        chain->flushDue = false;
        if (chain->onQueue || chain->pending.empty()) return;
        chain->onQueue = true;
    }
    enqueueHead(chain);
}

void SerialDelivery::enqueueHead(const std::shared_ptr<Chain>& chain) {
    chain->queue->addOperationWithBlock([chain] { runHead(chain); });
}

void SerialDelivery::runHead(const std::shared_ptr<Chain>& chain) {
    // The next operation goes on the queue even when a block throws; blocks not yet run stay
    // in the chain.
    struct Next {
        const std::shared_ptr<Chain>& chain;
        ~Next() {
            {
                std::lock_guard lock(chain->m);
                if (chain->pending.empty()) {
                    chain->onQueue = false;
                    return;
                }
            }
            enqueueHead(chain);
        }
    } next{chain};
    // Bounded, so other work on the queue still gets its turn behind a busy session.
    constexpr int kMostBlocksPerOperation = 16;
    for (int n = 0; n < kMostBlocksPerOperation; ++n) {
        // A queue suspended by a block starts nothing more, this chain's next block included.
        if (n > 0 && chain->queue->isSuspended()) return;
        std::function<void()> block;
        {
            std::lock_guard lock(chain->m);
            if (chain->pending.empty()) return;
            block = std::move(chain->pending.front());
            chain->pending.pop_front();
        }
        if (block) block();
    }
}
