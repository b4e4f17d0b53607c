#include <crash_demangle/Node.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace ZUDDemangle;
using K = Node::Kind;

TEST(NodeTest, PayloadsAreFixedAtCreation) {
  NodePointer plain = makeNode(K::Type);
  NodePointer text = makeNode(K::Identifier, std::string_view("Int"));
  NodePointer index = makeNode(K::Number, uint64_t{7});
  EXPECT_EQ(plain->getPayloadKind(), PayloadKind::None);
  EXPECT_FALSE(plain->hasText());
  EXPECT_FALSE(plain->hasIndex());
  EXPECT_TRUE(text->hasText());
  EXPECT_EQ(text->getText(), "Int");
  EXPECT_FALSE(text->hasIndex());
  EXPECT_TRUE(index->hasIndex());
  EXPECT_EQ(index->getIndex(), 7u);
}

TEST(NodeTest, TextPayloadIsCopiedFromAView) {
  char buffer[] = "Swift";
  NodePointer node = makeNode(K::Module, std::string_view(buffer, 3));
  std::memcpy(buffer, "XXXXX", 5);
  EXPECT_EQ(node->getText(), "Swi");
}

TEST(NodeTest, ChildrenKeepOrderAndMayBeShared) {
  NodePointer shared = makeNode(K::Identifier, std::string_view("T"));
  NodePointer a = makeNode(K::TypeList);
  NodePointer b = makeNode(K::TypeList);
  a->addChild(makeNode(K::Number, uint64_t{1}));
  a->addChild(shared);
  b->addChild(shared);
  ASSERT_EQ(a->getNumChildren(), 2u);
  EXPECT_EQ(a->getChild(0)->getKind(), K::Number);
  EXPECT_EQ(a->getChild(1).get(), b->getChild(0).get());
  size_t visited = 0;
  for (const NodePointer& child : *a) visited += child ? 1 : 0;
  EXPECT_EQ(visited, 2u);
  a.reset();
  EXPECT_EQ(b->getChild(0)->getText(), "T");
}

TEST(NodeTest, NodeHandsOutAPointerToItself) {
  NodePointer node = makeNode(K::Type);
  EXPECT_EQ(node->shared_from_this().get(), node.get());
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
  NodePointer root = makeNode(K::Type);
  Node* tail = root.get();
  for (int i = 0; i < 1'000'000; ++i) {
    NodePointer next = makeNode(K::Type);
    Node* raw = next.get();
    tail->addChild(std::move(next));
    tail = raw;
  }
  root.reset();  // would overflow the stack if each level released the next recursively
  SUCCEED();
}

TEST(NodeDeathTest, WrongPayloadAndNullChildAreInternalErrors) {
  NodePointer node = makeNode(K::Type);
  EXPECT_DEATH(node->getText(), "fatal error: .*hasText\\(\\)");
  EXPECT_DEATH(node->getIndex(), "fatal error: .*hasIndex\\(\\)");
  EXPECT_DEATH(node->addChild(nullptr), "fatal error: adding null child!");
}
