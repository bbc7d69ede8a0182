#include "web/WebRequest.h"

#include "web/UrlUtils.h"
#include "web/WebLimits.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::string defaultSessionAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 2Pac; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

constexpr int largestPort = 65535;

// ---- Small text helpers -------------------------------------------------------------

bool startsWithAnyCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           textSearch(text.substr(0, prefix.size()), prefix, 1, true) == 1;
}

bool isSecure(std::string_view url) {
    return textLowerCase(textFirstBytes(url, 5)) == "https";
}

// Control bytes would end a request line or a header line early and let a text from
// elsewhere add lines of its own. A tab is allowed inside header values.
bool hasControlByte(std::string_view text, bool tabAllowed = false) {
    for (char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        if ((value < 0x20 && !(tabAllowed && byte == '\t')) || value == 0x7F)
            return true;
    }
    return false;
}

std::vector<std::string> splitLines(std::string_view block) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = block.find("\r\n", start);
        lines.emplace_back(block.substr(start, end - start));
        if (end == std::string_view::npos)
            return lines;
        start = end + 2;
    }
}

std::string headerName(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : textLowerCase(line.substr(0, colon));
}

// ---- The session agent ------------------------------------------------------

// The value of the caller's User-Agent line (letter case ignored) up to the end of that
// line, or the default agent when the block has none. The line itself is sent as it is.
std::string sessionAgent(const std::string& headers) {
    constexpr std::string_view marker = "User-Agent:";
    const int at = textSearch(headers, marker, 1, true);
    if (at < 0)
        return defaultSessionAgent;
    const std::size_t valueStart = static_cast<std::size_t>(at) - 1 + marker.size();
    const std::size_t lineEnd = headers.find("\r\n", valueStart);
    return trimBlanks(std::string_view(headers).substr(valueStart, lineEnd - valueStart));
}

// ---- The completed header block ---------------------------------------------

std::string completeHeaderBlock(std::string block, const std::string& url,
                                const std::string& cookies) {
    if (textSearch(block, "Referer:") < 0)
        block += (block.empty() ? "Referer: " : "\r\nReferer: ") + url;
    if (textSearch(block, "Accept:") < 0)
        block += "\r\nAccept: */*";
    if (textSearch(block, "Accept-Language:") < 0)
        block += "\r\nAccept-Language: zh-cn";
    if (textSearch(block, "Content-Type:") < 0)
        block += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!cookies.empty())
        block += "\r\nCookie: " + cookies;
    return block;
}

// Header lines sent to another host after a redirect lose the caller's credentials.
std::string withoutCredentials(const std::string& block) {
    std::string kept;
    for (const std::string& line : splitLines(block)) {
        const std::string name = headerName(line);
        if (name == "cookie" || name == "authorization")
            continue;
        kept += kept.empty() ? line : "\r\n" + line;
    }
    return kept;
}

// ---- Where one exchange goes --------------------------------------------------------

bool isHostName(std::string_view host) {
    if (host.empty())
        return false;
    for (char byte : host) {
        const bool allowed = (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                             byte == '-' || byte == '.' || byte == '_';
        if (!allowed)
            return false;
    }
    return true;
}

struct Endpoint {
    std::string host;
    int port = 0;
};

// Host and port of an address; a port of 0 (none written) means the scheme's default.
std::optional<Endpoint> endpointOf(std::string_view address, int defaultPort) {
    Endpoint endpoint{urlHost(address), urlPort(address)};
    if (endpoint.port == 0)
        endpoint.port = defaultPort;
    if (!isHostName(endpoint.host) || endpoint.port > largestPort)
        return std::nullopt;
    return endpoint;
}

// What libcurl connects to and the request target it sends. The target is handed over
// whole, so that the path goes out exactly as the caller wrote it (libcurl's own URL
// handling would escape bytes of 0x80 and above and drop the fragment). A plain-HTTP
// request through a proxy is sent to the proxy in absolute form.
struct Target {
    std::string connectUrl;
    std::string requestTarget;
    std::string hostLine; // only for a request through a proxy
    std::string origin;   // scheme, host and port of the address: redirects compare it
};

std::optional<Target> targetOf(const std::string& url, const std::string& proxy) {
    if (hasControlByte(url) || hasControlByte(proxy))
        return std::nullopt;
    const bool secure = isSecure(url);
    const auto server = endpointOf(url, secure ? 443 : 80);
    if (!server)
        return std::nullopt;
    const std::string scheme = secure ? "https://" : "http://";
    const std::string hostPort = server->host + ":" + std::to_string(server->port);
    Target target;
    target.origin = scheme + hostPort;
    if (proxy.empty() || secure) {
        target.connectUrl = target.origin + "/";
        target.requestTarget = urlPath(url);
        return target;
    }
    const auto proxyServer = endpointOf(proxy, 80);
    if (!proxyServer)
        return std::nullopt;
    const std::string hostField = server->port == 80 ? server->host : hostPort;
    target.connectUrl =
        "http://" + proxyServer->host + ":" + std::to_string(proxyServer->port) + "/";
    target.requestTarget = "http://" + hostField + urlPath(url);
    target.hostLine = "Host: " + hostField;
    return target;
}

// ---- One exchange over libcurl ------------------------------------------------------

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

void appendHeader(CurlList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown) {
        list.release();
        list.reset(grown);
    }
}

// The caller's lines go out as they stand. A line with a blank value is written
// "Name;", libcurl's form for an empty header ("Name:" alone would remove the header).
// The closing entries with nothing after the colon stop libcurl from adding Expect,
// Accept and Content-Type lines of its own.
CurlList curlHeaderList(const std::string& block, const Target& target) {
    CurlList list;
    const bool hasHostLine = std::ranges::any_of(
        splitLines(block), [](const std::string& line) { return headerName(line) == "host"; });
    if (!target.hostLine.empty() && !hasHostLine)
        appendHeader(list, target.hostLine);
    for (const std::string& line : splitLines(block)) {
        if (line.empty() || hasControlByte(line, true))
            continue;
        const std::string name = headerName(line);
        if (!name.empty() && trimBlanks(line.substr(name.size() + 1)).empty())
            appendHeader(list, line.substr(0, name.size()) + ";");
        else
            appendHeader(list, line);
    }
    for (const char* suppressed : {"Expect:", "Accept:", "Content-Type:"})
        appendHeader(list, suppressed);
    return list;
}

struct Exchange {
    // In
    WebLimits limits;
    // Out
    ByteBuffer body;
    std::string headerBlock; // of the last reply whose head arrived
    bool headComplete = false;
    bool bodyTooLarge = false;
    // Stall watch
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;

    void noteActivity() { lastActivity = Clock::now(); }
};

// Each status line starts a new reply (an interim 1xx reply is followed by the final
// one), so the block kept is that of the last reply. Line ends become "\r\n" whatever
// the server sent; trailer lines after the head are not part of it.
size_t onHeaderLine(char* data, size_t size, size_t count, void* context) {
    auto& exchange = *static_cast<Exchange*>(context);
    const std::size_t length = size * count;
    exchange.noteActivity();
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
        exchange.headerBlock.clear();
        exchange.body.clear();
        exchange.headComplete = false;
    }
    if (exchange.headComplete)
        return length;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    exchange.headerBlock.append(line);
    exchange.headerBlock += "\r\n";
    exchange.headComplete = line.empty();
    return length;
}

size_t onBodyBytes(char* data, size_t size, size_t count, void* context) {
    auto& exchange = *static_cast<Exchange*>(context);
    const std::size_t length = size * count;
    exchange.noteActivity();
    if (exchange.body.size() + length > exchange.limits.maxBodyBytes) {
        exchange.bodyTooLarge = true;
        return 0; // ends the transfer with a write error
    }
    exchange.body.insert(exchange.body.end(), data, data + length);
    return length;
}

int onProgress(void* context, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto& exchange = *static_cast<Exchange*>(context);
    if (down != exchange.lastDown || up != exchange.lastUp) {
        exchange.lastDown = down;
        exchange.lastUp = up;
        exchange.noteActivity();
    }
    return Clock::now() - exchange.lastActivity > exchange.limits.stallTimeout ? 1 : 0;
}

struct Hop {
    std::string url;
    bool post = false;
    bool sendBody = false;
};

struct HopResult {
    bool complete = false; // a whole reply arrived
    long status = 0;
    ByteBuffer body;
    std::string headerBlock;
};

template <typename Value> void setOption(CURL* handle, CURLoption option, Value value) {
    curl_easy_setopt(handle, option, value);
}

HopResult exchangeOnce(const Hop& hop, const Target& target, const std::string& block,
                       const std::string& agent, const ByteBuffer& bodyBytes,
                       const WebLimits& limits) {
    HopResult result;
    CurlEasy handle(curl_easy_init());
    if (!handle)
        return result;
    CURL* curl = handle.get();
    Exchange exchange;
    exchange.limits = limits;
    CurlList headerList = curlHeaderList(block, target);
    static const char emptyBody[] = "";

    setOption(curl, CURLOPT_URL, target.connectUrl.c_str());
    setOption(curl, CURLOPT_REQUEST_TARGET, target.requestTarget.c_str());
    setOption(curl, CURLOPT_PROXY, ""); // never a proxy from the environment
    setOption(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    setOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    setOption(curl, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(curl, CURLOPT_NOSIGNAL, 1L);
    setOption(curl, CURLOPT_USERAGENT, agent.c_str()); // only used when no line has one
    setOption(curl, CURLOPT_HTTPHEADER, headerList.get());
    setOption(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    setOption(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    setOption(curl, CURLOPT_HEADERFUNCTION, onHeaderLine);
    setOption(curl, CURLOPT_HEADERDATA, &exchange);
    setOption(curl, CURLOPT_WRITEFUNCTION, onBodyBytes);
    setOption(curl, CURLOPT_WRITEDATA, &exchange);
    setOption(curl, CURLOPT_NOPROGRESS, 0L);
    setOption(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    setOption(curl, CURLOPT_XFERINFODATA, &exchange);
    if (hop.sendBody) {
        const char* data =
            bodyBytes.empty() ? emptyBody : reinterpret_cast<const char*>(bodyBytes.data());
        setOption(curl, CURLOPT_POSTFIELDS, data);
        setOption(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyBytes.size()));
        if (!hop.post)
            setOption(curl, CURLOPT_CUSTOMREQUEST, "GET");
    } else {
        setOption(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    result.complete = code == CURLE_OK && !exchange.bodyTooLarge;
    result.headerBlock = std::move(exchange.headerBlock);
    if (result.complete)
        result.body = std::move(exchange.body);
    return result;
}

// ---- Redirects ----------------------------------------------------------------------

bool isRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<std::string> redirectLocation(const std::string& headerBlock) {
    for (const std::string& line : splitLines(headerBlock)) {
        if (headerName(line) == "location") {
            std::string target = textAfterColon(line);
            if (!target.empty())
                return target;
        }
    }
    return std::nullopt;
}

// "scheme:" at the start of a reference: letters, digits, "+", "-" or "." before a colon
// that comes before any "/", "?" or "#".
bool hasScheme(std::string_view reference) {
    const std::size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon == 0 || reference.find_first_of("/?#") < colon)
        return false;
    return true;
}

// The address a Location value points to, resolved against the address of the request;
// none for a scheme other than HTTP and HTTPS.
std::optional<std::string> resolveLocation(const std::string& base, const std::string& location) {
    if (startsWithAnyCase(location, "http://") || startsWithAnyCase(location, "https://"))
        return location;
    if (hasScheme(location))
        return std::nullopt;
    const std::string scheme = isSecure(base) ? "https:" : "http:";
    if (location.starts_with("//"))
        return scheme + location;
    const std::string origin = scheme + "//" + urlHost(base, true);
    if (location.starts_with("/"))
        return origin + location;
    std::string basePath = urlPath(base);
    basePath = basePath.substr(0, basePath.find_first_of("?#"));
    if (location.starts_with("?"))
        return origin + basePath + location;
    return origin + basePath.substr(0, basePath.rfind('/') + 1) + location;
}

// ---- Outputs taken from the reply's header block --------------------------

void fillReplyOutputs(const std::string& replyHeaders, std::string& location,
                      std::string& replyCookies, std::string& cookies) {
    replyCookies.clear();
    for (const std::string& line : splitLines(replyHeaders)) {
        if (line.find("Location:") != std::string::npos)
            location = textAfterColon(line);
        if (line.find("Set-Cookie") != std::string::npos)
            replyCookies += trimBlanks(textBetweenAnyCase(line, "Set-Cookie:", ";")) + "; ";
    }
    if (!replyCookies.empty())
        replyCookies.resize(replyCookies.size() - 2);
    if (location.empty())
        location = replyHeaders;
    mergeCookies(cookies, replyCookies);
}

} // namespace

ByteBuffer fetchBytes(const std::string& url, int method, const std::string& body,
                      std::string* cookies, std::string* replyCookies, std::string* headers,
                      std::string* location, bool noRedirect, ByteBuffer* bodyBytes,
                      const std::string* proxy, std::string* replyHeaders) {
    // Left-out in/out arguments act as empty ones whose results are dropped.
    std::string localCookies, localReplyCookies, localHeaders, localLocation, localReplyHeaders;
    ByteBuffer localBodyBytes;
    std::string& cookieJar = cookies ? *cookies : localCookies;
    std::string& setCookies = replyCookies ? *replyCookies : localReplyCookies;
    std::string& headerBlock = headers ? *headers : localHeaders;
    std::string& target = location ? *location : localLocation;
    std::string& rawReplyHeaders = replyHeaders ? *replyHeaders : localReplyHeaders;
    ByteBuffer& sentBody = bodyBytes ? *bodyBytes : localBodyBytes;
    const std::string proxyServer = proxy ? *proxy : std::string();

    const std::optional<Target> first = targetOf(url, proxyServer);
    if (!first)
        return {};
    initialiseCurlOnce();
    const WebLimits limits = webLimits();
    const std::string agent = sessionAgent(headerBlock);
    headerBlock = completeHeaderBlock(headerBlock, url, cookieJar);
    if (method != 0 && sentBody.empty())
        sentBody = textToBytes(body);

    Hop hop{url, method == 1, method != 0};
    Target current = *first;
    std::string sentBlock = headerBlock;
    HopResult reply;
    bool failed = false;
    for (int redirects = 0;; ++redirects) {
        reply = exchangeOnce(hop, current, sentBlock, agent, sentBody, limits);
        if (!reply.complete) {
            failed = true;
            break;
        }
        if (noRedirect || !isRedirectStatus(reply.status))
            break;
        const auto location = redirectLocation(reply.headerBlock);
        const auto next = location ? resolveLocation(hop.url, *location) : std::nullopt;
        const auto nextTarget = next ? targetOf(*next, proxyServer) : std::nullopt;
        if (!nextTarget)
            break; // a redirect that cannot be followed is the final reply
        if (redirects == limits.maxRedirects) {
            failed = true;
            break;
        }
        if (reply.status == 301 || reply.status == 302 || reply.status == 303)
            hop = Hop{*next, false, false};
        else
            hop.url = *next;
        if (nextTarget->origin != first->origin)
            sentBlock = withoutCredentials(sentBlock);
        current = *nextTarget;
    }

    rawReplyHeaders = reply.headerBlock;
    fillReplyOutputs(rawReplyHeaders, target, setCookies, cookieJar);
    if (failed)
        return {};
    return std::move(reply.body);
}

std::string fetchText(const std::string& url, int method, const std::string& body,
                      std::string* cookies, std::string* replyCookies, std::string* headers,
                      std::string* location, bool noRedirect, ByteBuffer* bodyBytes,
                      const std::string* proxy, std::string* replyHeaders) {
    static const std::string noProxy;
    return bytesToText(fetchBytes(url, method, body, cookies, replyCookies, headers, location,
                                  noRedirect, bodyBytes, proxy ? proxy : &noProxy, replyHeaders));
}
