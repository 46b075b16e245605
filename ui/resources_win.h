// Raw bytes of the pictures embedded in the exe.
#pragma once

#include <cstdint>
#include <span>

namespace oruvel {

// The bytes of an RCDATA resource of this exe; empty if it is missing. They live as long as
// the process, since the exe's image stays mapped.
std::span<const uint8_t> ResourceBytes(int id);

// The bytes of the image of the icon resource `id` that suits `size` x `size` pixels, as the
// icon file holds it (a BITMAPINFOHEADER, the pixels and the mask); empty if it is missing.
std::span<const uint8_t> IconImageBytes(int id, int size);

}  // namespace oruvel
