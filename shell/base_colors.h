// The background that tells where an image came from: a RIM file with PCA
// bases (dark red), with ICA bases (dark blue), anything else (grey).
#pragma once

#include <QColor>

inline QColor baseTypeColor(int baseType) {
  if (baseType == 0) return QColor(127, 0, 0);
  if (baseType == 1) return QColor(0, 0, 127);
  return QColor(127, 127, 127);
}
