// vek_sni_watcher: a StatusNotifierWatcher on the session bus, as a desktop's
// panel runs one. It says a host is there, so Qt's tray icons register with it
// as StatusNotifierItems; RegisteredStatusNotifierItems lists them.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>

namespace {

const QString kInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

class Watcher : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" "
            "direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" "
            "direction=\"in\"/></method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/></interface>");
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        const QString first = m.arguments().value(0).toString();
        QVariant value;
        if (m.member() == QLatin1String("RegisterStatusNotifierItem")) {
            // An item names its service, or only its path on the caller's.
            items_ << (first.startsWith(QLatin1Char('/')) ? m.service() + first : first);
            QDBusMessage signal = QDBusMessage::createSignal(
                m.path(), kInterface, QStringLiteral("StatusNotifierItemRegistered"));
            bus.send(signal << items_.last());
        } else if (m.member() == QLatin1String("Get")) {
            const QString name = m.arguments().value(1).toString();
            value = name == QLatin1String("RegisteredStatusNotifierItems") ? QVariant(items_)
                    : name == QLatin1String("ProtocolVersion")             ? QVariant(0)
                                                                           : QVariant(true);
        } else if (m.member() != QLatin1String("RegisterStatusNotifierHost")) {
            return false;
        }
        QDBusMessage reply = m.createReply();
        if (value.isValid()) reply << QVariant::fromValue(QDBusVariant(value));
        return bus.send(reply);
    }

  private:
    QStringList items_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), &watcher) ||
        !bus.registerService(kInterface))
        return 1;
    return QCoreApplication::exec();
}
