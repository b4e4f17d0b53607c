#include <gtest/gtest.h>

#include "MutationSupport.h"

using namespace ZUDDemangle::testing;

// A longer run of the corpus mutation check, over several seeds.
TEST(MutationSoakTest, ManyMutationsOfTheCorpus) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    runMutations(seed, 150000);
    if (HasFatalFailure()) return;
  }
}
