// The main window: one frameless, shaped window whose controls are regions of
// its own client area. It routes every message to the player's handling: the
// decoder thread's reports and the hand-over records arrive through the core's
// window bridge, mouse and keys through Qt's events.
#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QMenu>
#include <QPainter>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/skin.h"
#include "platform/desktop_hooks.h"
#include "platform/single_instance.h"
#include "platform/thread_queue.h"

namespace vek::app {

// Command identifiers shared by the menu, the keys and the buttons.
enum Command : int {
    kCmdOpenFile = 40001,
    kCmdClose = 40003,
    kCmdOpenLocation = 40004,
    kCmdPlaylistEditor = 40006,
    kCmdTagEditor = 40008,
    kCmdPreferences = 40009,
    kCmdPlay = 40010,
    kCmdStop = 40011,
    kCmdPause = 40012,
    kCmdNext = 40013,
    kCmdPrevious = 40014,
    kCmdShuffle = 40015,
    kCmdRepeat = 40016,
    kCmdAbout = 40018,
    kCmdEqualizer = 40033,
    kCmdPlayCurrent = 40102,
    kCmdExpand = 40103,
    kCmdWinShade = 40104,
};

class MainWindow : public QWidget {
  public:
    MainWindow();
    ~MainWindow() override;

    // The creation steps, in order; false when the window cannot be made.
    bool Create();

    Window* bridge() { return &bridge_; }
    const Skin& skin() const { return skin_; }
    bool expanded() const { return expanded_; }
    bool pressed(PushControl control) const { return pressed_[control]; }
    int last_percent() const { return last_percent_; }

    // One message, as the window procedure would take it.
    intptr_t HandleMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void RunCommand(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    static intptr_t Proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

    bool StartDisplays();
    void ShowDisplayPicture(QImage* kept, const Rect& area, const QImage& picture);
    void BuildMenu();
    void BuildKeys();
    void ApplyTopmost();
    void RepaintControl(PushControl control);
    void RepaintRegion(const QRegion& region);
    void ToggleExpanded();
    void Destroy();

    void DrawControl(QPainter& painter, PushControl control);
    void DrawVolume(QPainter& painter);
    void DrawEqualiser(QPainter& painter);

    void SeekAt(QPoint point);
    void SetVolumeFrom(QPoint point);
    void SetEqualiserFrom(QPoint point);
    intptr_t ReceiveCopyData(const CopyData& record);
    void ShowHandOverFailures();
    void PlayDropped(const std::vector<QByteArray>& names);

    Window bridge_;
    Skin skin_;
    QMenu menu_;
    QBasicTimer display_timer_;
    bool created_ = false;
    bool destroyed_ = false;
    bool expanded_ = false;
    int last_percent_ = 0;
    // The display threads' last pictures, and while one is painted, its area.
    QImage field_picture_;
    QImage ring_picture_;
    QRegion delivering_;

    bool held_[kPushControlCount] = {};
    bool pressed_[kPushControlCount] = {};
    QPoint press_point_;
    bool moving_ = false;
    bool seeking_ = false;
    bool setting_volume_ = false;
    bool volume_cancel_ = false;
    bool setting_equaliser_ = false;
    // What failed during a hand-over, shown once it is over.
    std::vector<KeptMessageBox> handover_failures_;
};

}  // namespace vek::app
