#pragma once
// Event-driven XML parser over bytes: reports elements, text, comments and errors to a delegate.
//
// Every delegate event is optional: the parser calls one only when the delegate's
// respondsToSelector answers yes for its selector, so a delegate lists what it overrides with
// NS_SELECTORS(...). The events share their selectors' first keyword ("parser"), so each
// method is named by the keyword after it. External entities are never loaded.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

inline constexpr char NSXMLParserErrorDomain[] = "NSXMLParserErrorDomain";
// User-info keys of a parse error: where it happened (1-based).
inline constexpr char NSXMLParserErrorLineNumberKey[] = "NSXMLParserErrorLineNumber";
inline constexpr char NSXMLParserErrorColumnNumberKey[] = "NSXMLParserErrorColumnNumber";

enum NSXMLParserError : int64_t {
    NSXMLParserInternalError = 1,
    NSXMLParserOutOfMemoryError = 2,
    NSXMLParserEmptyDocumentError = 4,
    NSXMLParserPrematureDocumentEndError = 5,
    NSXMLParserInvalidCharacterRefError = 8,
    NSXMLParserInvalidCharacterError = 9,
    NSXMLParserUndeclaredEntityError = 26,
    NSXMLParserAttributeRedefinedError = 42,
    NSXMLParserTagNameMismatchError = 76,
    NSXMLParserNotWellBalancedError = 85,
    NSXMLParserExtraContentError = 86,
    NSXMLParserDelegateAbortedParseError = 512,
};

namespace NSXMLParserSelector {
inline constexpr char didStartDocument[] = "parserDidStartDocument:";
inline constexpr char didEndDocument[] = "parserDidEndDocument:";
inline constexpr char didStartElement[] = "parser:didStartElement:namespaceURI:qualifiedName:attributes:";
inline constexpr char didEndElement[] = "parser:didEndElement:namespaceURI:qualifiedName:";
inline constexpr char didStartMappingPrefix[] = "parser:didStartMappingPrefix:toURI:";
inline constexpr char didEndMappingPrefix[] = "parser:didEndMappingPrefix:";
inline constexpr char foundCharacters[] = "parser:foundCharacters:";
inline constexpr char foundProcessingInstruction[] = "parser:foundProcessingInstructionWithTarget:data:";
inline constexpr char foundComment[] = "parser:foundComment:";
inline constexpr char foundCDATA[] = "parser:foundCDATA:";
inline constexpr char parseErrorOccurred[] = "parser:parseErrorOccurred:";
}  // namespace NSXMLParserSelector

class NSXMLParser;

class NSXMLParserDelegate : public NSObject {
    NS_CLASS(NSXMLParserDelegate, NSObject)
    NS_PROTOCOLS("NSXMLParserDelegate")
public:
    using Attributes = std::map<std::string, std::string>;

    virtual void parserDidStartDocument(NSXMLParser&) {}
    virtual void parserDidEndDocument(NSXMLParser&) {}
    // Without namespace processing namespaceURI and qualifiedName are absent and elementName
    // is the name as written; with it elementName is the local name.
    virtual void didStartElement(NSXMLParser&, const std::string& /*elementName*/,
                                 const std::optional<std::string>& /*namespaceURI*/,
                                 const std::optional<std::string>& /*qualifiedName*/, const Attributes&) {}
    virtual void didEndElement(NSXMLParser&, const std::string& /*elementName*/,
                               const std::optional<std::string>& /*namespaceURI*/,
                               const std::optional<std::string>& /*qualifiedName*/) {}
    virtual void didStartMappingPrefix(NSXMLParser&, const std::string& /*prefix*/, const std::string& /*uri*/) {}
    virtual void didEndMappingPrefix(NSXMLParser&, const std::string& /*prefix*/) {}
    // Text between markup; a run of text comes in one call.
    virtual void foundCharacters(NSXMLParser&, const std::string&) {}
    virtual void foundProcessingInstruction(NSXMLParser&, const std::string& /*target*/, const std::string& /*data*/) {}
    virtual void foundComment(NSXMLParser&, const std::string&) {}
    // A CDATA section's bytes; without this event they arrive as characters.
    virtual void foundCDATA(NSXMLParser&, const std::vector<uint8_t>&) {}
    virtual void parseErrorOccurred(NSXMLParser&, const NSErrorPtr&) {}
};

class NSXMLParser : public NSObject {
    NS_CLASS(NSXMLParser, NSObject)
public:
    // initWithData:
    explicit NSXMLParser(std::vector<uint8_t> data);
    ~NSXMLParser() override;

    // Held weakly.
    std::shared_ptr<NSXMLParserDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<NSXMLParserDelegate>& delegate) { delegate_ = delegate; }

    bool shouldProcessNamespaces() const { return processNamespaces_; }
    void setShouldProcessNamespaces(bool value) { processNamespaces_ = value; }
    bool shouldReportNamespacePrefixes() const { return reportPrefixes_; }
    void setShouldReportNamespacePrefixes(bool value) { reportPrefixes_ = value; }
    // Always false: external entities are not loaded.
    bool shouldResolveExternalEntities() const { return false; }

    // Parses the whole document, telling the delegate; false on a parse error or an abort
    // (the error is then in parserError and was told to the delegate).
    bool parse();
    // From a delegate event: stops parsing with NSXMLParserDelegateAbortedParseError.
    void abortParsing();
    NSErrorPtr parserError() const { return error_; }

    // Position of the event being reported (1-based line, 0-based column); 0 outside parse.
    int64_t lineNumber() const;
    int64_t columnNumber() const;

    const std::vector<uint8_t>& data() const { return data_; }

    struct Session;

private:
    std::vector<uint8_t> data_;
    std::weak_ptr<NSXMLParserDelegate> delegate_;
    bool processNamespaces_ = false;
    bool reportPrefixes_ = false;
    NSErrorPtr error_;
    Session* session_ = nullptr;  // while parse runs
};
