#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "archive/class_registry.h"
#include "archive/object_list.h"
#include "archive/sorted_object_list.h"
#include "base/exceptions.h"
#include "base/stream.h"
#include "support/exception_message.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::Bytes;
using testing::MessageOf;

class TNumber final : public base::TObject {
 public:
  const char* ClassName() const noexcept override { return "TNumber"; }
  std::int32_t Value = 0;
};

class TUnregistered final : public base::TObject {
 public:
  const char* ClassName() const noexcept override { return "TUnregistered"; }
};

// A sorted list of numbers, by value.
class TNumberList final : public TSortedObjectList {
 public:
  using TSortedObjectList::TSortedObjectList;
  int Compare(const base::TObject* item, const base::TObject* key) const override {
    return static_cast<const TNumber*>(item)->Value - static_cast<const TNumber*>(key)->Value;
  }
};

// Registers TNumber for one test and takes it out again afterwards.
class NumberRegistration {
 public:
  NumberRegistration() {
    RegisterStreamClassOf<TNumber>([](TNumber& n, base::TStream& s) { s.ReadBuffer(&n.Value, 4); },
                                   [](const TNumber& n, base::TStream& s) { s.WriteBuffer(&n.Value, 4); });
  }
  ~NumberRegistration() { UnregisterStreamClass("TNumber"); }
};

Bytes Written(const TObjectList& list) {
  base::TMemoryStream stream;
  list.WriteData(stream);
  return stream.Bytes();
}

TEST(ListStreaming, EmptyListsRoundTripWithTheirFlags) {
  TObjectList plain;
  plain.OwnsObjects = false;
  EXPECT_FALSE(plain.StoresObjectContainer());
  EXPECT_EQ(Written(plain), (Bytes{0, 0, 0, 0, 0}));

  TNumberList sorted(TDuplicateMode::dmError);
  EXPECT_EQ(Written(sorted), (Bytes{2, 1, 0, 0, 0, 0}));

  base::TMemoryStream stream(Bytes{1, 0, 0, 0, 0, 0});
  TNumberList read(TDuplicateMode::dmIgnore);
  read.ReadData(stream);
  EXPECT_EQ(read.DuplicateMode, TDuplicateMode::dmAccept);
  EXPECT_FALSE(read.OwnsObjects);
  EXPECT_EQ(read.Count(), 0);
}

TEST(ListStreaming, WritingNeedsRegisteredObjects) {
  TUnregistered stranger;
  TObjectList list;
  list.OwnsObjects = false;
  list.Add(&stranger);
  EXPECT_EQ(MessageOf<base::EClassNotFound>([&] { Written(list); }), "Source Class <TUnregistered> not registered");
  list.Put(0, nullptr);
  EXPECT_EQ(MessageOf<base::EClassNotFound>([&] { Written(list); }), "Nil Source Class!");
}

TEST(ListStreaming, ReadingRejectsUnknownAndDamagedData) {
  Bytes unknown = {1, 1, 0, 0, 0, 4, 'T', 'F', 'o', 'o'};
  const struct {
    const char* what;
    Bytes bytes;
    std::string message;
  } cases[] = {
      {"an unregistered class", unknown, "Class <TFoo> not registered"},
      {"a negative count", {1, 0xFF, 0xFF, 0xFF, 0xFF}, "List index out of bounds (-1)"},
      {"more objects than a list holds", {1, 0xFF, 0xFF, 0, 0}, "List index out of bounds (65535)"},
  };
  for (const auto& c : cases) {
    base::TMemoryStream stream(c.bytes);
    TObjectList list;
    EXPECT_EQ(MessageOf<base::Exception>([&] { list.ReadData(stream); }), c.message) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
  }
  for (const Bytes& cut : {Bytes{}, Bytes{1, 2, 0}, Bytes{1, 1, 0, 0, 0, 9, 'T'}}) {
    base::TMemoryStream stream(cut);
    TObjectList list;
    EXPECT_THROW(list.ReadData(stream), base::EReadError);
  }
  base::TMemoryStream badMode(Bytes{7, 1, 0, 0, 0, 0});
  TNumberList sorted(TDuplicateMode::dmError);
  EXPECT_THROW(sorted.ReadData(badMode), base::EReadError);
  EXPECT_EQ(sorted.DuplicateMode, TDuplicateMode::dmError);
}

TEST(ListStreaming, RegisteredObjectsRoundTrip) {
  NumberRegistration registration;
  TNumberList source(TDuplicateMode::dmAccept);
  for (std::int32_t value : {30, 10, 20, 10}) {
    auto* n = new TNumber;
    n->Value = value;
    source.Add(n);
  }
  const Bytes bytes = Written(source);
  ASSERT_EQ(bytes.size(), 1 + 1 + 4 + 4 * (1 + 7 + 4u));
  EXPECT_EQ(std::memcmp(bytes.data() + 6, "\x07TNumber", 8), 0);

  // Read into a list that turns duplicates away: the rejected object is freed, not leaked.
  Bytes ignoring = bytes;
  ignoring[0] = static_cast<std::uint8_t>(TDuplicateMode::dmIgnore);
  TNumberList target(TDuplicateMode::dmError);
  base::TMemoryStream stream(ignoring);
  target.ReadData(stream);
  EXPECT_EQ(target.DuplicateMode, TDuplicateMode::dmIgnore);
  ASSERT_EQ(target.Count(), 3);
  EXPECT_EQ(static_cast<TNumber*>(target.Get(0))->Value, 10);
  EXPECT_EQ(static_cast<TNumber*>(target.Get(2))->Value, 30);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(bytes.size()));

  // The registry finds names without regard to ASCII letter case.
  EXPECT_NE(FindStreamClass("tnumber"), nullptr);
}

TEST(ListStreaming, RegistryRefusesNamesALengthByteCannotCarry) {
  tRegisterRec rec{std::string(64, 'T'), [] { return std::make_unique<TNumber>(); },
                   [](base::TObject&, base::TStream&) {}, [](const base::TObject&, base::TStream&) {}};
  EXPECT_THROW(RegisterStreamClass(rec), base::EFilerError);
  rec.ClassName.resize(63);
  RegisterStreamClass(rec);
  EXPECT_TRUE(UnregisterStreamClass(rec.ClassName));
  EXPECT_FALSE(UnregisterStreamClass(rec.ClassName));
}

}  // namespace
}  // namespace qel::archive
