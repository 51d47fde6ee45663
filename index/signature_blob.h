// Signatures as bytes for the index: the whole signature, and the compact
// descriptor the first stage of a ranking keeps in memory. Blobs come from a
// file on disk that anything may have damaged, so reading checks every field
// and length before sizing anything from it, and a checksum over the whole
// blob finds damage that leaves every field plausible.
#pragma once

#include <cstdint>
#include <vector>

#include "index/compact.h"
#include "retrieval/signature.h"

// Little-endian bytes; the bases as the narrowest whole numbers that hold
// them (they are whole numbers in every RIM file), doubles otherwise; all
// but the magic and the length deflated. Every value reads back exactly.
std::vector<std::uint8_t> EncodeSignature(const Signature& signature);

// The same fields not deflated and without the relative histogram, as
// indexes written before compression hold them; DecodeSignature reads both.
std::vector<std::uint8_t> EncodePlainSignature(const Signature& signature);

// False, with signature unchanged, for anything EncodeSignature cannot have
// written: another magic, a header the codec would refuse, bases of another
// shape than the header says, feature sizes other than the search's, a
// length that is not exactly what the fields announce, values that are not
// finite, a checksum that does not match (blobs of the first version, which
// had none, are read without it), deflated bytes that do not inflate to
// exactly the length announced.
bool DecodeSignature(const std::uint8_t* data, std::size_t size, Signature& signature);

std::vector<std::uint8_t> EncodeCompact(const CompactSignature& compact);
bool DecodeCompact(const std::uint8_t* data, std::size_t size, CompactSignature& compact);
