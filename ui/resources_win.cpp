#include "ui/resources_win.h"

#include <windows.h>

namespace oruvel {

std::span<const uint8_t> ResourceBytes(int id) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = info ? LoadResource(nullptr, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return {};
    }
    return {static_cast<const uint8_t*>(data), SizeofResource(nullptr, info)};
}

}  // namespace oruvel
