#include "shell/natural_compare.h"

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// The end of the run of digits that starts at i.
qsizetype digitRunEnd(QStringView s, qsizetype i) {
  while (i < s.size() && s[i].isDigit()) ++i;
  return i;
}

// The first digit of a run from i to end that is not a zero (end when all are).
qsizetype skipZeros(QStringView s, qsizetype i, qsizetype end) {
  while (i < end && s[i].digitValue() == 0) ++i;
  return i;
}

}  // namespace

int NaturalCompare(QStringView a, QStringView b) {
  // What decides between names equal but for case or leading zeros.
  int tie = 0;
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      const qsizetype endA = digitRunEnd(a, i);
      const qsizetype endB = digitRunEnd(b, j);
      const qsizetype firstA = skipZeros(a, i, endA);
      const qsizetype firstB = skipZeros(b, j, endB);
      // More significant digits, the larger number.
      if (endA - firstA != endB - firstB) return endA - firstA < endB - firstB ? -1 : 1;
      for (qsizetype k = 0; k < endA - firstA; ++k) {
        const int d = a[firstA + k].digitValue() - b[firstB + k].digitValue();
        if (d != 0) return sign(d);
      }
      if (tie == 0) tie = sign(static_cast<int>((firstA - i) - (firstB - j)));
      i = endA;
      j = endB;
      continue;
    }
    const char16_t ca = a[i].toCaseFolded().unicode();
    const char16_t cb = b[j].toCaseFolded().unicode();
    if (ca != cb) return ca < cb ? -1 : 1;
    if (tie == 0) tie = sign(static_cast<int>(a[i].unicode()) - static_cast<int>(b[j].unicode()));
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return tie;
}

int NaturalComparePaths(QStringView a, QStringView b) {
  for (;;) {
    const qsizetype slashA = a.indexOf(u'/');
    const qsizetype slashB = b.indexOf(u'/');
    const QStringView partA = slashA < 0 ? a : a.left(slashA);
    const QStringView partB = slashB < 0 ? b : b.left(slashB);
    const int c = NaturalCompare(partA, partB);
    if (c != 0) return c;
    // The same component: a file sorts before a folder of its name.
    if (slashA < 0 || slashB < 0) return (slashA >= 0) - (slashB >= 0);
    a = a.mid(slashA + 1);
    b = b.mid(slashB + 1);
  }
}
