// Comparing file names as people read them: a run of digits by its value
// ("img2" before "img10"), letters without regard to case.
#pragma once

#include <QStringView>

// Negative, zero or positive as a sorts before, with or after b. Names that
// differ only in letter case or in leading zeros are ordered by that last,
// so only equal names compare equal.
int NaturalCompare(QStringView a, QStringView b);

// The same for relative paths, one component ("/"-separated) at a time, so
// that a folder's files stay together.
int NaturalComparePaths(QStringView a, QStringView b);
