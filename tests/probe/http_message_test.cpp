#include "probe/http_message.h"

#include <gtest/gtest.h>

#include <string>

namespace wirelux {
namespace {

TEST(HttpRequest, IsTheFixedHeaderBlockThenTheExtraHeadersInOrder) {
    EXPECT_EQ(
        build_http_request("10.0.0.55", "/cgi-bin/rad_user_info", {}),
        "GET /cgi-bin/rad_user_info HTTP/1.0\r\nHost: 10.0.0.55\r\nConnection: close\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(build_http_request("127.0.0.1", "", {{"Authorization", "Bearer s3cret"}, {"X-A", ""}}),
              "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\nAccept: */*\r\n"
              "Authorization: Bearer s3cret\r\nX-A: \r\n\r\n");
}

TEST(HttpRequest, RefusesTextThatWouldAddLinesOfItsOwn) {
    EXPECT_FALSE(build_http_request("host", "/a\r\nX-Injected: 1", {}));
    EXPECT_FALSE(build_http_request("host", "/a\rb", {}));
    EXPECT_FALSE(build_http_request("host\n", "/", {}));
    EXPECT_FALSE(build_http_request("host", "/", {{"X-A", "v\r\nX-B: w"}}));
    EXPECT_FALSE(build_http_request("host", "/", {{"X-A\n", "v"}}));
    EXPECT_FALSE(build_http_request("host", std::string("/a\0b", 4), {}));
}

TEST(HttpResponse, ReadsStatusLocationAndBody) {
    const HttpResponse r = parse_http_response("HTTP/1.1 302 Found\r\nServer: x\r\nLOCATION:  "
                                               "http://Portal.Example/Login?A=B \r\n\r\n<html>moved</html>");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.location, "http://Portal.Example/Login?A=B");
    EXPECT_EQ(r.body, "<html>moved</html>");
}

TEST(HttpResponse, TakesTheFirstStatusLineAndTheFirstLocation) {
    const HttpResponse r = parse_http_response(
        "garbage\r\n  http/1.0 200 OK\r\nHTTP/1.1 404 Not Found\r\nLocation: /one\r\nLocation: /two\r\n\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.location, "/one");
    EXPECT_EQ(r.body, "");
    // Lines ended by a bare LF are lines too.
    EXPECT_EQ(parse_http_response("HTTP/1.0 204 No Content\nLocation: /x\n\r\n\r\n").location, "/x");
}

TEST(HttpResponse, AnUnreadableStatusIsZero) {
    for (const char* raw : {"", "HTTP/1.1\r\n\r\n", "HTTP/1.1 abc OK\r\n\r\n", "HTTP/1.1 65536 Big\r\n\r\n",
                            "HTTP/1.1 -1 Neg\r\n\r\n", "HTTP/1.1 +200 OK\r\n\r\n", "HTTP/1.1 20x OK\r\n\r\n",
                            "SSH-2.0-OpenSSH_9.2\r\n\r\n",
                            // Only the first status line is read, unreadable or not.
                            "HTTP/1.1 x\r\nHTTP/1.1 200 OK\r\n\r\n"})
        EXPECT_EQ(parse_http_response(raw).status, 0) << raw;
    EXPECT_EQ(parse_http_response("HTTP/1.1 65535 Max\r\n\r\n").status, 65535);
    EXPECT_EQ(parse_http_response("HTTP/1.0\t200\tOK\r\n\r\n").status, 200);
}

TEST(HttpResponse, WithoutTheSeparatorEverythingIsHeaders) {
    const HttpResponse r =
        parse_http_response("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n<title>x</title>");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "");
    // The separator splits once; later blank lines belong to the body.
    EXPECT_EQ(parse_http_response("HTTP/1.0 200 OK\r\n\r\na\r\n\r\nb").body, "a\r\n\r\nb");
}

TEST(HttpResponse, InvalidUtf8IsReplacedInHeadersAndBody) {
    const HttpResponse r =
        parse_http_response("HTTP/1.0 200 OK\r\nLocation: /\xff\r\n\r\nA\xc3\x28Z\xe4\xb8\xad");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.location, "/\xef\xbf\xbd");
    EXPECT_EQ(r.body, "A\xef\xbf\xbd(Z\xe4\xb8\xad");
}

class Redirect : public ::testing::Test {
protected:
    const HttpTarget current{"10.0.0.55", 8080, "/a/b"};
};

TEST_F(Redirect, OnlyTheFiveRedirectStatusesWithALocationAreFollowed) {
    for (std::uint16_t status : {301, 302, 303, 307, 308})
        EXPECT_TRUE(redirect_target(current, status, "/x")) << status;
    for (std::uint16_t status : {0, 200, 300, 304, 305, 306, 309, 404})
        EXPECT_FALSE(redirect_target(current, status, "/x")) << status;
    EXPECT_FALSE(redirect_target(current, 302, ""));
}

TEST_F(Redirect, AnAbsolutePathKeepsHostAndPort) {
    EXPECT_EQ(redirect_target(current, 301, "/login"), (HttpTarget{"10.0.0.55", 8080, "/login"}));
}

TEST_F(Redirect, ARelativePathReplacesTheLastSegment) {
    EXPECT_EQ(redirect_target(current, 302, "portal.html"),
              (HttpTarget{"10.0.0.55", 8080, "/a/portal.html"}));
    EXPECT_EQ(redirect_target({"h", 80, "/a/"}, 302, "x?y=1"), (HttpTarget{"h", 80, "/a/x?y=1"}));
    EXPECT_EQ(redirect_target({"h", 80, "/"}, 302, "x"), (HttpTarget{"h", 80, "/x"}));
    EXPECT_EQ(redirect_target({"h", 80, "odd"}, 302, "x"), (HttpTarget{"h", 80, "x"}));
}

TEST_F(Redirect, AnHttpAddressGivesHostPortAndPath) {
    EXPECT_EQ(redirect_target(current, 302, "http://portal.test:8081/srun_portal?ac_id=1"),
              (HttpTarget{"portal.test", 8081, "/srun_portal?ac_id=1"}));
    EXPECT_EQ(redirect_target(current, 302, "http://portal.test"), (HttpTarget{"portal.test", 80, "/"}));
    EXPECT_EQ(redirect_target(current, 302, "http://portal.test:x/p"), (HttpTarget{"portal.test", 80, "/p"}));
    EXPECT_EQ(redirect_target(current, 302, "http://portal.test:/p"), (HttpTarget{"portal.test", 80, "/p"}));
    EXPECT_EQ(redirect_target(current, 302, "http://portal.test:70000/p"),
              (HttpTarget{"portal.test", 80, "/p"}));
    EXPECT_EQ(redirect_target(current, 302, "HTTP://Portal.Test/P"), (HttpTarget{"Portal.Test", 80, "/P"}));
}

TEST_F(Redirect, BracketedIpv6HostsLoseTheirBrackets) {
    EXPECT_EQ(redirect_target(current, 307, "http://[::1]:8800/api"), (HttpTarget{"::1", 8800, "/api"}));
    // Without a port the colons inside the brackets are the address's own.
    EXPECT_EQ(redirect_target(current, 307, "http://[2001:db8::5]/api"),
              (HttpTarget{"2001:db8::5", 80, "/api"}));
}

TEST_F(Redirect, OtherSchemesAndSchemeRelativeLocationsAreNotFollowed) {
    EXPECT_FALSE(redirect_target(current, 301, "https://portal.test/"));
    EXPECT_FALSE(redirect_target(current, 301, "HTTPS://portal.test/"));
    EXPECT_FALSE(redirect_target(current, 301, "//portal.test/"));
}

} // namespace
} // namespace wirelux
