// Format notes: Reduce (methods 2 to 5, compression factor 1 to 4)
//
// Two stages. The outer stage codes bytes by their predecessor: for each
// byte value the stream first lists a follower set of up to 63 bytes
// (sets 255 down to 0, each a 6-bit count and 8-bit members). A byte whose
// predecessor has followers is sent as a 0 bit and an index into that set
// (as few bits as the set size needs), or as a 1 bit and the plain 8-bit
// value; without followers it is always 8 plain bits. All fields are packed
// least significant bit first; the first predecessor is 0.
//
// The inner stage is a run coder on the bytes so decoded: 144 (0x90) starts
// an escape. 144 then 0 is a literal 144. 144 then V starts a copy whose
// length is V's low 7, 6, 5 or 4 bits (by factor), with one more byte added
// when those bits are all ones, plus 3; the remaining high bits of V and the
// next byte give the distance minus 1 (high bits times 256 plus that byte).
// Distances reach at most 4096 bytes back; the window here is 16 KiB.
//
// The data has no end marker: decoding stops after the entry's uncompressed
// size, or earlier when the compressed data runs out. Bytes before the start
// of the entry read as 0.

#include "BitInput.h"
#include "HistoryWindow.h"
#include "LegacyDecoders.h"

#include <new>

namespace zip::legacy {
namespace {

constexpr std::size_t kWindowSize = 16384;
constexpr std::size_t kSetSlot = 64;
constexpr std::uint8_t kMarker = 144;

struct ReduceTables {
    std::uint8_t window[kWindowSize];
    // Slot of each set: up to 63 members, then the member count in the last byte.
    std::uint8_t followers[256][kSetSlot];
};
static_assert(sizeof(ReduceTables) <= WorkArea::kSize);

// Bits of an index into a follower set of the given size (1 to 63).
unsigned indexBits(unsigned setSize)
{
    unsigned bits = 1;
    while ((1u << bits) < setSize)
        ++bits;
    return bits;
}

class Unreducer {
public:
    Unreducer(int method, std::uint64_t expected, ByteInput &input, ByteOutput &output,
              WorkArea &work)
        : m_factor(unsigned(method - 1)), m_expected(expected), m_bits(input),
          m_tables(*new (work.bytes) ReduceTables{}), m_window(m_tables.window, output)
    {
    }

    void run()
    {
        if (!readFollowerSets())
            return;
        enum class State { Plain, Escape, ExtraLength, Distance } state = State::Plain;
        const unsigned lengthMask = 0x7Fu >> (m_factor - 1);
        unsigned escape = 0;
        unsigned length = 0;
        while (m_window.produced() < m_expected) {
            const std::uint8_t byte = nextByte();
            if (m_bits.ended())
                break;
            switch (state) {
            case State::Plain:
                if (byte == kMarker)
                    state = State::Escape;
                else
                    m_window.put(byte);
                break;
            case State::Escape:
                if (byte == 0) {
                    m_window.put(kMarker);
                    state = State::Plain;
                } else {
                    escape = byte;
                    length = byte & lengthMask;
                    state = length == lengthMask ? State::ExtraLength : State::Distance;
                }
                break;
            case State::ExtraLength:
                length += byte;
                state = State::Distance;
                break;
            case State::Distance:
                m_window.copy(((escape >> (8 - m_factor)) * 256) + byte + 1, length + 3);
                state = State::Plain;
                break;
            }
        }
        m_window.finish();
    }

private:
    bool readFollowerSets()
    {
        for (int set = 255; set >= 0; --set) {
            std::uint8_t *const slot = m_tables.followers[set];
            const unsigned count = m_bits.take(6);
            slot[kSetSlot - 1] = std::uint8_t(count);
            for (unsigned i = 0; i < count; ++i)
                slot[i] = std::uint8_t(m_bits.take(8));
            if (m_bits.ended())
                return false;
        }
        return true;
    }

    std::uint8_t nextByte()
    {
        const std::uint8_t *const slot = m_tables.followers[m_last];
        const unsigned setSize = slot[kSetSlot - 1];
        if (setSize == 0 || m_bits.take(1) == 1)
            m_last = std::uint8_t(m_bits.take(8));
        else
            m_last = slot[m_bits.take(indexBits(setSize))];
        return m_last;
    }

    const unsigned m_factor;
    const std::uint64_t m_expected;
    BitInput m_bits;
    ReduceTables &m_tables;
    HistoryWindow m_window;
    std::uint8_t m_last = 0;
};

} // namespace

void unReduce(int method, std::uint64_t uncompressedSize, ByteInput &input, ByteOutput &output,
              WorkArea &work)
{
    if (method < 2 || method > 5)
        return;
    Unreducer(method, uncompressedSize, input, output, work).run();
    output.flushBuffer();
}

} // namespace zip::legacy
