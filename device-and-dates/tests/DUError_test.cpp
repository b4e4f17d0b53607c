#include <device_and_dates/DUError.h>
#include <device_and_dates/DUTimePeriodChain.h>

#include <gtest/gtest.h>

#include "DUGroupTestSupport.h"

namespace {

class DUErrorTest : public DUGroupTest {};

TEST_F(DUErrorTest, ErrorRecords) {
    DUError::PeriodList list{span(1, 2), span(2, 3)};
    struct Case {
        NSErrorPtr error;
        DUErrorCode code;
        const char* reason;
        const char* suggestion;
    };
    const Case cases[] = {
        {DUError::insertOutOfBoundsError(5, &list), DUInsertOutOfBoundsError,
         "Attempted to insert DUTimePeriod at index 5 but the group is of size [0...2].",
         "Please try an index within the bounds or the group."},
        {DUError::insertOutOfBoundsError(-1, nullptr), DUInsertOutOfBoundsError,
         "Attempted to insert DUTimePeriod at index -1 but the group is of size [0...0].",
         "Please try an index within the bounds or the group."},
        {DUError::removeOutOfBoundsError(2, &list), DURemoveOutOfBoundsError,
         "Attempted to remove DUTimePeriod at index 2 but the group is of size [0...2].",
         "Please try an index within the bounds of the group."},
        {DUError::badTypeError(DUTimePeriodChain::chain().get(), "DUTimePeriod"), DUBadTypeError,
         "Attempted to insert object of class DUTimePeriodChain when expecting object of class DUTimePeriod.",
         "Please try again by inserting a DUTimePeriod object."},
        {DUError::badTypeError(nullptr, "NSDate"), DUBadTypeError,
         "Attempted to insert object of class (null) when expecting object of class NSDate.",
         "Please try again by inserting a DUTimePeriod object."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.error->domain(), DUErrorDomain);
        EXPECT_EQ(c.error->code(), c.code);
        EXPECT_EQ(c.error->localizedDescription(), "Operation was unsuccessful.");
        EXPECT_EQ(c.error->localizedFailureReason(), c.reason);
        EXPECT_EQ(c.error->localizedRecoverySuggestion(), c.suggestion);
    }
}

TEST_F(DUErrorTest, ThrowingOnlyLogsTheErrorAndTheCallStack) {
    EXPECT_NO_THROW(DUError::throwRemoveOutOfBoundsException(3, nullptr));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], DUError::removeOutOfBoundsError(3, nullptr)->description());
    for (size_t i = 1; i < log.size(); ++i) EXPECT_EQ(log[i].rfind("\n\n ", 0), 0u) << log[i];
}

}  // namespace
