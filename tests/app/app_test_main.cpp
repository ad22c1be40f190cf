// The window tests need one QApplication for the whole program.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/qt_desktop.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vek::app::InstallQtDesktop();
    int result = RUN_ALL_TESTS();
    vek::app::RemoveQtDesktop();
    return result;
}
