// Raw bytes of the pictures embedded in the exe.
#pragma once

#include <cstdint>
#include <span>

namespace oruvel {

// The bytes of an RCDATA resource of this exe; empty if it is missing. They live as long as
// the process, since the exe's image stays mapped.
std::span<const uint8_t> ResourceBytes(int id);

}  // namespace oruvel
