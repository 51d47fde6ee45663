#include "shell/list_order.h"

#include <algorithm>

#include "shell/natural_compare.h"

bool NeedsFacts(SortKey key) {
  return key == SortKey::DateTaken || key == SortKey::Modified || key == SortKey::Size;
}

NameFilter::NameFilter(const QString& filter) : text_(filter.trimmed()) {
  wildcard_ = text_.contains(QLatin1Char('*')) || text_.contains(QLatin1Char('?'));
  if (wildcard_) pattern_ = QRegularExpression::fromWildcard(text_, Qt::CaseInsensitive);
}

bool NameFilter::passes(const QString& name) const {
  if (text_.isEmpty()) return true;
  const QStringView fileName = QStringView(name).mid(name.lastIndexOf(QLatin1Char('/')) + 1);
  if (!wildcard_) return fileName.contains(text_, Qt::CaseInsensitive);
  return pattern_.match(fileName.toString()).hasMatch();
}

namespace {

// The key of an item as a number (names aside): larger sorts later.
double keyOf(const OrderItem& item, SortKey key) {
  switch (key) {
    case SortKey::DateTaken:
      return static_cast<double>(item.facts.dateTaken != 0 ? item.facts.dateTaken
                                                           : item.facts.modified);
    case SortKey::Modified:
      return static_cast<double>(item.facts.modified);
    case SortKey::Size:
      return static_cast<double>(item.facts.size);
    case SortKey::Score:
      return item.score;
    case SortKey::Name:
      break;
  }
  return 0;
}

}  // namespace

std::vector<std::size_t> OrderItems(const std::vector<OrderItem>& items, const ListOrder& order) {
  const NameFilter filter(order.filter);
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (filter.passes(items[i].name)) shown.push_back(i);
  const SortKey key = order.key;
  const bool descending = order.descending;
  std::stable_sort(shown.begin(), shown.end(), [&](std::size_t a, std::size_t b) {
    const OrderItem& x = items[a];
    const OrderItem& y = items[b];
    if (key != SortKey::Name) {
      const double kx = keyOf(x, key);
      const double ky = keyOf(y, key);
      if (kx != ky) return descending ? kx > ky : kx < ky;
      // A ranking keeps its order among equal scores.
      if (key == SortKey::Score) return false;
      return NaturalComparePaths(x.name, y.name) < 0;
    }
    const int c = NaturalComparePaths(x.name, y.name);
    return descending ? c > 0 : c < 0;
  });
  return shown;
}
