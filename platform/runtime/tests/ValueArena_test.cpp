#include <platform_runtime/ValueArena.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <platform_runtime/Value.h>

// Values whose parts come from an arena must behave as any other: compare equal, copy on write,
// and outlive the arena; their chunks are freed whatever the order of release (the sanitizer
// builds report a chunk freed too early or never).

namespace {

std::string longText(int i) { return "a text longer than inline storage #" + std::to_string(i); }

// A tree like a decoder builds: an array of dictionaries with long and short texts.
Value buildTree(ValueArena& arena, int count) {
    Value::Array items;
    for (int i = 0; i < count; ++i) {
        Value::Dictionary entries = {{Value("id", arena), Value(int64_t{i})},
                                     {Value("text", arena), Value(longText(i), arena)}};
        items.emplace_back(std::move(entries), arena);
    }
    return Value(std::move(items), arena);
}

Value expectedTree(int count) {
    Value::Array items;
    for (int i = 0; i < count; ++i) items.push_back(Value::dict({{"id", int64_t{i}}, {"text", longText(i)}}));
    return Value(std::move(items));
}

}  // namespace

TEST(ValueArena, ValuesMatchTheirHeapTwins) {
    struct Case {
        const char* label;
        std::string text;
    };
    const Case cases[] = {{"empty", ""}, {"inline", "fifteen bytes!!"}, {"one past inline", "sixteen bytes!!!"},
                          {"NUL inside", std::string("a\0b-longer-than-inline", 22)},
                          {"larger than a quarter chunk", std::string(ValueArena::kChunkBytes, 'x')}};
    ValueArena arena;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Value v(c.text, arena);
        EXPECT_TRUE(v.isString());
        EXPECT_EQ(v.asString(), c.text);
        EXPECT_EQ(v, Value(c.text));
        EXPECT_EQ(v.hash(), Value(c.text).hash());
    }
    EXPECT_EQ(buildTree(arena, 50), expectedTree(50));
}

TEST(ValueArena, ContainersCopyOnWrite) {
    ValueArena arena;
    Value tree = buildTree(arena, 3);
    ASSERT_TRUE(tree.hasUniquePayload());
    const Value shared = tree;
    EXPECT_FALSE(tree.hasUniquePayload());

    tree.addObject(Value("added"));
    EXPECT_EQ(tree.count(), 4u);
    EXPECT_EQ(shared.count(), 3u);

    Value first = shared[0];
    first.setObject(Value(int64_t{99}), Value("id"));
    EXPECT_EQ(first.objectForKey("id").asInt(), 99);
    EXPECT_EQ(shared[0].objectForKey("id").asInt(), 0);

    // A container no other handle shares is changed in place.
    Value alone = Value(Value::Array{Value(longText(1), arena)}, arena);
    const Value::Array* before = &alone.asArray();
    alone.addObject(Value(int64_t{2}));
    EXPECT_EQ(&alone.asArray(), before);
    EXPECT_EQ(alone.count(), 2u);
}

TEST(ValueArena, PartsOutliveTheArenaInAnyOrder) {
    std::vector<Value> kept;
    {
        ValueArena arena;
        const Value tree = buildTree(arena, 2000);  // many chunks
        // Keep every seventh member and a few texts; the rest goes with the tree.
        for (std::size_t i = 0; i < tree.count(); i += 7) kept.push_back(tree[i]);
        for (std::size_t i = 3; i < tree.count(); i += 101) kept.push_back(tree[i].objectForKey("text"));
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < 2000; i += 7, ++n) {
        ASSERT_EQ(kept[n].objectForKey("id").asInt(), static_cast<int64_t>(i));
        EXPECT_EQ(kept[n].objectForKey("text").asString(), longText(static_cast<int>(i)));
    }
    for (std::size_t i = 3; i < 2000; i += 101, ++n) EXPECT_EQ(kept[n].asString(), longText(static_cast<int>(i)));
    // Released back to front: chunks empty in another order than they were carved.
    while (!kept.empty()) kept.pop_back();
}

// Trees built on one thread are released on several others at once, as a decoded response is.
TEST(ValueArena, PartsReleasedOnOtherThreads) {
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::vector<Value> pieces;
        {
            ValueArena arena;
            const Value tree = buildTree(arena, 4000);
            for (const Value& item : tree.asArray()) pieces.push_back(item);
        }
        constexpr std::size_t kThreads = 4;
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < kThreads; ++t) {
            // Interleaved shares, so one chunk's parts go on every thread.
            std::vector<Value> share;
            for (std::size_t i = t; i < pieces.size(); i += kThreads) share.push_back(pieces[i]);
            threads.emplace_back([share = std::move(share)]() mutable {
                for (Value& v : share) {
                    const int id = static_cast<int>(v.objectForKey("id").asInt());
                    ASSERT_EQ(v.objectForKey("text").asString(), longText(id));
                    v = Value();
                }
            });
        }
        pieces.clear();
        for (auto& t : threads) t.join();
    }
}

// Freed chunks are reused by later arenas: a chunk with one part still alive must not be among
// them, and a reused chunk must not carry anything over from its last tree.
TEST(ValueArena, ReusedChunksLeaveLivePartsAlone) {
    std::vector<Value> survivors;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ValueArena arena;
        const Value tree = buildTree(arena, 1500);
        ASSERT_EQ(tree, expectedTree(1500));
        survivors.push_back(tree[static_cast<std::size_t>(round) * 211]);
    }
    for (std::size_t round = 0; round < survivors.size(); ++round) {
        SCOPED_TRACE(round);
        const int id = static_cast<int>(round) * 211;
        EXPECT_EQ(survivors[round], Value::dict({{"id", int64_t{id}}, {"text", longText(id)}}));
    }
}
