#include <platform_net/NSXMLParser.h>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Records every event as a line of text.
class Recorder : public NSXMLParserDelegate {
    NS_CLASS(Recorder, NSXMLParserDelegate)
    NS_SELECTORS(NSXMLParserSelector::didStartDocument, NSXMLParserSelector::didEndDocument,
                 NSXMLParserSelector::didStartElement, NSXMLParserSelector::didEndElement,
                 NSXMLParserSelector::didStartMappingPrefix, NSXMLParserSelector::didEndMappingPrefix,
                 NSXMLParserSelector::foundCharacters, NSXMLParserSelector::foundProcessingInstruction,
                 NSXMLParserSelector::foundComment, NSXMLParserSelector::foundCDATA,
                 NSXMLParserSelector::parseErrorOccurred)
public:
    std::vector<std::string> log;
    std::string abortAt;

    void parserDidStartDocument(NSXMLParser&) override { log.push_back("start-doc"); }
    void parserDidEndDocument(NSXMLParser&) override { log.push_back("end-doc"); }
    void didStartElement(NSXMLParser& p, const std::string& name, const std::optional<std::string>& uri,
                         const std::optional<std::string>& qname, const Attributes& attrs) override {
        std::string line = "<" + name;
        if (uri) line += " uri=" + *uri;
        if (qname) line += " q=" + *qname;
        for (const auto& [k, v] : attrs) line += " " + k + "=" + v;
        log.push_back(line + ">");
        if (name == abortAt) p.abortParsing();
    }
    void didEndElement(NSXMLParser&, const std::string& name, const std::optional<std::string>& uri,
                       const std::optional<std::string>&) override {
        log.push_back("</" + name + (uri ? " uri=" + *uri : "") + ">");
    }
    void didStartMappingPrefix(NSXMLParser&, const std::string& prefix, const std::string& uri) override {
        log.push_back("map " + prefix + "=" + uri);
    }
    void didEndMappingPrefix(NSXMLParser&, const std::string& prefix) override { log.push_back("unmap " + prefix); }
    void foundCharacters(NSXMLParser&, const std::string& text) override { log.push_back("'" + text + "'"); }
    void foundProcessingInstruction(NSXMLParser&, const std::string& target, const std::string& data) override {
        log.push_back("?" + target + " " + data);
    }
    void foundComment(NSXMLParser&, const std::string& text) override { log.push_back("!" + text); }
    void foundCDATA(NSXMLParser&, const std::vector<uint8_t>& data) override {
        log.push_back("cdata " + std::string(data.begin(), data.end()));
    }
    void parseErrorOccurred(NSXMLParser&, const NSErrorPtr& e) override {
        log.push_back("error " + std::to_string(e->code()));
    }
};

std::vector<std::string> run(const std::string& xml, bool namespaces = false, bool prefixes = false,
                             bool* ok = nullptr, NSErrorPtr* error = nullptr) {
    auto parser = std::make_shared<NSXMLParser>(bytes(xml));
    auto rec = std::make_shared<Recorder>();
    parser->setDelegate(rec);
    parser->setShouldProcessNamespaces(namespaces);
    parser->setShouldReportNamespacePrefixes(prefixes);
    bool result = parser->parse();
    if (ok) *ok = result;
    if (error) *error = parser->parserError();
    return rec->log;
}

using Log = std::vector<std::string>;

TEST(NSXMLParser, ReportsTheDocumentInOrder) {
    bool ok = false;
    auto log = run("<?xml version=\"1.0\"?>\n<?style sheet?><root a=\"1\" b='x &amp; y'>Tom &lt;3 <!--note-->"
                   "<item/><![CDATA[<raw>]]>caf\xC3\xA9</root>",
                   false, false, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(log, (Log{"start-doc", "?style sheet", "<root a=1 b=x & y>", "'Tom <3 '", "!note", "<item>", "</item>",
                        "cdata <raw>", "'café'", "</root>", "end-doc"}));
}

TEST(NSXMLParser, NamespacesAreSplitOnlyWhenAsked) {
    const std::string xml = "<a:feed xmlns:a=\"urn:a\" xmlns=\"urn:d\"><entry a:k=\"v\"/></a:feed>";
    EXPECT_EQ(run(xml), (Log{"start-doc", "<a:feed xmlns=urn:d xmlns:a=urn:a>", "<entry a:k=v>", "</entry>",
                             "</a:feed>", "end-doc"}));
    EXPECT_EQ(run(xml, true), (Log{"start-doc", "<feed uri=urn:a q=a:feed>", "<entry uri=urn:d q=entry a:k=v>",
                                   "</entry uri=urn:d>", "</feed uri=urn:a>", "end-doc"}));
    auto withPrefixes = run(xml, true, true);
    EXPECT_EQ(withPrefixes[1], "map a=urn:a");
    EXPECT_EQ(withPrefixes[2], "map =urn:d");
    EXPECT_NE(std::find(withPrefixes.begin(), withPrefixes.end(), "unmap a"), withPrefixes.end());
    EXPECT_NE(std::find(withPrefixes.begin(), withPrefixes.end(), "unmap "), withPrefixes.end());
}

TEST(NSXMLParser, MalformedDocumentsReportAnError) {
    struct Row {
        const char* xml;
        int64_t code;
    };
    for (const Row& r : {Row{"", NSXMLParserEmptyDocumentError}, Row{"   ", NSXMLParserEmptyDocumentError},
                         Row{"<a><b>", NSXMLParserPrematureDocumentEndError},
                         Row{"<a></b>", NSXMLParserTagNameMismatchError}, Row{"<a/><b/>", NSXMLParserExtraContentError},
                         Row{"<a x='1' x='2'/>", NSXMLParserAttributeRedefinedError},
                         Row{"<a>&nope;</a>", NSXMLParserUndeclaredEntityError},
                         Row{"<a>&#0;</a>", NSXMLParserInvalidCharacterRefError},
                         Row{"<a>\xff</a>", NSXMLParserInvalidCharacterError}}) {
        bool ok = true;
        NSErrorPtr error;
        auto log = run(r.xml, false, false, &ok, &error);
        EXPECT_FALSE(ok) << r.xml;
        ASSERT_TRUE(error) << r.xml;
        EXPECT_EQ(error->domain(), NSXMLParserErrorDomain);
        EXPECT_EQ(error->code(), r.code) << r.xml << ": " << error->localizedDescription();
        EXPECT_TRUE(error->userInfo().count(Value(NSXMLParserErrorLineNumberKey)));
        EXPECT_EQ(log.back(), "error " + std::to_string(r.code)) << r.xml;
        EXPECT_EQ(std::find(log.begin(), log.end(), "end-doc"), log.end()) << "no end after an error";
    }
}

TEST(NSXMLParser, DelegateCanAbort) {
    auto parser = std::make_shared<NSXMLParser>(bytes("<a><stop/><after/></a>"));
    auto rec = std::make_shared<Recorder>();
    rec->abortAt = "stop";
    parser->setDelegate(rec);
    EXPECT_FALSE(parser->parse());
    EXPECT_EQ(parser->parserError()->code(), NSXMLParserDelegateAbortedParseError);
    EXPECT_EQ(rec->log, (Log{"start-doc", "<a>", "<stop>", "error 512"}));
}

// Answers only the start-element selector, though it overrides more.
class ElementsOnly : public NSXMLParserDelegate {
    NS_CLASS(ElementsOnly, NSXMLParserDelegate)
    NS_SELECTORS(NSXMLParserSelector::didStartElement)
public:
    int elements = 0, texts = 0;
    void didStartElement(NSXMLParser&, const std::string&, const std::optional<std::string>&,
                         const std::optional<std::string>&, const Attributes&) override {
        ++elements;
    }
    void foundCharacters(NSXMLParser&, const std::string&) override { ++texts; }
};

TEST(NSXMLParser, EventsGoOnlyToSelectorsTheDelegateAnswers) {
    auto parser = std::make_shared<NSXMLParser>(bytes("<a>x<b>y</b></a>"));
    auto d = std::make_shared<ElementsOnly>();
    parser->setDelegate(d);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(d->elements, 2);
    EXPECT_EQ(d->texts, 0);

    // Without a delegate a parse still checks the document.
    EXPECT_TRUE(NSXMLParser(bytes("<a/>")).parse());
    EXPECT_FALSE(NSXMLParser(bytes("<a>")).parse());
}

TEST(NSXMLParser, HostileDocumentsNeitherLoadFilesNorBlowUp) {
    bool ok = true;
    auto log = run("<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>", false, false, &ok);
    for (const auto& line : log) EXPECT_EQ(line.find("root:"), std::string::npos);

    std::string laughs = "<!DOCTYPE l [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><l>&l11;</l>";
    NSXMLParser parser(bytes(laughs));
    EXPECT_FALSE(parser.parse()) << "amplification is refused";
}

}  // namespace
