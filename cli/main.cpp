// folim-cli. Decoding a RIM file to BMP and encoding a plain PPM file, what
// scripts do most, run here directly; every other job runs in the full
// command set, loaded on demand with the image library it needs. Loading that library takes longer
// than the rest of the start-up, so a program that always carried it would pay for it on every
// small decoding.
#include <dlfcn.h>
#include <cstdlib>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/decode_command.h"
#include "cli/encode_command.h"
#include "cli/file_checks.h"
#include "cli/global_options.h"
#include "codec/ppm_file.h"
#include "platform/large_pages.h"
#include "platform/paths.h"

namespace {

// "[--quiet] [--threads N] decode [--quiet] INPUT OUTPUT.bmp" and nothing
// else: a decoding that the BMP writer alone finishes exactly as the full
// command set would. Anything unusual (help, other options, "--") is left to
// the full set, which also gives its messages.
bool decodesToBmp(const std::vector<std::string>& args) {
  const cli::GlobalOptions global = cli::parseGlobalOptions(args);
  if (global.end != cli::GlobalOptions::End::Command || args[global.next] != "decode") return false;
  std::size_t positional = 0;
  bool bmpOutput = false;
  for (std::size_t i = global.next + 1; i < args.size(); ++i) {
    if (args[i] == "--quiet") continue;
    if (args[i].rfind('-', 0) == 0) return false;
    bmpOutput = ++positional == 2 && cli::namesBmp(args[i]);
  }
  return positional == 2 && bmpOutput;
}

int decodeToBmp(cli::Invocation& inv) {
  return cli::decodeOrPreview(inv, cli::Rendering::Full, nullptr);
}

// "[--quiet] [--threads N] encode [OPTIONS] INPUT OUTPUT" with well-formed
// options and INPUT a plain PPM file (see ppm::probe), which reads here
// into the raster the image library would give. Help, "--" and every other
// input are left to the full set.
bool encodesPlainPpm(const std::vector<std::string>& args) {
  const cli::GlobalOptions global = cli::parseGlobalOptions(args);
  if (global.end != cli::GlobalOptions::End::Command || args[global.next] != "encode") return false;
  const std::vector<std::string> rest(args.begin() + static_cast<long>(global.next) + 1,
                                      args.end());
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
      std::find(rest.begin(), rest.end(), "--") != rest.end())
    return false;
  const cli::ParsedArgs parsed = cli::parseEncodeArgs(rest);
  int width = 0, height = 0;
  return parsed.error.empty() && parsed.positional.size() == 2 &&
         ppm::probe(parsed.positional[0], width, height);
}

class PpmInput : public cli::EncoderInput {
 public:
  bool isRim(const std::string&) const override { return false; }
  bool readSize(const std::string& path, int& width, int& height) const override {
    return ppm::probe(path, width, height);
  }
  std::string damage(const std::string&) const override { return {}; }
  bool load(const std::string& path, const std::string& prefix, std::ostream& err) override {
    const std::string problem = cli::inputFileProblem(path);
    if (!problem.empty()) {
      err << prefix << path << ": " << problem << "\n";
      return false;
    }
    if (!ppm::read(path, image_)) {
      err << prefix << path << ": not a readable image (it changed while it was read)\n";
      return false;
    }
    return true;
  }
  const CImage& image() const override { return image_; }

 private:
  CImage image_;
};

int encodePlainPpm(cli::Invocation& inv) {
  PpmInput input;
  return cli::encodeWith(inv, input);
}

// Where the full command set lies: beside the program in the build tree,
// in the library folder when installed.
std::vector<std::string> modulePaths() {
  const std::string name = "/folim-cli-full.so";
  const std::string here = platform::programDirectory();
  std::vector<std::string> paths;
  if (!here.empty()) {
    paths.push_back(here + name);
    paths.push_back(here + "/" FOLIM_CLI_MODULE_FROM_BIN + name);
  }
  paths.push_back(FOLIM_CLI_MODULE_DIR + name);
  return paths;
}

int runFull(int argc, char** argv) {
  // The BLAS under the neighbour lists starts a thread per core when it
  // loads, and those spin before they sleep: on a small machine that takes
  // a core from a short search. Folim's own threads share the work, and the
  // lists build faster with one BLAS thread; a setting of the user's stands.
  ::setenv("OPENBLAS_NUM_THREADS", "1", 0);
  std::string why;
  for (const std::string& path : modulePaths()) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      if (why.empty()) why = ::dlerror();
      continue;
    }
    auto* run = reinterpret_cast<int (*)(int, char**)>(::dlsym(module, "folimCliMain"));
    if (run != nullptr) return run(argc, argv);
    why = path + ": no entry point";
  }
  std::cerr << "folim-cli: the command set cannot be loaded (" << why << ")\n";
  return cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  // Every command runs once and exits: freed buffers are better kept.
  platform::keepFreedMemory();
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (decodesToBmp(args))
    return cli::runCommands(args, std::cout, std::cerr, {cli::decodeCommand(decodeToBmp)});
  if (encodesPlainPpm(args))
    return cli::runCommands(args, std::cout, std::cerr, {cli::encodeCommand(encodePlainPpm)});
  return runFull(argc, argv);
}
