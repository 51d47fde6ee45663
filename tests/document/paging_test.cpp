// Paging of a list into pages of 50: page count, entries on a page, and the
// entry a row of the page stands for.
#include <gtest/gtest.h>

#include "shell/paging.h"

namespace {

struct PageCase {
  std::uint64_t entries;
  int page;
  int pageCount;
  int itemsOnPage;
};

TEST(Paging, PagesAndItemsOnAPage) {
  const PageCase cases[] = {
      {0, 0, 1, 0},  {1, 0, 1, 1},    {50, 0, 1, 50}, {51, 0, 2, 50},
      {51, 1, 2, 1}, {100, 1, 2, 50}, {101, 2, 3, 1}, {120, 1, 3, 50},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.entries << " entries, page " << c.page);
    Paging paging = Paging::ForEntries(c.entries);
    EXPECT_EQ(paging.page, 0);
    EXPECT_EQ(paging.pageCount, c.pageCount);
    EXPECT_EQ(paging.entryCount, c.entries);
    paging.page = c.page;
    EXPECT_EQ(paging.ItemsOnPage(), c.itemsOnPage);
  }
}

struct RowCase {
  std::uint64_t paged;     // entries when the list was paged
  std::uint64_t listSize;  // entries now
  int page;
  int row;
  std::int64_t entry;
};

TEST(Paging, EntryOfARowStaysInsideThePageAndTheList) {
  const RowCase cases[] = {
      {60, 60, 1, 2, 52},   // third thumbnail of page 2
      {60, 60, 0, 49, 49},  // last of a full page
      {60, 60, 1, 10, -1},  // past the last item of the page
      {60, 60, 0, -1, -1},  // no row
      {10, 2, 0, 7, -1},    // the list shrank since it was paged
      {10, 2, 0, 1, 1},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "page " << c.page << " row " << c.row);
    Paging paging = Paging::ForEntries(c.paged);
    paging.page = c.page;
    EXPECT_EQ(paging.EntryOfRow(c.row, c.listSize), c.entry);
  }
}

TEST(Paging, APageCanBeChosenOnlyAmongSeveral) {
  Paging one = Paging::ForEntries(3);
  EXPECT_FALSE(one.IsChoosable(0));
  EXPECT_FALSE(one.IsChoosable(1));
  Paging three = Paging::ForEntries(120);
  EXPECT_TRUE(three.IsChoosable(2));
  EXPECT_FALSE(three.IsChoosable(3));
  EXPECT_FALSE(three.IsChoosable(-1));
}

}  // namespace
