// Driving the dialogs and popups that the code under test runs with exec():
// the answer is given from the dialog's own event loop, as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>
#include <functional>

namespace vek::app::test {

// A main window that closed has asked the application to quit, and until the
// application's loop has run again every exec() returns at once. Call before
// running dialogs in a test that may follow such a close.
inline void ForgetQuitRequest() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// Calls act with the widget found(), once there is one, from the event loop,
// until act returns true; after ten seconds the test fails and the dialog in
// front is closed, so that a dialog never answered cannot hang the tests.
template <typename T>
void When(std::function<QWidget*()> found, std::function<bool(T*)> act) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, found, act] {
        auto* widget = qobject_cast<T*>(found());
        bool done = widget && widget->isVisible() && act(widget);
        if (!done && clock->elapsed() > 10000) {
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " was answered";
            // A dialog left waiting would hold the test for good.
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            done = true;
        }
        if (done) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start(5);
}

// The next modal dialog of type T.
template <typename T>
void WhenModal(std::function<bool(T*)> act) {
    When<T>([] { return QApplication::activeModalWidget(); }, act);
}

// The next popup menu: picks the entry with this text.
inline void PickFromPopup(const QString& text) {
    When<QMenu>([] { return QApplication::activePopupWidget(); },
                [text](QMenu* menu) {
                    for (QAction* action : menu->actions()) {
                        if (action->text() != text) continue;
                        menu->setActiveAction(action);
                        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                        QCoreApplication::sendEvent(menu, &enter);
                        return true;
                    }
                    return false;
                });
}

// The next file dialog: names (in folder) are typed and accepted; none cancels.
// A filter, when given, is chosen first from the list of types, by keyboard.
inline void ChooseFiles(const QString& folder, const QStringList& names,
                        const QString& filter = QString()) {
    WhenModal<QFileDialog>([folder, names, filter](QFileDialog* dialog) {
        if (names.isEmpty()) {
            dialog->reject();
            return true;
        }
        dialog->setDirectory(folder);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; !filter.isEmpty() && types->currentText() != filter && i < types->count();
             ++i)
            QTest::keyClick(types, Qt::Key_Down);
        QString typed;
        for (const QString& name : names)
            typed +=
                (names.size() > 1 ? QStringLiteral("\"%1\" ") : QStringLiteral("%1")).arg(name);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed.trimmed());
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        return true;
    });
}

// The next Open URL dialog: text is typed and Open chosen.
inline void EnterUrl(const QString& text) {
    WhenModal<QDialog>([text](QDialog* dialog) {
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("url"));
        if (!field) return false;
        field->setText(text);
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Open")) button->click();
        return true;
    });
}

}  // namespace vek::app::test
