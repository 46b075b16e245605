#include "ui/colour_picker_win.h"

#include <commdlg.h>

#include "base/handles_win.h"
#include "ui/system_dll_win.h"

namespace oruvel {

namespace {
// The dialog's custom colours, kept for the rest of the run like the system's own pickers do.
COLORREF customColours[16] = {};
}  // namespace

HWND ColourPicker::Create(HWND parent, int id, const RECT& place) {
    button_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                              place.left, place.top, place.right - place.left,
                              place.bottom - place.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    return button_;
}

void ColourPicker::SetColour(int32_t colour) {
    colour_ = colour;
    InvalidateRect(button_, nullptr, FALSE);
}

void ColourPicker::Draw(const DRAWITEMSTRUCT& item) const {
    RECT frame = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    DrawFrameControl(item.hDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    RECT swatch = frame;
    InflateRect(&swatch, -4, -4);
    UniqueBrush brush(CreateSolidBrush(static_cast<COLORREF>(colour_)));
    FillRect(item.hDC, &swatch, brush.get());
    FrameRect(item.hDC, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (item.itemState & ODS_FOCUS) {
        RECT focus = frame;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(item.hDC, &focus);
    }
}

void ColourPicker::Choose() {
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = GetParent(button_);
    choose.rgbResult = static_cast<COLORREF>(colour_);
    choose.lpCustColors = customColours;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    const auto chooseColour =
        SystemDllFunction<decltype(ChooseColorW)>(L"comdlg32.dll", "ChooseColorW");
    if (chooseColour && chooseColour(&choose)) {
        SetColour(static_cast<int32_t>(choose.rgbResult & 0xFFFFFF));
    }
}

}  // namespace oruvel
