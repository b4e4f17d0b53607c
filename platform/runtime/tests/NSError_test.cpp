#include <platform_runtime/NSError.h>

#include <gtest/gtest.h>

namespace {

TEST(NSError, HoldsDomainCodeAndUserInfo) {
    const NSErrorPtr e = NSError::errorWithDomain(NSURLErrorDomain, -1001,
                                                  {{NSURLErrorFailingURLStringErrorKey, "http://127.0.0.1/x"}});
    EXPECT_EQ(e->domain(), "NSURLErrorDomain");
    EXPECT_EQ(e->code(), -1001);
    EXPECT_EQ(e->userInfo().at(Value("NSErrorFailingURLStringKey")), Value("http://127.0.0.1/x"));
    EXPECT_EQ(e->className(), "NSError");
}

TEST(NSError, LocalizedTextsFromUserInfoOrDefault) {
    const NSErrorPtr plain = NSError::errorWithDomain(NSCocoaErrorDomain, 4);
    EXPECT_EQ(plain->localizedDescription(), "The operation couldn\u2019t be completed. (NSCocoaErrorDomain error 4.)");
    EXPECT_EQ(plain->localizedFailureReason(), "");
    EXPECT_EQ(plain->underlyingError(), nullptr);

    const NSErrorPtr described = NSError::errorWithDomain(
        "MyDomain", -3,
        {{NSLocalizedDescriptionKey, "Disk full"}, {NSLocalizedFailureReasonErrorKey, "No space left"},
         {NSLocalizedRecoverySuggestionErrorKey, "Delete something"}});
    EXPECT_EQ(described->localizedDescription(), "Disk full");
    EXPECT_EQ(described->localizedFailureReason(), "No space left");
    EXPECT_EQ(described->localizedRecoverySuggestion(), "Delete something");
    // A null description falls back to the default text.
    EXPECT_EQ(NSError::errorWithDomain("D", 1, {{NSLocalizedDescriptionKey, Value()}})->localizedDescription(),
              "The operation couldn\u2019t be completed. (D error 1.)");
}

TEST(NSError, UnderlyingError) {
    const NSErrorPtr inner = NSError::errorWithDomain(NSPOSIXErrorDomain, 2);
    const NSErrorPtr outer = NSError::errorWithDomain(NSCocoaErrorDomain, 260, {{NSUnderlyingErrorKey, inner}});
    EXPECT_EQ(outer->underlyingError(), inner);
    // Something that is not an error under the key gives none.
    EXPECT_EQ(NSError::errorWithDomain("D", 1, {{NSUnderlyingErrorKey, "text"}})->underlyingError(), nullptr);
}

TEST(NSError, EqualityByDomainCodeAndUserInfo) {
    const auto make = [](const char* domain, int64_t code, Value::Dictionary info) {
        return NSError::errorWithDomain(domain, code, std::move(info));
    };
    const NSErrorPtr a = make("D", 1, {{"k", 1}});
    EXPECT_TRUE(a->isEqual(*make("D", 1, {{"k", 1.0}})));
    EXPECT_EQ(a->hash(), make("D", 1, {{"k", 1}})->hash());
    EXPECT_FALSE(a->isEqual(*make("E", 1, {{"k", 1}})));
    EXPECT_FALSE(a->isEqual(*make("D", 2, {{"k", 1}})));
    EXPECT_FALSE(a->isEqual(*make("D", 1, {})));
    EXPECT_FALSE(a->isEqual(NSObject()));
    // Values holding errors compare through the same equality.
    EXPECT_EQ(Value(a), Value(make("D", 1, {{"k", 1}})));
    EXPECT_NE(Value(a), Value(make("D", 1, {})));
}

TEST(NSError, Description) {
    EXPECT_EQ(NSError::errorWithDomain("D", 7)->description(),
              "Error Domain=D Code=7 \"The operation couldn\u2019t be completed. (D error 7.)\"");
    const NSErrorPtr e = NSError::errorWithDomain(NSURLErrorDomain, -1009, {{NSLocalizedDescriptionKey, "Offline"}});
    EXPECT_EQ(e->description(),
              "Error Domain=NSURLErrorDomain Code=-1009 \"Offline\" UserInfo={\n    NSLocalizedDescription = Offline;\n}");
    EXPECT_EQ(Value(e).description(), e->description());
}

}  // namespace
