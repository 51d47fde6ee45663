// The paging of a list of images into pages of 50 thumbnails: the page shown,
// how many pages there are, how many entries the list had when it was last
// paged, and which entry a row of the page stands for. A plain value, so
// that it can be tested on its own.
#pragma once

#include <cstdint>

struct Paging {
  static constexpr int kItemsPerPage = 50;

  std::int32_t page = 0;       // from 0
  std::int32_t pageCount = 1;  // at least 1
  std::uint32_t entryCount = 0;

  // Page 0 of a list of n entries: one page when it is empty, else
  // (n - 1) / 50 + 1.
  static Paging ForEntries(std::uint64_t n);

  // The number of entries on the current page.
  int ItemsOnPage() const;
  // Index of the first entry on the current page.
  std::int64_t FirstEntry() const { return static_cast<std::int64_t>(page) * kItemsPerPage; }
  // The entry that row `row` of the current page stands for, or -1 when the
  // row lies outside the page or the entry outside a list of listSize
  // entries (the list may have changed since it was paged).
  std::int64_t EntryOfRow(int row, std::uint64_t listSize) const;
  // Whether page p can be chosen: it exists and there is more than one.
  bool IsChoosable(int p) const { return pageCount != 1 && p >= 0 && p < pageCount; }
};
