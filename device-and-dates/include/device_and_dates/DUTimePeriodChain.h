#pragma once
// Time periods laid end to end: each starts where the one before it ends, so inserting or
// removing a period moves the later ones.

#include <memory>

#include <device_and_dates/DUTimePeriodGroup.h>

class DUTimePeriodChain;
using DUTimePeriodChainPtr = std::shared_ptr<DUTimePeriodChain>;

class DUTimePeriodChain : public DUTimePeriodGroup {
    NS_CLASS(DUTimePeriodChain, DUTimePeriodGroup)

public:
    static DUTimePeriodChainPtr chain();

    // Only objects of exactly the class DUTimePeriod are taken; anything else, and an index
    // out of bounds, is logged as a DUError and changes nothing.
    // The first period is kept itself; later ones are added as a new period of the same
    // whole-second length starting at the chain's end.
    void addTimePeriod(const NSObjectPtr& period);
    // Index 0 puts a period of the same length in front, ending at the chain's start; an index
    // from 1 to count - 1 moves that period and the later ones later to make room. An empty
    // chain, or an index of count or more, refuses the insertion.
    void insertTimePeriod(const NSObjectPtr& period, int64_t index);
    // The later periods move earlier by the removed one's length.
    void removeTimePeriodAtIndex(int64_t index);
    // Removes the last period; nothing moves.
    void removeLatestTimePeriod();
    // Removes the first period and moves the others earlier: the chain keeps its start.
    void removeEarliestTimePeriod();

    // A chain with the same characteristics and equal periods in the same order.
    bool isEqualToChain(const NSObjectPtr& chain) const;

    const DUTimePeriodPtr& First() const { return first_; }
    const DUTimePeriodPtr& Last() const { return last_; }

    void updateVariables() override;
    void setVariablesNil() override;

private:
    DUTimePeriodPtr first_;
    DUTimePeriodPtr last_;
};
