#include <app/api/ConnectionManager.h>

#include <app/api/NKCatalogueAPIClient.h>
#include <platform_net/NSURLRequest.h>

NSURLSessionDataTaskPtr ConnectionManager::globalTimelinePostsWithBlock(const std::string& URLString,
                                                                        ResultBlock result) {
    auto client = NKCatalogueAPIClient::sharedClient(URLString);
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(URLString));
    return client->dataTaskWithRequest(
        request, nullptr, nullptr,
        [result = std::move(result)](NSURLResponsePtr, Value responseObject, NSErrorPtr error) {
            if (!result) return;
            if (error) result(Value(), std::move(error));
            else result(std::move(responseObject), nullptr);
        });
}
