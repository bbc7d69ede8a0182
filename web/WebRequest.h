#pragma once
// One complete HTTP or HTTPS exchange per call, over libcurl. The caller's header block
// is completed with the default lines (Referer, Accept, Accept-Language, Content-Type,
// Cookie) and sent with the verb, the path exactly as written in `url` and the body;
// the cookies the reply sets are merged into the caller's cookie text. Nothing survives
// from one call to the next: no connection, no cookie store, no cache.
//
// Arguments (a null pointer is an argument left out; an in/out one then acts as empty):
//   url           address of the request.
//   method        1 sends "POST", every other value "GET"; any value but 0 sends a body.
//   body          request body as text, used when `bodyBytes` is empty.
//   cookies       in: cookies to send ("a=1; b=2"); out: merged with the reply's cookies.
//   replyCookies  out: the name=value items the final reply set, joined by ";".
//   headers       in: extra header lines separated by "\r\n"; out: the completed block.
//   location      out: the final reply's Location (or Content-Location) target, else
//                 its header block; an incoming value survives when there is neither.
//   noRedirect    true returns a redirect reply instead of following it. Otherwise 301,
//                 302 and 303 go on with a GET without body, 307 and 308 repeat the
//                 request, at most WebLimits::maxRedirects times; Cookie and
//                 Authorization lines are not sent on to another host.
//   bodyBytes     request body as bytes; when empty and a body is sent, it receives the
//                 bytes of `body`.
//   proxy         HTTP proxy ("host:port") for plain-HTTP addresses; null or empty means
//                 a direct connection, whatever the environment says.
//   replyHeaders  out: the final reply's raw header block, lines ending in "\r\n";
//                 empty when no reply arrived.
//
// Result: the final reply's body, whatever its status. It is empty when the reply has
// no body and whenever the request fails: an address that cannot be used (then no
// argument is touched), a connection that cannot be made, a time-out (WebLimits.h), a
// reply cut short, a body above the size cap or too many redirects. Callers cannot tell
// a failure from an empty reply; they test the body for what they expect.

#include "text/Text.h"

#include <string>

ByteBuffer fetchBytes(const std::string& url, int method = 0, const std::string& body = {},
                      std::string* cookies = nullptr, std::string* replyCookies = nullptr,
                      std::string* headers = nullptr, std::string* location = nullptr,
                      bool noRedirect = false, ByteBuffer* bodyBytes = nullptr,
                      const std::string* proxy = nullptr, std::string* replyHeaders = nullptr);

// fetchBytes with every argument passed on (a left-out proxy counts as an empty one), its
// body turned into text: the bytes up to the first zero byte, unchanged.
std::string fetchText(const std::string& url, int method = 0, const std::string& body = {},
                      std::string* cookies = nullptr, std::string* replyCookies = nullptr,
                      std::string* headers = nullptr, std::string* location = nullptr,
                      bool noRedirect = false, ByteBuffer* bodyBytes = nullptr,
                      const std::string* proxy = nullptr, std::string* replyHeaders = nullptr);
