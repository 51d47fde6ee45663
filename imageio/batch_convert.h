// The two batch conversions, as library functions that the desktop shell
// and the command line both call: a listing of image files to RIM files, and
// the RIM files of a listing back to BMP files. Both write flat into one save
// folder, never stop on a failed file and end with one message.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "codec/encoder_settings.h"
#include "codec/status.h"
#include "imageio/listing.h"

// The jobs' own texts.
inline constexpr const char* kMsgSaveDirMissing =
    "Specified destination dir isn't exist. Please specify a destination dir.";
inline constexpr const char* kMsgNoFiles = "there's no file in target directory";
inline constexpr const char* kMsgStartConverting = "Start converting images, please wait...";
inline constexpr const char* kMsgRimDone = "finished conversion to RIM images!";
inline constexpr const char* kMsgRimFailed = "Failed conversion of these images!\n";
inline constexpr const char* kMsgBmpDone = "Finished converting to BMP images!";
inline constexpr const char* kMsgBmpFailed = "Failed conversion of these files!\n";

// The reason given to every file when the save folder of a BMP job is missing.
inline constexpr const char* kReasonSaveDirMissing = "the save folder does not exist";

// What became of one file of a batch (or of a folder that could not be read).
struct ConversionResult {
  std::string name;    // lower-case file name
  std::string source;  // full path of the source
  std::string output;  // path written (or that would have been written)
  bool ok = false;
  Status status = status::Success;  // the codec's status when it failed
  std::string reason;               // a short reason when it failed
};

// The reasons of the job itself (each file's own reasons come from the codec
// and the image library).
inline constexpr const char* kReasonOverwrite = "the output would overwrite a listed source file";
inline constexpr const char* kReasonCancelled = "the conversion was cancelled";
// Followed by the output name and the source that produces it first.
inline constexpr const char* kReasonNameTaken = "the output name is already produced by this job: ";

struct BatchReport {
  std::string message;     // the final message shown to the user
  bool refused = false;    // the job's checks stopped it before any file
  bool cancelled = false;  // stopped on request; the rest count as failed
  std::vector<ConversionResult> files;
  std::size_t failedCount() const;
  bool succeeded() const { return !refused && failedCount() == 0; }
};

// Called before each file: index from 0, the number of files, the file.
using BatchProgress =
    std::function<void(std::size_t index, std::size_t total, const ListedImage& item)>;

// "%d/%d" with index + 1 and total, the counter of the BMP form.
std::string progressCounterText(std::size_t index, std::size_t total);

// The output path of a source name: saveDir, the name without its last three
// characters, then the new extension ("rim" or "bmp"). The name keeps its
// case.
std::string batchOutputPath(const std::string& saveDir, const std::string& name,
                            const std::string& extension);

struct RimConversionOptions {
  std::string method = "PCA";  // "PCA": MaxIterations 0; "ICA": 100 when config.ini gives 0
  std::string configFile;      // empty: config.ini beside the program
  EncoderSettings settings;    // overrides of config.ini for this job (none by default)
  BatchProgress progress;
  const std::atomic<bool>* cancel = nullptr;
  unsigned jobs = 0;  // files converted at once; 0: one per core
  // Folders of the listing that could not be read: each is a failure.
  std::vector<UnreadableFolder> unreadableFolders;
};

// The checks before a RIM conversion starts: the save folder must exist and
// the listing must not be empty. Returns the message to show, or "".
std::string checkRimConversionStart(const std::string& saveDir, std::size_t fileCount);

// Converts every listed file to saveDir/<name minus 3 chars>rim with one
// fresh codec per file. The failure list names each failed source and why
// it failed. A file is never written over one of the listed sources, nor
// over an output an earlier file of the job wrote (that later file fails
// instead). A damaged source, and one too large to code (seen from
// its header, before its pixels are decoded), fail.
BatchReport convertToRim(const std::vector<ListedImage>& items, const std::string& saveDir,
                         const RimConversionOptions& options);

struct BmpConversionOptions {
  BatchProgress progress;
  const std::atomic<bool>* cancel = nullptr;
  unsigned jobs = 0;  // files converted at once; 0: one per core
  std::vector<UnreadableFolder> unreadableFolders;
};

// Decodes every listed file to saveDir/<name minus 3 chars>bmp, written as
// BMP whatever the resulting extension. Files that fail to decode or to be
// written are listed by source with the reason, like names whose output an
// earlier file wrote and outputs that would replace a listed source; with a save folder that does
// not exist every file fails.
BatchReport convertToBmp(const std::vector<ListedImage>& items, const std::string& saveDir,
                         const BmpConversionOptions& options);
