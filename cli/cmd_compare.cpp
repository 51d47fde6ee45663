// folim-cli compare: the peak signal-to-noise ratio between two images of
// the same size (RIM files are decoded first).
#include <cmath>
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "codec/trace.h"

namespace cli {

double peakSignalToNoise(const CImage& a, const CImage& b) {
  double squares = 0.0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    for (int x = 0; x < a.GetWidth(); ++x) {
      const std::uint32_t p = a.GetPixel(x, y);
      const std::uint32_t q = b.GetPixel(x, y);
      const double dr = static_cast<double>(colorRed(p)) - colorRed(q);
      const double dg = static_cast<double>(colorGreen(p)) - colorGreen(q);
      const double db = static_cast<double>(colorBlue(p)) - colorBlue(q);
      squares += dr * dr + dg * dg + db * db;
    }
  }
  const double samples = 3.0 * a.GetWidth() * a.GetHeight();
  if (squares == 0.0 || samples == 0.0) return INFINITY;
  return 10.0 * std::log10(255.0 * 255.0 / (squares / samples));
}

int runCompare(Invocation& inv) {
  const std::string prefix = "folim-cli compare: ";
  const ParsedArgs args = parseArgs(inv.args, {}, {});
  if (!args.error.empty() || args.positional.size() != 2) {
    inv.err << prefix << (args.error.empty() ? "expected two images" : args.error) << "\n"
            << "Usage: folim-cli compare IMAGE_A IMAGE_B\n";
    return kExitUsage;
  }
  CImageEx a, b;
  if (!loadInputImage(args.positional[0], a, prefix, inv.err) ||
      !loadInputImage(args.positional[1], b, prefix, inv.err))
    return kExitFailed;
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
    inv.err << prefix << "the images differ in size (" << a.GetWidth() << " x " << a.GetHeight()
            << " and " << b.GetWidth() << " x " << b.GetHeight() << ")\n";
    return kExitFailed;
  }
  const double psnr = peakSignalToNoise(a, b);
  inv.out << (std::isinf(psnr) ? std::string("PSNR inf dB (identical)")
                               : stringf("PSNR %.2f dB", psnr))
          << "\n";
  return kExitOk;
}

}  // namespace cli
