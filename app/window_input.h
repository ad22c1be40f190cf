// The main window's input: one gesture at a time, begun by a left press on a
// control and ended by the release; the volume column's stepping, which goes
// on after the release; double clicks; files dropped on the window.
#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QPoint>
#include <vector>

#include "app/skin/geometry.h"

namespace vek::app {

class MainWindow;

// What the left button is doing since its press.
struct Gesture {
    enum class Kind {
        None,
        Push,       // a push control is held; pressed while the pointer is inside it
        Move,       // the title strip drags the window, held at grab
        Seek,       // the ring: every move around it seeks
        Volume,     // the volume column: every move in it sets the cell
        Equaliser,  // the equaliser: every move in it sets a band
    };
    Kind kind = Kind::None;
    geometry::PushControl control = geometry::kClose;
    bool pressed = false;
    QPoint grab;
};

struct WindowInput {
    Gesture gesture;
    // The volume column climbs or falls to the clicked cell one cell per tick.
    QBasicTimer volume_timer;
    int volume_target = 0;
};

// The window's mouse events, in client coordinates. left_down: the left button
// is held during the move.
void PressAt(MainWindow* window, QPoint point);
void MoveTo(MainWindow* window, QPoint point, QPoint global_point, bool left_down);
void ReleaseLeftButton(MainWindow* window);
void DoubleClickAt(MainWindow* window, QPoint point);

// Sets the volume column to a cell (0..15) at once, ending any stepping, as
// a move in the column does.
void TakeVolumeCell(MainWindow* window, int cell);

// One tick of the volume column's timer.
void StepVolume(MainWindow* window);

// Names dropped on the window: they replace the playlist and the first plays.
void PlayDroppedNames(const std::vector<QByteArray>& names);

}  // namespace vek::app
