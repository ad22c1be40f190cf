#include "app/mpris.h"

#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/entry_title.h"
#include "app/file_types.h"
#include "app/handover_receipt.h"
#include "app/main_window.h"
#include "app/player_events.h"
#include "app/qt_desktop.h"
#include "app/window_commands.h"
#include "app/window_input.h"
#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "output/output_system.h"
#include "platform/limits.h"
#include "platform/url_name.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tags/track_tags.h"

namespace vek::app {
namespace {

constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
constexpr char kBusName[] = "org.mpris.MediaPlayer2.vek";
constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr char kTrackPath[] = "/io/github/vek/Track/";
constexpr char kInvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1000000;

enum Interface { kRoot, kPlayer, kInterfaceCount };
constexpr const char* kInterfaceNames[kInterfaceCount] = {"org.mpris.MediaPlayer2",
                                                          "org.mpris.MediaPlayer2.Player"};

class MprisObject : public QDBusVirtualObject {
  public:
    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
};

struct Mpris {
    explicit Mpris(const QDBusConnection& connection) : bus(connection) {}
    QDBusConnection bus;
    MainWindow* window = nullptr;
    MprisObject* object = nullptr;
    QString name;
    // The track id changes with the current entry's path.
    int serial = 0;
    QByteArray id_path;
    // The path of the track the decoder started last: the length it reports
    // belongs to that one, and is kept while the same track starts again.
    QByteArray started_path;
    int64_t length_us = -1;
    // What PropertiesChanged has told, by interface, and whether it is to
    // tell more.
    QVariantMap told[kInterfaceCount];
    bool announcing = false;
};
Mpris* g_mpris = nullptr;

// --- What the player shows --------------------------------------------------

QByteArray CurrentPath() {
    const PlaylistEntry* entry = gPlaylist.current;
    return entry && entry->path ? QByteArray(entry->path) : QByteArray();
}

QString UrlOf(const QByteArray& path) {
    if (IsUrl(path.constData())) return QString::fromUtf8(path);
    QString file = QDir::current().absoluteFilePath(QFile::decodeName(path));
    return QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded());
}

int64_t LengthUs() {
    if (CurrentPath() != g_mpris->started_path) return -1;
    int32_t ms = PlayingTrackMs();
    if (ms > 0) g_mpris->length_us = ms * kUsPerMs;
    return g_mpris->length_us;
}

// Never past the length told: where the length is estimated the seconds
// played can run beyond it.
int64_t PositionUs() {
    if (GetPlayState() == PlayState::Stopped) return 0;
    int64_t position = Output().GetSeconds() * kUsPerSecond;
    int64_t length = LengthUs();
    return length > 0 ? std::min(position, length) : position;
}

QString TrackId() {
    QByteArray path = CurrentPath();
    if (path.isEmpty()) return QString::fromLatin1(kNoTrack);
    if (path != g_mpris->id_path) {
        g_mpris->id_path = path;
        ++g_mpris->serial;
    }
    return QString::fromLatin1(kTrackPath) + QString::number(g_mpris->serial);
}

bool CanPlay() {
    return PlaylistCount() > 0;
}

bool CanSeek() {
    return GetPlayState() != PlayState::Stopped && LengthUs() > 0;
}

// --- Properties ---------------------------------------------------------------

QStringList Strings(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) list << QString::fromStdString(text);
    return list;
}

// What the tags have; a field they lack is left out, as clients expect.
void AddTags(const TrackTags& tags, QVariantMap* map) {
    auto text = [map](const char* key, const std::string& value) {
        if (!value.empty()) (*map)[QString::fromLatin1(key)] = QString::fromStdString(value);
    };
    auto list = [map](const char* key, const std::vector<std::string>& values) {
        if (!values.empty()) (*map)[QString::fromLatin1(key)] = Strings(values);
    };
    list("xesam:artist", tags.artists);
    text("xesam:album", tags.album);
    list("xesam:albumArtist", tags.album_artists);
    list("xesam:genre", tags.genres);
    if (tags.track > 0) (*map)[QStringLiteral("xesam:trackNumber")] = tags.track;
    if (!tags.cover_path.empty())
        (*map)[QStringLiteral("mpris:artUrl")] = QString::fromLatin1(
            QUrl::fromLocalFile(QFile::decodeName(tags.cover_path.c_str())).toEncoded());
}

QVariant Metadata() {
    QVariantMap map;
    map[QStringLiteral("mpris:trackid")] = QVariant::fromValue(QDBusObjectPath(TrackId()));
    QByteArray path = CurrentPath();
    if (path.isEmpty()) return map;
    // A station's title, else the tags', else the file title, whatever the
    // list shows.
    const PlaylistEntry& entry = *gPlaylist.current;
    const TrackTags* tags = entry.tags.get();
    map[QStringLiteral("xesam:title")] = tags && !tags->title.empty() && !entry.title
                                             ? QString::fromStdString(tags->title)
                                             : EntryPlainTitle(entry);
    if (tags) AddTags(*tags, &map);
    map[QStringLiteral("xesam:url")] = UrlOf(path);
    int64_t length = LengthUs();
    if (length > 0) map[QStringLiteral("mpris:length")] = static_cast<qlonglong>(length);
    return map;
}

QVariant PlaybackStatus() {
    switch (GetPlayState()) {
        case PlayState::Playing:
            return QStringLiteral("Playing");
        case PlayState::Paused:
            return QStringLiteral("Paused");
        case PlayState::Stopped:
            break;
    }
    return QStringLiteral("Stopped");
}

// The schemes OpenUri takes: local files and the streams the player fetches.
const QStringList& UriSchemes() {
    static const QStringList schemes{"file", "http", "https"};
    return schemes;
}

// The types of the desktop entry built into the program.
QVariant MimeTypes() {
    static const QStringList types = [] {
        QStringList list;
        for (const std::string& type : DesktopEntryMimeTypes(BuiltInDesktopEntry()))
            list << QString::fromStdString(type);
        return list;
    }();
    return types;
}

// Any double a client sends: one that is not finite says nothing of a level
// and is ignored; the others are clamped before they become a step.
bool SetVolume(const QVariant& value) {
    if (value.typeId() != QMetaType::Double) return false;
    double level = value.toDouble();
    if (std::isfinite(level) && LiveMainWindow())
        TakeVolumeCell(g_mpris->window,
                       static_cast<int>(std::round(std::clamp(level, 0.0, 1.0) * kTopVolume)));
    return true;
}

bool SetShuffle(const QVariant& value) {
    if (value.typeId() != QMetaType::Bool) return false;
    if (value.toBool() != (gSettings.ShufflePlay != 0)) RunCommand(kCmdShuffle);
    return true;
}

// The list repeats as a whole or not at all; one track alone is not repeated.
bool SetLoopStatus(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return false;
    QString status = value.toString();
    if (status != QLatin1String("None") && status != QLatin1String("Playlist")) return false;
    if ((status == QLatin1String("Playlist")) != (gSettings.RepeatPlay != 0))
        RunCommand(kCmdRepeat);
    return true;
}

bool IgnoreRate(const QVariant& value) {
    return value.typeId() == QMetaType::Double;
}

struct Property {
    Interface interface;
    const char* name;
    const char* type;  // its D-Bus signature
    QVariant (*get)();
    bool (*set)(const QVariant& value);  // null: read-only; false: a value it does not take
    bool told = true;                    // PropertiesChanged carries its changes
};

const Property kProperties[] = {
    {kRoot, "CanQuit", "b", [] { return QVariant(true); }, nullptr},
    {kRoot, "CanRaise", "b", [] { return QVariant(true); }, nullptr},
    {kRoot, "HasTrackList", "b", [] { return QVariant(false); }, nullptr},
    {kRoot, "Identity", "s", [] { return QVariant(QStringLiteral("Vek")); }, nullptr},
    {kRoot, "DesktopEntry", "s", [] { return QVariant(QStringLiteral("vek")); }, nullptr},
    {kRoot, "SupportedUriSchemes", "as", [] { return QVariant(UriSchemes()); }, nullptr},
    {kRoot, "SupportedMimeTypes", "as", MimeTypes, nullptr},
    {kPlayer, "PlaybackStatus", "s", PlaybackStatus, nullptr},
    {kPlayer, "LoopStatus", "s",
     [] { return QVariant(QString::fromLatin1(gSettings.RepeatPlay != 0 ? "Playlist" : "None")); },
     SetLoopStatus},
    {kPlayer, "Rate", "d", [] { return QVariant(1.0); }, IgnoreRate},
    {kPlayer, "Shuffle", "b", [] { return QVariant(gSettings.ShufflePlay != 0); }, SetShuffle},
    {kPlayer, "Metadata", "a{sv}", Metadata, nullptr},
    {kPlayer, "Volume", "d",
     [] { return QVariant(static_cast<double>(gSettings.EqVolume) / kTopVolume); }, SetVolume},
    // Clients ask for the position when they want it; it is never announced.
    {kPlayer, "Position", "x", [] { return QVariant(static_cast<qlonglong>(PositionUs())); },
     nullptr, false},
    {kPlayer, "MinimumRate", "d", [] { return QVariant(1.0); }, nullptr},
    {kPlayer, "MaximumRate", "d", [] { return QVariant(1.0); }, nullptr},
    {kPlayer, "CanGoNext", "b",
     [] { return QVariant(CurrentPosition() >= 0 && CurrentPosition() + 1 < PlaylistCount()); },
     nullptr},
    {kPlayer, "CanGoPrevious", "b", [] { return QVariant(CurrentPosition() > 0); }, nullptr},
    {kPlayer, "CanPlay", "b", [] { return QVariant(CanPlay()); }, nullptr},
    {kPlayer, "CanPause", "b", [] { return QVariant(CanPlay()); }, nullptr},
    {kPlayer, "CanSeek", "b", [] { return QVariant(CanSeek()); }, nullptr},
    {kPlayer, "CanControl", "b", [] { return QVariant(true); }, nullptr},
};

const Property* FindProperty(Interface interface, const QString& name) {
    for (const Property& p : kProperties)
        if (p.interface == interface && name == QLatin1String(p.name)) return &p;
    return nullptr;
}

// --- Methods ------------------------------------------------------------------

void SeekTo(int64_t position_us) {
    int64_t length = LengthUs();
    SeekToPercent(static_cast<int>(std::clamp<int64_t>(position_us * 100 / length, 0, 100)));
}

// Each returns null when done, else why the arguments were refused.
using MethodFn = const char* (*)(const QVariantList& args);

const char* Raise(const QVariantList&) {
    if (!LiveMainWindow()) return nullptr;
    g_mpris->window->showNormal();
    g_mpris->window->raise();
    g_mpris->window->activateWindow();
    return nullptr;
}

const char* Play(const QVariantList&) {
    // Play on the window restarts a playing track; the desktop's Play only
    // starts or resumes.
    if (CanPlay() && GetPlayState() != PlayState::Playing) RunCommand(kCmdPlay);
    return nullptr;
}

const char* PlayPause(const QVariantList& args) {
    if (GetPlayState() == PlayState::Playing) {
        RunCommand(kCmdPause);
        return nullptr;
    }
    return Play(args);
}

// An offset past the end goes on to the next track, one before the start
// seeks to it.
const char* Seek(const QVariantList& args) {
    if (!CanSeek()) return nullptr;
    // The offset comes from any client: the sum saturates rather than wrap.
    int64_t position;
    if (__builtin_add_overflow(PositionUs(), args[0].toLongLong(), &position))
        position = std::numeric_limits<int64_t>::max();
    if (position > LengthUs())
        RunCommand(kCmdNext);
    else
        SeekTo(std::max<int64_t>(position, 0));
    return nullptr;
}

// Only for the track named, and only to a place within it.
const char* SetPosition(const QVariantList& args) {
    QString track = args[0].value<QDBusObjectPath>().path();
    int64_t position = args[1].toLongLong();
    if (CanSeek() && track == TrackId() && position >= 0 && position <= LengthUs())
        SeekTo(position);
    return nullptr;
}

// As a name handed over by a later start: the list becomes the one name,
// and it plays.
const char* OpenUri(const QVariantList& args) {
    // A name fits a path field, and each of its bytes takes at most three
    // characters of an address: anything longer is refused before it is parsed.
    constexpr qsizetype kLongestUri = 3 * kPathField + 64;
    if (args[0].toString().size() > kLongestUri) return "longer than any name a path may have";
    QUrl url(args[0].toString());
    if (!UriSchemes().contains(url.scheme())) return "not a scheme of SupportedUriSchemes";
    QByteArray name = NameOfUrl(url);
    if (name.isEmpty()) return "the address names no file";
    if (LiveMainWindow()) PlayNameAlone(name.constData());
    return nullptr;
}

template <int command>
const char* Command(const QVariantList&) {
    RunCommand(command);
    return nullptr;
}

struct Method {
    Interface interface;
    const char* name;
    const char* args;  // "Name:type" for each argument, space separated
    MethodFn run;
};

const Method kMethods[] = {
    {kRoot, "Raise", "", Raise},
    {kRoot, "Quit", "", Command<kCmdClose>},
    {kPlayer, "Next", "", Command<kCmdNext>},
    {kPlayer, "Previous", "", Command<kCmdPrevious>},
    // The window's Pause acts only while playing, as the desktop's does.
    {kPlayer, "Pause", "", Command<kCmdPause>},
    {kPlayer, "PlayPause", "", PlayPause},
    {kPlayer, "Stop", "", Command<kCmdStop>},
    {kPlayer, "Play", "", Play},
    {kPlayer, "Seek", "Offset:x", Seek},
    {kPlayer, "SetPosition", "TrackId:o Position:x", SetPosition},
    {kPlayer, "OpenUri", "Uri:s", OpenUri},
};

QString Signature(const char* args) {
    QString signature;
    for (const QString& arg : QString::fromLatin1(args).split(u' ', Qt::SkipEmptyParts))
        signature += arg.section(u':', 1);
    return signature;
}

// --- The bus ----------------------------------------------------------------

Interface InterfaceNamed(const QString& name, bool* known) {
    for (int i = 0; i < kInterfaceCount; ++i) {
        if (name == QLatin1String(kInterfaceNames[i])) {
            *known = true;
            return static_cast<Interface>(i);
        }
    }
    *known = false;
    return kRoot;
}

QVariantMap AllProperties(Interface interface, bool told_only) {
    QVariantMap all;
    for (const Property& p : kProperties)
        if (p.interface == interface && (p.told || !told_only))
            all[QString::fromLatin1(p.name)] = p.get();
    return all;
}

QDBusMessage PropertiesCall(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    const QString member = message.member();
    bool known = false;
    Interface interface = args.isEmpty() ? kRoot : InterfaceNamed(args[0].toString(), &known);
    if (member == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
        return message.createReply(
            QVariant(known ? AllProperties(interface, false) : QVariantMap()));
    }
    bool get = member == QLatin1String("Get") && message.signature() == QLatin1String("ss");
    bool set = member == QLatin1String("Set") && message.signature() == QLatin1String("ssv");
    if (!get && !set) return message.createErrorReply(QDBusError::UnknownMethod, member);
    const Property* property = known ? FindProperty(interface, args[1].toString()) : nullptr;
    if (!property) return message.createErrorReply(QDBusError::UnknownProperty, args[1].toString());
    if (get) return message.createReply(QVariant::fromValue(QDBusVariant(property->get())));
    if (!property->set)
        return message.createErrorReply(QDBusError::PropertyReadOnly, args[1].toString());
    if (!property->set(args[2].value<QDBusVariant>().variant()))
        return message.createErrorReply(QString::fromLatin1(kInvalidArgs),
                                        QStringLiteral("not a value for ") + args[1].toString());
    return message.createReply();
}

QDBusMessage MethodCall(const QDBusMessage& message) {
    bool known = false;
    Interface interface = InterfaceNamed(message.interface(), &known);
    for (const Method& m : kMethods) {
        // A call may leave the interface out.
        if ((known && m.interface != interface) || message.member() != QLatin1String(m.name))
            continue;
        if (message.signature() != Signature(m.args))
            return message.createErrorReply(
                QString::fromLatin1(kInvalidArgs),
                QStringLiteral("expected arguments: ") + QString::fromLatin1(m.args));
        if (const char* why = m.run(message.arguments()))
            return message.createErrorReply(QString::fromLatin1(kInvalidArgs),
                                            QString::fromUtf8(why));
        return message.createReply();
    }
    return message.createErrorReply(QDBusError::UnknownMethod, message.member());
}

QString MprisObject::introspect(const QString&) const {
    QString xml;
    for (int i = 0; i < kInterfaceCount; ++i) {
        xml += QStringLiteral("<interface name=\"%1\">\n").arg(QLatin1String(kInterfaceNames[i]));
        for (const Method& m : kMethods) {
            if (m.interface != i) continue;
            xml += QStringLiteral("<method name=\"%1\">").arg(QLatin1String(m.name));
            for (const QString& arg : QString::fromLatin1(m.args).split(u' ', Qt::SkipEmptyParts))
                xml += QStringLiteral("<arg name=\"%1\" type=\"%2\" direction=\"in\"/>")
                           .arg(arg.section(u':', 0, 0), arg.section(u':', 1));
            xml += QStringLiteral("</method>\n");
        }
        for (const Property& p : kProperties) {
            if (p.interface != i) continue;
            xml += QStringLiteral("<property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                       .arg(QLatin1String(p.name), QLatin1String(p.type),
                            QLatin1String(p.set ? "readwrite" : "read"));
        }
        if (i == kPlayer)
            xml += QStringLiteral(
                "<signal name=\"Seeked\"><arg name=\"Position\" type=\"x\"/></signal>\n");
        xml += QStringLiteral("</interface>\n");
    }
    return xml;
}

bool MprisObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage || !g_mpris) return false;
    // Introspection and the peer's ping are the bus library's own.
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable") ||
        message.interface() == QLatin1String("org.freedesktop.DBus.Peer"))
        return false;
    QDBusMessage reply = message.interface() == QLatin1String(kPropertiesInterface)
                             ? PropertiesCall(message)
                             : MethodCall(message);
    connection.send(reply);
    return true;
}

// Tells the bus what changed since it was last told, one signal per interface.
void AnnounceChanges() {
    for (int i = 0; i < kInterfaceCount; ++i) {
        QVariantMap changed;
        const QVariantMap now = AllProperties(static_cast<Interface>(i), true);
        for (auto it = now.begin(); it != now.end(); ++it) {
            if (g_mpris->told[i].value(it.key()) == it.value()) continue;
            changed[it.key()] = it.value();
            g_mpris->told[i][it.key()] = it.value();
        }
        if (changed.isEmpty()) continue;
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                         QString::fromLatin1(kPropertiesInterface),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(kInterfaceNames[i]) << changed << QStringList();
        g_mpris->bus.send(signal);
    }
}

void SendSeeked(int64_t position_us) {
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QString::fromLatin1(kInterfaceNames[kPlayer]),
                                                     QStringLiteral("Seeked"));
    signal << static_cast<qlonglong>(position_us);
    g_mpris->bus.send(signal);
}

void OnPlayerEvent(PlayerEvent event, int value, void*) {
    if (!g_mpris) return;
    if (event == PlayerEvent::TrackStarted) {
        // The same track again (Play while playing, a list of one repeated)
        // keeps its id: clients learn from the seek that it begins anew.
        QByteArray path = CurrentPath();
        bool again = path == g_mpris->started_path;
        g_mpris->started_path = path;
        if (again)
            SendSeeked(0);
        else
            g_mpris->length_us = -1;
    }
    int64_t length = LengthUs();
    if (event == PlayerEvent::Seeked && length > 0) SendSeeked(length * value / 100);
    // One change of the player often raises several events (a track starts
    // playing): the bus hears of them together, once the change is done.
    if (g_mpris->announcing) return;
    g_mpris->announcing = true;
    QTimer::singleShot(0, g_mpris->object, [] {
        g_mpris->announcing = false;
        AnnounceChanges();
    });
}

QDBusMessage BusCall(const char* member) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(member));
}

// Asks for the name without waiting for the bus; a name held by another
// player is followed by this one's own.
void RequestName(const QString& name, bool first) {
    constexpr uint kDoNotQueue = 4;
    constexpr uint kPrimaryOwner = 1, kAlreadyOwner = 4;
    QDBusMessage call = BusCall("RequestName");
    call << name << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(g_mpris->bus.asyncCall(call), g_mpris->object);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher,
        [name, first](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<uint> reply = *w;
            if (reply.isValid() &&
                (reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner)) {
                g_mpris->name = name;
            } else if (first) {
                RequestName(name + QStringLiteral(".instance") + QString::number(getpid()), false);
            }
        });
}

}  // namespace

bool StartMpris(MainWindow* window, const QDBusConnection& bus) {
    if (g_mpris || !bus.isConnected()) return false;
    g_mpris = new Mpris(bus);
    g_mpris->window = window;
    g_mpris->object = new MprisObject;
    if (!g_mpris->bus.registerVirtualObject(QString::fromLatin1(kObjectPath), g_mpris->object)) {
        delete g_mpris->object;
        delete g_mpris;
        g_mpris = nullptr;
        return false;
    }
    for (int i = 0; i < kInterfaceCount; ++i)
        g_mpris->told[i] = AllProperties(static_cast<Interface>(i), true);
    AddPlayerListener(OnPlayerEvent, nullptr);
    RequestName(QString::fromLatin1(kBusName), true);
    return true;
}

void StopMpris() {
    if (!g_mpris) return;
    RemovePlayerListener(OnPlayerEvent, nullptr);
    if (!g_mpris->name.isEmpty()) {
        QDBusMessage call = BusCall("ReleaseName");
        call << g_mpris->name;
        g_mpris->bus.send(call);  // no answer awaited: the name is ours to drop
    }
    g_mpris->bus.unregisterObject(QString::fromLatin1(kObjectPath));
    delete g_mpris->object;  // with any name request still under way
    delete g_mpris;
    g_mpris = nullptr;
}

QString MprisBusName() {
    return g_mpris ? g_mpris->name : QString();
}

}  // namespace vek::app
