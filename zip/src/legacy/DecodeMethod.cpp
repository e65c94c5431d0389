#include "LegacyDecoders.h"

#include <stdexcept>

namespace zip::legacy {

void decodeMethod(int method, std::uint16_t flags, std::uint64_t compressedSize,
                  std::uint64_t uncompressedSize, ByteInput &input, ByteOutput &output,
                  WorkArea &work, const MessageReport &report)
{
    switch (method) {
    case 1:
        unShrink(input, output, work);
        break;
    case 2:
    case 3:
    case 4:
    case 5:
        unReduce(method, uncompressedSize, input, output, work);
        break;
    case 6:
        explode(flags, compressedSize, uncompressedSize, input, output, work, report);
        break;
    default:
        throw std::invalid_argument("not a legacy method");
    }
}

} // namespace zip::legacy
