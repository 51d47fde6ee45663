#include "codec/parameters.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "codec/trace.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace {

// Linux paths may be long; beyond this the path is treated as unusable.
constexpr std::size_t kMaxPathLength = 4096;
constexpr const char* kConfigName = "config.ini";

Status readInteger(const std::string& path, const char* section, const char* key,
                   std::uint32_t& field, std::uint32_t storedWhenMissing) {
  const std::int32_t value = platform::iniGetInt(section, key, -1, path);
  if (value == -1) {
    field = storedWhenMissing;
    return status::InvalidConfig;
  }
  field = static_cast<std::uint32_t>(value);
  return status::Success;
}

}  // namespace

std::vector<std::string> configCandidates() {
  std::vector<std::string> candidates;
  auto add = [&](const std::string& dir) {
    if (dir.empty() || dir.size() > kMaxPathLength) return;
    candidates.push_back(dir + "/" + kConfigName);
  };
  std::string programDir = platform::programDirectory();
  if (programDir.empty()) programDir = platform::currentDirectory();
  if (programDir.empty())
    candidates.push_back(kConfigName);
  else
    add(programDir);
  // The user's own parameters, for a program installed where they cannot
  // write; a relative XDG_CONFIG_HOME is ignored as the convention says.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && xdg[0] == '/')
    add(std::string(xdg) + "/folim");
  else if (home != nullptr && home[0] == '/')
    add(std::string(home) + "/.config/folim");
    // The default installed with the program, found from the program's own
    // folder so that an installation can be moved.
#ifdef FOLIM_INSTALLED_CONFIG_DIR
  if (!programDir.empty())
    add((std::filesystem::path(programDir) / FOLIM_INSTALLED_CONFIG_DIR)
            .lexically_normal()
            .string());
#endif
  return candidates;
}

std::string configPath() {
  const std::vector<std::string> candidates = configCandidates();
  if (candidates.empty()) return {};
  for (const std::string& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  // None there: the place beside the program, where the defaults apply.
  return candidates.front();
}

std::uint32_t deriveAverageQuantizeStep(std::uint32_t coeffQuantizeStep, std::uint32_t patchWidth) {
  const double quotient =
      static_cast<double>(coeffQuantizeStep) / (static_cast<double>(patchWidth) * 1.5);
  // A zero patch width gives infinity; keep the result defined.
  if (!(quotient < 4294967296.0)) return 0xFFFFFFFFu;
  const auto step = static_cast<std::uint32_t>(quotient);
  return step == 0 ? 1 : step;
}

void setDefaultParameters(CommonParameters& common, LearningParameters& learning,
                          CompressionParameters& compression) {
  common.ColorSpace = 0;
  common.PatchWidth = 8;
  common.PatchHeight = 8;
  learning.ConversionCondition = 0.0001;
  learning.DimensionReduction = 96;
  learning.MaxIterations = 0;
  compression.CoeffQuantizeStep = 1;
  compression.DoChangeStep = 0;
  compression.MaxZeroRun = 16;
  compression.PrecisionBit = 16;
  compression.BasePrecisionBit = 7;
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
}

Status readColorSpace(const std::string& path, std::uint16_t& field) {
  // A 4-character buffer: at most three characters of the value remain.
  const std::string value = platform::iniGetString("Common", "ColorSpace", "ERR", 4, path);
  char buffer[4] = {0, 0, 0, 0};
  std::memcpy(buffer, value.data(), value.size() < 3 ? value.size() : 3);
  if (std::memcmp(buffer, "ERR", 4) == 0) return status::InvalidConfig;
  static const char* const kNames[] = {"RGB", "YCC", "HSV"};
  for (std::uint16_t id = 0; id < 3; ++id) {
    if (std::memcmp(buffer, kNames[id], 4) == 0) {
      field = id;
      return status::Success;
    }
  }
  return status::InvalidConfig;
}

Status readConversionCondition(const std::string& path, double& field) {
  const std::string value =
      platform::iniGetString("Learning", "ConversionCondition", "ERR", 512, path);
  if (value == "ERR") return status::InvalidConfig;
  errno = 0;
  char* end = nullptr;
  field = std::strtod(value.c_str(), &end);
  const bool whole = end != nullptr && *end == '\0';
  return (whole && errno != ERANGE) ? status::Success : status::InvalidConfig;
}

Status readPatchWidth(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Common", "PatchWidth", field, 0xFFFFFFFFu);
}
Status readPatchHeight(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Common", "PatchHeight", field, 0xFFFFFFFFu);
}
Status readDimensionReduction(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Learning", "DimensionReduction", field, 0xFFFFFFFFu);
}
Status readMaxIterations(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Learning", "MaxIterations", field, 0xFFFFFFFFu);
}
Status readCoeffQuantizeStep(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Compression", "CoeffQuantizeStep", field, 0);
}
Status readDoChangeStep(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Compression", "DoChangeStep", field, 0xFFFFFFFFu);
}
Status readMaxZeroRun(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Compression", "MaxZeroRun", field, 0xFFFFFFFFu);
}
Status readPrecisionBit(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Compression", "PrecisionBit", field, 0xFFFFFFFFu);
}
Status readBasePrecisionBit(const std::string& path, std::uint32_t& field) {
  return readInteger(path, "Compression", "BasePrecisionBit", field, 0);
}

void loadConversionParameters(const std::string& path, CommonParameters& common,
                              LearningParameters& learning, CompressionParameters& compression) {
  // Only a regular file is read: a FIFO named config.ini would block.
  std::FILE* probe = path.empty() ? nullptr : platform::openRegularStream(path);
  if (probe == nullptr) {
    setDefaultParameters(common, learning, compression);
    return;
  }
  std::fclose(probe);

  // Each reader's status is ignored: a missing key leaves the value its
  // reader stores for that case.
  static_cast<void>(readColorSpace(path, common.ColorSpace));
  static_cast<void>(readPatchWidth(path, common.PatchWidth));
  static_cast<void>(readPatchHeight(path, common.PatchHeight));
  static_cast<void>(readConversionCondition(path, learning.ConversionCondition));
  static_cast<void>(readDimensionReduction(path, learning.DimensionReduction));
  static_cast<void>(readMaxIterations(path, learning.MaxIterations));
  static_cast<void>(readCoeffQuantizeStep(path, compression.CoeffQuantizeStep));
  static_cast<void>(readDoChangeStep(path, compression.DoChangeStep));
  static_cast<void>(readMaxZeroRun(path, compression.MaxZeroRun));
  static_cast<void>(readPrecisionBit(path, compression.PrecisionBit));
  static_cast<void>(readBasePrecisionBit(path, compression.BasePrecisionBit));
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
}

void loadConversionParameters(CommonParameters& common, LearningParameters& learning,
                              CompressionParameters& compression) {
  loadConversionParameters(configPath(), common, learning, compression);
}

std::string parameterDump(const CommonParameters& common, const LearningParameters& learning,
                          const CompressionParameters& compression) {
  return stringf(
      "[Common Parameters]\n"
      "  Color Space = %d\n"
      "  Patch = (%d, %d)\n"
      "[Learning Parameters]\n"
      "  Conversion = %lf\n"
      "  Dimension = %d\n"
      "  Iteration = %d\n"
      "[Compression Parameters]\n"
      "  Average Quantize Step = %d\n"
      "  Coeff Quantize Step = %d\n"
      "  MaxZeroRun = %d\n"
      "  BasePrecisionBit = %d\n"
      "  PrecisionBit = %d\n"
      "\n",
      static_cast<int>(common.ColorSpace), static_cast<int>(common.PatchWidth),
      static_cast<int>(common.PatchHeight), learning.ConversionCondition,
      static_cast<int>(learning.DimensionReduction), static_cast<int>(learning.MaxIterations),
      static_cast<int>(compression.AverageQuantizeStep),
      static_cast<int>(compression.CoeffQuantizeStep), static_cast<int>(compression.MaxZeroRun),
      static_cast<int>(compression.BasePrecisionBit), static_cast<int>(compression.PrecisionBit));
}

void printParameters(const CommonParameters& common, const LearningParameters& learning,
                     const CompressionParameters& compression) {
  traceStream() << parameterDump(common, learning, compression) << std::flush;
}

std::string defaultConfigText() {
  return "; Folim conversion parameters, read afresh at every conversion.\n"
         "[Common]\n"
         "; RGB, YCC or HSV\n"
         "ColorSpace=RGB\n"
         "PatchWidth=8\n"
         "PatchHeight=8\n"
         "\n"
         "[Learning]\n"
         "ConversionCondition=0.0001\n"
         "; number of bases kept, at most 3 x PatchWidth x PatchHeight\n"
         "DimensionReduction=96\n"
         "; 0 learns PCA bases; more runs that many ICA iterations\n"
         "MaxIterations=0\n"
         "\n"
         "[Compression]\n"
         "CoeffQuantizeStep=1\n"
         "DoChangeStep=0\n"
         "MaxZeroRun=16\n"
         "PrecisionBit=16\n"
         "BasePrecisionBit=7\n";
}
