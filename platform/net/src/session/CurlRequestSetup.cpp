#include "session/CurlRequestSetup.h"

CurlHeaderListPtr setUpRequest(CURL* easy, const NSURLRequest& request, const RequestBody& body,
                               const NSHTTPHeaderFields& additionalFields) {
    std::string url = request.URL()->absoluteString();
    if (auto hash = url.find('#'); hash != std::string::npos) url.resize(hash);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());

    const std::string& method = request.HTTPMethod();
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (body.present() || method == "POST" || method == "PUT" || method == "PATCH") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, body.wireLength());
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist* list = nullptr;
    NSHTTPHeaderFields fields = request.allHTTPHeaderFields();
    for (auto& [name, value] : additionalFields)
        if (!fields.count(name)) fields.emplace(name, value);
    auto addLine = [&](const std::string& line) {
        if (curl_slist* longer = curl_slist_append(list, line.c_str())) list = longer;
    };
    for (auto& [name, value] : fields) addLine(value.empty() ? name + ";" : name + ": " + value);
    // No header fields the caller did not ask for.
    addLine("Expect:");
    if (!fields.count("Content-Type")) addLine("Content-Type:");
    if (!fields.count("Accept-Encoding")) curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    return CurlHeaderListPtr(list);
}
