// The three RIM components. Each is its own matrix: the averages (3 x N, one
// row per colour channel), the bases (D x P, one row per base) and the
// coefficients (N x D, one row per patch). A component quantises its matrix,
// applies a simple prediction and entropy-codes it (mode 0, Huffman) or
// deflates it (mode 1, zlib), and undoes all of that when reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "codec/bitstream.h"
#include "codec/parameters.h"
#include "codec/rimformat.h"
#include "codec/status.h"
#include "numeric/matrix.h"

class CRIMComponent : public KPX::Matrix<double> {
 public:
  CRIMComponent();
  virtual ~CRIMComponent() = default;

  // The six steps; the base class changes nothing and returns 0.
  virtual Status dequantize() { return status::Success; }
  virtual Status readSteps() { return status::Success; }
  virtual Status quantize() { return status::Success; }
  virtual Status restorePrediction() { return status::Success; }
  virtual Status writeSteps() { return status::Success; }
  virtual Status predict() { return status::Success; }

  // Sizes the matrix for the header (which must have been validated) and
  // keeps a copy of it; 7 when memory runs out.
  Status setShapeFromHeader(const RIMHeader& header);
  virtual Status setCompressionParameters(const CompressionParameters& parameters) = 0;

  // quantize, writeSteps, then predict and the coder of the mode.
  Status encode();
  // readSteps, the decoder of the mode, restorePrediction, and dequantize
  // when asked.
  Status decode(bool dequantise);

  Status writeSection(std::FILE* file) const;
  Status readSection(std::FILE* file);
  // 40 + payload bytes.
  std::uint32_t sectionSize() const;

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
  Status readStepTable(KPX::Vector<std::uint32_t>& steps, std::uint32_t expectedCount);
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

 protected:
  void shapeFor(const RIMHeader& header, std::uint32_t& rows, std::uint32_t& cols) const override;
};
