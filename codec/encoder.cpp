// The RIM encoder: parameters taken over by the codec object, then one image
// encoded in six timed steps.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>

#include "codec/limits.h"
#include "codec/parameter_checks.h"
#include "codec/patch_source.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "numeric/fastica.h"
#include "numeric/multiply.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"

namespace {

// Coefficient rows computed in doubles at a time before they become integers.
constexpr std::uint32_t kCoefficientBlockRows = 2048;

// The header this encode will write, checked like a header read from a
// file: an image whose matrices (the covariance of learning included) are
// over the limits fails before anything is allocated for it, and no file is
// written that the decoder would refuse.
Status checkShapes(std::uint32_t width, std::uint32_t height, const CommonParameters& common,
                   const LearningParameters& learning) {
  RIMHeader header;
  header.imageWidth = width;
  header.imageHeight = height;
  header.patchWidth = common.PatchWidth;
  header.patchHeight = common.PatchHeight;
  header.dimension = learning.DimensionReduction;
  return validateHeader(header);
}

// Times one step and prints its line when it succeeds.
class StepTimer {
 public:
  StepTimer() : start_(platform::counterNow()) {}
  void restart() { start_ = platform::counterNow(); }
  void report(const char* label) const {
    traceStream() << label << platform::secondsSince(start_) << std::endl;
  }

 private:
  std::int64_t start_;
};

}  // namespace

Status CRIMCodec::setParameters(const CommonParameters* commonRecord,
                                const LearningParameters* learningRecord,
                                const CompressionParameters* compressionRecord) {
  if (commonRecord == nullptr || learningRecord == nullptr || compressionRecord == nullptr)
    return status::InvalidValues;
  common = *commonRecord;
  learning = *learningRecord;
  compression = *compressionRecord;

  const ParameterFault fault = findParameterFault(common, learning, compression);
  if (fault.status != status::Success) return fault.status;

  Status s = average.setCompressionParameters(compression);
  if (s == status::Success) s = base.setCompressionParameters(compression);
  if (s == status::Success) s = coeff.setCompressionParameters(compression);
  if (s != status::Success) return s;

  printParameters(common, learning, compression);
  return status::Success;
}

Status CRIMCodec::setBases(const char* basesPath, const PatchMatrix& patches) {
  return setBases(basesPath, KPX::MatrixRows(patches));
}

Status CRIMCodec::setBases(const char* basesPath, const KPX::RowSource& patches) {
  KPX::Matrix<double>& bases = base;
  if (basesPath != nullptr) {
    KPX::Matrix<double> stored;
    if (readBasesFile(basesPath, stored) == status::Success) {
      bases = std::move(stored);
      if (bases.cols() != patches.cols() || bases.rows() != learning.DimensionReduction)
        return status::InconsistentParameters;
      return status::Success;
    }
  }

  const Status learned = learnBases(learning.ConversionCondition, learning.MaxIterations,
                                    learning.DimensionReduction, patches, bases);
  if (learned != status::Success) return learned;

  if (basesPath != nullptr && writeBasesFile(basesPath, bases) != status::Success)
    return status::WriteFailed;
  return status::Success;
}

Status CRIMCodec::checkImageSize(std::uint32_t width, std::uint32_t height) const {
  return checkShapes(width, height, common, learning);
}

Status CRIMCodec::computeCoefficients(const KPX::RowSource& patches,
                                      const KPX::Matrix<double>& analysis, bool asIntegers) {
  if (asIntegers) {
    // Computed in doubles a block at a time and kept only as the integers
    // they are coded as.
    const Status s = coeff.prepareIntegers(patches.rows(), analysis.cols());
    if (s != status::Success) return s;
    KPX::Matrix<double> block(std::min(kCoefficientBlockRows, patches.rows()), analysis.cols());
    patches.forEachStrip([&](std::uint32_t first, std::uint32_t count, const double* rows) {
      for (std::uint32_t done = 0; done < count;) {
        const std::uint32_t part = std::min(kCoefficientBlockRows, count - done);
        KPX::multiplyRowsInto(rows + static_cast<std::size_t>(done) * patches.cols(),
                              patches.cols(), part, analysis, false, block.data());
        coeff.quantizeRows(block.data(), first + done, part);
        done += part;
      }
    });
    return status::Success;
  }
  KPX::Matrix<double>& coefficients = coeff;
  coefficients.resize(patches.rows(), analysis.cols());
  patches.forEachStrip([&](std::uint32_t first, std::uint32_t count, const double* rows) {
    KPX::multiplyRowsInto(rows, patches.cols(), count, analysis, false, coefficients[first]);
  });
  return status::Success;
}

Status CRIMCodec::encodeFile(const std::string& outputPath, const CImage& source,
                             const char* basesPath) {
  if (source.IsNull()) return status::InvalidValues;
  // An unknown colour space would extract nothing and code an empty image.
  if (forwardConversion(common.ColorSpace) == nullptr) return status::UnsupportedColorSpace;
  const Status shapes =
      checkShapes(static_cast<std::uint32_t>(source.GetWidth()),
                  static_cast<std::uint32_t>(source.GetHeight()), common, learning);
  if (shapes != status::Success) return shapes;

  try {
    // A large image is cut into patches strip by strip wherever they are
    // needed (learning, coefficients) instead of being held whole.
    StepTimer timer;
    ImagePatchRows patches(common.ColorSpace, source, common.PatchWidth, common.PatchHeight,
                           average);
    Status s = patches.prepare();
    if (s != status::Success) return s;
    timer.report("  extracting...");

    timer.restart();
    s = setBases(basesPath, patches);
    if (s != status::Success) return s;
    timer.report("  set bases...");

    timer.restart();
    KPX::Matrix<double> analysis;
    s = base.prepareBases(analysis);
    if (s != status::Success) return s;
    timer.report("  pre - convert...");

    // The rate optimisation works on the coefficients in doubles.
    const bool asIntegers = !rd.optimise && coeff.integersAvailable();
    timer.restart();
    s = computeCoefficients(patches, analysis, asIntegers);
    if (s != status::Success) return s;
    timer.report("  multiply...");

    if (rd.optimise) {
      timer.restart();
      s = optimiseForRate(rd, compression.CoeffQuantizeStep, average, base, coeff,
                          learning.DimensionReduction);
      if (s != status::Success) return s;
      timer.report("  optimising...");
    }

    timer.restart();
    s = average.encode();
    if (s == status::Success) s = base.encode();
    if (s == status::Success) s = asIntegers ? coeff.encodeIntegers() : coeff.encode();
    if (s != status::Success) return s;
    timer.report("  compressing...");

    // The file appears whole or not at all: a partial RIM file would later
    // break searches and conversions that trust its header.
    timer.restart();
    platform::AtomicFile output(outputPath);
    if (!output.open()) return status::CannotOpenFile;
    s = writeHeader(output.file(), source);
    if (s == status::Success) s = writeSections(output.file());
    if (s != status::Success) return s;
    if (!output.commit()) return status::WriteFailed;
    timer.report("  saving...");

    tracef("\n");
    printHeader();
    printFileSizes();
    traceStream().flush();
    return status::Success;
  } catch (const KPX::MatrixException&) {
    return status::NoMemory;
  } catch (const std::bad_alloc&) {
    return status::NoMemory;
  }
}
