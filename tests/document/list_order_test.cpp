// The order and the name filter of the list of pictures, without a window:
// names compared as people read them, keys, directions and ties.
#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

#include "shell/list_order.h"
#include "shell/natural_compare.h"

namespace {

struct Comparison {
  const char* a;
  const char* b;
  int sign;  // of NaturalCompare(a, b)
};

TEST(NaturalOrder, NamesAsPeopleReadThem) {
  const Comparison table[] = {
      {"img2.jpg", "img10.jpg", -1},
      {"img10.jpg", "img9.jpg", 1},
      {"img2.jpg", "img2.jpg", 0},
      {"IMG2.jpg", "img10.jpg", -1},    // case does not decide before the numbers
      {"a.jpg", "B.jpg", -1},           // nor before the letters
      {"img02.jpg", "img2.jpg", 1},     // equal values: fewer zeros first
      {"img002.jpg", "img10.jpg", -1},  // zeros do not make a number larger
      {"img2.jpg", "img2a.jpg", -1},    // '.' before a letter
      {"img.jpg", "img1.jpg", -1},      // a shorter name first
      {"2021-07-14 9.jpg", "2021-07-14 10.jpg", -1},
      {"x99999999999999999999.jpg", "x100000000000000000000.jpg", -1},  // past 64 bits
      {"photo", "Photo", 1},  // equal but for case: still ordered
      {"z1", "a2", 1},
      {"1000", "999", 1},
  };
  for (const Comparison& c : table) {
    const QString a = QString::fromUtf8(c.a);
    const QString b = QString::fromUtf8(c.b);
    const int forward = NaturalCompare(a, b);
    const int backward = NaturalCompare(b, a);
    EXPECT_EQ((forward > 0) - (forward < 0), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ((backward > 0) - (backward < 0), -c.sign) << c.b << " vs " << c.a;
  }
}

TEST(NaturalOrder, PathsKeepAFoldersFilesTogether) {
  // "a/x" sorts with a, whatever follows; a file before the folder of its name.
  EXPECT_LT(NaturalComparePaths(u"a/z.jpg", u"a b.jpg"), 0);
  EXPECT_LT(NaturalComparePaths(u"a2/z.jpg", u"a10/a.jpg"), 0);
  EXPECT_LT(NaturalComparePaths(u"a", u"a/b.jpg"), 0);
  EXPECT_EQ(NaturalComparePaths(u"s/p1.jpg", u"s/p1.jpg"), 0);
}

OrderItem item(const char* name, std::int64_t size = 0, std::int64_t modified = 0,
               std::int64_t taken = 0, double score = 0) {
  OrderItem it;
  it.name = QString::fromUtf8(name);
  it.facts.size = size;
  it.facts.modified = modified;
  it.facts.dateTaken = taken;
  it.score = score;
  return it;
}

// The names in the order OrderItems gives.
QStringList ordered(const std::vector<OrderItem>& items, const ListOrder& order) {
  QStringList names;
  for (const std::size_t i : OrderItems(items, order)) names << items[i].name;
  return names;
}

struct OrderCase {
  const char* name;
  SortKey key;
  bool descending;
  const char* filter;
  QStringList expected;
};

void PrintTo(const OrderCase& c, std::ostream* out) { *out << c.name; }

class OrderItemsTest : public ::testing::TestWithParam<OrderCase> {};

// name, size, modified, taken, score
const std::vector<OrderItem> kItems = {
    item("img10.jpg", 300, 20230101120000, 20200505050505, 0.5),
    item("img2.jpg", 100, 20230301120000, 0, 0.9),
    item("IMG1.png", 200, 20230201120000, 20210101000000, 0.5),
    item("notes img.webp", 200, 20220101120000, 20190101000000, 0.1),
    item("sub/img3.jpg", 50, 20230401120000, 20200505050505, 0.7),
};

TEST_P(OrderItemsTest, KeysDirectionsAndFilters) {
  const OrderCase& c = GetParam();
  ListOrder order;
  order.key = c.key;
  order.descending = c.descending;
  order.filter = QString::fromUtf8(c.filter);
  EXPECT_EQ(ordered(kItems, order), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrderItemsTest,
    ::testing::Values(
        OrderCase{"NameNatural",
                  SortKey::Name,
                  false,
                  "",
                  {"IMG1.png", "img2.jpg", "img10.jpg", "notes img.webp", "sub/img3.jpg"}},
        OrderCase{"NameDescending",
                  SortKey::Name,
                  true,
                  "",
                  {"sub/img3.jpg", "notes img.webp", "img10.jpg", "img2.jpg", "IMG1.png"}},
        // Equal sizes in name order, in either direction.
        OrderCase{"Size",
                  SortKey::Size,
                  false,
                  "",
                  {"sub/img3.jpg", "img2.jpg", "IMG1.png", "notes img.webp", "img10.jpg"}},
        OrderCase{"SizeDescending",
                  SortKey::Size,
                  true,
                  "",
                  {"img10.jpg", "IMG1.png", "notes img.webp", "img2.jpg", "sub/img3.jpg"}},
        OrderCase{"Modified",
                  SortKey::Modified,
                  false,
                  "",
                  {"notes img.webp", "img10.jpg", "IMG1.png", "img2.jpg", "sub/img3.jpg"}},
        // Without a date taken, the modification time stands in for it.
        OrderCase{"DateTaken",
                  SortKey::DateTaken,
                  false,
                  "",
                  {"notes img.webp", "img10.jpg", "sub/img3.jpg", "IMG1.png", "img2.jpg"}},
        // Equal scores keep the ranking's order.
        OrderCase{"ScoreBestFirst",
                  SortKey::Score,
                  true,
                  "",
                  {"img2.jpg", "sub/img3.jpg", "img10.jpg", "IMG1.png", "notes img.webp"}},
        OrderCase{"FilterAnyCase", SortKey::Name, false, "Img1", {"IMG1.png", "img10.jpg"}},
        // The filter reads the file name, not the folder.
        OrderCase{"FilterFileNameOnly", SortKey::Name, false, "sub", {}},
        OrderCase{"FilterBlank",
                  SortKey::Name,
                  false,
                  "  ",
                  {"IMG1.png", "img2.jpg", "img10.jpg", "notes img.webp", "sub/img3.jpg"}},
        OrderCase{"WildcardWholeName",
                  SortKey::Name,
                  false,
                  "*.JPG",
                  {"img2.jpg", "img10.jpg", "sub/img3.jpg"}},
        OrderCase{"WildcardOneLetter",
                  SortKey::Name,
                  false,
                  "img?.*",
                  {"IMG1.png", "img2.jpg", "sub/img3.jpg"}},
        OrderCase{"FilteredAndSorted",
                  SortKey::Size,
                  true,
                  "img",
                  {"img10.jpg", "IMG1.png", "notes img.webp", "img2.jpg", "sub/img3.jpg"}}),
    [](const ::testing::TestParamInfo<OrderCase>& p) { return std::string(p.param.name); });

TEST(ListOrder, WhatEachKeyReadsOfTheFiles) {
  EXPECT_FALSE(NeedsFacts(SortKey::Name));
  EXPECT_FALSE(NeedsFacts(SortKey::Score));
  EXPECT_TRUE(NeedsFacts(SortKey::Size));
  EXPECT_TRUE(NeedsFacts(SortKey::Modified));
  EXPECT_TRUE(NeedsFacts(SortKey::DateTaken));
  EXPECT_TRUE(NeedsDatesTaken(SortKey::DateTaken));
  EXPECT_FALSE(NeedsDatesTaken(SortKey::Modified));
}

}  // namespace
