// The main window's shell: one frameless, shaped window whose controls are
// regions of its own client area. It creates and destroys what the player runs
// on, paints the skin, the controls and the display threads' pictures, and
// routes every message: the decoder thread's reports and the hand-over records
// arrive through the core's window bridge, mouse and keys through Qt's events.
// Its input is window_input's, its commands, menu and keys window_commands'.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <cstdint>

#include "app/skin.h"
#include "app/window_commands.h"
#include "app/window_input.h"
#include "platform/thread_queue.h"

namespace vek::app {

class MainWindow : public QWidget {
  public:
    MainWindow();
    ~MainWindow() override;

    // The creation steps, in order; false when the window cannot be made.
    bool Create();

    Window* bridge() { return &bridge_; }
    const Skin& skin() const { return skin_; }
    bool expanded() const { return expanded_; }
    int last_percent() const { return last_percent_; }
    // Whether a push control shows its pressed look.
    bool pressed(PushControl control) const;
    WindowInput& input() { return input_; }
    QMenu* menu() { return &menu_; }

    // One message, as the window procedure takes it.
    intptr_t HandleMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

    // Paint at once, nothing beyond the region (nothing while hidden).
    void RepaintControl(PushControl control);
    void RepaintRegion(const QRegion& region);
    void ToggleExpanded();
    // Minimised, or into the tray when MinimizeLocation asks for it.
    void Minimise();
    // Next and Previous play their entry once the gap has passed (restarted
    // by a second change within it).
    void FinishTrackChangeLater();
    // Into the topmost layer or out of it, as AlwaysOnTop says.
    void ApplyTopmost();

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
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    static intptr_t Proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

    bool StartDisplays();
    void FollowVisibility();
    void ShowDisplayPicture(QImage* kept, QRect area, const QImage& picture, QRect changed);
    void Destroy();

    void DrawControl(QPainter& painter, PushControl control);
    void DrawVolume(QPainter& painter);
    void DrawEqualiser(QPainter& painter);

    Window bridge_;
    Skin skin_;
    QMenu menu_;
    WindowInput input_;
    QBasicTimer track_change_timer_;
    bool created_ = false;
    bool destroyed_ = false;
    bool expanded_ = false;
    int last_percent_ = 0;
    // The display threads' last pictures, and while one of them is being
    // painted, its area.
    QImage field_picture_;
    QImage ring_picture_;
    QRegion delivering_;
};

// The main window from its creation until it is destroyed, else nullptr.
MainWindow* LiveMainWindow();

// The preferences sheet's duty once it has closed (OK or Cancel), on the GUI
// thread: the main window is enabled again, the settings are saved, the
// decoder thread takes its priority again and the window its layer.
void PreferencesSheetClosed();

}  // namespace vek::app
