#include "util/sha256.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace wirelux {
namespace {

// Byte i is (7i + 3) mod 256: covers high bytes and never repeats within a block.
std::string patterned(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

TEST(Sha256, PublishedVectors) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        sha256_hex(
            "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
            "mnopqrstnopqrstu"),
        "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(sha256_hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Digests from sha256sum of the patterned bytes: lengths on both sides of the point where the
// length field no longer fits in the last block (55/56) and of the block edges (64, 128).
const std::vector<std::pair<std::size_t, const char*>> kPaddingBoundaries = {
    {1, "084fed08b978af4d7d196a7446a86b58009e636b611db16211b65a9aadff29c5"},
    {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
    {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
    {57, "35df609437dcfea3279283ab79fd554e2bf78f8f7ae2de532d8ee300b09e8f73"},
    {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
    {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
    {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
    {111, "67d9492e628fd376e0b2efec8ca2b99b123e202cf620deb270728df979b2f73e"},
    {112, "96b928cff8528dbb99602c709a65b846cb6467acb8b722f0d758e4dc27bfc508"},
    {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
    {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
    {127, "a8d23e75d936f303d248888d9b165ee543f4cbafcad3c9dd2a79bd84faa11d07"},
    {128, "d2742f1f4ac6bb7ca2b239ee18402ba8b3f9f8e652d2a72973c2b9ba11c08cf6"},
    {129, "307f8fc2c1622b92762e818d39a185d4d667ad49a4b07ceae1f4afa008a93ec4"},
    {1000, "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
};

TEST(Sha256, PaddingBoundaries) {
    for (const auto& [length, expected] : kPaddingBoundaries) {
        EXPECT_EQ(sha256_hex(patterned(length)), expected) << "length " << length;
    }
}

TEST(Sha256, StreamingInAnyPiecesMatchesOneShot) {
    for (const auto& [length, expected] : kPaddingBoundaries) {
        const std::string bytes = patterned(length);
        for (const std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u}) {
            Sha256 hasher;
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                hasher.update(bytes.substr(at, piece));
            EXPECT_EQ(to_hex(hasher.finish()), expected) << "length " << length << " piece " << piece;
        }
    }
}

TEST(Sha256, FinishResetsForTheNextMessage) {
    Sha256 hasher;
    hasher.update("some earlier block");
    hasher.finish();
    hasher.update("abc");
    EXPECT_EQ(to_hex(hasher.finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(to_hex(hasher.finish()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

} // namespace
} // namespace wirelux
