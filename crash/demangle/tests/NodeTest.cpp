#include <crash_demangle/Demangle.h>
#include <crash_demangle/Node.h>
#include <crash_demangle/NodeArena.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace ZUDDemangle;
using K = Node::Kind;

TEST(NodeTest, PayloadsAreFixedAtCreation) {
  NodeArena arena;
  NodePointer plain = arena.makeNode(K::Type);
  NodePointer text = arena.makeNode(K::Identifier, std::string_view("Int"));
  NodePointer index = arena.makeNode(K::Number, uint64_t{7});
  EXPECT_EQ(plain->getPayloadKind(), PayloadKind::None);
  EXPECT_FALSE(plain->hasText());
  EXPECT_FALSE(plain->hasIndex());
  EXPECT_TRUE(text->hasText());
  EXPECT_EQ(text->getText(), "Int");
  EXPECT_FALSE(text->hasIndex());
  EXPECT_TRUE(index->hasIndex());
  EXPECT_EQ(index->getIndex(), 7u);
  EXPECT_EQ(arena.makeNode(K::Identifier, std::string_view())->getText(), "");
}

TEST(NodeTest, TextPayloadIsCopiedFromAView) {
  NodeArena arena;
  char buffer[] = "Swift";
  NodePointer node = arena.makeNode(K::Module, std::string_view(buffer, 3));
  std::memcpy(buffer, "XXXXX", 5);
  EXPECT_EQ(node->getText(), "Swi");
}

TEST(NodeTest, ChildrenKeepOrderAndMayBeShared) {
  NodeArena arena;
  NodePointer shared = arena.makeNode(K::Identifier, std::string_view("T"));
  NodePointer a = arena.makeNode(K::TypeList);
  NodePointer b = arena.makeNode(K::TypeList);
  a->addChild(arena.makeNode(K::Number, uint64_t{1}), arena);
  a->addChild(shared, arena);
  b->addChild(shared, arena);
  ASSERT_EQ(a->getNumChildren(), 2u);
  EXPECT_EQ(a->getChild(0)->getKind(), K::Number);
  EXPECT_EQ(a->getChild(1), b->getChild(0));
  size_t visited = 0;
  for (const NodePointer& child : *a) visited += child ? 1 : 0;
  EXPECT_EQ(visited, 2u);
}

TEST(NodeTest, ChildListsGrowWhetherOrNotOtherNodesWereMadeInBetween) {
  // Two parents filled in turn (each list is copied when it grows) and one filled alone
  // (its list grows in place); enough children to cross into further blocks.
  NodeArena arena;
  NodePointer first = arena.makeNode(K::TypeList);
  NodePointer second = arena.makeNode(K::TypeList);
  NodePointer alone = arena.makeNode(K::TypeList);
  for (uint64_t i = 0; i < 3000; ++i) {
    first->addChild(arena.makeNode(K::Index, i), arena);
    second->addChild(arena.makeNode(K::Index, i * 2), arena);
  }
  std::vector<NodePointer> made;
  for (uint64_t i = 0; i < 3000; ++i) made.push_back(arena.makeNode(K::Index, i * 3));
  for (NodePointer node : made) alone->addChild(node, arena);
  ASSERT_EQ(first->getNumChildren(), 3000u);
  ASSERT_EQ(second->getNumChildren(), 3000u);
  ASSERT_EQ(alone->getNumChildren(), 3000u);
  for (uint64_t i = 0; i < 3000; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(first->getChild(i)->getIndex(), i);
    EXPECT_EQ(second->getChild(i)->getIndex(), i * 2);
    EXPECT_EQ(alone->getChild(i)->getIndex(), i * 3);
  }
}

TEST(NodeTest, CallerBufferIsUsedFirstAndHeapBlocksFollow) {
  alignas(void*) char buffer[256];
  NodeArena arena(buffer, sizeof buffer);
  NodePointer inBuffer = arena.makeNode(K::Identifier, std::string_view("first"));
  EXPECT_GE(reinterpret_cast<char*>(inBuffer), buffer);
  EXPECT_LT(reinterpret_cast<char*>(inBuffer), buffer + sizeof buffer);
  // A text larger than any block gets a block of its own.
  std::string large(300 * 1024, 'x');
  NodePointer big = arena.makeNode(K::Identifier, large);
  std::vector<NodePointer> many;
  for (int i = 0; i < 1000; ++i) many.push_back(arena.makeNode(K::Number, uint64_t(i)));
  EXPECT_EQ(inBuffer->getText(), "first");
  EXPECT_EQ(big->getText(), large);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(many[i]->getIndex(), uint64_t(i));
}

TEST(NodeTest, ParsedTreeStaysInPlaceWhenTheResultMoves) {
  ParsedSymbol parsed = demangleSymbolAsNode("_TF1M3fooFT_T_", 14);
  ASSERT_TRUE(parsed);
  const Node* root = parsed.root();
  const Node* function = root->getChild(0);
  ParsedSymbol moved = std::move(parsed);
  EXPECT_EQ(moved.root(), root);
  EXPECT_EQ(moved->getChild(0), function);
  EXPECT_EQ(function->getChild(1)->getText(), "foo");
  ParsedSymbol assigned;
  EXPECT_EQ(assigned, nullptr);
  assigned = std::move(moved);
  EXPECT_EQ(assigned->getChild(0)->getChild(0)->getText(), "M");
  EXPECT_EQ(nodeToString(assigned.root(), PrinterOptions::full()), "M.foo () -> ()");
}

TEST(NodeTest, KindNamesCoverTheTable) {
  EXPECT_STREQ(getNodeKindName(K::AllocatingInit), "AllocatingInit");
  EXPECT_STREQ(getNodeKindName(K::Structure), "Structure");
  EXPECT_STREQ(getNodeKindName(K::ThrowsAnnotation), "ThrowsAnnotation");
  EXPECT_EQ(static_cast<unsigned>(K::ThrowsAnnotation) + 1, Node::kNumKinds);
  EXPECT_EQ(static_cast<unsigned>(K::Type), 118u);
  EXPECT_EQ(static_cast<unsigned>(K::ValueWitness), 130u);
  EXPECT_STREQ(getNodeKindName(static_cast<K>(500)), "?");
}

TEST(NodeTest, VeryDeepTreeIsReleasedWithoutRecursion) {
  auto arena = std::make_unique<NodeArena>();
  NodePointer tail = arena->makeNode(K::Type);
  for (int i = 0; i < 1'000'000; ++i) {
    NodePointer next = arena->makeNode(K::Type);
    tail->addChild(next, *arena);
    tail = next;
  }
  arena.reset();  // would overflow the stack if each level released the next recursively
  SUCCEED();
}

TEST(NodeDeathTest, WrongPayloadAndNullChildAreInternalErrors) {
  NodeArena arena;
  NodePointer node = arena.makeNode(K::Type);
  EXPECT_DEATH(node->getText(), "fatal error: .*hasText\\(\\)");
  EXPECT_DEATH(node->getIndex(), "fatal error: .*hasIndex\\(\\)");
  EXPECT_DEATH(node->getChild(0), "fatal error: .*getNumChildren\\(\\)");
  EXPECT_DEATH(node->addChild(nullptr, arena), "fatal error: adding null child!");
}
