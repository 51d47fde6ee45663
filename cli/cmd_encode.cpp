// folim-cli encode with the image library: every format it reads, and RIM
// files through the decoder.
#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/encode_command.h"
#include "imageio/file_kind.h"
#include "imageio/image_damage.h"
#include "imageio/library_io.h"

namespace cli {
namespace {

class LibraryInput : public EncoderInput {
 public:
  bool isRim(const std::string& path) const override { return GetFileKind(path) == kFileKindRim; }
  bool readSize(const std::string& path, int& width, int& height) const override {
    return ReadImageSize(path, width, height);
  }
  std::string damage(const std::string& path) const override { return imageio::imageDamage(path); }
  bool load(const std::string& path, const std::string& prefix, std::ostream& err) override {
    return loadInputImage(path, image_, prefix, err);
  }
  const CImage& image() const override { return image_; }

 private:
  CImageEx image_;
};

}  // namespace

int runEncode(Invocation& inv) {
  LibraryInput input;
  return encodeWith(inv, input);
}

}  // namespace cli
