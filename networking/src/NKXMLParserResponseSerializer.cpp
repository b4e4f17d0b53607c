#include <networking/NKXMLParserResponseSerializer.h>

#include <platform_net/NSXMLParser.h>

NKXMLParserResponseSerializer::NKXMLParserResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/xml", "text/xml"});
}

Value NKXMLParserResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response,
                                                               const Value::Data* data, NSErrorPtr* error) const {
    if (!NKValidateForDecoding(validationSettings(), response, data, error)) return Value();
    return Value(std::make_shared<NSXMLParser>(data ? *data : Value::Data()));
}

NKHTTPResponseSerializer::Ptr NKXMLParserResponseSerializer::copy() const {
    auto other = std::make_shared<NKXMLParserResponseSerializer>();
    copyBaseInto(*other);
    return other;
}
