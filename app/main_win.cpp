// The program: its entry, and the one place that creates the bar and wires the lamps' drivers,
// the settings file, the tray and the settings window to it.
#include <windows.h>

#include "app/instance_guard_win.h"
#include "lamps/lamp_refresh.h"
#include "lamps/lamps_win.h"
#include "lamps/lock_key_input_win.h"
#include "settings/settings.h"
#include "settings/settings_file_win.h"
#include "ui/bar_events_win.h"
#include "ui/bar_placement_win.h"
#include "ui/indicator_bar_win.h"
#include "ui/settings_window_win.h"
#include "ui/toolkit_win.h"
#include "ui/tray_icon_win.h"

namespace oruvel {

namespace {

static_assert(IndicatorBar::kLampCount == 3 && static_cast<int>(Lamp::Scroll) == 2,
              "the bar's lamps and the refresh's come in the same order");

// What each lamp shows: its key-state word, painted in the lit colour in effect.
LampStates lampStates;

// The lamps as the refresh sees them. The keys are read on the bar's thread, whose key state is
// the one that input to the bar updates.
struct BarLamps final : LampIo {
    int32_t KeyState(int virtualKey) override { return GetKeyState(virtualKey); }
    void SetLampState(Lamp lamp, int32_t keyStateWord) override {
        lampStates.Set(lamp, keyStateWord);
        indicatorBar.RedrawLamp(static_cast<int>(lamp));
    }
};

// The bar as the settings file sees it.
struct BarSettings final : BarProperties {
    bool AlwaysOnTop() const override { return indicatorBar.AlwaysOnTop(); }
    void SetAlwaysOnTop(bool on) override { indicatorBar.SetAlwaysOnTop(on); }
    int32_t Left() const override { return indicatorBar.Left(); }
    void SetLeft(int32_t left) override { indicatorBar.SetLeft(left); }
    int32_t Top() const override { return indicatorBar.Top(); }
    void SetTop(int32_t top) override { indicatorBar.SetTop(top); }
    int32_t Width() const override { return IndicatorBar::kWidth; }
};

// The bar's timers as the watchdog sees them.
struct BarTimers final : WatchdogTimers {
    void SetWatchdogPeriod(int ms) override { indicatorBar.watchdogTimer().SetPeriod(ms); }
    void SetFallbackPeriod(int ms) override { indicatorBar.fallbackTimer().SetPeriod(ms); }
};

BarLamps barLamps;
BarTimers barTimers;

void RefreshBarLamps() {
    RefreshLamps(lockWords, barLamps);
}

// No driver refreshes a hidden bar; the first refresh once it is shown catches up.
void RefreshShownBar() {
    if (indicatorBar.IsShown()) {
        RefreshBarLamps();
    }
}

void LoadBarSettings() {
    SettingsFile file(SettingsFilePath());
    BarSettings bar;
    LoadSettings(file, bar, GetSystemMetrics(SM_CXSCREEN), litColour);
    // A place on a monitor that is gone, or edited to one that never was, is brought back.
    KeepBarOnScreen();
}

void SaveBarSettings() {
    SettingsFile file(SettingsFilePath());
    const BarSettings bar;
    SaveSettings(file, bar, litColour);
}

class Program final : public BarEvents, public SettingsTarget {
  public:
    // The start-up sequence: runs before the bar is first shown, in this fixed order.
    void BarCreated() override {
        InstanceGuard();
        LoadBarSettings();
        InstallTrayIcon();
        RefreshBarLamps();
        StartPollWorker(indicatorBar.window(), IndicatorBar::kSampleRequest);
        ArmWatchdog(barTimers);
        indicatorBar.ApplyBarPicture();
        // Beside the poll, a lock key's raw input refreshes the lamps at once.
        ListenForLockKeys(indicatorBar.window());
    }

    void BarDestroying() override {
        SaveBarSettings();
        StopListeningForLockKeys();
    }

    // Windows will end the program without destroying the bar: save now, or every move and
    // colour change of this run would be lost.
    void SessionEnding() override { SaveBarSettings(); }

    void OpenSettings() override;

    void WatchdogEvent() override { oruvel::WatchdogEvent(barTimers); }
    void FallbackPollEvent() override { RefreshShownBar(); }
    void SampleRequested() override {
        SampleRequestTaken();
        RefreshShownBar();
    }
    void RawInput(HRAWINPUT input) override {
        if (IsLockKeyInput(input) && indicatorBar.IsShown()) {
            RefreshBarLamps();
            indicatorBar.resampleTimer().Arm(kResampleDelayMs);
        }
    }
    void ResampleEvent() override { RefreshShownBar(); }
    // While the bar has the focus the lock keys come to it as key messages too, and its thread's
    // key state changes as it takes each of them, after the raw input of the same key: the lamps
    // follow at the press and at the release without waiting for the second sample.
    void KeyMessage(WPARAM virtualKey) override {
        if (IsLockKey(static_cast<int>(virtualKey))) {
            RefreshShownBar();
        }
    }

    int32_t LampColour(int lamp) const override {
        return lampStates.PaintColour(static_cast<Lamp>(lamp), litColour.load());
    }

    // SettingsTarget
    int32_t LitColour() const override { return litColour.load(); }
    bool AlwaysOnTop() const override { return indicatorBar.AlwaysOnTop(); }
    void Apply(int32_t colour, bool alwaysOnTop) override {
        if (!indicatorBar.window()) {
            return;
        }
        litColour = colour;
        indicatorBar.SetAlwaysOnTop(alwaysOnTop);
        RecolourAllLamps(barLamps);
    }
};

Program program;
SettingsWindow settingsWindow(program);

void Program::OpenSettings() {
    settingsWindow.Open();
}

}  // namespace

}  // namespace oruvel

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace oruvel;
    if (!indicatorBar.Create(instance, program)) {
        return 0;
    }
    // Its design makes the bar visible; SW_SHOW also activates it.
    ShowWindow(indicatorBar.window(), SW_SHOW);
    const int exitCode = RunMainLoop();
    // The worker ends before anything it could touch is torn down with the program.
    StopPollWorker();
    return exitCode;
}
