#include <platform_net/NSURLSessionConfiguration.h>

NSURLSessionConfigurationPtr NSURLSessionConfiguration::defaultSessionConfiguration() {
    auto c = std::make_shared<NSURLSessionConfiguration>();
    c->cache_ = NSURLCache::sharedURLCache();
    return c;
}

NSURLSessionConfigurationPtr NSURLSessionConfiguration::ephemeralSessionConfiguration() {
    auto c = std::make_shared<NSURLSessionConfiguration>();
    c->cache_ = NSURLCache::create(10 * 1024 * 1024, 0, std::nullopt);
    c->ephemeral_ = true;
    return c;
}

NSURLSessionConfigurationPtr NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(std::string identifier) {
    auto c = defaultSessionConfiguration();
    c->identifier_ = std::move(identifier);
    return c;
}

std::string NSURLSessionConfiguration::description() const {
    return NSObject::description() + (identifier_ ? " { identifier: " + *identifier_ + " }" : std::string());
}

NSURLSessionConfigurationPtr NSURLSessionConfiguration::copy() const {
    auto c = std::make_shared<NSURLSessionConfiguration>();
    c->identifier_ = identifier_;
    c->headers_ = headers_;
    c->requestTimeout_ = requestTimeout_;
    c->resourceTimeout_ = resourceTimeout_;
    c->maxPerHost_ = maxPerHost_;
    c->cache_ = cache_;  // the cache object is shared, as a copied configuration does
    c->cachePolicy_ = cachePolicy_;
    c->cellular_ = cellular_;
    c->cookies_ = cookies_;
    c->pipelining_ = pipelining_;
    c->serviceType_ = serviceType_;
    c->ephemeral_ = ephemeral_;
    return c;
}
