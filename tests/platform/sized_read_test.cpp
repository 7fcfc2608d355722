#include "platform/sized_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace wirelux::platform {
namespace {

// A table that grows after the size query for the first `growing_rounds` rounds, as a busy machine's
// TCP table does between the two calls, answering the way the Windows table functions do.
struct Table {
    std::string content = "rows";
    int growing_rounds = 0;
    int calls = 0;

    SizedCallStatus operator()(std::uint8_t* buffer, std::uint32_t& size) {
        ++calls;
        const bool size_query = buffer == nullptr;
        if (size_query || size < content.size()) {
            size = static_cast<std::uint32_t>(content.size());
            if (size_query && growing_rounds-- > 0) content += "+row";
            return SizedCallStatus::BufferTooSmall;
        }
        std::memcpy(buffer, content.data(), content.size());
        return SizedCallStatus::Done;
    }
};

std::string read(Table& table) {
    const auto bytes = read_sized_table([&](std::uint8_t* b, std::uint32_t& s) { return table(b, s); });
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
}

TEST(SizedRead, RepeatsTheSizeAndReadPairWhileTheTableGrows) {
    Table still;
    EXPECT_EQ(read(still), "rows");
    EXPECT_EQ(still.calls, 2);

    Table grew_twice{"rows", 2};
    EXPECT_EQ(read(grew_twice), "rows+row+row");
    EXPECT_EQ(grew_twice.calls, 6);

    Table never_settles{"rows", 1000};
    EXPECT_EQ(read(never_settles), "<none>");
    EXPECT_EQ(never_settles.calls, 2 * kSizedReadAttempts);
}

TEST(SizedRead, GivesUpAtOnceOnFailureOrZeroSize) {
    int calls = 0;
    auto failing_read = [&](std::uint8_t* buffer, std::uint32_t& size) {
        ++calls;
        size = 8;
        return buffer ? SizedCallStatus::Failed : SizedCallStatus::BufferTooSmall;
    };
    EXPECT_FALSE(read_sized_table(failing_read));
    EXPECT_EQ(calls, 2);

    EXPECT_FALSE(read_sized_table([](std::uint8_t*, std::uint32_t& size) {
        size = 100;
        return SizedCallStatus::Failed;
    }));
    EXPECT_FALSE(read_sized_table([](std::uint8_t*, std::uint32_t& size) {
        size = 0;
        return SizedCallStatus::BufferTooSmall;
    }));
}

} // namespace
} // namespace wirelux::platform
