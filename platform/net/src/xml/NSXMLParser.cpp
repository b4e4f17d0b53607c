#include <platform_net/NSXMLParser.h>

#include <expat.h>

namespace {
// Separates namespace URI, local name and prefix in the names expat reports.
constexpr char kSep = '\x1f';
}  // namespace

struct NSXMLParser::Session {
    NSXMLParser* parser;
    XML_Parser xml = nullptr;
    std::shared_ptr<NSXMLParserDelegate> delegate;
    bool namespaces = false;
    bool sawElement = false;
    bool inCDATA = false;
    bool aborted = false;
    std::string text;
    std::vector<uint8_t> cdata;

    bool responds(const char* selector) const { return delegate && delegate->respondsToSelector(selector); }

    void flushText() {
        if (text.empty()) return;
        std::string t;
        t.swap(text);
        if (responds(NSXMLParserSelector::foundCharacters)) delegate->foundCharacters(*parser, t);
    }

    struct Name {
        std::string local;
        std::optional<std::string> uri;
        std::optional<std::string> qualified;
    };
    Name split(const char* raw) const {
        std::string s(raw);
        if (!namespaces) return {s, std::nullopt, std::nullopt};
        Name n;
        auto first = s.find(kSep);
        if (first == std::string::npos) {
            n.local = s;
            n.uri = "";
            n.qualified = s;
            return n;
        }
        n.uri = s.substr(0, first);
        auto second = s.find(kSep, first + 1);
        n.local = s.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        std::string prefix = second == std::string::npos ? "" : s.substr(second + 1);
        n.qualified = prefix.empty() ? n.local : prefix + ":" + n.local;
        return n;
    }

    static Session& of(void* user) { return *static_cast<Session*>(user); }

    static void onStart(void* user, const XML_Char* name, const XML_Char** atts) {
        Session& s = of(user);
        if (s.aborted) return;
        s.flushText();
        s.sawElement = true;
        if (!s.responds(NSXMLParserSelector::didStartElement)) return;
        NSXMLParserDelegate::Attributes attributes;
        for (int i = 0; atts[i]; i += 2) {
            Name an = s.split(atts[i]);
            attributes[an.qualified.value_or(an.local)] = atts[i + 1];
        }
        Name n = s.split(name);
        s.delegate->didStartElement(*s.parser, n.local, n.uri, n.qualified, attributes);
    }
    static void onEnd(void* user, const XML_Char* name) {
        Session& s = of(user);
        if (s.aborted) return;
        s.flushText();
        if (!s.responds(NSXMLParserSelector::didEndElement)) return;
        Name n = s.split(name);
        s.delegate->didEndElement(*s.parser, n.local, n.uri, n.qualified);
    }
    static void onText(void* user, const XML_Char* data, int len) {
        Session& s = of(user);
        if (s.aborted) return;
        if (s.inCDATA && s.responds(NSXMLParserSelector::foundCDATA)) {
            s.cdata.insert(s.cdata.end(), data, data + len);
        } else {
            s.text.append(data, static_cast<std::size_t>(len));
        }
    }
    static void onStartCDATA(void* user) {
        Session& s = of(user);
        if (s.aborted) return;
        if (s.responds(NSXMLParserSelector::foundCDATA)) s.flushText();
        s.inCDATA = true;
        s.cdata.clear();
    }
    static void onEndCDATA(void* user) {
        Session& s = of(user);
        if (s.aborted) return;
        s.inCDATA = false;
        if (s.responds(NSXMLParserSelector::foundCDATA)) {
            std::vector<uint8_t> bytes;
            bytes.swap(s.cdata);
            s.delegate->foundCDATA(*s.parser, bytes);
        }
    }
    static void onComment(void* user, const XML_Char* data) {
        Session& s = of(user);
        if (s.aborted) return;
        s.flushText();
        if (s.responds(NSXMLParserSelector::foundComment)) s.delegate->foundComment(*s.parser, data);
    }
    static void onProcessingInstruction(void* user, const XML_Char* target, const XML_Char* data) {
        Session& s = of(user);
        if (s.aborted) return;
        s.flushText();
        if (s.responds(NSXMLParserSelector::foundProcessingInstruction)) {
            s.delegate->foundProcessingInstruction(*s.parser, target, data ? data : "");
        }
    }
    static void onStartNamespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
        Session& s = of(user);
        if (s.aborted) return;
        s.flushText();
        if (s.responds(NSXMLParserSelector::didStartMappingPrefix)) {
            s.delegate->didStartMappingPrefix(*s.parser, prefix ? prefix : "", uri ? uri : "");
        }
    }
    static void onEndNamespace(void* user, const XML_Char* prefix) {
        Session& s = of(user);
        if (s.aborted) return;
        if (s.responds(NSXMLParserSelector::didEndMappingPrefix)) {
            s.delegate->didEndMappingPrefix(*s.parser, prefix ? prefix : "");
        }
    }
};

namespace {

int64_t errorCode(XML_Error e, bool sawElement) {
    switch (e) {
        case XML_ERROR_NO_MEMORY: return NSXMLParserOutOfMemoryError;
        case XML_ERROR_NO_ELEMENTS:
        case XML_ERROR_UNCLOSED_TOKEN:
        case XML_ERROR_PARTIAL_CHAR:
            return sawElement ? NSXMLParserPrematureDocumentEndError : NSXMLParserEmptyDocumentError;
        case XML_ERROR_INVALID_TOKEN: return NSXMLParserInvalidCharacterError;
        case XML_ERROR_TAG_MISMATCH: return NSXMLParserTagNameMismatchError;
        case XML_ERROR_DUPLICATE_ATTRIBUTE: return NSXMLParserAttributeRedefinedError;
        case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: return NSXMLParserExtraContentError;
        case XML_ERROR_UNDEFINED_ENTITY: return NSXMLParserUndeclaredEntityError;
        case XML_ERROR_BAD_CHAR_REF: return NSXMLParserInvalidCharacterRefError;
        case XML_ERROR_SYNTAX: return NSXMLParserNotWellBalancedError;
        case XML_ERROR_ABORTED: return NSXMLParserDelegateAbortedParseError;
        default: return NSXMLParserInternalError;
    }
}

}  // namespace

NSXMLParser::NSXMLParser(std::vector<uint8_t> data) : data_(std::move(data)) {}

NSXMLParser::~NSXMLParser() = default;

bool NSXMLParser::parse() {
    if (session_) return false;  // already parsing (a delegate called parse again)
    // Keeps this parser alive while the delegate runs, when it is shared.
    std::shared_ptr<const NSObject> keep = weak_from_this().lock();
    Session s;
    s.parser = this;
    s.delegate = delegate_.lock();
    s.namespaces = processNamespaces_;
    s.xml = processNamespaces_ ? XML_ParserCreateNS(nullptr, kSep) : XML_ParserCreate(nullptr);
    error_.reset();
    if (!s.xml) {
        error_ = NSError::errorWithDomain(NSXMLParserErrorDomain, NSXMLParserOutOfMemoryError);
        return false;
    }
    if (processNamespaces_) XML_SetReturnNSTriplet(s.xml, 1);
    XML_SetUserData(s.xml, &s);
    XML_SetElementHandler(s.xml, &Session::onStart, &Session::onEnd);
    XML_SetCharacterDataHandler(s.xml, &Session::onText);
    XML_SetCdataSectionHandler(s.xml, &Session::onStartCDATA, &Session::onEndCDATA);
    XML_SetCommentHandler(s.xml, &Session::onComment);
    XML_SetProcessingInstructionHandler(s.xml, &Session::onProcessingInstruction);
    if (processNamespaces_ && reportPrefixes_) {
        XML_SetNamespaceDeclHandler(s.xml, &Session::onStartNamespace, &Session::onEndNamespace);
    }
    // No external entity handler: external entities stay unloaded.
    XML_SetParamEntityParsing(s.xml, XML_PARAM_ENTITY_PARSING_NEVER);

    session_ = &s;
    if (s.responds(NSXMLParserSelector::didStartDocument)) s.delegate->parserDidStartDocument(*this);
    bool ok = !s.aborted;
    if (ok) {
        // Large inputs go in slices: expat takes an int length.
        const std::size_t slice = 1 << 30;
        std::size_t offset = 0;
        do {
            std::size_t n = std::min(slice, data_.size() - offset);
            bool last = offset + n == data_.size();
            ok = XML_Parse(s.xml, reinterpret_cast<const char*>(data_.data()) + offset, static_cast<int>(n),
                           last) == XML_STATUS_OK;
            offset += n;
        } while (ok && offset < data_.size());
    }
    if (ok) {
        s.flushText();
        if (s.responds(NSXMLParserSelector::didEndDocument)) s.delegate->parserDidEndDocument(*this);
    } else {
        XML_Error code = s.aborted ? XML_ERROR_ABORTED : XML_GetErrorCode(s.xml);
        Value::Dictionary info{
            {NSLocalizedDescriptionKey, Value(std::string(XML_ErrorString(code)))},
            {NSXMLParserErrorLineNumberKey, Value(static_cast<int64_t>(XML_GetCurrentLineNumber(s.xml)))},
            {NSXMLParserErrorColumnNumberKey, Value(static_cast<int64_t>(XML_GetCurrentColumnNumber(s.xml)))},
        };
        error_ = NSError::errorWithDomain(NSXMLParserErrorDomain, errorCode(code, s.sawElement), std::move(info));
        if (s.responds(NSXMLParserSelector::parseErrorOccurred)) s.delegate->parseErrorOccurred(*this, error_);
    }
    session_ = nullptr;
    XML_ParserFree(s.xml);
    return ok;
}

void NSXMLParser::abortParsing() {
    if (!session_) return;
    session_->aborted = true;
    XML_StopParser(session_->xml, XML_FALSE);
}

int64_t NSXMLParser::lineNumber() const {
    return session_ ? static_cast<int64_t>(XML_GetCurrentLineNumber(session_->xml)) : 0;
}

int64_t NSXMLParser::columnNumber() const {
    return session_ ? static_cast<int64_t>(XML_GetCurrentColumnNumber(session_->xml)) : 0;
}
