#pragma once
// Where a multipart body part's bytes come from while it is read: bytes in memory, a file
// read as it is pulled, or a caller's input stream. Status codes are the platform's stream
// codes (0 not open, 2 open, 5 at end, 6 closed, 7 error).

#include <cstdint>
#include <memory>
#include <string>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class NKBodySource {
public:
    virtual ~NKBodySource() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    // Bytes delivered, 0 at the end, -1 on failure (then error() says why).
    virtual int64_t read(uint8_t* buffer, std::size_t length) = 0;
    virtual uint64_t streamStatus() const = 0;
    virtual NSErrorPtr streamError() const = 0;
};

std::unique_ptr<NKBodySource> NKMakeDataBodySource(std::shared_ptr<const Value::Data> data);
std::unique_ptr<NKBodySource> NKMakeFileBodySource(std::string path);
