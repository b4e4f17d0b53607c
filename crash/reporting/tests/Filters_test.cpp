// The report filters: pass-through, pipeline, combine, object for key, concatenate, subset,
// the conversions and gzip, with stages that complete later on other threads.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <crash_reporting/ZPKCRCrashReportFilterCombine.h>
#include <crash_reporting/ZPKCRCrashReportFilterPipeline.h>
#include <crash_reporting/ZPKCRCrashReportFilters.h>
#include <crash_reporting/ZUDCrashReportFilterGZipCompress.h>
#include <crash_reporting/ZUDData.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "ReportingTestSupport.h"

namespace {

struct Result {
    int calls = 0;
    Value reports;
    bool completed = false;
    NSErrorPtr error;
};

// A filter that appends its tag to every text report; it may finish later on another thread
// (a dispatch queue), fail, or answer "completed" without reports.
class TagFilter : public NSObject, public CRCrashReportFilter {
    NS_CLASS(TagFilter, NSObject)
    NS_PROTOCOLS("CRCrashReportFilter")
public:
    enum class Mode { Now, Later, Fail, NoReports, Shorter };
    TagFilter(std::string tag = {}, Mode mode = Mode::Now) : tag_(std::move(tag)), mode_(mode) {}
    static Value make(std::string tag, Mode mode = Mode::Now) {
        return Value(std::make_shared<TagFilter>(std::move(tag), mode));
    }
    void filterReports(Value reports, CRCrashReportFilterCompletion onCompletion) override {
        ++calls;
        Value out = Value::mutableArray();
        std::size_t n = reports.count();
        if (mode_ == Mode::Shorter && n > 0) n -= 1;
        for (std::size_t i = 0; i < n; ++i) out.addObject(Value(reports[i].stringValue() + tag_));
        switch (mode_) {
            case Mode::Now:
            case Mode::Shorter: crcrash_callCompletion(onCompletion, out, true, nullptr); break;
            case Mode::Fail:
                crcrash_callCompletion(onCompletion, out, false, NSError::errorWithDomain("Tag", 9));
                break;
            case Mode::NoReports: crcrash_callCompletion(onCompletion, Value(), true, nullptr); break;
            case Mode::Later:
                std::thread([out, onCompletion] {
                    crcrash_callCompletion(onCompletion, out, true, nullptr);
                }).detach();
                break;
        }
    }
    std::atomic<int> calls{0};

private:
    std::string tag_;
    Mode mode_;
};

Result runFilter(CRCrashReportFilter& filter, const Value& input) {
    auto result = std::make_shared<Result>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    filter.filterReports(input, [result, done](Value reports, bool completed, NSErrorPtr error) {
        ++result->calls;
        result->reports = reports;
        result->completed = completed;
        result->error = error;
        done->store(true);
    });
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return done->load(); }, 5));
    return *result;
}

Value texts(std::initializer_list<const char*> items) {
    Value array = Value::mutableArray();
    for (const char* item : items) array.addObject(Value(item));
    return array;
}

TEST(Filters, PassthroughAndEmptyCompositesHandTheInputOn) {
    Value input = texts({"a", "b"});
    ZPKCRCrashReportFilterPipeline emptyPipeline;
    ZPKCRCrashReportFilterCombine emptyCombine;
    CRCrashReportFilter* filters[] = {ZPKCRCrashReportFilterPassthrough::filter().get(), &emptyPipeline,
                                      &emptyCombine};
    auto passthrough = ZPKCRCrashReportFilterPassthrough::filter();
    filters[0] = passthrough.get();
    for (auto* filter : filters) {
        Result r = runFilter(*filter, input);
        EXPECT_EQ(r.calls, 1);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.reports, input);
        EXPECT_FALSE(r.error);
    }
}

TEST(Filters, PipelineRunsStagesInOrderAcrossThreads) {
    struct Case {
        const char* title;
        std::vector<Value> list;
        const char* expected;
    };
    const Case cases[] = {
        {"now", {TagFilter::make("A"), TagFilter::make("B")}, "xAB"},
        {"later", {TagFilter::make("A", TagFilter::Mode::Later), TagFilter::make("B", TagFilter::Mode::Later)}, "xAB"},
        {"nested list",
         {TagFilter::make("A"), Value::array({TagFilter::make("B", TagFilter::Mode::Later), TagFilter::make("C")}),
          TagFilter::make("D")},
         "xABCD"},
        {"non-filters left out", {Value("not a filter"), TagFilter::make("A"), Value(3)}, "xA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        auto pipeline = ZPKCRCrashReportFilterPipeline::filterWithFilters(c.list);
        Result r = runFilter(*pipeline, texts({"x"}));
        EXPECT_EQ(r.calls, 1);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.reports, texts({c.expected}));
    }
}

TEST(Filters, AddFilterGoesToTheFront) {
    auto pipeline = ZPKCRCrashReportFilterPipeline::filterWithFilters({TagFilter::make("A"), TagFilter::make("B")});
    pipeline->addFilter(std::make_shared<TagFilter>("X"));
    EXPECT_EQ(runFilter(*pipeline, texts({"-"})).reports, texts({"-XAB"}));
}

TEST(Filters, PipelineStageFailures) {
    struct Case {
        const char* title;
        TagFilter::Mode mode;
        Value reports;
        std::string domain;
        std::string description;
    };
    const Case cases[] = {
        {"not completed", TagFilter::Mode::Fail, texts({"xAB"}), "Tag", ""},
        {"no reports", TagFilter::Mode::NoReports, Value(), "ZPKCRCrashReportFilterPipeline",
         "filteredReports was nil"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        auto last = std::make_shared<TagFilter>("C");
        auto pipeline = ZPKCRCrashReportFilterPipeline::filterWithFilters(
            {TagFilter::make("A", TagFilter::Mode::Later), TagFilter::make("B", c.mode), Value(last)});
        Result r = runFilter(*pipeline, texts({"x"}));
        EXPECT_EQ(r.calls, 1);
        EXPECT_FALSE(r.completed);
        EXPECT_EQ(r.reports, c.reports);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->domain(), c.domain);
        if (!c.description.empty()) {
            EXPECT_EQ(r.error->localizedDescription(), c.description);
        }
        EXPECT_EQ(last->calls.load(), 0);
    }
}

TEST(Filters, RunStaysAliveUntilTheFinalCompletionAndThenGoes) {
    // The pipeline itself is dropped at once; its later stages still complete.
    std::weak_ptr<ZPKCRCrashReportFilterPipeline> weakPipeline;
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto reports = std::make_shared<Value>();
    {
        auto pipeline = ZPKCRCrashReportFilterPipeline::filterWithFilters(
            {TagFilter::make("A", TagFilter::Mode::Later), TagFilter::make("B", TagFilter::Mode::Later)});
        weakPipeline = pipeline;
        pipeline->filterReports(texts({"x"}), [done, reports](Value r, bool, NSErrorPtr) {
            *reports = r;
            done->store(true);
        });
    }
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done->load(); }, 5));
    EXPECT_EQ(*reports, texts({"xAB"}));
}

TEST(Filters, CombineMergesOutputsByIndex) {
    auto combine = ZPKCRCrashReportFilterCombine::filterWithFiltersAndKeys(
        {TagFilter::make("1", TagFilter::Mode::Later), Value("first"), TagFilter::make("2", TagFilter::Mode::Shorter),
         Value("second"), Value::array({TagFilter::make("3"), TagFilter::make("4")}), Value("third")});
    Result r = runFilter(*combine, texts({"a", "b"}));
    EXPECT_TRUE(r.completed);
    Value expected = Value::array({
        Value::dict({{Value("first"), Value("a1")}, {Value("second"), Value("a2")}, {Value("third"), Value("a34")}}),
        Value::dict({{Value("first"), Value("b1")}, {Value("third"), Value("b34")}}),
    });
    EXPECT_EQ(r.reports, expected) << r.reports.description();
}

TEST(Filters, CombineFirstOutputSetsTheCount) {
    ZPKCRCrashReportFilterCombine combine({std::make_shared<TagFilter>("s", TagFilter::Mode::Shorter),
                                           std::make_shared<TagFilter>("n")},
                                          {Value("short"), Value("long")});
    Result r = runFilter(combine, texts({"a", "b", "c"}));
    ASSERT_EQ(r.reports.count(), 2u);
    EXPECT_EQ(r.reports[1], Value::dict({{Value("short"), Value("bs")}, {Value("long"), Value("bn")}}));
}

TEST(Filters, CombineFailures) {
    ZPKCRCrashReportFilterCombine mismatch({std::make_shared<TagFilter>("a"), std::make_shared<TagFilter>("b")},
                                           {Value("only")});
    Result r = runFilter(mismatch, texts({"x"}));
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.reports, texts({"x"}));
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->domain(), "ZPKCRCrashReportFilterCombine");
    EXPECT_EQ(r.error->localizedDescription(), "Key/filter mismatch (1 keys, 2 filters");

    ZPKCRCrashReportFilterCombine failing({std::make_shared<TagFilter>("a"),
                                           std::make_shared<TagFilter>("b", TagFilter::Mode::Fail)},
                                          {Value("a"), Value("b")});
    r = runFilter(failing, texts({"x"}));
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.reports, texts({"xb"}));
    EXPECT_EQ(r.error->domain(), "Tag");

    ZPKCRCrashReportFilterCombine empty({std::make_shared<TagFilter>("a", TagFilter::Mode::NoReports)}, {Value("a")});
    r = runFilter(empty, texts({"x"}));
    EXPECT_FALSE(r.completed);
    EXPECT_TRUE(r.reports.isNull());
    EXPECT_EQ(r.error->localizedDescription(), "filteredReports was nil");
}

TEST(Filters, CombineListParsing) {
    struct Case {
        const char* title;
        std::vector<Value> list;
        std::size_t filters;
        std::vector<Value> keys;
    };
    const Case cases[] = {
        {"pairs", {TagFilter::make("a"), Value("k1"), TagFilter::make("b"), Value("k2")}, 2, {Value("k1"), Value("k2")}},
        {"array becomes a pipeline", {Value::array({TagFilter::make("a"), TagFilter::make("b")}), Value("k")}, 1,
         {Value("k")}},
        // A non-filter is skipped and its key is then tested as a filter and skipped too.
        {"non-filter and its key skipped",
         {Value(5), Value("lost"), TagFilter::make("b"), Value("k2")}, 1, {Value("k2")}},
        {"null key counts", {TagFilter::make("a"), Value(), TagFilter::make("b"), Value("k2")}, 2, {Value("k2")}},
        {"empty", {}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::vector<CRCrashReportFilterPtr> filters;
        std::vector<Value> keys;
        ZPKCRCrashReportFilterCombine::argBlockWithFilters(c.list, filters, keys);
        EXPECT_EQ(filters.size(), c.filters);
        EXPECT_EQ(Value(keys), Value(c.keys));
    }
}

Value reports() {
    return NSJSONSerialization::JSONObjectWithData(std::string_view(R"([
        {"a": "A1", "b": {"c": "C1"}, "system": {"memory": {"free": 5}}},
        {"a": "A2", "system": {"memory": {"free": 6}}}])"));
}

TEST(Filters, ObjectForKey) {
    auto allowing = ZPKCRCrashReportFilterObjectForKey::filterWithKey(Value("b/c"), true);
    Result r = runFilter(*allowing, reports());
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value("C1"), Value::dict({})}));

    auto strict = ZPKCRCrashReportFilterObjectForKey::filterWithKey(Value("b/c"), false);
    r = runFilter(*strict, reports());
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value("C1")}));
    EXPECT_EQ(r.error->localizedDescription(), "Key not found: b/c");
    EXPECT_EQ(r.error->domain(), "ZPKCRCrashReportFilterObjectForKey");

    // A key that is not text is looked up plainly.
    Value numbered = Value::array({Value::dict({{Value(1), Value("one")}})});
    r = runFilter(*ZPKCRCrashReportFilterObjectForKey::filterWithKey(Value(1), false), numbered);
    EXPECT_EQ(r.reports, Value::array({Value("one")}));
}

TEST(Filters, ConcatenateAndSubset) {
    auto concat = ZPKCRCrashReportFilterConcatenate::filterWithSeparatorFmt("\n== %@ ==\n",
                                                                             {Value("a"), Value::array({Value("b/c")})});
    Result r = runFilter(*concat, reports());
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value("A1\n== b/c ==\nC1"), Value("A2\n== b/c ==\n(null)")}));

    auto subset = ZPKCRCrashReportFilterSubset::filterWithKeys({Value("system/memory"), Value("a")});
    r = runFilter(*subset, reports());
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports[0], Value::dict({{Value("memory"), Value::dict({{Value("free"), Value(5)}})},
                                         {Value("a"), Value("A1")}}));

    auto missing = ZPKCRCrashReportFilterSubset::filterWithKeys({Value("b/c")});
    r = runFilter(*missing, reports());
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.reports.count(), 1u);
    EXPECT_EQ(r.error->localizedDescription(), "Report did not have key path b/c");
    r = runFilter(*missing, Value::array({}));
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports, Value::array({}));
}

TEST(Filters, Conversions) {
    const uint8_t bad[] = {'o', 'k', 0xff};
    Value data = Value::array({Value::data("text", 4), Value::data(bad, 3)});
    Result r = runFilter(*ZPKCRCrashReportFilterDataToString::filter(), data);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value("text"), Value("ok\xEF\xBF\xBD")}));

    r = runFilter(*ZPKCRCrashReportFilterStringToData::filter(), Value::array({Value("ab"), Value("\xC3\xA9")}));
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value::data("ab", 2), Value::data("\xC3\xA9", 2)}));

    r = runFilter(*ZPKCRCrashReportFilterStringToData::filter(),
                  Value::array({Value("ab"), Value(std::string("\xff")), Value("cd")}));
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.reports, Value::array({Value::data("ab", 2)}));
    EXPECT_EQ(r.error->localizedDescription(), "Could not convert report to UTF-8");
}

TEST(Filters, GzipTurnsTextIntoCompressedBytesAndDropsItemsWithoutText) {
    Value items = Value::array({
        Value::dict({{Value("report"), Value::dict({{Value("id"), Value(1)}})}, {Value("appleReport"), Value("text one")}}),
        Value::dict({{Value("report"), Value::dict({{Value("id"), Value(2)}})}}),
        Value::dict({{Value("report"), Value::dict({{Value("id"), Value(3)}})}, {Value("appleReport"), Value("")}}),
    });
    Result r = runFilter(*ZUDCrashReportFilterGZipCompress::filterWithCompressionLevel(9), items);
    EXPECT_TRUE(r.completed);
    ASSERT_EQ(r.reports.count(), 2u);
    EXPECT_EQ(r.reports[0].objectForKey(Value("report")), Value::dict({{Value("id"), Value(1)}}));
    EXPECT_FALSE(r.reports[0].containsObject(Value("appleReport")));
    auto text = zud_gunzippedWithError(r.reports[0].objectForKey(Value("reportData")).asData(), nullptr);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(text->begin(), text->end()), "text one");
    EXPECT_TRUE(r.reports[1].objectForKey(Value("reportData")).asData().empty());

    Result failed = runFilter(*ZUDCrashReportFilterGZipCompress::filterWithCompressionLevel(42), items);
    EXPECT_TRUE(failed.completed);
    // Only the empty text survives an impossible level: it needs no compressor.
    EXPECT_EQ(failed.reports.count(), 1u);
}

}  // namespace
