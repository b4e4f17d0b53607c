#pragma once
// The decoder's input and buffers: a whole buffer, or a window over a file that is
// refilled as it is read. Shared by crjson_decode and the JSON embedding of the encoder.

#include <crash_core/CRJSONCodec.h>

namespace crjson_detail {

struct Source {
    char* data;          // the window (or the whole text)
    int pos = 0;         // next unread byte in the window
    int end = 0;         // end of the valid bytes in the window
    int capacity = 0;    // window size (file mode)
    int fd = -1;         // file mode when >= 0
    bool eof = true;
    long consumed = 0;   // bytes dropped from the window's front before data[0]
};

struct Buffers {
    char* names;
    int namesLength;
    char* strings;
    int stringsLength;
};

int decode(Source& source, const Buffers& buffers, const CRJSONDecodeCallbacks* callbacks, void* userData,
           int* errorOffset);

}  // namespace crjson_detail
