#pragma once
// Error codes of the URL-loading layer (NSURLErrorDomain), the user-info keys it fills, and
// the error objects it reports.

#include <platform_net/NSURL.h>
#include <platform_runtime/NSError.h>

#include <cstdint>
#include <string>

enum NSURLErrorCode : int64_t {
    NSURLErrorUnknown = -1,
    NSURLErrorCancelled = -999,
    NSURLErrorBadURL = -1000,
    NSURLErrorTimedOut = -1001,
    NSURLErrorUnsupportedURL = -1002,
    NSURLErrorCannotFindHost = -1003,
    NSURLErrorCannotConnectToHost = -1004,
    NSURLErrorNetworkConnectionLost = -1005,
    NSURLErrorDNSLookupFailed = -1006,
    NSURLErrorHTTPTooManyRedirects = -1007,
    NSURLErrorResourceUnavailable = -1008,
    NSURLErrorNotConnectedToInternet = -1009,
    NSURLErrorRedirectToNonExistentLocation = -1010,
    NSURLErrorBadServerResponse = -1011,
    NSURLErrorUserCancelledAuthentication = -1012,
    NSURLErrorUserAuthenticationRequired = -1013,
    NSURLErrorZeroByteResource = -1014,
    NSURLErrorCannotDecodeRawData = -1015,
    NSURLErrorCannotDecodeContentData = -1016,
    NSURLErrorCannotParseResponse = -1017,
    NSURLErrorDataLengthExceedsMaximum = -1103,
    NSURLErrorRequestBodyStreamExhausted = -1021,
    NSURLErrorFileDoesNotExist = -1100,
    NSURLErrorFileIsDirectory = -1101,
    NSURLErrorNoPermissionsToReadFile = -1102,
    NSURLErrorSecureConnectionFailed = -1200,
    NSURLErrorServerCertificateHasBadDate = -1201,
    NSURLErrorServerCertificateUntrusted = -1202,
    NSURLErrorServerCertificateHasUnknownRoot = -1203,
    NSURLErrorServerCertificateNotYetValid = -1204,
    NSURLErrorClientCertificateRejected = -1205,
    NSURLErrorClientCertificateRequired = -1206,
    NSURLErrorCannotLoadFromNetwork = -2000,
    NSURLErrorCannotCreateFile = -3000,
    NSURLErrorCannotOpenFile = -3001,
    NSURLErrorCannotCloseFile = -3002,
    NSURLErrorCannotWriteToFile = -3003,
    NSURLErrorCannotRemoveFile = -3004,
    NSURLErrorCannotMoveFile = -3005,
    NSURLErrorDownloadDecodingFailedMidStream = -3006,
    NSURLErrorDownloadDecodingFailedToComplete = -3007,
};

// NSURLErrorFailingURLErrorKey / NSURLErrorFailingURLStringErrorKey come with NSError.h.
inline constexpr char NSURLErrorFailingURLPeerTrustErrorKey[] = "NSURLErrorFailingURLPeerTrustErrorKey";
inline constexpr char NSURLErrorBackgroundTaskCancelledReasonKey[] = "NSURLErrorBackgroundTaskCancelledReasonKey";
// In the user info of a cancelled download that can be resumed.
inline constexpr char NSURLSessionDownloadTaskResumeData[] = "NSURLSessionDownloadTaskResumeData";

// The English description of a code ("cancelled", "The request timed out.", ...); a generic
// text for codes without one.
std::string NSURLErrorLocalizedDescription(int64_t code);

// An NSURLErrorDomain error with the description and, when a URL is given, the failing URL
// and its string; `extra` entries are added to the user info (a description there wins).
NSErrorPtr NSURLErrorWithCode(int64_t code, const NSURLPtr& failingURL, Value::Dictionary extra = {});
