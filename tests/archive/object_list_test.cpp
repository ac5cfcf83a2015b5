#include "archive/object_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/exceptions.h"
#include "support/exception_message.h"

namespace qel::archive {
namespace {

using testing::MessageOf;

// Counts the instances alive, so a test sees which ones a list freed.
class TTracked final : public base::TObject {
 public:
  explicit TTracked(int* alive) : FAlive(alive) { ++*FAlive; }
  ~TTracked() override { --*FAlive; }
  const char* ClassName() const noexcept override { return "TTracked"; }

 private:
  int* FAlive;
};

TEST(ObjectList, CapacityGrowsByFourEightThenSixteen) {
  TObjectList list;
  list.OwnsObjects = false;
  std::vector<std::int32_t> capacities;
  for (int i = 0; i < 65; ++i) {
    list.Add(nullptr);
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{4, 8, 16, 32, 48, 64, 80}));
}

TEST(ObjectList, AddStopsAt65520Objects) {
  TObjectList list;
  list.OwnsObjects = false;
  for (int i = 0; i < 65520; ++i) ASSERT_EQ(list.Add(nullptr), i);
  EXPECT_EQ(list.Capacity(), 65520);
  EXPECT_EQ(MessageOf<base::EListError>([&] { list.Add(nullptr); }), "List index out of bounds (65536)");
  EXPECT_EQ(list.Count(), 65520);
  // The slots above the growth steps are still there for SetCount and SetCapacity.
  list.SetCount(65534);
  EXPECT_EQ(list.Capacity(), 65534);
  EXPECT_EQ(list.Get(65533), nullptr);
}

TEST(ObjectList, BoundsOfIndexesCountsAndCapacities) {
  TObjectList list;
  list.OwnsObjects = false;
  int alive = 0;
  TTracked a(&alive), b(&alive);
  list.Add(&a);
  list.Add(&b);
  const struct {
    const char* what;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"Get(-1)", [&] { list.Get(-1); }, "List index out of bounds (-1)"},
      {"Get(Count)", [&] { list.Get(2); }, "List index out of bounds (2)"},
      {"Put(Count)", [&] { list.Put(2, &a); }, "List index out of bounds (2)"},
      {"Insert(Count + 1)", [&] { list.Insert(3, &a); }, "List index out of bounds (3)"},
      {"Insert(-1)", [&] { list.Insert(-1, &a); }, "List index out of bounds (-1)"},
      {"SetCapacity below Count", [&] { list.SetCapacity(1); }, "List index out of bounds (1)"},
      {"SetCapacity(65535)", [&] { list.SetCapacity(65535); }, "List index out of bounds (65535)"},
      {"SetCount(-1)", [&] { list.SetCount(-1); }, "List index out of bounds (-1)"},
      {"SetCount(65535)", [&] { list.SetCount(65535); }, "List index out of bounds (65535)"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf<base::EListError>(c.call), c.message) << c.what;
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), &a);
  EXPECT_EQ(list.Get(1), &b);

  TObjectList empty;
  EXPECT_EQ(MessageOf<base::EListError>([&] { empty.First(); }), "List index out of bounds (0)");
  EXPECT_EQ(MessageOf<base::EListError>([&] { empty.Last(); }), "List index out of bounds (-1)");
}

TEST(ObjectList, InsertShiftsAndSetCountFillsWithEmptySlots) {
  TObjectList list;
  list.OwnsObjects = false;
  int alive = 0;
  TTracked a(&alive), b(&alive), c(&alive);
  list.Add(&a);
  list.Add(&c);
  list.Insert(1, &b);
  list.Insert(3, &a);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Get(1), &b);
  EXPECT_EQ(list.Get(2), &c);
  EXPECT_EQ(list.Last(), &a);
  EXPECT_EQ(list.IndexOf(&c), 2);
  EXPECT_EQ(list.IndexOf(&a), 0);  // the first of two

  list.SetCount(2);
  list.SetCount(5);
  EXPECT_EQ(list.Get(2), nullptr);
  EXPECT_EQ(list.Get(4), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(alive, 3);
}

TEST(ObjectList, FreesObjectsExactlyWhenItOwnsThem) {
  int alive = 0;
  auto* first = new TTracked(&alive);
  auto* second = new TTracked(&alive);
  auto* kept = new TTracked(&alive);
  {
    TObjectList owning;
    owning.Add(first);
    owning.Add(second);
    owning.Put(1, kept);  // overwrites the reference, frees nothing
    owning.Clear();       // forgets, frees nothing
    EXPECT_EQ(alive, 3);
    owning.Add(first);
    owning.FreeAll();
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(owning.Count(), 0);
    owning.Add(second);
  }  // the destructor frees what the list holds
  EXPECT_EQ(alive, 1);
  {
    TObjectList view;
    view.OwnsObjects = false;
    view.Add(kept);
    view.FreeAll();
    view.Add(kept);
  }
  EXPECT_EQ(alive, 1);
  delete kept;
}

TEST(ObjectList, NeighbourWalksBothWays) {
  int alive = 0;
  TTracked a(&alive), b(&alive), c(&alive), stranger(&alive);
  TObjectList list;
  list.OwnsObjects = false;
  list.Add(&a);
  list.Add(&b);
  list.Add(&c);
  EXPECT_EQ(list.Neighbour(nullptr, true), &a);
  EXPECT_EQ(list.Neighbour(nullptr, false), &c);
  EXPECT_EQ(list.Neighbour(&b, true), &c);
  EXPECT_EQ(list.Neighbour(&b, false), &a);
  EXPECT_EQ(list.Neighbour(&c, true), nullptr);
  EXPECT_EQ(list.Neighbour(&a, false), nullptr);
  EXPECT_EQ(MessageOf<base::EListError>([&] { list.Neighbour(&stranger, true); }),
            "tObject TTracked not in item list");
}

}  // namespace
}  // namespace qel::archive
