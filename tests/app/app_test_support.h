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
#include "app/skin.h"
#include "control/transport.h"
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
    std::vector<QRect> changed;  // each picture's part that the window repaints
    ShowPictureFn Show() {
        return [this](const QImage& picture, QRect part) {
            pictures.push_back(picture);
            changed.push_back(part);
        };
    }
};

// The bars lit in a picture of the ring's box: bar k covers the degrees 15k to
// 15k + 15, the sectors 15k + 1 to 15k + 15; it counts as lit when any of its
// pixels differs from the skin's dark ring.
inline int LitBars(const QImage& box) {
    static const QImage unlit = LoadSkinImage("bitmap_102.png").copy(ToQRect(kRingPaintArea));
    static const std::vector<QRegion> bar_areas = [] {
        std::vector<QRegion> areas(24);
        for (int bar = 0; bar < 24; ++bar) {
            for (int i = 15 * bar + 1; i <= 15 * bar + 15; ++i) areas[bar] += RingSector(i % 360);
            areas[bar].translate(-kRingPaintArea.left, -kRingPaintArea.top);
        }
        return areas;
    }();
    int lit = 0;
    for (const QRegion& area : bar_areas) {
        bool differs = false;
        for (const QRect& r : area)
            for (int y = r.top(); y <= r.bottom() && !differs; ++y)
                for (int x = r.left(); x <= r.right() && !differs; ++x)
                    differs = box.pixel(x, y) != unlit.pixel(x, y);
        lit += differs;
    }
    return lit;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ResetSettingsToDefaults();
        gSettings.StartupExpanded = 1;  // most tests look at the lower half
        ClearPlaylist();
        SetPlayState(PlayState::Stopped);  // not what an earlier test's window left
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
