// Row tiles of the FastICA passes: a vector kernel keeps M rows of its
// result in registers, M fixed when it is compiled; these run any number of
// rows as whole tiles and one tile of the rest. Every element is the same
// chain of operations whatever the split, so results do not depend on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace KPX {

// c (M x width) = a's M rows times b (kc x width), or += with accumulate;
// a's rows lie aRow apart and its steps aStep apart.
template <typename T>
using FixedTile = void (*)(std::uint32_t kc, const T* a, std::size_t aRow, std::size_t aStep,
                           const T* b, T* c, bool accumulate);

// Tiles names Element, kRows (the largest tile), kColumns (the width) and
// the tile of every M up to kRows as kTile<M>.
template <class Tiles, std::size_t... I>
FixedTile<typename Tiles::Element> fixedTile(std::uint32_t m, std::index_sequence<I...>) {
  static constexpr FixedTile<typename Tiles::Element> kBySize[] = {Tiles::template kTile<I + 1>...};
  return kBySize[m - 1];
}

template <class Tiles>
void tileRows(std::uint32_t m, std::uint32_t kc, const typename Tiles::Element* a, std::size_t aRow,
              std::size_t aStep, const typename Tiles::Element* b, typename Tiles::Element* c,
              bool accumulate) {
  for (; m > Tiles::kRows; m -= Tiles::kRows) {
    Tiles::template kTile<Tiles::kRows>(kc, a, aRow, aStep, b, c, accumulate);
    a += Tiles::kRows * aRow;
    c += Tiles::kRows * Tiles::kColumns;
  }
  if (m > 0)
    fixedTile<Tiles>(m, std::make_index_sequence<Tiles::kRows>{})(kc, a, aRow, aStep, b, c,
                                                                  accumulate);
}

}  // namespace KPX
