#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// The digests of the standard's examples, and lengths around the padding's
// block boundary, fed in pieces of every size.
TEST(Sha256, KnownDigestsWhateverThePieces)
{
    const struct {
        std::string text, digest;
    } known[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto &row : known) {
        for (size_t piece : {size_t(1), size_t(63), size_t(64), size_t(1000)}) {
            platform::Sha256 sha;
            for (size_t at = 0; at < row.text.size(); at += piece)
                sha.Update(row.text.data() + at, std::min(piece, row.text.size() - at));
            EXPECT_EQ(sha.HexDigest(), row.digest) << row.text.size() << " bytes by " << piece;
        }
    }
}

} // namespace
