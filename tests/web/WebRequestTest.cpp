#include "web/WebRequest.h"

#include "tests/support/RecordingHttpServer.h"
#include "web/WebLimits.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string defaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 2Pac; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
const std::string defaultLines = "Accept: */*\r\n"
                                 "Accept-Language: zh-cn\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string bytesOf(const ByteBuffer& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A port on 127.0.0.1 where nothing listens: bound, then closed again.
int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

class WebRequest : public ::testing::Test {
protected:
    void TearDown() override { setWebLimits(WebLimits{}); }

    RecordingHttpServer server;
};

// ---- What goes on the wire ---------------------------------------------------------

struct WireCase {
    const char* name;
    int method;
    const char* body;
    const char* headers;
    const char* cookies;
    const char* path;
    // The whole request as received; {host}, {url} and {agent} are filled in.
    const char* expected;
    const char* completedHeaders; // {url} filled in
};

TEST_F(WebRequest, SendsExactlyTheVerbPathCompletedHeaderBlockAndBody) {
    const std::string largeBody(30, 'L');
    const WireCase cases[] = {
        {"get with nothing given", 0, "", "", "", "/a/b?x=1",
         "GET /a/b?x=1 HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: {url}\r\n"
         "{defaults}\r\n",
         "Referer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        {"post sends the text body", 1, "a=1&b=2", "", "", "/p",
         "POST /p HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: {url}\r\n"
         "{defaults}Content-Length: 7\r\n\r\na=1&b=2",
         nullptr},
        {"post with an empty body", 1, "", "", "", "/p",
         "POST /p HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: {url}\r\n"
         "{defaults}Content-Length: 0\r\n\r\n",
         nullptr},
        {"method 2 sends GET with the body", 2, "q=1", "", "", "/g",
         "GET /g HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: {url}\r\n"
         "{defaults}Content-Length: 3\r\n\r\nq=1",
         nullptr},
        {"method 0 ignores the body", 0, "ignored", "", "", "/g",
         "GET /g HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: {url}\r\n"
         "{defaults}\r\n",
         nullptr},
        {"every default line already there", 1, "x",
         "Referer: r\r\nAccept: text/html\r\nAccept-Language: en\r\nContent-Type: text/plain", "",
         "/p",
         "POST /p HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nReferer: r\r\n"
         "Accept: text/html\r\nAccept-Language: en\r\nContent-Type: text/plain\r\n"
         "Content-Length: 1\r\n\r\nx",
         "Referer: r\r\nAccept: text/html\r\nAccept-Language: en\r\nContent-Type: text/plain"},
        {"lower-case accept gets a second Accept line", 0, "", "accept: text/html", "", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\naccept: text/html\r\n"
         "Referer: {url}\r\n{defaults}\r\n",
         nullptr},
        {"user agent as the last line", 0, "", "Pragma: no-cache\r\nUser-Agent: X", "", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nPragma: no-cache\r\nUser-Agent: X\r\n"
         "Referer: {url}\r\n{defaults}\r\n",
         nullptr},
        {"user agent as a middle line, any case", 0, "", "user-agent: X\r\nPragma: no-cache", "",
         "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nuser-agent: X\r\nPragma: no-cache\r\n"
         "Referer: {url}\r\n{defaults}\r\n",
         nullptr},
        // "User-Agent:" inside another line's name still gives the session agent, which
        // is then sent as the User-Agent: the value up to the end of that line.
        {"user agent named inside another header", 0, "", "Pragma: p\r\nX-User-Agent: Y", "", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nUser-Agent: Y\r\nPragma: p\r\nX-User-Agent: Y\r\n"
         "Referer: {url}\r\n{defaults}\r\n",
         nullptr},
        {"an empty header value is sent empty", 0, "", "User-Agent:\r\nX-Empty: ", "", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nUser-Agent:\r\nX-Empty:\r\nReferer: {url}\r\n"
         "{defaults}\r\n",
         nullptr},
        // A line that merely contains "Accept:" or "Content-Type:" keeps the default line
        // out; libcurl must not put its own in either.
        {"no library default lines", 1, largeBody.c_str(), "X-Accept: a\r\nX-Content-Type: t", "",
         "/p",
         "POST /p HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nX-Accept: a\r\n"
         "X-Content-Type: t\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
         "Content-Length: 30\r\n\r\n{largeBody}",
         nullptr},
        {"a line with a control byte is not sent", 0, "", "X-Bad: a\nInjected: 1\r\nX-Tab: a\tb",
         "", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nX-Tab: a\tb\r\n"
         "Referer: {url}\r\n{defaults}\r\n",
         "X-Bad: a\nInjected: 1\r\nX-Tab: a\tb\r\nReferer: {url}\r\nAccept: */*\r\n"
         "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
        {"cookies always add a Cookie line", 0, "", "Cookie: old=1", "a=1; b=2", "/",
         "GET / HTTP/1.1\r\nHost: {host}\r\nUser-Agent: {agent}\r\nCookie: old=1\r\n"
         "Referer: {url}\r\n{defaults}Cookie: a=1; b=2\r\n\r\n",
         "Cookie: old=1\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nCookie: a=1; b=2"},
        {"path bytes and fragment unescaped", 0, "", "", "",
         "/a/\xBF\xCE%20/./x?n=\xC4\xE3&b=<>#frag",
         "GET /a/\xBF\xCE%20/./x?n=\xC4\xE3&b=<>#frag HTTP/1.1\r\nHost: {host}\r\n"
         "User-Agent: {agent}\r\nReferer: {url}\r\n{defaults}\r\n",
         nullptr},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = server.requests().size();
        const std::string url = server.baseUrl() + c.path;
        std::string headers = c.headers;
        std::string cookies = c.cookies;
        ByteBuffer bodyBytes;
        fetchBytes(url, c.method, c.body, &cookies, nullptr, &headers, nullptr, false, &bodyBytes);
        ASSERT_TRUE(server.waitForRequests(before + 1));
        std::string expected = replaceAll(c.expected, "{defaults}", defaultLines);
        expected = replaceAll(expected, "{host}", server.hostPort());
        expected = replaceAll(expected, "{agent}", defaultAgent);
        expected = replaceAll(expected, "{url}", url);
        expected = replaceAll(expected, "{largeBody}", largeBody);
        EXPECT_EQ(server.requests().at(before), expected);
        if (c.completedHeaders) {
            EXPECT_EQ(headers, replaceAll(c.completedHeaders, "{url}", url));
        }
        EXPECT_EQ(bytesOf(bodyBytes), c.method == 0 ? "" : c.body);
    }
}

TEST_F(WebRequest, GivenBodyBytesWinOverTheTextBody) {
    ByteBuffer bodyBytes{'b', 0, 'y'};
    fetchBytes(server.baseUrl() + "/p", 1, "text body", nullptr, nullptr, nullptr, nullptr, false,
               &bodyBytes);
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(server.requests()[0].ends_with(std::string("Content-Length: 3\r\n\r\nb\0y", 24)));
    EXPECT_EQ(bodyBytes, (ByteBuffer{'b', 0, 'y'}));
}

// libcurl would ask a large body to wait for "100 Continue"; the body goes out at once.
TEST_F(WebRequest, LargeBodyGoesOutWithoutExpect) {
    const std::string body((1 << 20) + 1, 'B');
    server.setDefaultReply(ScriptedReply().withBody("got it"));
    EXPECT_EQ(fetchText(server.baseUrl() + "/big", 1, body), "got it");
    ASSERT_TRUE(server.waitForRequests(1));
    const RequestParts request = splitRequest(server.requests()[0]);
    EXPECT_EQ(request.requestLine, "POST /big HTTP/1.1");
    EXPECT_EQ(request.headerBlock.find("Expect"), std::string::npos);
    EXPECT_TRUE(request.headerBlock.ends_with("\r\nContent-Length: 1048577"));
    EXPECT_EQ(request.body.size(), body.size());
}

TEST_F(WebRequest, PlainHttpGoesThroughAGivenProxyInAbsoluteForm) {
    const std::string proxy = server.hostPort();
    server.setDefaultReply(ScriptedReply().withBody("via proxy"));
    const std::string url = "http://Example.COM:8080/p?q=1";
    EXPECT_EQ(fetchText(url, 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr, &proxy),
              "via proxy");
    const std::string defaultPortUrl = "http://example.com/d";
    fetchText(defaultPortUrl, 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr, &proxy);
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_EQ(
        server.requests()[0],
        "GET http://example.com:8080/p?q=1 HTTP/1.1\r\nHost: example.com:8080\r\nUser-Agent: " +
            defaultAgent + "\r\nReferer: " + url + "\r\n" + defaultLines + "\r\n");
    EXPECT_TRUE(server.requests()[1].starts_with(
        "GET http://example.com/d HTTP/1.1\r\nHost: example.com\r\n"));
}

// Proxy variables of the environment are never used: a proxy left out and a proxy given
// empty both mean a direct connection.
TEST_F(WebRequest, EmptyOrLeftOutProxyConnectsDirectlyWhateverTheEnvironmentSays) {
    const std::string deadProxy = "http://127.0.0.1:" + std::to_string(closedPort());
    ::setenv("http_proxy", deadProxy.c_str(), 1);
    ::setenv("HTTP_PROXY", deadProxy.c_str(), 1);
    ::setenv("all_proxy", deadProxy.c_str(), 1);
    server.setDefaultReply(ScriptedReply().withBody("direct"));
    const std::string empty;
    const std::string url = server.baseUrl() + "/x";
    EXPECT_EQ(bytesOf(fetchBytes(url)), "direct");
    EXPECT_EQ(
        bytesOf(fetchBytes(url, 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr, &empty)),
        "direct");
    EXPECT_EQ(fetchText(url), "direct");
    ::unsetenv("http_proxy");
    ::unsetenv("HTTP_PROXY");
    ::unsetenv("all_proxy");
}

// An https address speaks TLS to its own host even when a proxy for plain HTTP is given.
TEST_F(WebRequest, HttpsAddressSpeaksTlsDirectly) {
    WebLimits limits;
    limits.stallTimeout = 300ms; // the recording server never answers the handshake
    setWebLimits(limits);
    RecordingHttpServer proxyServer;
    const std::string proxy = proxyServer.hostPort();
    std::string replyHeaders = "stale";
    const std::string url = "HTTPS://127.0.0.1:" + std::to_string(server.port()) + "/x";
    EXPECT_TRUE(fetchBytes(url, 0, "", nullptr, nullptr, nullptr, nullptr, false, nullptr, &proxy,
                           &replyHeaders)
                    .empty());
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(server.requests()[0].substr(0, 2), "\x16\x03"); // a TLS handshake record
    EXPECT_TRUE(proxyServer.requests().empty());
    EXPECT_EQ(replyHeaders, "");
}

// ---- Replies -------------------------------------------------------------------------

TEST_F(WebRequest, SetCookieLinesAreMergedIntoTheCallersCookies) {
    server.queueReply(ScriptedReply()
                          .withHeader("Set-Cookie: b=3; path=/")
                          .withHeader("Set-Cookie: c=deleted; path=/")
                          .withHeader("Set-Cookie: d=4; path=/"));
    std::string cookies = "a=1; b=2";
    std::string replyCookies = "discarded";
    fetchText(server.baseUrl() + "/", 0, "", &cookies, &replyCookies);
    EXPECT_EQ(replyCookies, "b=3;c=deleted;d=4");
    EXPECT_EQ(cookies, "b=3; d=4; a=1");

    // The merged text goes out with the next request.
    fetchText(server.baseUrl() + "/", 0, "", &cookies, &replyCookies);
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_NE(server.requests()[1].find("\r\nCookie: b=3; d=4; a=1\r\n"), std::string::npos);
    EXPECT_EQ(replyCookies, "");
}

// The whole header block is read, however long: cookies and targets at its end survive.
TEST_F(WebRequest, LongReplyHeaderBlockIsReadWhole) {
    ScriptedReply reply = ScriptedReply().withStatus(302, "Found");
    for (int i = 0; i < 200; ++i)
        reply.headerLines.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(40, 'f'));
    reply.headerLines.push_back("Set-Cookie: late=1; path=/");
    reply.headerLines.push_back("Location: http://elsewhere/late");
    server.queueReply(reply);
    std::string cookies, location, replyHeaders;
    fetchText(server.baseUrl() + "/", 0, "", &cookies, nullptr, nullptr, &location, true, nullptr,
              nullptr, &replyHeaders);
    EXPECT_GT(replyHeaders.size(), 9000u);
    EXPECT_EQ(cookies, "late=1");
    EXPECT_EQ(location, "http://elsewhere/late");
}

struct FinalBlockCase {
    const char* name;
    const char* raw;
    const char* replyHeaders;
    const char* body;
};

TEST_F(WebRequest, ReplyHeadersAreThoseOfTheFinalReplyWithCrLfLineEnds) {
    const FinalBlockCase cases[] = {
        {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\nok",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\n", "ok"},
        {"interim reply first",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n", "ok"},
        {"bare line feeds", "HTTP/1.1 404 Not Found\nContent-Length: 4\nX-B: 2\n\ngone",
         "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nX-B: 2\r\n\r\n", "gone"},
        {"body until close", "HTTP/1.1 500 Oops\r\nConnection: close\r\n\r\nerror page",
         "HTTP/1.1 500 Oops\r\nConnection: close\r\n\r\n", "error page"},
    };
    for (const FinalBlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.queueReply(ScriptedReply().verbatim(c.raw));
        std::string location, replyHeaders;
        EXPECT_EQ(fetchText(server.baseUrl() + "/", 0, "", nullptr, nullptr, nullptr, &location,
                            false, nullptr, nullptr, &replyHeaders),
                  c.body);
        EXPECT_EQ(replyHeaders, c.replyHeaders);
        EXPECT_EQ(location, c.replyHeaders); // no Location line: the block itself
    }
}

TEST_F(WebRequest, LocationTakesTheTargetOrKeepsTheIncomingValue) {
    server.queueReply(ScriptedReply().withHeader("Content-Location:  /other.htm "));
    server.queueReply(ScriptedReply().withHeader("X-Nothing: 1"));
    std::string location;
    fetchText(server.baseUrl() + "/", 0, "", nullptr, nullptr, nullptr, &location);
    EXPECT_EQ(location, "/other.htm");
    fetchText(server.baseUrl() + "/", 0, "", nullptr, nullptr, nullptr, &location);
    EXPECT_EQ(location, "/other.htm");
}

TEST_F(WebRequest, BodyWithAZeroByteIsWholeAsBytesAndCutAsText) {
    const std::string body("ab\0cd", 5);
    server.setDefaultReply(ScriptedReply().withBody(body));
    EXPECT_EQ(bytesOf(fetchBytes(server.baseUrl() + "/")), body);
    EXPECT_EQ(fetchText(server.baseUrl() + "/"), "ab");
}

// ---- Redirects -----------------------------------------------------------------------

struct RedirectCase {
    int status;
    int method;
    const char* secondRequestLine;
    bool bodyKept;
};

TEST_F(WebRequest, RedirectsAreFollowedWithTheRightVerb) {
    const RedirectCase cases[] = {
        {302, 1, "GET /next?a=1 HTTP/1.1", false}, {301, 1, "GET /next?a=1 HTTP/1.1", false},
        {303, 1, "GET /next?a=1 HTTP/1.1", false}, {307, 1, "POST /next?a=1 HTTP/1.1", true},
        {308, 2, "GET /next?a=1 HTTP/1.1", true},  {302, 0, "GET /next?a=1 HTTP/1.1", false},
    };
    for (const RedirectCase& c : cases) {
        SCOPED_TRACE(c.status);
        const std::size_t before = server.requests().size();
        server.queueReply(ScriptedReply()
                              .withStatus(c.status, "Moved")
                              .withHeader("Location: /next?a=1")
                              .withHeader("Set-Cookie: lost=1; path=/")
                              .withBody("moved"));
        server.queueReply(
            ScriptedReply().withHeader("Set-Cookie: kept=2; path=/").withBody("final"));
        std::string cookies, location, replyHeaders;
        EXPECT_EQ(fetchText(server.baseUrl() + "/first", c.method, "k=v", &cookies, nullptr,
                            nullptr, &location, false, nullptr, nullptr, &replyHeaders),
                  "final");
        ASSERT_TRUE(server.waitForRequests(before + 2));
        const std::string second = server.requests().at(before + 1);
        EXPECT_TRUE(second.starts_with(std::string(c.secondRequestLine) + "\r\n")) << second;
        EXPECT_EQ(second.ends_with("\r\n\r\nk=v"), c.bodyKept) << second;
        // The outputs are those of the final reply only.
        EXPECT_TRUE(replyHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
        EXPECT_EQ(location, replyHeaders);
        EXPECT_EQ(cookies, "kept=2");
    }
}

TEST_F(WebRequest, NoRedirectReturnsTheRedirectReplyItself) {
    server.queueReply(ScriptedReply()
                          .withStatus(302, "Found")
                          .withHeader("Location:   http://h/x  ")
                          .withBody("see elsewhere"));
    std::string location = "incoming", replyHeaders;
    EXPECT_EQ(fetchText(server.baseUrl() + "/", 0, "", nullptr, nullptr, nullptr, &location, true,
                        nullptr, nullptr, &replyHeaders),
              "see elsewhere");
    EXPECT_EQ(location, "http://h/x");
    EXPECT_TRUE(replyHeaders.starts_with("HTTP/1.1 302 Found\r\n"));
    EXPECT_FALSE(server.waitForRequests(2, 200ms));
}

TEST_F(WebRequest, RedirectToAnotherHostDropsTheCookieLine) {
    const std::string otherHost = "http://localhost:" + std::to_string(server.port());
    server.queueReply(
        ScriptedReply().withStatus(302, "Found").withHeader("Location: " + otherHost + "/there"));
    server.queueReply(ScriptedReply().withBody("there"));
    std::string cookies = "secret=1";
    EXPECT_EQ(fetchText(server.baseUrl() + "/", 0, "", &cookies), "there");
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_NE(server.requests()[0].find("Cookie: secret=1"), std::string::npos);
    EXPECT_TRUE(server.requests()[1].starts_with("GET /there HTTP/1.1\r\n"));
    EXPECT_EQ(server.requests()[1].find("Cookie:"), std::string::npos);
}

TEST_F(WebRequest, EndlessRedirectsFail) {
    WebLimits limits;
    limits.maxRedirects = 3;
    setWebLimits(limits);
    server.setDefaultReply(
        ScriptedReply().withStatus(302, "Found").withHeader("Location: /again").withBody("loop"));
    EXPECT_EQ(fetchText(server.baseUrl() + "/"), "");
    EXPECT_EQ(server.requests().size(), 4u);
}

// ---- Failures -------------------------------------------------------------------------

TEST_F(WebRequest, ReplyCutInTheMiddleOfTheBodyGivesAnEmptyResult) {
    const ScriptedReply cut = ScriptedReply().withBody(std::string(100, 'x')).cutAfterBodyBytes(10);
    server.queueReply(cut);
    server.queueReply(cut);
    std::string replyHeaders;
    EXPECT_TRUE(fetchBytes(server.baseUrl() + "/", 0, "", nullptr, nullptr, nullptr, nullptr, false,
                           nullptr, nullptr, &replyHeaders)
                    .empty());
    EXPECT_TRUE(replyHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(fetchText(server.baseUrl() + "/"), "");
}

TEST_F(WebRequest, BodyAboveTheCapIsNotKept) {
    WebLimits limits;
    limits.maxBodyBytes = 1000;
    setWebLimits(limits);
    server.queueReply(ScriptedReply().withBody(std::string(1000, 'a')));
    server.queueReply(ScriptedReply().withBody(std::string(1001, 'b')));
    server.queueReply(ScriptedReply().verbatim("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" +
                                               std::string(5000, 'c')));
    EXPECT_EQ(fetchText(server.baseUrl() + "/").size(), 1000u);
    EXPECT_EQ(fetchText(server.baseUrl() + "/"), ""); // announced by its length
    EXPECT_EQ(fetchText(server.baseUrl() + "/"), ""); // found out while reading
}

struct DeadServerCase {
    const char* name;
    bool useClosedPort;
};

TEST_F(WebRequest, DeadServerEndsTheRequestAsFailedWithoutTouchingLocation) {
    WebLimits limits;
    limits.stallTimeout = 300ms;
    setWebLimits(limits);
    server.setDefaultReply(ScriptedReply().silent());
    for (const DeadServerCase c :
         {DeadServerCase{"never answers", false}, DeadServerCase{"nothing listens", true}}) {
        SCOPED_TRACE(c.name);
        const int port = c.useClosedPort ? closedPort() : server.port();
        std::string location = "incoming", replyHeaders = "stale", headers, cookies = "a=1;b=2";
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fetchText("http://127.0.0.1:" + std::to_string(port) + "/", 1, "x", &cookies,
                            nullptr, &headers, &location, false, nullptr, nullptr, &replyHeaders),
                  "");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(location, "incoming");
        EXPECT_EQ(replyHeaders, "");
        EXPECT_TRUE(headers.starts_with("Referer: http://127.0.0.1:"));
        EXPECT_EQ(cookies, "a=1; b=2");
    }
}

TEST_F(WebRequest, UnusableAddressTouchesNothingAndSendsNothing) {
    for (const std::string& url :
         {server.baseUrl() + "/x\r\nX-Injected: 1", std::string("http:///x"),
          std::string("http://bad host/x"), server.baseUrl().append("99999/x")}) {
        SCOPED_TRACE(url);
        std::string headers = "Pragma: p", location = "keep", cookies = "a = 1",
                    replyHeaders = "keep";
        ByteBuffer bodyBytes;
        EXPECT_EQ(fetchText(url, 1, "body", &cookies, nullptr, &headers, &location, false,
                            &bodyBytes, nullptr, &replyHeaders),
                  "");
        EXPECT_EQ(headers, "Pragma: p");
        EXPECT_EQ(location, "keep");
        EXPECT_EQ(cookies, "a = 1");
        EXPECT_EQ(replyHeaders, "keep");
        EXPECT_TRUE(bodyBytes.empty());
    }
    EXPECT_FALSE(server.waitForRequests(1, 100ms));
}

TEST_F(WebRequest, CallsOnSeveralThreadsStayApart) {
    server.setDefaultReply(
        ScriptedReply().withHeader("Set-Cookie: s=1; path=/").withBody("shared"));
    std::vector<std::thread> threads;
    std::vector<std::string> results(6), cookies(6);
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] {
            cookies[i] = "own=" + std::to_string(i);
            results[i] = fetchText(server.baseUrl() + "/" + std::to_string(i), 0, "", &cookies[i]);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i], "shared");
        EXPECT_EQ(cookies[i], "s=1; own=" + std::to_string(i));
    }
}

} // namespace
