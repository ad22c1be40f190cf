// Helpers for the window tests: a main window made the way the player makes it,
// with its settings and socket in private directories, and Qt's loop pumped.
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/display_handoff.h"
#include "app/main_window.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek::app::test {

// Runs Qt's loop until pred() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& pred, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (pred()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

inline void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                  Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
inline void Press(QWidget* w, QPoint at) {
    Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
}
inline void MoveTo(QWidget* w, QPoint at) {
    Mouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPoint at) {
    Mouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// The pictures a display thread hands over, taken on the GUI thread as the
// window takes them.
struct PictureLog {
    QObject receiver;
    std::vector<QImage> pictures;
    ShowPictureFn Show() {
        return [this](const QImage& picture) { pictures.push_back(picture); };
    }
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ResetSettingsToDefaults();
        gSettings.StartupExpanded = 1;  // most tests look at the lower half
        ClearPlaylist();
    }
    void TearDown() override {
        if (window_) {
            window_->close();
            window_.reset();
        }
        ClearPlaylist();
    }
    MainWindow* Open() {
        window_ = std::make_unique<MainWindow>();
        EXPECT_TRUE(window_->Create());
        window_->show();
        Pump(20);
        return window_.get();
    }
    std::string IniText() {
        std::vector<uint8_t> bytes = vek::test::ReadFileBytes(config_.IniPath());
        return std::string(bytes.begin(), bytes.end());
    }

    vek::test::ScopedConfigDir config_;
    vek::test::TempDir runtime_;
    vek::test::RecordingDesktop desktop_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace vek::app::test
