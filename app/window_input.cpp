#include "app/window_input.h"

#include <QWindow>

#include "app/main_window.h"
#include "app/player_events.h"
#include "app/playlist_editor.h"
#include "app/qt_desktop.h"
#include "app/window_commands.h"
#include "control/transport.h"
#include "engine/equaliser.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

constexpr int kVolumeStepMs = 60;
constexpr float kGainPerRow = 0.14285715f;  // just above 1/7 in single precision

using Kind = Gesture::Kind;

// The first push control under the point, or -1.
int PushControlAt(const Skin& skin, QPoint point) {
    for (int i = 0; i < kPushControlCount; ++i) {
        if (skin.controls[i].region.contains(point)) return i;
    }
    return -1;
}

// 0 to 99 percent clockwise from 12 o'clock; the ring's hole and rim post nothing.
void SeekAt(const Skin& skin, QPoint point) {
    int sector = SectorAt(skin, point);
    if (sector < 0) return;
    SeekToPercent(sector * 100 / kRingSectors);
}

void SetEqualiserAt(const Skin& skin, QPoint point) {
    for (int c = 0; c < kEqBands; ++c) {
        int row = EqualiserRowAt(skin, c, point);
        if (row < 0) continue;
        gSettings.EqBand[c] = static_cast<float>(row) * kGainPerRow;
        BuildEqualiserCurveFromSettings();
    }
}

void SetVolume(MainWindow* window, int cell) {
    if (gSettings.EqVolume == cell) return;
    gSettings.EqVolume = cell;
    window->RepaintRegion(window->skin().volume_column);
    NotifyPlayer(PlayerEvent::VolumeChanged, cell);
}

// Starts the column's climb (or fall) towards the cell: one step now, one
// per tick after, so the window stays answering all the while.
void StartVolumeSteps(MainWindow* window, int cell) {
    WindowInput& input = window->input();
    input.volume_target = cell;
    input.volume_timer.stop();
    if (gSettings.EqVolume == cell) return;
    StepVolume(window);
    input.volume_timer.start(kVolumeStepMs, window);
}

void Press(MainWindow* window, QPoint point) {
    const Skin& skin = window->skin();
    Gesture& gesture = window->input().gesture;
    int control = PushControlAt(skin, point);
    if (control >= 0) {
        gesture.kind = Kind::Push;
        gesture.control = static_cast<PushControl>(control);
        gesture.pressed = true;
        window->RepaintControl(gesture.control);
    } else if (skin.title_strip.contains(point)) {
        gesture.kind = Kind::Move;
        gesture.grab = point;
        // Where the window system keeps the windows' places to itself, it
        // moves them too.
        if (!WindowPositionsKnown() && window->windowHandle() &&
            window->windowHandle()->startSystemMove())
            gesture.kind = Kind::None;
    } else if (skin.ring.contains(point)) {
        gesture.kind = Kind::Seek;
        SeekAt(skin, point);
    } else if (skin.volume_column.contains(point)) {
        gesture.kind = Kind::Volume;
        int cell = VolumeCellAt(skin, point);
        if (cell >= 0) StartVolumeSteps(window, cell);
    } else if (skin.equaliser.contains(point)) {
        gesture.kind = Kind::Equaliser;
        SetEqualiserAt(skin, point);
        window->RepaintRegion(skin.equaliser);
    }
}

}  // namespace

void PressAt(MainWindow* window, QPoint point) {
    const QRegion shape = window->mask();
    if (!shape.isEmpty() && !shape.contains(point)) return;  // outside the window's outline
    window->input().gesture = Gesture{};
    Press(window, point);
}

void MoveTo(MainWindow* window, QPoint point, QPoint global_point, bool left_down) {
    const Skin& skin = window->skin();
    Gesture& gesture = window->input().gesture;
    switch (gesture.kind) {
        case Kind::Push: {
            bool inside = skin.controls[gesture.control].region.contains(point);
            bool changed = inside != gesture.pressed;
            gesture.pressed = inside;
            // The frame buttons repaint only when their look changes.
            bool frame = gesture.control == kClose || gesture.control == kMinimise ||
                         gesture.control == kExpandTab;
            if (changed || !frame) window->RepaintControl(gesture.control);
            break;
        }
        case Kind::Move:
            window->move(global_point - gesture.grab);
            break;
        case Kind::Seek:
            if (left_down && skin.ring.contains(point)) SeekAt(skin, point);
            break;
        case Kind::Volume:
            // A move in the column ends any stepping and takes its cell at once.
            if (left_down && skin.volume_column.contains(point)) {
                int cell = VolumeCellAt(skin, point);
                TakeVolumeCell(window, cell >= 0 ? cell : static_cast<int>(gSettings.EqVolume));
            }
            break;
        case Kind::Equaliser:
            if (left_down && skin.equaliser.contains(point)) {
                SetEqualiserAt(skin, point);
                window->RepaintRegion(skin.equaliser);
            }
            break;
        case Kind::None:
            break;
    }
}

void ReleaseLeftButton(MainWindow* window) {
    Gesture gesture = window->input().gesture;
    window->input().gesture = Gesture{};
    if (gesture.kind != Kind::Push) return;
    // The look goes back to idle before the action: a release dragged off
    // the control does nothing.
    window->RepaintControl(gesture.control);
    if (gesture.pressed) RunCommand(CommandOfButton(gesture.control));
}

void DoubleClickAt(MainWindow* window, QPoint point) {
    // The second press of a double click arrives here; only the title strip
    // answers it, so a quick double click on a button acts once.
    if (window->skin().title_strip.contains(point)) RunCommand(kCmdWinShade);
}

void TakeVolumeCell(MainWindow* window, int cell) {
    window->input().volume_timer.stop();
    SetVolume(window, cell);
}

void StepVolume(MainWindow* window) {
    WindowInput& input = window->input();
    int volume = gSettings.EqVolume;
    if (volume == input.volume_target) {
        input.volume_timer.stop();
        return;
    }
    SetVolume(window, volume + (volume < input.volume_target ? 1 : -1));
}

void PlayDroppedNames(const std::vector<QByteArray>& names) {
    Halt();
    ClearPlaylist();
    AddNamesQuietly(names);
    PlayListFromStart();
    ShowPlaylistChanges();
}

}  // namespace vek::app
