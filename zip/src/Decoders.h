#pragma once
// Decoders of entry data by compression method. Each reads the entry's
// compressed bytes and writes the decoded bytes through an Extraction.

#include <cstdint>

namespace zip {

class Extraction;

/// Method 0: the data is the file.
void copyStored(Extraction &entry);
/// Method 8: raw Deflate. Throws EZCompressionError on bad or short data.
void inflateEntry(Extraction &entry);
/// Methods 1 to 6: Shrink, Reduce, Implode. Bad data ends the output early,
/// so the entry fails its CRC check.
void decodeLegacy(Extraction &entry, int method, uint16_t flags, uint64_t compressedSize,
                  uint64_t uncompressedSize);

} // namespace zip
