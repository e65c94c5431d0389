#pragma once
// Decoders of entry data by compression method. Each reads the entry's
// compressed bytes and writes the decoded bytes through an Extraction.

namespace zip {

class Extraction;

/// Method 0: the data is the file.
void copyStored(Extraction &entry);
/// Method 8: raw Deflate. Throws EZCompressionError on bad or short data.
void inflateEntry(Extraction &entry);

} // namespace zip
