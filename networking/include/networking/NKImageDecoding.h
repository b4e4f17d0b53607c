#pragma once
// Image decoding for responses: decoding from bytes under one process-wide lock, images at
// a scale, and inflation into a device-RGB bitmap ahead of drawing.

#include <memory>

#include <platform_net/NSURLResponse.h>
#include <platform_net/UIImage.h>
#include <platform_runtime/Value.h>

// +[UIImage nk_safeImageWithData:]: all decoding from bytes through here is serialised.
UIImagePtr nk_safeImageWithData(const Value::Data& data);
// The decoded image at `scale` (an animated image as decoded); nullptr when it does not decode.
UIImagePtr NKImageFromDataAtScale(const Value::Data& data, double scale);
// PNG and JPEG (not CMYK) decoded by their own decoders by MIME type, others through the
// image decoder, then redrawn into a device-RGB bitmap unless larger than 1024 x 1024 pixels
// or deeper than 8 bits per component.
UIImagePtr NKInflateImageFromResponse(const NSURLResponsePtr& response, const Value::Data* data, double scale);
