// One RIM codec object serves one encode or one decode and is then destroyed.
// It holds the parameter records, the header and the three components.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/components.h"
#include "codec/parameters.h"
#include "codec/patches.h"
#include "codec/raster.h"
#include "codec/rd_quantizer.h"
#include "codec/rimformat.h"
#include "codec/status.h"
#include "numeric/row_source.h"

class CRIMCodec {
 public:
  CRIMCodec() = default;
  CRIMCodec(const CRIMCodec&) = delete;
  CRIMCodec& operator=(const CRIMCodec&) = delete;

  // Takes over and checks the records (status::InvalidValues for a missing
  // record, status::InconsistentParameters when the dimension exceeds the
  // patch length), hands them to the components and prints the parameter
  // dump.
  Status setParameters(const CommonParameters* common, const LearningParameters* learning,
                       const CompressionParameters* compression);

  // status::InvalidValues when an image of this size cannot be coded with the
  // parameters set (over the limits the decoder enforces), status::Success
  // when it can: lets a caller refuse a large image from its header, before
  // decoding its pixels.
  Status checkImageSize(std::uint32_t width, std::uint32_t height) const;

  // Encodes source into outputPath in six timed steps. basesPath (may be
  // null) names a stored bases file to use or to create. The file appears
  // whole or not at all.
  Status encodeFile(const std::string& outputPath, const CImage& source,
                    const char* basesPath = nullptr);
  // Learns the bases (or reads them from basesPath) into the bases component.
  Status setBases(const char* basesPath, const PatchMatrix& patches);
  Status setBases(const char* basesPath, const KPX::RowSource& patches);
  // Coefficients = patches x analysis (N x D) into the coefficient
  // component, strip by strip; asIntegers: quantised into its integers
  // instead (see CCoeff::prepareIntegers).
  Status computeCoefficients(const KPX::RowSource& patches, const KPX::Matrix<double>& analysis,
                             bool asIntegers = false);

  // Decodes a RIM file into a 24-bit raster.
  Status decodeFile(CImage& target, const std::string& path);
  // decodeFile's coefficients and pixels, read and multiplied a chunk of
  // grid rows of patches at a time, after the averages and bases (start: when their
  // decoding began). streamed false: nothing was read, the whole-matrix
  // path is to run.
  Status decodeStreamed(CImage& target, std::int64_t start, bool& streamed);
  // Reads the header and averages only and draws one pixel per patch.
  Status renderAveragePreview(CImage& target, const std::string& path);

  Status writeHeader(std::FILE* file, const CImage& source);
  Status writeSections(std::FILE* file);
  Status readSections(std::FILE* file);
  // Header-only read reporting the learning flag.
  Status readLearningMethod(const std::string& path, std::uint16_t& learningMethod);

  void printHeader() const;
  void printFileSizes() const;

  // Whether decodeFile reads entropy-coded coefficients of up to 31 bits as
  // it multiplies them (the default) rather than as a whole matrix first;
  // both give the same pixels and statuses.
  bool streamCoefficients = true;

  // Optional rate-distortion optimisation of this encode (off by default).
  RdOptions rd{};

  CommonParameters common{};
  LearningParameters learning{};
  CompressionParameters compression{};
  RIMHeader header{};
  CAverage average;
  CBase base;
  CCoeff coeff;
};

// The bases file: 16-byte header (magic 19798, rows, columns, element size 8)
// then rows x columns doubles. readBasesFile returns status::Success or
// status::BufferEmpty (missing or invalid: learn instead); writeBasesFile
// status::Success or status::WriteFailed.
inline constexpr std::uint32_t kBasesFileMagic = 19798;
Status readBasesFile(const std::string& path, KPX::Matrix<double>& bases);
Status writeBasesFile(const std::string& path, const KPX::Matrix<double>& bases);
