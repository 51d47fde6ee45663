// Loading an image for export and exporting it as a RIM file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "codec/raster.h"
#include "codec/status.h"

// Shows a message to the user (a message box in the desktop shell, standard
// error in the command line).
using MessageFunction = std::function<void(const std::string& text)>;

// Fills image from sourcePath: through the image library when sourceBaseType
// is that of an ordinary image (outcome ignored), otherwise through the RIM
// decoder; a RIM source that fails to decode shows "FILE_WRITE_FAILED" and
// the export goes on with whatever the image holds.
void LoadForExport(const std::string& sourcePath, std::uint16_t sourceBaseType, CImage& image,
                   const MessageFunction& message);

// Encodes sourcePath into the RIM file destinationPath with the parameters
// of config.ini (configFile, or the one beside the program when empty),
// MaxIterations as the file gives it. Returns the encoder's status
// (status::InvalidValues for a source that gave no image); refused parameters
// return their status and write nothing.
Status ExportToRim(const std::string& sourcePath, std::uint16_t sourceBaseType,
                   const std::string& destinationPath, const MessageFunction& message,
                   const std::string& configFile = {});

// Loads the image to be saved from sourcePath (a RIM file when
// sourceBaseType or the file's name says so, else an ordinary image). False, with the reason in
// why, when it cannot be read or is damaged (cut short): a save must not pass a partly grey picture
// off as the image.
bool LoadForSaving(const std::string& sourcePath, std::uint16_t sourceBaseType, CImage& image,
                   std::string& why);

// Encodes image into the RIM file destinationPath with the parameters of
// config.ini (configFile, or the one beside the program when empty). False,
// with the reason in why (the refused parameters, an image too large to code,
// the write error), when no file was written.
bool SaveAsRim(const CImage& image, const std::string& destinationPath, std::string& why,
               const std::string& configFile = {});
