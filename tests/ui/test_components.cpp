// Ownership, naming and free-notification of components; collections.
#include <gtest/gtest.h>

#include "tests/ui/TestClasses.h"
#include "ui/Errors.h"

using namespace uitest;

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
  std::vector<std::string> order;
  struct TTracked : TComponent {
    TTracked(TComponent* o, std::vector<std::string>* log, std::string n) : TComponent(o), log_(log) { SetName(n); }
    ~TTracked() override { log_->push_back(Name()); }
    std::vector<std::string>* log_;
  };
  auto* owner = new TComponent(nullptr);
  new TTracked(owner, &order, "A");
  auto* b = new TTracked(owner, &order, "B");
  new TTracked(owner, &order, "C");
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(owner->FindComponent("b"), b);
  TComponent::Free(b);  // leaves its owner
  EXPECT_EQ(owner->ComponentCount(), 2);
  TComponent::Free(owner);
  EXPECT_EQ(order, (std::vector<std::string>{"B", "C", "A"}));
}

TEST(Component, NamesAreIdentifiersAndUniqueWithinTheOwner) {
  TComponent owner(nullptr);
  auto* a = new TThing(&owner);
  auto* b = new TThing(&owner);
  a->SetName("First");
  EXPECT_THROW(b->SetName("first"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  b->SetName("Second");
  a->SetName("First");  // its own name again is fine
  EXPECT_EQ(a->NamePath(), "First");
}

TEST(Component, FreeNotificationClearsReferencesBothWays) {
  TComponent owner(nullptr);
  auto* a = new TThing(&owner);
  auto* b = new TThing(&owner);
  a->SetBuddy(b);
  b->SetBuddy(a);
  TComponent::Free(b);
  EXPECT_EQ(a->buddy, nullptr);
  // The dead component is no longer on a's list: freeing a must not touch it.
  TComponent::Free(a);

  // A reference across owners is cleared too.
  TComponent other(nullptr);
  auto* c = new TThing(&owner);
  auto* d = new TThing(&other);
  c->SetBuddy(d);
  TComponent::Free(d);
  EXPECT_EQ(c->buddy, nullptr);
}

TEST(Component, OwnerTellsSiblingsWhenOneGoes) {
  // Siblings hear of the removal through their owner, without asking for free-notification.
  TComponent owner(nullptr);
  auto* a = new TThing(&owner);
  auto* b = new TThing(&owner);
  a->buddy = b;  // plain field: no free-notification asked
  TComponent::Free(b);
  EXPECT_EQ(a->buddy, nullptr);
}

TEST(Component, DestroyingFlagIsSetBeforeDescendantDestructorsRun) {
  bool seen = false;
  struct TProbe : TComponent {
    TProbe(TComponent* o, bool* s) : TComponent(o), s_(s) {}
    ~TProbe() override { *s_ = Destroying(); }
    bool* s_;
  };
  TComponent::Free(new TProbe(nullptr, &seen));
  EXPECT_TRUE(seen);
}

TEST(Collection, ItemsMoveAndLeave) {
  struct TWatched : TCollection {
    using TCollection::TCollection;
    void Moved(int from, int to) override { moves.emplace_back(from, to); }
    void Notify(TCollectionItem*, bool added) override { (added ? adds : removes)++; }
    std::vector<std::pair<int, int>> moves;
    int adds = 0, removes = 0;
  };
  TWatched c(nullptr, TPicItem::StaticClass());
  auto* i0 = c.Add();
  auto* i1 = c.Add();
  auto* i2 = c.Add();
  i0->SetIndex(2);
  EXPECT_EQ(c.Item(0), i1);
  EXPECT_EQ(c.Item(2), i0);
  ASSERT_EQ(c.moves.size(), 1u);
  EXPECT_EQ(c.moves[0], std::make_pair(0, 2));
  delete i2;
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.adds, 3);
  EXPECT_EQ(c.removes, 1);
  EXPECT_EQ(i0->Index(), 1);
}
