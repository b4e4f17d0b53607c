#include <crash_reporting/ZPKCRHTTPMultipartPostBody.h>

#include <crash_reporting/ZUDData.h>
#include <platform_foundation/NSUUID.h>

std::shared_ptr<ZPKCRHTTPPostField> ZPKCRHTTPPostField::data(Bytes data, std::string name,
                                                             std::optional<std::string> contentType,
                                                             std::optional<std::string> filename) {
    auto field = std::make_shared<ZPKCRHTTPPostField>();
    field->data_ = std::move(data);
    field->name_ = std::move(name);
    field->contentType_ = std::move(contentType);
    field->filename_ = std::move(filename);
    return field;
}

std::shared_ptr<ZPKCRHTTPMultipartPostBody> ZPKCRHTTPMultipartPostBody::body() {
    return std::make_shared<ZPKCRHTTPMultipartPostBody>();
}

ZPKCRHTTPMultipartPostBody::ZPKCRHTTPMultipartPostBody() {
    for (char c : NSUUID::UUID()->UUIDString()) {
        if (c == '-') continue;
        boundary_ += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
}

void ZPKCRHTTPMultipartPostBody::appendData(Bytes data, std::string name, std::optional<std::string> contentType,
                                            std::optional<std::string> filename) {
    fields_.push_back(ZPKCRHTTPPostField::data(std::move(data), std::move(name), std::move(contentType),
                                               std::move(filename)));
}

void ZPKCRHTTPMultipartPostBody::zud_appendUTF8String(std::string_view text, std::string name,
                                                      std::optional<std::string> contentType,
                                                      std::optional<std::string> filename) {
    Bytes bytes;
    ::zud_appendUTF8String(bytes, text);
    appendData(std::move(bytes), std::move(name), std::move(contentType), std::move(filename));
}

std::string ZPKCRHTTPMultipartPostBody::toStringWithQuotesEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '"') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

ZPKCRHTTPMultipartPostBody::Bytes ZPKCRHTTPMultipartPostBody::data() const {
    Bytes body;
    std::size_t capacity = 0;
    for (const auto& field : fields_) capacity += field->data().size() + 200;
    body.reserve(capacity);
    bool first = true;
    for (const auto& field : fields_) {
        if (!first) ::zud_appendUTF8String(body, "\r\n");
        first = false;
        ::zud_appendUTF8String(body, "--" + boundary_ + "\r\n");
        std::string name = toStringWithQuotesEscaped(field->name());
        if (field->filename())
            ::zud_appendUTF8String(body, "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" +
                                             toStringWithQuotesEscaped(*field->filename()) + "\"\r\n");
        else
            ::zud_appendUTF8String(body, "Content-Disposition: form-data; name=\"" + name + "\"\r\n");
        if (field->contentType()) ::zud_appendUTF8String(body, "Content-Type: " + *field->contentType() + "\r\n");
        ::zud_appendUTF8String(body, "\r\n");
        body.insert(body.end(), field->data().begin(), field->data().end());
    }
    ::zud_appendUTF8String(body, "\r\n--" + boundary_ + "--\r\n");
    return body;
}
