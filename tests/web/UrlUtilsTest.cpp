#include "web/UrlUtils.h"

#include "text/Codepage.h"
#include "text/Text.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase {
    const char* address;
    const char* host;
    const char* hostWithPort;
    int port;
    const char* path;
};

TEST(UrlUtils, TakesAddressesApart) {
    const AddressCase cases[] = {
        {"HTTP://HostA:8080/a", "hosta", "hosta:8080", 8080, "/a"},
        {"hosta", "hosta", "hosta", 80, "/"},
        {"https://HostA/", "hosta", "hosta", 443, "/"},
        {"http://Host:8080/A/b?x=1", "host", "host:8080", 8080, "/A/b?x=1"},
        {"http://host", "host", "host", 80, "/"},
        {"https://h:8443/", "h", "h:8443", 8443, "/"},
        {"HTTPS://h/", "h", "h", 443, "/"},
        {"h/x", "h", "h", 80, "/x"},
        // A host that is also part of the scheme's name: the path starts after the host,
        // not at the "//" of the scheme.
        {"http://h/x", "h", "h", 80, "/x"},
        {"https://t/p#frag", "t", "t", 443, "/p#frag"},
        {"http://host:/x", "host", "host:", 0, "/x"},
        {"ftp://x/y", "ftp", "ftp:", 0, "//x/y"},
        {"hosta?x=1", "hosta?x=1", "hosta?x=1", 80, "/"},
        {"host/?u=http://other/", "other", "other", 80, "/"},
        {"http://h:99999999999/x", "h", "h:99999999999", 65536, "/x"},
        {"", "", "", 80, "/"},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(urlHost(c.address), c.host);
        EXPECT_EQ(urlHost(c.address, true), c.hostWithPort);
        EXPECT_EQ(urlPort(c.address), c.port);
        EXPECT_EQ(urlPath(c.address), c.path);
    }
}

TEST(UrlUtils, PathKeepsTheCallersBytesAndCase) {
    const std::string address = "http://Example.COM/" + utf8ToCp936("课程") + "/A?B=c";
    EXPECT_EQ(urlPath(address), "/" + utf8ToCp936("课程") + "/A?B=c");
}

TEST(UrlUtils, TextBetweenAnyCaseFoldsLettersUnlessAsked) {
    EXPECT_EQ(textBetweenAnyCase("USER-AGENT: x\r\n", "User-Agent:", "\r\n"), " x");
    EXPECT_EQ(textBetweenAnyCase("USER-AGENT: x\r\n", "User-Agent:", "\r\n", 0, true), "");
    const std::string quote(quotePlaceholder);
    EXPECT_EQ(textBetweenAnyCase("A=\"v\";", "a=" + quote, quote), "v");
    EXPECT_EQ(textBetweenAnyCase("k1=a;k2=b;", "K", ";", 5), "2=b");
    EXPECT_EQ(textBetweenAnyCase("no end marker", "no", "!"), "");
}

TEST(UrlUtils, TextAfterColonTrimsBlanks) {
    const std::string fullWidthSpace = "\xA1\xA1";
    EXPECT_EQ(textAfterColon("Location: http://h/x"), "http://h/x");
    EXPECT_EQ(textAfterColon("User-Agent:"), "");
    EXPECT_EQ(textAfterColon("no colon"), "");
    EXPECT_EQ(textAfterColon("A:" + fullWidthSpace + " v:w \t "), "v:w \t");
}

struct MergeCase {
    const char* jar;
    const char* fresh;
    const char* mergedJar;
    const char* cleanedFresh;
};

TEST(UrlUtils, MergeCookiesPutsFreshItemsFirstAndDropsDeletedOnes) {
    const MergeCase cases[] = {
        {"a=1; b=2", "b=3; c=deleted; d=4", "b=3; d=4; a=1", "b=3;c=deleted;d=4"},
        {"x=1", "x=deleted", "", "x=deleted"},
        {"z=9", "a=1;;b=2", "a=1; ; b=2; z=9", "a=1;;b=2"},
        {"a=b c", "", "a=bc", ""},
        {"", "a=b c", "a=bc", "a=bc"},
        // An empty jar holds no item: merging into it leaves no dangling separator.
        {"", "s=1", "s=1", "s=1"},
        {"", "", "", ""},
        {"s=1;", "", "s=1", ""},
        // Names are compared byte for byte; a later duplicate in the jar is dropped.
        {"A=1; a=2; a=3", "", "A=1; a=2", ""},
        {"flag; k=v", "flag=on", "flag=on; k=v", "flag=on"},
        {"a=\xA1\xA1"
         "1",
         "", "a=1", ""},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + " <- " + c.fresh);
        std::string jar = c.jar;
        std::string fresh = c.fresh;
        EXPECT_EQ(mergeCookies(jar, fresh), c.mergedJar);
        EXPECT_EQ(jar, c.mergedJar);
        EXPECT_EQ(fresh, c.cleanedFresh);
    }
}

} // namespace
