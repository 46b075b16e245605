// A colour picker: a push button showing the colour as a swatch; a click opens the system's
// colour dialog, where any colour can be chosen.
#pragma once

#include <windows.h>

#include <cstdint>

namespace oruvel {

class ColourPicker {
  public:
    HWND Create(HWND parent, int id, const RECT& place);
    int32_t colour() const { return colour_; }  // 0x00BBGGRR
    void SetColour(int32_t colour);
    // The parent hands on the picker's WM_DRAWITEM and its clicks.
    void Draw(const DRAWITEMSTRUCT& item) const;
    void Choose();

  private:
    HWND button_ = nullptr;
    int32_t colour_ = 0;
};

}  // namespace oruvel
