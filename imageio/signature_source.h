// Signatures of image files as the index and an image query make them: a
// RIM file's is read from the file; any other image is decoded (reduced so
// that its longer side is at most maxSide pixels, or at full size for 0)
// and learned in memory under the conversion parameters.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/parameters.h"
#include "codec/raster.h"
#include "codec/status.h"
#include "retrieval/signature.h"

// Longer side an ordinary image is decoded to before learning; see the
// README for the measurements behind it.
inline constexpr std::uint32_t kSignatureMaxSide = 1024;

struct SignatureParameters {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  std::uint32_t maxSide = kSignatureMaxSide;  // 0: full size
};

// The parameters of config.ini beside the program (defaults without it).
SignatureParameters currentSignatureParameters();

// A text naming everything a signature depends on; signatures made under
// different keys are never compared.
std::string signatureParametersKey(const SignatureParameters& parameters);

// Decodes an ordinary image reduced to at most maxSide (0: full size) on its
// longer side, as 32-bit RGB. False (image empty, error set when given) when
// it cannot be read or is over the raster limits.
bool LoadForSignature(const std::string& path, std::uint32_t maxSide, CImage& image,
                      std::string* error = nullptr);

// Whether the index takes a file by its name: every image name of the
// listing, and WebP, which the image library reads too.
bool IsIndexablePicture(const std::string& name);

// The pictures of dir the index takes, in the listing's order (by name
// without regard to case); with recursive, sub-folders are descended into
// where they stand, each real folder once.
std::vector<std::string> listIndexablePictures(const std::string& dir, bool recursive);

// The signature of any image file: status::CannotOpenFile when it cannot be
// opened or decoded (why, when given, then says what the image reader said),
// else the statuses of reading a RIM file or of learning.
Status FileSignature(const std::string& path, const SignatureParameters& parameters,
                     Signature& signature, std::string* why = nullptr);

// FileSignature under parameters, as the index makes its signatures: the
// learner's trace, which says nothing to a user of the index, is dropped on
// each thread that learns. Safe to call on several threads at once.
std::function<Status(const std::string& path, Signature& signature, std::string& cause)>
IndexSignatureSource(const SignatureParameters& parameters);
