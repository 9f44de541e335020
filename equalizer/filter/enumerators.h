// IEnumPins and IEnumMediaTypes over a snapshot taken when the enumerator is made.
// The pins of this filter never change, and a pin's types change only with its
// connection, so a snapshot is as current as the caller can use.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "equalizer/filter/media_type.h"

namespace kestrun::equalizer {

HRESULT CreatePinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, IEnumPins** out);
HRESULT CreateMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out);

}  // namespace kestrun::equalizer
