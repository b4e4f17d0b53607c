#pragma once
// Conversions between JSON values and richer property types, found by selector name
// ("NSURLFromNSString:", "JSONObjectFromNSURL:", ...) in a registry filled at class load;
// a model program may register its own under the same naming rule.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class MMValueTransformer;
using MMValueTransformerPtr = std::shared_ptr<MMValueTransformer>;
class NSDateFormatter;

class MMValueTransformer : public NSObject {
    NS_CLASS(MMValueTransformer, NSObject)

public:
    using Converter = std::function<Value(const Value&)>;

    MMValueTransformer();

    // The process-wide instance every conversion goes through.
    static MMValueTransformer& shared();

    // Adds (or replaces) the conversion answering `selector`, e.g. "NSURLFromNSString:".
    static void registerConverter(const std::string& selector, Converter converter);
    // Whether a conversion of that selector is registered.
    bool respondsToSelector(std::string_view selector) const override;
    // The converted value; nullopt when no conversion answers the selector.
    std::optional<Value> transform(std::string_view selector, const Value& value) const;

    // Primitive type code ("B", "q", "@?") -> type name ("BOOL", "long long", "Block").
    const std::map<std::string, std::string>& primitivesNames() const { return primitivesNames_; }

    // Family class name of a value: NSString, NSNumber (decimals and bools too), NSArray,
    // NSDictionary, NSDate; any other value its own class name (NSNull, NSData, NSSet...).
    static std::string classByResolvingClusterClasses(const Value& value);
    // The same for a class name ("NSMutableString" -> "NSString").
    static std::string classByResolvingClusterClasses(const std::string& className);

    // Formatter reading "yyyy-MM-dd'T'HHmmssZZZ" (colons are removed before parsing).
    static const NSDateFormatter& importDateFormatter();
    // Formatter writing "yyyy-MM-dd'T'HH:mm:ssZZZ" in the default time zone.
    static const NSDateFormatter& exportDateFormatter();

private:
    std::map<std::string, std::string> primitivesNames_;
};
