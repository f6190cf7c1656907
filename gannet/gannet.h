/* gannet.h - the web access library.
 *
 * Fetches the document named by an http or https URL into a local file,
 * directly or through the proxy named in "w3skua.ini" (https through a
 * CONNECT tunnel). https uses TLS 1.2 or later with the server's chain
 * verified against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR
 * honoured) and the PEM bundle named by `cafile` in section "network", and
 * the URL's host checked against the certificate; nothing turns that off.
 * Redirects (301, 302, 303, 307, 308) are followed up to 10 hops, never from
 * https to http; a user and password in the URL go as Basic authorization,
 * only over https or to 127.0.0.1 and ::1. One web object serves one URL:
 *
 *   WebHandle h = webObjectInit(url, 0, 0, 0);
 *   webFatalErrorGet(h, &code, text);          code 0: the URL was accepted
 *   webFileAcquire(h);                          blocking transfer
 *   webFatalErrorGet(h, &code, text);          code 0: the file is on disk
 *   webFileInfoGet(h, &info);                   status line at info.statusLine
 *   webFileLocalNameGet(h, name);               the local file (yours to keep)
 *   webObjectDelete(h);
 *
 * Results: 0 for success, -1 for failure; the reason is the shared fatal
 * code (0 to 10) with its English text, read with webFatalErrorGet. The
 * fatal entry is shared by every web object of the process, and each new
 * web object resets it to 0. All calls must come from one thread.
 */
#ifndef GANNET_GANNET_H
#define GANNET_GANNET_H

#include <stddef.h>
#include <stdint.h>

#if defined(GANNET_BUILDING)
#define GANNET_API __attribute__((visibility("default")))
#else
#define GANNET_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque web object; null is never a valid handle. */
typedef void* WebHandle;

/* Filled by webFileInfoGet. The layout is fixed (1300 bytes); texts are
 * NUL-terminated and cut to fit their field. */
typedef struct WebFileInfo {
  char url[256];          /* offset    0 */
  char localName[256];    /* offset  256 */
  char proxy[256];        /* offset  512: "" when none */
  int32_t statusCode;     /* offset  768: 0 when none was found */
  char statusLine[255];   /* offset  772: first response line, without its LF */
  char contentType[257];  /* offset 1027 */
  int32_t completed;      /* offset 1284: 1 after a successful transfer */
  int32_t fileLength;     /* offset 1288: bytes in the local file */
  int32_t requestLength;  /* offset 1292: bytes of the request sent */
  int32_t reserved;       /* offset 1296: always 0 */
} WebFileInfo;

#ifdef __cplusplus
#define GANNET_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define GANNET_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
GANNET_STATIC_ASSERT(sizeof(WebFileInfo) == 1300, "WebFileInfo is 1300 bytes");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, localName) == 256, "localName at 256");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, proxy) == 512, "proxy at 512");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, statusCode) == 768, "statusCode at 768");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, statusLine) == 772, "statusLine at 772");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, contentType) == 1027, "contentType at 1027");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, completed) == 1284, "completed at 1284");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, fileLength) == 1288, "fileLength at 1288");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, requestLength) == 1292, "requestLength at 1292");
GANNET_STATIC_ASSERT(offsetof(WebFileInfo, reserved) == 1296, "reserved at 1296");
#undef GANNET_STATIC_ASSERT

/* Stores the shared fatal code into *code and copies its message (at most
 * 255 characters and a NUL) into text, each only when given. -1 for a null
 * handle, else 0. */
GANNET_API int32_t webFatalErrorGet(WebHandle handle, int32_t* code, char* text);

/* Fetches the URL into the local file; blocks until done, failed or timed
 * out. 0 when the fatal code is 0 afterwards, else -1 (-1 for null). On
 * return errno is the system's reason when the local file could not be
 * created or written (ENOSPC for a full disk, say), and 0 otherwise.
 *
 * Outcomes: code 7 when a server answered without the file (its status is
 * in WebFileInfo: the final answer's after redirects; the URL field keeps
 * the URL asked for); code 10 with "Winsock Error N: text" for a failure of
 * the connection (N from 10000 to 11999) or above it, with N:
 *   0x80090322 the certificate names another host
 *   0x80090325 the chain comes from an authority that is not trusted
 *   0x80090326 the peer does not speak TLS, or not correctly
 *   0x80090327 another certificate fault
 *   0x80090328 the certificate has expired (or is not yet valid)
 *   0x80090331 no common TLS version or cipher
 *   50         the answer is in a content coding other than identity
 *   12040      https redirected to http
 *   12042      a password would travel in cleartext
 *   12156      an 11th redirect, a loop, or a Location to another scheme
 * (printed as signed decimal numbers). The body ends after Content-Length
 * bytes, at the last chunk of a chunked answer, or when the server closes. */
GANNET_API int32_t webFileAcquire(WebHandle handle);

/* Always 0. */
GANNET_API int32_t webFileAcquired(WebHandle handle);

/* Fills *info. -1 for a null handle or record, or when the object has no
 * protocol driver (the three first texts are filled all the same); else 0. */
GANNET_API int32_t webFileInfoGet(WebHandle handle, WebFileInfo* info);

/* Copies the local file name into buffer (at least 256 bytes): after a
 * transfer, the name it used (with the extension the content type mapped),
 * so that what a failed transfer left can be removed. Called from the
 * progress callback once it was told of body bytes, the name of the file
 * that holds them: it stays the same for the rest of the transfer, and the
 * file's first `received` bytes are written, so that another thread may
 * read them while the rest arrives. Returns 0 when the fatal code is 0,
 * else -1 (-1 for null, buffer untouched). */
GANNET_API int32_t webFileLocalNameGet(WebHandle handle, char* buffer);

/* Destroys the object; null does nothing. The local file stays. */
GANNET_API void webObjectDelete(WebHandle handle);

/* A new web object for url (null counts as ""). The three reserved
 * arguments take 0. Null only when memory runs out; any other failure is
 * reported by webFatalErrorGet on the returned handle. The time limit for
 * connecting, the TLS handshake and each wait for data, and for the whole
 * header block of an answer, is `timeout` seconds in section "network" of
 * "w3skua.ini" (default 60, 0 for none). */
GANNET_API WebHandle webObjectInit(const char* url, int32_t reserved1, int32_t reserved2,
                                   int32_t reserved3);

/* -1 for a null handle, else 1. */
GANNET_API int32_t webFileIsModified(WebHandle handle);

/* -1 for a null handle, else 1. */
GANNET_API int32_t webFileInUse(WebHandle handle);

/* Always -1. */
GANNET_API int32_t webFilePreserve(int32_t a, int32_t b);

/* Always -1. */
GANNET_API int32_t webFileReplace(int32_t a);

/* Always -1. */
GANNET_API int32_t webFileReplaced(int32_t a);

/* Always 0. */
GANNET_API int32_t webFileWait(int32_t a);

/* Follows a transfer: called from inside webFileAcquire, on its thread,
 * each time body bytes arrive, with the body bytes received so far, the
 * length the server announced (-1 when it announced none) and the cookie
 * given to webFileProgressSet. While the transfer waits instead (for a name
 * lookup, a connection, a TLS handshake, an answer, body bytes or the pause
 * before a resume), it is called at least every 100 ms with the body bytes
 * kept so far, never negative, and the length (0 and -1 before any answer).
 * Returning nonzero stops the transfer within that time: webFileAcquire
 * then returns -1 with fatal code 7 ("not acquired"), the local file is
 * removed and errno is ECANCELED.
 *
 * When a broken body is resumed (see "[network] retries" in w3skua.ini: at
 * most that many resumes, default 5, 0 for none; "retrywait": milliseconds
 * before the first, default 1000, each later one waiting twice as long as
 * the one before), the callback is first called once, before the wait that
 * precedes it, with received negative: -1 - received bytes are kept and the
 * transfer goes on from there. When the server sends the whole file again
 * instead, the callback is called with received 0 (less than before):
 * everything received so far is void and the local file starts again from
 * its first byte. */
typedef int32_t (*WebProgressCallback)(int64_t received, int64_t total, void* cookie);

/* Makes callback (null for none) follow the object's later transfers.
 * -1 for a null handle or an object that cannot transfer, else 0. */
GANNET_API int32_t webFileProgressSet(WebHandle handle, WebProgressCallback callback,
                                      void* cookie);

/* Stores into *error (when given) the number that the shared fatal entry
 * carries: N of its "Winsock Error N: text" when the fatal code is 10, else
 * 0; it is the number itself, so callers need not read it out of the text.
 * -1 for a null handle (*error untouched), else 0. */
GANNET_API int32_t webSocketErrorGet(WebHandle handle, int32_t* error);

#ifdef __cplusplus
}
#endif

#endif /* GANNET_GANNET_H */
