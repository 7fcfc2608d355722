#include "platform/chunked_write.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux::platform {
namespace {

TEST(ChunkedWrite, EndsOnFailureAndOnAWriteOfNothing) {
    const auto pieces_of = [](std::size_t) { return std::size_t{4}; };
    const struct {
        const char* name;
        std::vector<std::optional<std::size_t>> answers; // one per write call; then every write succeeds
        bool ok;
        std::size_t calls;
    } cases[] = {
        {"whole pieces", {}, true, 3},
        {"short writes are continued", {2, 1}, true, 4},
        {"a failed write", {4, std::nullopt}, false, 2},
        {"a successful write of nothing", {0}, false, 1},
    };
    for (const auto& c : cases) {
        std::size_t calls = 0;
        std::string written;
        const std::string text = "0123456789";
        const bool ok = write_in_chunks(text.size(), pieces_of, [&](std::size_t offset, std::size_t count) {
            std::optional<std::size_t> answer = std::min(count, text.size() - offset);
            if (calls < c.answers.size()) answer = c.answers[calls];
            ++calls;
            if (calls > 20) return std::optional<std::size_t>(); // a loop that never ends fails here
            if (answer) written += text.substr(offset, *answer);
            return answer;
        });
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        if (c.ok) {
            EXPECT_EQ(written, text) << c.name;
        }
    }
}

TEST(ChunkedWrite, AConsolePieceNeverEndsBetweenTheHalvesOfAPair) {
    const std::u16string pair = u"\U0001F600";
    const std::u16string text = std::u16string(3, u'a') + pair + u"b";
    const struct {
        std::size_t offset, limit, length;
    } cases[] = {
        {0, 4, 3}, // would end after the high half
        {0, 5, 5}, // ends after the pair
        {0, 3, 3},
        {3, 1, 1}, // a limit of one unit cannot do better
        {3, 16, 3}, // the rest fits
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf16_piece_length(std::u16string_view(text).substr(c.offset), c.limit), c.length)
            << c.offset << "/" << c.limit;
}

} // namespace
} // namespace wirelux::platform
