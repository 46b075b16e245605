#include "ui/resources_win.h"

#include <windows.h>

namespace oruvel {

namespace {

std::span<const uint8_t> Bytes(int id, const wchar_t* type) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = info ? LoadResource(nullptr, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return {};
    }
    return {static_cast<const uint8_t*>(data), SizeofResource(nullptr, info)};
}

}  // namespace

std::span<const uint8_t> ResourceBytes(int id) {
    return Bytes(id, RT_RCDATA);
}

std::span<const uint8_t> IconImageBytes(int id, int size) {
    // The icon resource is the file's directory; each image is a resource of its own.
    const auto directory = Bytes(id, RT_GROUP_ICON);
    if (directory.empty()) {
        return {};
    }
    const int imageId = LookupIconIdFromDirectoryEx(const_cast<uint8_t*>(directory.data()), TRUE,
                                                    size, size, LR_DEFAULTCOLOR);
    return imageId != 0 ? Bytes(imageId, RT_ICON) : std::span<const uint8_t>{};
}

}  // namespace oruvel
