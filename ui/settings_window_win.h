// The settings window: the lit colour and always-on-top, applied on 确定.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/colour_picker_win.h"

namespace oruvel {

// What the settings window shows and what its 确定 changes.
struct SettingsTarget {
    virtual int32_t LitColour() const = 0;  // 0x00BBGGRR
    virtual bool AlwaysOnTop() const = 0;
    // 确定: sets both values and recolours the lamps at once. A bar that is gone (退出 from the
    // tray while the window was open) has nothing to apply them to: nothing changes then.
    virtual void Apply(int32_t litColour, bool alwaysOnTop) = 0;

  protected:
    ~SettingsTarget() = default;
};

class SettingsWindow {
  public:
    explicit SettingsWindow(SettingsTarget& target);

    // The handler of 设置: opens the window modally, centred on the primary screen, and returns
    // once it has closed; while it is open the program's other windows are disabled. When it is
    // open already it is brought to the front instead, and this returns at once.
    void Open();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int control);
    void CreateControls();
    void SettingsCreated();
    void SettingsOk();
    void SettingsCancel();
    void CloseAfterClick();
    void DestroyNow();
    void EnableDisabledWindows();

    SettingsTarget& target_;
    HWND window_ = nullptr;
    bool open_ = false;  // from WM_NCCREATE to WM_NCDESTROY: the modal loop runs while it is set
    ColourPicker colourPicker_;
    std::vector<HWND> disabledWindows_;  // enabled again as the window goes
};

}  // namespace oruvel
