#include "LegacyDecoders.h"

#include <stdexcept>

namespace zip::legacy {

void decodeMethod(int method, std::uint16_t flags, std::uint64_t compressedSize,
                  std::uint64_t uncompressedSize, ByteInput &input, ByteOutput &output,
                  WorkArea &work, const MessageReport &report)
{
    if (!isLegacyMethod(method))
        throw std::invalid_argument("not a legacy method");
    if (method == kShrunk)
        unShrink(input, output, work);
    else if (method == kImploded)
        explode(flags, compressedSize, uncompressedSize, input, output, work, report);
    else
        unReduce(method, uncompressedSize, input, output, work);
}

} // namespace zip::legacy
