// The RIM encoder: parameters taken over by the codec object, then one image
// encoded in six timed steps.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "codec/limits.h"
#include "codec/parameter_checks.h"
#include "codec/patch_source.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "numeric/fastica.h"
#include "numeric/multiply.h"
#include "numeric/single_product.h"
#include "numeric/status_guard.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"

namespace {

// Coefficient rows computed at a time before they become integers.
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

  FOLIM_RETURN_IF_ERROR(findParameterFault(common, learning, compression).status);
  FOLIM_RETURN_IF_ERROR(average.setCompressionParameters(compression));
  FOLIM_RETURN_IF_ERROR(base.setCompressionParameters(compression));
  FOLIM_RETURN_IF_ERROR(coeff.setCompressionParameters(compression));

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

  FOLIM_RETURN_IF_ERROR(learnBases(learning.ConversionCondition, learning.MaxIterations,
                                   learning.DimensionReduction, patches, bases));

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
    // Computed a block at a time and kept only as the integers they are
    // coded as; single precision suffices for values truncated to integers.
    FOLIM_RETURN_IF_ERROR(coeff.prepareIntegers(patches.rows(), analysis.cols()));
    const KPX::SingleProduct product(analysis);
    KPX::Matrix<double> block(std::min(kCoefficientBlockRows, patches.rows()), analysis.cols());
    patches.forEachStrip([&](std::uint32_t first, std::uint32_t count, const double* rows) {
      for (std::uint32_t done = 0; done < count;) {
        const std::uint32_t part = std::min(kCoefficientBlockRows, count - done);
        product.multiplyRows(rows + static_cast<std::size_t>(done) * patches.cols(), patches.cols(),
                             part, block.data());
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
  FOLIM_RETURN_IF_ERROR(checkShapes(static_cast<std::uint32_t>(source.GetWidth()),
                                    static_cast<std::uint32_t>(source.GetHeight()), common,
                                    learning));

  return guardStatus([&] {
    // A large image is cut into patches strip by strip wherever they are
    // needed (learning, coefficients) instead of being held whole.
    StepTimer timer;
    ImagePatchRows patches(common.ColorSpace, source, common.PatchWidth, common.PatchHeight,
                           average);
    FOLIM_RETURN_IF_ERROR(patches.prepare());
    timer.report("  extracting...");

    timer.restart();
    FOLIM_RETURN_IF_ERROR(setBases(basesPath, patches));
    timer.report("  set bases...");

    timer.restart();
    KPX::Matrix<double> analysis;
    FOLIM_RETURN_IF_ERROR(base.prepareBases(analysis));
    timer.report("  pre - convert...");

    // The rate optimisation works on the coefficients in doubles.
    const bool asIntegers = !rd.optimise && coeff.integersAvailable();
    timer.restart();
    FOLIM_RETURN_IF_ERROR(computeCoefficients(patches, analysis, asIntegers));
    timer.report("  multiply...");

    if (rd.optimise) {
      timer.restart();
      FOLIM_RETURN_IF_ERROR(optimiseForRate(rd, compression.CoeffQuantizeStep, average, base, coeff,
                                            learning.DimensionReduction));
      timer.report("  optimising...");
    }

    timer.restart();
    FOLIM_RETURN_IF_ERROR(average.encode());
    FOLIM_RETURN_IF_ERROR(base.encode());
    FOLIM_RETURN_IF_ERROR(asIntegers ? coeff.encodeIntegers() : coeff.encode());
    timer.report("  compressing...");

    // The file appears whole or not at all: a partial RIM file would later
    // break searches and conversions that trust its header.
    timer.restart();
    platform::AtomicFile output(outputPath);
    if (!output.open()) return status::CannotOpenFile;
    FOLIM_RETURN_IF_ERROR(writeHeader(output.file(), source));
    FOLIM_RETURN_IF_ERROR(writeSections(output.file()));
    if (!output.commit()) return status::WriteFailed;
    timer.report("  saving...");

    tracef("\n");
    printHeader();
    printFileSizes();
    traceStream().flush();
    return status::Success;
  });
}
