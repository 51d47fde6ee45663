// The streamed row reader: decodeZeroedIntegers a few rows at a time, each
// row as its non-zero entries.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "codec/huffman.h"
#include "codec/huffman_symbols.h"

using huffman_symbols::Action;
using huffman_symbols::actionsOf;
using huffman_symbols::FastSymbols;

namespace {

struct SparseRow {
  std::uint32_t* index;
  double* value;
  std::uint32_t count = 0;
  void zeros(std::uint32_t, std::uint32_t) {}
  // Every coded value is non-zero (extend never gives 0).
  void put(std::uint32_t at, std::int64_t v) {
    index[count] = at;
    value[count] = static_cast<double>(v);
    ++count;
  }
};

}  // namespace

struct HuffmanRowReader::Reader {
  Reader(BitStream& stream, const HuffmanDecoderTable& decoder, std::vector<Action> list)
      : table(decoder), actions(std::move(list)), symbols(stream, table, actions) {}
  HuffmanDecoderTable table;
  std::vector<Action> actions;
  FastSymbols symbols;
};

HuffmanRowReader::HuffmanRowReader() = default;
HuffmanRowReader::~HuffmanRowReader() = default;

Status HuffmanRowReader::start(BitStream& stream, const HuffmanDecoderTable& table,
                               std::uint32_t precisionBits, std::uint32_t maxZeroRun,
                               std::uint32_t cols) {
  reader_.reset();
  if (precisionBits > 31) return status::InvalidValues;
  std::vector<Action> actions;
  FOLIM_RETURN_IF_ERROR(actionsOf(table, precisionBits, maxZeroRun, actions));
  reader_ = std::make_unique<Reader>(stream, table, std::move(actions));
  cols_ = cols;
  z_ = maxZeroRun;
  return status::Success;
}

Status HuffmanRowReader::read(std::uint32_t rows, KPX::SparseRows& out) {
  if (!reader_) return status::InconsistentParameters;
  out.end.resize(rows);
  std::uint32_t used = 0;
  for (std::uint32_t r = 0; r < rows; ++r) {
    // A row holds at most cols entries; the buffers grow with the entries
    // actually met (most are zeros and take no room).
    if (out.index.size() < static_cast<std::size_t>(used) + cols_) {
      const std::size_t room =
          std::max<std::size_t>(static_cast<std::size_t>(used) + cols_, 2 * out.index.size());
      out.index.resize(room);
      out.value.resize(room);
    }
    SparseRow row{out.index.data() + used, out.value.data() + used};
    FOLIM_RETURN_IF_ERROR(reader_->symbols.row(row, cols_, z_));
    used += row.count;
    out.end[r] = used;
  }
  return status::Success;
}
