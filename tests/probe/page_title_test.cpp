#include "probe/page_title.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(PageTitle, FindsTheTagInAnyLetterCaseAndKeepsThePagesOwnCase) {
    EXPECT_EQ(page_title("<HTML><HEAD><TITLE>\r\n  Campus Login Portal \t</TITLE></HEAD>"),
              "Campus Login Portal");
    EXPECT_EQ(page_title("<title>a</TiTlE>"), "a");
    EXPECT_EQ(page_title("<html><title>\xe6\xa0\xa1\xe5\x9b\xad\xe7\xbd\x91 Login</title>"),
              "\xe6\xa0\xa1\xe5\x9b\xad\xe7\xbd\x91 Login");
}

TEST(PageTitle, TakesTheFirstTitleAndTheCloseAfterIt) {
    EXPECT_EQ(page_title("<title>one</title><title>two</title>"), "one");
    EXPECT_EQ(page_title("</title><title>late</title>"), "late");
    EXPECT_EQ(page_title("<title></title>"), "");
}

TEST(PageTitle, IsEmptyWithoutAPairOfTags) {
    EXPECT_EQ(page_title(""), "");
    EXPECT_EQ(page_title("<html>no title</html>"), "");
    EXPECT_EQ(page_title("<title>never closed"), "");
    EXPECT_EQ(page_title("</title>only a close"), "");
    EXPECT_EQ(page_title("<title id=x>attributes are another tag</title>"), "");
}

} // namespace
} // namespace wirelux
