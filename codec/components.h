// The three RIM components. Each is its own matrix: the averages (3 x N, one
// row per colour channel), the bases (D x P, one row per base) and the
// coefficients (N x D, one row per patch). A component quantises its matrix,
// applies a simple prediction and entropy-codes it (mode 0, Huffman) or
// deflates it (mode 1, zlib), and undoes all of that when reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/bitstream.h"
#include "codec/huffman.h"
#include "codec/parameters.h"
#include "codec/rimformat.h"
#include "codec/status.h"
#include "numeric/matrix.h"

class CRIMComponent : public KPX::Matrix<double> {
 public:
  CRIMComponent();
  virtual ~CRIMComponent() = default;

  // The six steps; the base class changes nothing and returns
  // status::Success.
  virtual Status dequantize() { return status::Success; }
  virtual Status readSteps() { return status::Success; }
  virtual Status quantize() { return status::Success; }
  virtual Status restorePrediction() { return status::Success; }
  virtual Status writeSteps() { return status::Success; }
  virtual Status predict() { return status::Success; }

  // Sizes the matrix for the header and keeps a copy of it; the matrix is
  // zero-filled. status::InvalidValues when the header fails validateHeader,
  // status::NoMemory when memory runs out. Without storage the matrix gets its rows but no columns,
  // for a decoder that keeps the values elsewhere.
  Status setShapeFromHeader(const RIMHeader& header, bool storage = true);
  virtual Status setCompressionParameters(const CompressionParameters& parameters) = 0;

  // quantize, writeSteps, then predict and the coder of the mode.
  Status encode();
  // readSteps, the decoder of the mode, restorePrediction, and dequantize
  // when asked.
  Status decode(bool dequantise);

  // status::UnsupportedVersion for a mode other than 0 or 1,
  // status::WriteFailed on a short write.
  Status writeSection(std::FILE* file) const;
  // Reads a section at the current position into a component sized by
  // setShapeFromHeader: status::ReadFailed on a short read or a payload longer
  // than the rest of the file, status::UnsupportedVersion for an unknown mode,
  // status::InvalidValues for a parameter block that cannot describe this
  // component (step count other than expectedStepCount, table widths above
  // 32, precision or zero run out of range), status::NoMemory when memory
  // runs out.
  Status readSection(std::FILE* file);
  // 40 + payload bytes.
  std::uint32_t sectionSize() const;
  // Payload bytes as writeSection writes them (64 bits: may exceed 32).
  std::uint64_t payloadLength() const;

  // Entries of this component's step table: 3, D or 0.
  virtual std::uint32_t expectedStepCount() const = 0;
  // Checks the parameter block against the component and a payload of
  // payloadBytes before anything is sized from it: status::InvalidValues when
  // the step count differs from expectedStepCount(), a table width exceeds 32
  // bits, a table is empty or longer than the alphabet, the tables and one bit
  // per matrix row do not fit in the payload, or (mode 0) the precision is
  // outside 1..32 or the zero run is 0 or the alphabet exceeds kMaxAlphabet.
  Status checkParameterBlock(std::uint64_t payloadBytes) const;

  // Largest symbol alphabet (maxZeroRun x precisionBits + 3) a component
  // codes or decodes.
  static constexpr std::uint64_t kMaxAlphabet = kMaxTableEntries;

  std::uint32_t mode = 0;  // 0 entropy-coded, 1 zlib
  SectionParameters parameters;
  RIMHeader header;
  BitStream stream;
  std::vector<std::uint8_t> zlibData;

 protected:
  // Rows and columns of this component for a header.
  virtual void shapeFor(const RIMHeader& header, std::uint32_t& rows,
                        std::uint32_t& cols) const = 0;
  // Step tables shared by the averages and the bases.
  Status writeStepTable(const KPX::Vector<std::uint32_t>& steps);
  Status readStepTable(KPX::Vector<std::uint32_t>& steps);
  // The code tables at the start of an entropy-coded payload, checked.
  Status readHuffmanTable(HuffmanDecoderTable& table);
  // The entropy-coded payload of listed integers standing for the matrix.
  Status encodeHuffman(const SymbolList& symbols);

 private:
  Status encodeHuffman();
  Status decodeHuffman();
  Status deflateMatrix();
  Status inflateMatrix();
};

class CAverage : public CRIMComponent {
 public:
  Status setCompressionParameters(const CompressionParameters& parameters) override;
  Status quantize() override;
  Status writeSteps() override;
  Status readSteps() override;
  Status predict() override;
  Status restorePrediction() override;
  Status dequantize() override;

  std::uint32_t expectedStepCount() const override { return 3; }

  KPX::Vector<std::uint32_t> steps;  // one per colour channel
  std::uint32_t AverageQuantizeStep = 0;

 protected:
  void shapeFor(const RIMHeader& header, std::uint32_t& rows, std::uint32_t& cols) const override;
};

class CBase : public CRIMComponent {
 public:
  Status setCompressionParameters(const CompressionParameters& parameters) override;
  Status writeSteps() override;
  Status readSteps() override;
  Status predict() override;
  Status restorePrediction() override;
  Status dequantize() override;

  // Encoder: sorts the learned bases by norm, quantises them, chooses the
  // coefficient steps and builds the analysis matrix (P x D) whose product
  // with a patch row gives its quantised-scale coefficients.
  Status prepareBases(KPX::Matrix<double>& analysis);

  std::uint32_t expectedStepCount() const override { return header.dimension; }

  KPX::Vector<std::uint32_t> steps;  // one per base
  std::uint32_t CoeffQuantizeStep = 0;
  std::uint32_t DoChangeStep = 0;

 protected:
  void shapeFor(const RIMHeader& header, std::uint32_t& rows, std::uint32_t& cols) const override;
};

class CCoeff : public CRIMComponent {
 public:
  Status setCompressionParameters(const CompressionParameters& parameters) override;
  Status quantize() override;
  std::uint32_t expectedStepCount() const override { return 0; }

  // Whether decodeIntegers can read this section: entropy-coded, with
  // values of at most 31 bits.
  bool integersAvailable() const;
  // The decoder's form: the coefficients as the integers they are coded as
  // (N x D, a quarter of the memory of doubles, the same values), read from
  // a section loaded after setShapeFromHeader (with or without storage).
  // The statuses of decode(); the matrix of doubles is left alone.
  Status decodeIntegers(KPX::Matrix<std::int32_t>& values);
  // decodeIntegers a few rows at a time: the same checks and statuses up to
  // the rows, which reader then gives in order.
  Status startRows(HuffmanRowReader& reader);

  // The encoder's form where integersAvailable(): the coefficients go
  // straight to their symbols, never held as a matrix. prepareIntegers
  // sizes the symbol list for N x D values (status::NoMemory when memory
  // runs out); quantizeRows then takes the rows [first, first + count),
  // computed in doubles (count x D) and given in order, through quantize's
  // clamp and the coder's truncation, and lists their symbols;
  // encodeIntegers codes them: the bytes encode() gives for the same
  // doubles. status::InvalidValues from encodeIntegers when rows were
  // missing or out of order.
  Status prepareIntegers(std::uint32_t rows, std::uint32_t cols);
  void quantizeRows(const double* values, std::uint32_t first, std::uint32_t count);
  Status encodeIntegers();

 protected:
  void shapeFor(const RIMHeader& header, std::uint32_t& rows, std::uint32_t& cols) const override;

 private:
  // The checks of decodeIntegers and the code tables.
  Status readIntegerTable(HuffmanDecoderTable& table);

  std::uint32_t integerCols_ = 0;
  std::vector<std::int32_t> quantized_;  // a few rows at a time
  SymbolList symbols_;
  SymbolLister lister_;
};

// The sections of a RIM file, in file order.
enum class RimSection { Averages, Bases, Coefficients };

// Reads one component of a RIM file without touching the others, as the
// similarity measures do: opens path (status::CannotOpenFile), reads and
// checks the header (status::ReadFailed, status::InvalidFileType,
// status::InvalidValues), sizes the component, seeks to the section's offset
// from the header (status::ReadFailed when the offset lies outside the file),
// reads the section and decodes it, dequantised when asked. header receives
// the file's header.
Status readComponentAt(const std::string& path, CRIMComponent& component, RimSection which,
                       RIMHeader& header, bool dequantise = false);
