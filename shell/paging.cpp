#include "shell/paging.h"

Paging Paging::ForEntries(std::uint64_t n) {
  Paging paging;
  if (n == 0) return paging;
  paging.entryCount = static_cast<std::uint32_t>(n);
  paging.pageCount = static_cast<std::int32_t>((paging.entryCount - 1) / kItemsPerPage + 1);
  return paging;
}

int Paging::ItemsOnPage() const {
  if (pageCount == 1) return static_cast<int>(entryCount);
  if (page == pageCount - 1) return static_cast<int>(entryCount) - kItemsPerPage * page;
  return kItemsPerPage;
}

std::int64_t Paging::EntryOfRow(int row, std::uint64_t listSize) const {
  if (row < 0 || row >= ItemsOnPage()) return -1;
  const std::int64_t entry = FirstEntry() + row;
  if (entry < 0 || static_cast<std::uint64_t>(entry) >= listSize) return -1;
  return entry;
}
