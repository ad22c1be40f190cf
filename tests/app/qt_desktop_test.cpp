#include "app/qt_desktop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>

#include "platform/desktop_hooks.h"
#include "platform/worker_thread.h"

namespace vek::app {
namespace {

std::atomic<bool> g_ran_on_gui{false};

int AskTheGuiThread(void*) {
    RunOnGuiThread([] {
        g_ran_on_gui = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return 1;
}

TEST(QtDesktop, AWorkerReachesTheGuiThreadWhileItWaitsForThatWorker) {
    ASSERT_EQ(MainWindow(), nullptr) << "no window takes part";
    WorkerThread worker = StartWorkerThread(AskTheGuiThread, nullptr, 0);
    ASSERT_TRUE(worker);
    // The join answers sends but runs no Qt events: the request must come as one.
    EXPECT_TRUE(JoinWorkerThread(&worker, 3000, nullptr));
    EXPECT_TRUE(g_ran_on_gui.load());
}

}  // namespace
}  // namespace vek::app
