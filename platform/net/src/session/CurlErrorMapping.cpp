#include "session/CurlErrorMapping.h"

#include <platform_net/NSURLError.h>

#include <cerrno>

int64_t URLErrorCodeForCurlResult(CURLcode result, long osErrno) {
    switch (result) {
        case CURLE_OK: return 0;
        case CURLE_UNSUPPORTED_PROTOCOL: return NSURLErrorUnsupportedURL;
        case CURLE_URL_MALFORMAT: return NSURLErrorBadURL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return NSURLErrorCannotFindHost;
        case CURLE_COULDNT_CONNECT:
            if (osErrno == ENETUNREACH || osErrno == ENETDOWN) return NSURLErrorNotConnectedToInternet;
            return NSURLErrorCannotConnectToHost;
        case CURLE_OPERATION_TIMEDOUT: return NSURLErrorTimedOut;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_HTTP3: return NSURLErrorNetworkConnectionLost;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING: return NSURLErrorBadServerResponse;
        case CURLE_TOO_MANY_REDIRECTS: return NSURLErrorHTTPTooManyRedirects;
        case CURLE_PEER_FAILED_VERIFICATION: return NSURLErrorServerCertificateUntrusted;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CERTPROBLEM: return NSURLErrorSecureConnectionFailed;
        case CURLE_SSL_CACERT_BADFILE: return NSURLErrorServerCertificateHasUnknownRoot;
        case CURLE_READ_ERROR: return NSURLErrorRequestBodyStreamExhausted;
        case CURLE_WRITE_ERROR: return NSURLErrorCannotWriteToFile;
        case CURLE_FILESIZE_EXCEEDED: return NSURLErrorDataLengthExceedsMaximum;
        case CURLE_ABORTED_BY_CALLBACK: return NSURLErrorCancelled;
        default: return NSURLErrorUnknown;
    }
}
