#include <platform_net/NSURLError.h>

#include <map>

std::string NSURLErrorLocalizedDescription(int64_t code) {
    // Never destroyed: transfers may still fail while the process exits.
    static const auto& texts = *new std::map<int64_t, const char*>{
        {NSURLErrorUnknown, "An unknown error occurred."},
        {NSURLErrorCancelled, "cancelled"},
        {NSURLErrorBadURL, "unsupported URL"},
        {NSURLErrorTimedOut, "The request timed out."},
        {NSURLErrorUnsupportedURL, "unsupported URL"},
        {NSURLErrorCannotFindHost, "A server with the specified hostname could not be found."},
        {NSURLErrorCannotConnectToHost, "Could not connect to the server."},
        {NSURLErrorNetworkConnectionLost, "The network connection was lost."},
        {NSURLErrorDNSLookupFailed, "A server with the specified hostname could not be found."},
        {NSURLErrorHTTPTooManyRedirects, "too many HTTP redirects"},
        {NSURLErrorResourceUnavailable, "resource unavailable"},
        {NSURLErrorNotConnectedToInternet, "The Internet connection appears to be offline."},
        {NSURLErrorRedirectToNonExistentLocation, "redirected to nowhere"},
        {NSURLErrorBadServerResponse, "bad server response"},
        {NSURLErrorUserCancelledAuthentication, "cancelled"},
        {NSURLErrorUserAuthenticationRequired, "The operation couldn’t be completed. Authentication is required."},
        {NSURLErrorZeroByteResource, "zero byte resource"},
        {NSURLErrorCannotDecodeRawData, "cannot decode raw data"},
        {NSURLErrorCannotDecodeContentData, "cannot decode content data"},
        {NSURLErrorCannotParseResponse, "cannot parse response"},
        {NSURLErrorFileDoesNotExist, "The requested URL was not found on this server."},
        {NSURLErrorFileIsDirectory, "file is directory"},
        {NSURLErrorNoPermissionsToReadFile, "The file couldn’t be opened because you don’t have permission to view it."},
        {NSURLErrorDataLengthExceedsMaximum, "resource exceeds maximum size"},
        {NSURLErrorSecureConnectionFailed, "An SSL error has occurred and a secure connection to the server cannot be made."},
        {NSURLErrorServerCertificateHasBadDate, "The certificate for this server has expired."},
        {NSURLErrorServerCertificateUntrusted, "The certificate for this server is invalid."},
        {NSURLErrorServerCertificateHasUnknownRoot, "The certificate for this server was signed by an unknown certifying authority."},
        {NSURLErrorServerCertificateNotYetValid, "The certificate for this server is not yet valid."},
        {NSURLErrorClientCertificateRejected, "The server did not accept the certificate."},
        {NSURLErrorClientCertificateRequired, "The server requires a client certificate."},
        {NSURLErrorCannotLoadFromNetwork, "cannot load from network"},
        {NSURLErrorCannotCreateFile, "cannot create file"},
        {NSURLErrorCannotOpenFile, "cannot open file"},
        {NSURLErrorCannotCloseFile, "cannot close file"},
        {NSURLErrorCannotWriteToFile, "cannot write file"},
        {NSURLErrorCannotRemoveFile, "cannot remove file"},
        {NSURLErrorCannotMoveFile, "cannot move file"},
        {NSURLErrorDownloadDecodingFailedMidStream, "download decoding failed"},
        {NSURLErrorDownloadDecodingFailedToComplete, "download decoding failed"},
        {NSURLErrorRequestBodyStreamExhausted, "request body stream exhausted"},
    };
    auto it = texts.find(code);
    return it == texts.end() ? "An unknown error occurred." : it->second;
}

NSErrorPtr NSURLErrorWithCode(int64_t code, const NSURLPtr& failingURL, Value::Dictionary extra) {
    Value::Dictionary info = std::move(extra);
    info.emplace(Value(NSLocalizedDescriptionKey), Value(NSURLErrorLocalizedDescription(code)));
    if (failingURL) {
        info[Value(NSURLErrorFailingURLErrorKey)] = Value(failingURL);
        info[Value(NSURLErrorFailingURLStringErrorKey)] = Value(failingURL->absoluteString());
    }
    return NSError::errorWithDomain(NSURLErrorDomain, code, std::move(info));
}
