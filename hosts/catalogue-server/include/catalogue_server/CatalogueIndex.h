#pragma once
// The catalogue documents a server answers with, read into memory once: each
// file of the catalogue folder that stands for a service path, checked as
// JSON, kept as its exact bytes under that path.
//
//   jailbreaks.json                 -> /jailbreaks.json
//   api/ios/v4/releases.json        -> /api/ios/v4/releases
//   api/ios/v4/device/<id>.json     -> /api/ios/v4/device/<id>
//   api/ios/v3/device/<id>.json     -> /api/ios/v3/device/<id>
//
// Other files are not served. Immutable after load: any thread may look up.

#include <map>
#include <memory>
#include <string>

class CatalogueIndex {
public:
    // Reads every document under `root`. Nothing (and `*error` naming the
    // file and the fault) when the folder cannot be read, a document cannot
    // be read or is not JSON, or there is no document at all.
    static std::unique_ptr<CatalogueIndex> load(const std::string& root, std::string* error);

    // The document served for a request target as it came on the wire
    // (percent-encoded, maybe with a query, which is ignored); nullptr when
    // none. An encoded "/" or "\" never names a document.
    const std::string* documentForTarget(const std::string& target) const;
    // The document for a decoded service path ("/api/ios/v4/releases").
    const std::string* documentForPath(const std::string& path) const;

    const std::map<std::string, std::string>& documents() const { return documents_; }

private:
    std::map<std::string, std::string> documents_;
};
