#pragma once
// A loopback image server for the image-loading tests. It counts the requests of every path,
// and serves:
//   /img/<name>       a small PNG (its shade derived from the name); /png64/<name> a 64 × 64 one
//   /held/<name>      the same, once the test releases <name> (or the server stops)
//   /cut/<name>       a PNG response cut off halfway through its announced length
//   /corrupt, /truncated, /huge, /missing (404), /text (a PNG labelled text/plain)
//   /html?charset=…   the body given by setHTML, with that charset in its content type

#include "../../../platform/net/tests/LoopbackServer.h"
#ifdef DELETE
#undef DELETE
#endif

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include <zlib.h>

#include "ImageTestSupport.h"

namespace nkimage {

class ImageServer : public LoopbackServer {
public:
    ImageServer() {
        auto& r = routes();
        // One request per connection: no idle keep-alive connection delays stopping.
        r.set_keep_alive_max_count(1);
        r.Get(R"(/img/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            servePng(req.matches[1], res);
        });
        r.Get(R"(/png64/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            auto png = pngBytes(64, 64, static_cast<uint8_t>(std::hash<std::string>()(req.matches[1])));
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
        r.Get(R"(/held/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            std::string name = req.matches[1];
            auto png = std::make_shared<std::vector<uint8_t>>(shadedPng(name));
            // The head goes out at once (so the client learns the protocol and opens further
            // connections), the body once the test releases the name.
            res.set_content_provider(png->size(), "image/png", [this, name, png](size_t offset, size_t, httplib::DataSink& sink) {
                {
                    std::unique_lock lock(mutex_);
                    cv_.wait(lock, [&] { return stopping_ || released_.count(name) > 0; });
                }
                sink.write(reinterpret_cast<const char*>(png->data()) + offset, png->size() - offset);
                return true;
            });
        });
        r.Get(R"(/cut/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            auto png = std::make_shared<std::vector<uint8_t>>(pngBytes(16, 16));
            res.set_content_provider(png->size(), "image/png",
                                     [png](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0) return false;  // close with half the body sent
                                         sink.write(reinterpret_cast<const char*>(png->data()), png->size() / 2);
                                         return true;
                                     });
        });
        r.Get("/corrupt", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            res.set_content("\x89PNG\r\n\x1a\n definitely not an image", "image/png");
        });
        r.Get("/truncated", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            auto png = pngBytes(16, 16);
            png.resize(png.size() / 2);
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
        r.Get("/huge", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            res.set_content(hugePng(), "image/png");
        });
        r.Get("/text", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            auto png = pngBytes(4, 4);
            res.set_content(std::string(png.begin(), png.end()), "text/plain");
        });
        r.Get("/html", [this](const httplib::Request& req, httplib::Response& res) {
            arrive(req.path);
            std::string type = "text/html";
            if (req.has_param("charset")) type += "; charset=" + req.get_param_value("charset");
            std::lock_guard lock(mutex_);
            res.set_content(html_, type);
        });
        start();
    }
    ~ImageServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        stop();
    }

    std::string image(const std::string& name) const { return url("/img/" + name); }
    std::string held(const std::string& name) const { return url("/held/" + name); }

    void release(const std::string& name) {
        {
            std::lock_guard lock(mutex_);
            released_.insert(name);
        }
        cv_.notify_all();
    }
    int requests(const std::string& path) const {
        std::lock_guard lock(mutex_);
        auto it = counts_.find(path);
        return it == counts_.end() ? 0 : it->second;
    }
    int totalRequests() const {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (auto& [path, count] : counts_) n += count;
        return n;
    }
    void setHTML(std::string body) {
        std::lock_guard lock(mutex_);
        html_ = std::move(body);
    }

    // A valid PNG header announcing 100,000 × 100,000 pixels.
    static std::string hugePng() {
        auto png = pngBytes(1, 1);
        const uint8_t dims[8] = {0x00, 0x01, 0x86, 0xA0, 0x00, 0x01, 0x86, 0xA0};
        std::copy(dims, dims + 8, png.begin() + 16);
        uint32_t crc = crc32(0, png.data() + 12, 17);
        for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        return std::string(png.begin(), png.end());
    }

private:
    void arrive(const std::string& path) {
        std::lock_guard lock(mutex_);
        ++counts_[path];
    }
    static std::vector<uint8_t> shadedPng(const std::string& name) {
        return pngBytes(8, 8, static_cast<uint8_t>(std::hash<std::string>()(name)));
    }
    static void servePng(const std::string& name, httplib::Response& res) {
        auto png = shadedPng(name);
        res.set_content(std::string(png.begin(), png.end()), "image/png");
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::string, int> counts_;
    std::set<std::string> released_;
    std::string html_;
    bool stopping_ = false;
};

}  // namespace nkimage
