// The order and the name filter of the list of pictures the window shows:
// which listed entries are shown, and in which order. Plain values and
// functions, so that they can be tested on their own.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

enum class SortKey { Name, DateTaken, Modified, Size, Score };

struct ListOrder {
  SortKey key = SortKey::Name;
  bool descending = false;
  // Shown are the pictures whose file name holds this text (letter case
  // aside), or matches it as a wildcard pattern when it holds * or ?.
  QString filter;

  bool operator==(const ListOrder& o) const {
    return key == o.key && descending == o.descending && filter == o.filter;
  }
  bool operator!=(const ListOrder& o) const { return !(*this == o); }
};

// What sorting by date or size reads of a file: dates as the number
// YYYYMMDDhhmmss in local time, 0 when unknown.
struct SortFacts {
  std::int64_t dateTaken = 0;
  std::int64_t modified = 0;
  std::int64_t size = 0;
};

// One listed picture as ordering sees it.
struct OrderItem {
  QString name;  // its path from the listed folder ("sub/a.jpg"), as spelled
  double score = 0;
  SortFacts facts;  // read only for the keys that need them
};

// Whether the keys need the facts read from the files.
bool NeedsFacts(SortKey key);
// Whether sorting by key needs the dates the pictures were taken.
inline bool NeedsDatesTaken(SortKey key) { return key == SortKey::DateTaken; }

// The name filter of an order: whether the file name (the last component of
// a name) holds the text, or matches the whole wildcard pattern. An empty
// or blank filter passes everything.
class NameFilter {
 public:
  explicit NameFilter(const QString& filter);
  bool passes(const QString& name) const;

 private:
  QString text_;
  QRegularExpression pattern_;  // when the text holds * or ?
  bool wildcard_ = false;
};

// The positions in items of the pictures shown, in the order shown. Names
// sort naturally ("img2" before "img10"), a folder's files together; a
// picture without a date taken sorts by its modification time; the score
// sorts best last, so a ranking is shown descending. Equal keys keep the
// order of the names (of the items, for the score), whatever the direction.
std::vector<std::size_t> OrderItems(const std::vector<OrderItem>& items, const ListOrder& order);
