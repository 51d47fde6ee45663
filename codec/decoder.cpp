// Decoding a RIM file into a 24-bit raster, and the one-pixel-per-patch
// preview drawn from the averages alone.
#include <algorithm>
#include <locale>
#include <sstream>

#include "codec/colorspace.h"
#include "codec/patch_strips.h"
#include "codec/rim_codec.h"
#include "codec/rim_file.h"
#include "codec/trace.h"
#include "numeric/status_guard.h"
#include "platform/clock.h"

namespace {

// One timing line: the seconds in the stream's default formatting, flushed
// at once so progress shows while the next step runs.
void printTiming(const char* label, double seconds) {
  std::ostringstream number;
  number.imbue(std::locale::classic());
  number << seconds;
  std::ostream& out = traceStream();
  out << label << number.str() << '\n';
  out.flush();
}

bool knownColorSpace(std::uint16_t colorSpace) { return inverseConversion(colorSpace) != nullptr; }

// Opens a RIM file and reads and checks its header: status::CannotOpenFile,
// status::ReadFailed, status::InvalidFileType, status::InvalidValues, and
// status::UnsupportedColorSpace for a colour space the decoder cannot draw.
Status openAndCheck(const std::string& path, RimFile& file, RIMHeader& header) {
  file = openRimFile(path, "rb");
  if (!file) return status::CannotOpenFile;
  FOLIM_RETURN_IF_ERROR(readHeader(file.get(), header));
  FOLIM_RETURN_IF_ERROR(validateHeader(header, fileLength(file.get())));
  if (!knownColorSpace(header.colorSpace)) return status::UnsupportedColorSpace;
  return status::Success;
}

}  // namespace

Status CRIMCodec::decodeFile(CImage& target, const std::string& path) {
  std::int64_t start = platform::counterNow();

  {
    RimFile file;
    FOLIM_RETURN_IF_ERROR(openAndCheck(path, file, header));
    FOLIM_RETURN_IF_ERROR(average.setShapeFromHeader(header));
    FOLIM_RETURN_IF_ERROR(base.setShapeFromHeader(header));
    // The coefficients are sized once their section shows how they are
    // coded (integers where they fit, doubles otherwise).
    FOLIM_RETURN_IF_ERROR(coeff.setShapeFromHeader(header, false));
    FOLIM_RETURN_IF_ERROR(readSections(file.get()));
  }
  printTiming("  loading time = ", platform::secondsSince(start));

  start = platform::counterNow();
  FOLIM_RETURN_IF_ERROR(average.decode(true));
  FOLIM_RETURN_IF_ERROR(base.decode(true));
  const bool asIntegers = coeff.integersAvailable();
  if (asIntegers && streamCoefficients) {
    bool streamed = false;
    const Status s = decodeStreamed(target, start, streamed);
    if (streamed) return s;
    FOLIM_RETURN_IF_ERROR(s);
  }
  KPX::Matrix<std::int32_t> integers;
  if (asIntegers) {
    FOLIM_RETURN_IF_ERROR(coeff.decodeIntegers(integers));
  } else {
    FOLIM_RETURN_IF_ERROR(coeff.setShapeFromHeader(header));
    FOLIM_RETURN_IF_ERROR(coeff.decode(true));
  }
  printTiming("  expand time = ", platform::secondsSince(start));

  if (!target.IsNull()) target.Destroy();
  if (!target.Create(static_cast<int>(header.imageWidth), static_cast<int>(header.imageHeight), 24))
    return status::UnknownError;

  // The product and the arrangement run together, strip by strip; their
  // lines share the elapsed time in proportion to the work of each.
  start = platform::counterNow();
  StripTimes times;
  FOLIM_RETURN_IF_ERROR(guardStatus([&] {
    if (asIntegers) {
      return reconstructImage(header.colorSpace, header.patchWidth, header.patchHeight, integers,
                              base, average, target, times);
    }
    return reconstructImage(header.colorSpace, header.patchWidth, header.patchHeight, coeff, base,
                            average, target, times);
  }));
  const double elapsed = platform::secondsSince(start);
  const double busy = times.multiply + times.arrange;
  const double multiplyShare = busy > 0 ? elapsed * times.multiply / busy : 0.0;
  printTiming("  multiply time = ", multiplyShare);
  printTiming("  arrange time = ", elapsed - multiplyShare);
  traceStream() << '\n';
  traceStream().flush();
  return status::Success;
}

Status CRIMCodec::decodeStreamed(CImage& target, std::int64_t start, bool& streamed) {
  streamed = false;
  // Pixels go to an image of their own, handed over only when every row
  // decoded: damage leaves the target as it was.
  CImage image;
  if (!image.Create(static_cast<int>(header.imageWidth), static_cast<int>(header.imageHeight), 24))
    return status::Success;  // the whole-matrix path reports it in its order
  HuffmanRowReader reader;
  bool started = false;
  std::uint64_t rowsRead = 0;
  const auto source = [&](std::uint32_t rows, KPX::SparseRows& out) {
    if (!started) {
      started = true;
      FOLIM_RETURN_IF_ERROR(coeff.startRows(reader));
    }
    rowsRead += rows;
    return reader.read(rows, out);
  };
  StripTimes times;
  const double setup = platform::secondsSince(start);
  const std::int64_t rebuilt = platform::counterNow();
  Status s = guardStatus([&] {
    return reconstructStreamed(header.colorSpace, header.patchWidth, header.patchHeight,
                               coeff.rows(), header.dimension, source, base, average, image, times);
  });
  // A refusal before the first row: the whole-matrix path gives its
  // statuses in their order.
  if (!started && s != status::Success) return status::Success;
  streamed = true;
  // Rows beyond the grid (none in a well-formed file) are decoded too, for
  // the statuses of the whole-matrix decoding.
  KPX::SparseRows rest;
  while (s == status::Success && rowsRead < coeff.rows()) {
    const auto rows =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(coeff.rows() - rowsRead, 256));
    s = guardStatus([&] { return source(rows, rest); });
  }
  if (s == status::Success && !started) s = guardStatus([&] { return source(0, rest); });
  FOLIM_RETURN_IF_ERROR(s);
  // The time not spent reading is shared between the product and the
  // arrangement in proportion to the work of each (with several threads
  // the reading overlaps them).
  const double remaining = std::max(0.0, platform::secondsSince(rebuilt) - times.expand);
  const double busy = times.multiply + times.arrange;
  const double multiplyShare = busy > 0 ? remaining * times.multiply / busy : 0.0;
  printTiming("  expand time = ", setup + times.expand);
  printTiming("  multiply time = ", multiplyShare);
  printTiming("  arrange time = ", remaining - multiplyShare);
  traceStream() << '\n';
  traceStream().flush();
  target = std::move(image);
  return status::Success;
}

Status CRIMCodec::renderAveragePreview(CImage& target, const std::string& path) {
  {
    RimFile file;
    FOLIM_RETURN_IF_ERROR(openAndCheck(path, file, header));
    FOLIM_RETURN_IF_ERROR(average.setShapeFromHeader(header));
    FOLIM_RETURN_IF_ERROR(average.readSection(file.get()));
  }
  FOLIM_RETURN_IF_ERROR(average.decode(true));
  // YCbCr previews are converted like full decoding converts them.
  return guardStatus([&] {
    return renderAverageImage(average, header.colorSpace, header.imageWidth, header.imageHeight,
                              header.patchWidth, header.patchHeight,
                              inverseConversion(header.colorSpace), target);
  });
}
