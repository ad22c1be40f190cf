// The player as the desktop's media controls see it: a private session bus
// (dbus-daemon, started once for this program), the window on Qt's offscreen
// platform, and a second connection calling in as playerctl would.
#include "app/mpris.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QObject>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "app/player_events.h"
#include "control/transport.h"
#include "net/stream_title.h"
#include "output/output_system.h"
#include "tests/app/app_test_support.h"
#include "tests/support/encoded_clip.h"
#include "tests/support/tagged_file.h"

namespace vek::app {
namespace {

using test::PumpUntil;

const char* const kClip = "made/mpeg1_l3_cbr128_44k.mp3";
const char* const kOtherClip = "made/mpeg1_l2_44k.mp2";
const char* const kPlayer = "org.mpris.MediaPlayer2.Player";
const char* const kRoot = "org.mpris.MediaPlayer2";

// dbus-daemon for this process, ended with it.
class PrivateBus {
  public:
    static QString Address() {
        static PrivateBus bus;
        return bus.address_;
    }

  private:
    PrivateBus() {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            int quiet = open("/dev/null", O_WRONLY);  // its notes on resource limits
            dup2(quiet, 2);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                   "--print-address=1", nullptr);
            _exit(127);
        }
        close(out[1]);
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') address_ += QLatin1Char(c);
        close(out[0]);
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    pid_t pid_ = -1;
    QString address_;
};

// What the player announces, as a client hears it.
class Heard : public QObject {
    Q_OBJECT
  public:
    std::vector<QVariantMap> changes;  // of the player interface
    std::vector<qlonglong> seeks;
  public slots:
    void PropertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&) {
        if (interface == QLatin1String(kPlayer)) changes.push_back(changed);
    }
    void Seeked(qlonglong position) { seeks.push_back(position); }
};

class MprisTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_FALSE(PrivateBus::Address().isEmpty()) << "dbus-daemon (package dbus-daemon)";
        gSettings.RepeatPlay = 1;  // the short clip plays for as long as a test needs
    }
    void TearDown() override {
        StopMpris();
        WindowTest::TearDown();
        QDBusConnection::disconnectFromBus(QStringLiteral("player"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
    void Start(const std::vector<const char*>& files) {
        for (const char* f : files) ASSERT_TRUE(AddFileByName(vek::test::DataPath(f).c_str()));
        Open();
        ASSERT_TRUE(StartMpris(window_.get(), Bus("player")));
        ASSERT_TRUE(PumpUntil([] { return !MprisBusName().isEmpty(); }, 5000));
        for (const char* signal : {"PropertiesChanged", "Seeked"}) {
            client_.connect(MprisBusName(), QStringLiteral("/org/mpris/MediaPlayer2"), QString(),
                            QString::fromLatin1(signal), &heard_,
                            signal[0] == 'S'
                                ? SLOT(Seeked(qlonglong))
                                : SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
        }
        if (!files.empty()) {
            ASSERT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Playing; }, 5000));
        }
    }
    static QDBusConnection Bus(const char* name) {
        return QDBusConnection::connectToBus(PrivateBus::Address(), QString::fromLatin1(name));
    }
    QDBusMessage Call(const char* interface, const char* member, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            MprisBusName(), QStringLiteral("/org/mpris/MediaPlayer2"),
            QString::fromLatin1(interface), QString::fromLatin1(member));
        call.setArguments(args);
        QDBusPendingCall pending = client_.asyncCall(call);
        EXPECT_TRUE(PumpUntil([&] { return pending.isFinished(); }, 5000)) << member;
        return pending.reply();
    }
    QVariant Get(const char* property, const char* interface = kPlayer) {
        QDBusMessage reply = Call("org.freedesktop.DBus.Properties", "Get",
                                  {QString::fromLatin1(interface), QString::fromLatin1(property)});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusMessage Set(const char* property, const QVariant& value) {
        return Call("org.freedesktop.DBus.Properties", "Set",
                    {QString::fromLatin1(kPlayer), QString::fromLatin1(property),
                     QVariant::fromValue(QDBusVariant(value))});
    }
    // Whether a PropertiesChanged has carried this value of the property;
    // Metadata is known by its title.
    bool Announced(const QString& property, const QVariant& value) {
        for (const QVariantMap& change : heard_.changes) {
            QVariant told = change.value(property);
            if (property == "Metadata") told = qdbus_cast<QVariantMap>(told).value("xesam:title");
            if (told == value) return true;
        }
        return false;
    }
    QVariantMap Metadata() {
        return qdbus_cast<QVariantMap>(Get("Metadata").value<QDBusArgument>());
    }

    QDBusConnection client_ = Bus("client");
    Heard heard_;
};

TEST_F(MprisTest, TheRootInterfaceNamesThePlayerAndTheTypesOfItsDesktopEntry) {
    Start({});
    EXPECT_EQ(MprisBusName(), QStringLiteral("org.mpris.MediaPlayer2.vek"));
    EXPECT_EQ(Get("Identity", kRoot).toString(), QStringLiteral("Vek"));
    EXPECT_EQ(Get("DesktopEntry", kRoot).toString(), QStringLiteral("vek"));
    EXPECT_EQ(Get("SupportedUriSchemes", kRoot).toStringList(),
              (QStringList{"file", "http", "https"}));
    EXPECT_EQ(Get("SupportedMimeTypes", kRoot).toStringList(),
              (QStringList{"audio/mpeg", "audio/mp2", "audio/x-mpegurl", "audio/x-scpls"}));
}

TEST_F(MprisTest, ASecondPlayerTakesANameOfItsOwn) {
    gSettings.MultipleInstances = 1;
    QDBusConnection first = Bus("client");
    ASSERT_TRUE(first.registerService(QStringLiteral("org.mpris.MediaPlayer2.vek")));
    Start({});
    EXPECT_EQ(MprisBusName(),
              QStringLiteral("org.mpris.MediaPlayer2.vek.instance%1").arg(getpid()));
}

TEST_F(MprisTest, PlaybackStatusFollowsTheWindowsCommands) {
    Start({kClip});
    EXPECT_EQ(Get("PlaybackStatus").toString(), QStringLiteral("Playing"));
    const struct {
        int command;
        const char* status;
    } steps[] = {{kCmdPause, "Paused"}, {kCmdPlay, "Playing"}, {kCmdStop, "Stopped"}};
    for (const auto& step : steps) {
        RunCommand(step.command);
        EXPECT_EQ(Get("PlaybackStatus").toString(), QLatin1String(step.status));
        EXPECT_TRUE(PumpUntil([&] { return Announced("PlaybackStatus", step.status); }, 5000))
            << step.status;
    }
}

TEST_F(MprisTest, PlayPausePausesAndResumesAsTheButtonsDo) {
    Start({kClip});
    Call(kPlayer, "PlayPause");
    EXPECT_EQ(GetPlayState(), PlayState::Paused);
    Call(kPlayer, "PlayPause");
    EXPECT_EQ(GetPlayState(), PlayState::Playing);
}

TEST_F(MprisTest, NextPlaysTheNextEntryAndItsMetadataIsAnnounced) {
    Start({kClip, kOtherClip});
    QVariant first_id = Metadata().value("mpris:trackid");
    Call(kPlayer, "Next");
    EXPECT_EQ(CurrentPosition(), 1);
    auto other = QStringLiteral("mpeg1_l2_44k.mp2");
    ASSERT_TRUE(PumpUntil([&] { return Announced("Metadata", other); }, 5000));
    QVariantMap now = Metadata();
    EXPECT_TRUE(now.value("xesam:url").toString().endsWith(QStringLiteral("/") + other));
    EXPECT_NE(now.value("mpris:trackid"), first_id);
    EXPECT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Playing; }, 5000));
}

// Without Repeat the last entry has no next, the first no previous.
TEST_F(MprisTest, NextAndPreviousAreOfferedOnlyWhereThereIsAnEntry) {
    gSettings.RepeatPlay = 0;
    Start({});
    ASSERT_TRUE(AppendEntry("/a.mp3"));
    ASSERT_TRUE(AppendEntry("/b.mp3"));
    const struct {
        int entry;
        bool next, previous;
    } cases[] = {{0, true, false}, {1, false, true}};
    for (const auto& c : cases) {
        ASSERT_TRUE(SelectEntry(c.entry));
        EXPECT_EQ(Get("CanGoNext").toBool(), c.next) << c.entry;
        EXPECT_EQ(Get("CanGoPrevious").toBool(), c.previous) << c.entry;
    }
}

// Another entry chosen but not played has no length of its own yet.
TEST_F(MprisTest, ALengthBelongsToTheTrackThatPlayed) {
    Start({kClip, kOtherClip});
    ASSERT_TRUE(PumpUntil([&] { return Metadata().contains("mpris:length"); }, 5000));
    ASSERT_TRUE(SelectEntry(1));
    EXPECT_FALSE(Metadata().contains("mpris:length")) << "still the first track's";
}

// The length estimated from a first frame of ten times the bitrate of the rest
// is passed after half a second.
TEST_F(MprisTest, NeitherPositionNorRingPassTheLengthEstimated) {
    vek::test::TempDir dir;
    ASSERT_TRUE(vek::test::WriteUnderestimatedMp3(dir.File("a.mp3")));
    ASSERT_TRUE(AppendEntry(dir.File("a.mp3").c_str()));
    Start({});
    RunCommand(kCmdPlay);
    ASSERT_TRUE(PumpUntil([] { return Output().GetSeconds() >= 1; }, 5000));
    EXPECT_LE(Get("Position").toLongLong(), Metadata().value("mpris:length").toLongLong());
    EXPECT_EQ(window_->last_percent(), 100);
}

TEST_F(MprisTest, TheTitleIsTheStationsOnceItNamesOneElseTheFileTitle) {
    Start({});
    ASSERT_TRUE(AppendEntry("http://radio.example/live"));
    ASSERT_TRUE(SelectEntry(0));
    EXPECT_EQ(Metadata().value("xesam:title"), QStringLiteral("live"));
    std::thread([] { PostStreamTitle("http://radio.example/live", "Caf\xc3\xa9"); }).join();
    EXPECT_TRUE(
        PumpUntil([&] { return Announced("Metadata", QStringLiteral("Caf\u00e9")); }, 5000));
}

// Read off the GUI thread when the track starts: every field the tags give,
// and the cover written where the desktop's controls can read it.
TEST_F(MprisTest, MetadataCarriesTheTagsAndTheCoversFile) {
    vek::test::TempDir dir;
    vek::test::EnvRestorer cache("XDG_CACHE_HOME");
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    std::string path = dir.File("07 - track.mp3"), cover = vek::test::JpegLike(3000);
    // clang-format off
    ASSERT_TRUE(vek::test::WriteTaggedCopy(vek::test::DataPath(kClip), path,
        {{.title = "Song", .artists = {"Band", "Guest"}, .album = "LP", .album_artist = "Various",
          .genre = "Rock", .track = "4/9", .picture = cover}}));
    // clang-format on
    Start({});
    Call(kPlayer, "OpenUri", {QUrl::fromLocalFile(QString::fromStdString(path)).toString()});
    ASSERT_TRUE(PumpUntil([&] { return Announced("Metadata", QStringLiteral("Song")); }, 5000));
    QVariantMap track = Metadata();
    EXPECT_EQ(track.value("xesam:artist").toStringList(), (QStringList{"Band", "Guest"}));
    EXPECT_EQ(track.value("xesam:album").toString(), QStringLiteral("LP"));
    EXPECT_EQ(track.value("xesam:albumArtist").toStringList(), QStringList{"Various"});
    EXPECT_EQ(track.value("xesam:genre").toStringList(), QStringList{"Rock"});
    EXPECT_EQ(track.value("xesam:trackNumber").toInt(), 4);
    EXPECT_TRUE(
        track.value("xesam:url").toString().endsWith(QStringLiteral("/07%20-%20track.mp3")));
    QUrl art(track.value("mpris:artUrl").toString());
    ASSERT_TRUE(art.isLocalFile()) << art.toString().toStdString();
    EXPECT_EQ(vek::test::ReadFileText(art.toLocalFile().toStdString()), cover);
}

void RecordSeek(PlayerEvent event, int value, void* sought) {
    if (event == PlayerEvent::Seeked) static_cast<std::vector<int>*>(sought)->push_back(value);
}

TEST_F(MprisTest, SetPositionSeeksTheTrackItNamesAsTheRingDoes) {
    Start({kClip});
    ASSERT_TRUE(PumpUntil([&] { return Metadata().contains("mpris:length"); }, 5000));
    QVariantMap track = Metadata();
    qlonglong half = track.value("mpris:length").toLongLong() / 2;
    std::vector<int> sought;
    AddPlayerListener(RecordSeek, &sought);
    Call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/elsewhere")), half});
    Call(kPlayer, "SetPosition", {track.value("mpris:trackid"), half});
    RemovePlayerListener(RecordSeek, &sought);
    EXPECT_EQ(sought, std::vector<int>{50}) << "only the track named is sought";
    auto heard_half = [&] {
        return std::find(heard_.seeks.begin(), heard_.seeks.end(), half) != heard_.seeks.end();
    };
    EXPECT_TRUE(PumpUntil(heard_half, 5000));
}

// The largest offset a client may send still means "past the end": the next
// track, whatever the position it is added to.
TEST_F(MprisTest, ASeekByTheLargestOffsetGoesToTheNextTrack) {
    Start({kClip, kOtherClip});
    ASSERT_TRUE(PumpUntil([&] { return Get("Position").toLongLong() > 0; }, 5000));
    Call(kPlayer, "Seek", {QVariant::fromValue(std::numeric_limits<qlonglong>::max())});
    EXPECT_EQ(CurrentPosition(), 1);
}

TEST_F(MprisTest, VolumeMapsOntoTheSixteenStepsBothWays) {
    Start({});
    const struct {
        double set;
        int step;
    } cases[] = {{0.0, 0},       {1.0, 15},   {0.5, 8}, {NAN, 8},  {INFINITY, 8},
                 {-INFINITY, 8}, {1e308, 15}, {0.2, 3}, {2.0, 15}, {-1.0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Set("Volume", c.set).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(gSettings.EqVolume, c.step) << c.set;
        EXPECT_DOUBLE_EQ(Get("Volume").toDouble(), c.step / 15.0);
    }
    EXPECT_TRUE(PumpUntil([&] { return Announced("Volume", 0.2); }, 5000));
}

TEST_F(MprisTest, OpenUriPlaysTheFileAloneAndRefusesOtherSchemes) {
    Start({kClip, kClip});
    std::string other = vek::test::DataPath(kOtherClip);
    Call(kPlayer, "OpenUri", {QStringLiteral("file://") + QString::fromStdString(other)});
    ASSERT_EQ(PlaylistCount(), 1);
    EXPECT_STREQ(gPlaylist.current->path, other.c_str());
    for (QString refused : {QStringLiteral("ftp://host/a.mp3"), "file:///" + QString(1 << 20, 'a')})
        EXPECT_EQ(Call(kPlayer, "OpenUri", {refused}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(PlaylistCount(), 1);
    Call(kPlayer, "OpenUri", {QStringLiteral("file:///dev/zero")});  // refused as it is added
    EXPECT_EQ(Get("PlaybackStatus").toString(), QStringLiteral("Stopped"));
}

// The real program: it serves the bus it finds, and starts without a word
// where there is none.
TEST(MprisProgramTest, ThePlayerTakesItsNameOnTheSessionBus) {
    vek::test::TempDir runtime, config;
    QDBusConnection client = QDBusConnection::connectToBus(PrivateBus::Address(), "watcher");
    vek::test::ProgramRun run = vek::test::RunProgram(
        {VEK_PLAYER_PATH},
        {"DBUS_SESSION_BUS_ADDRESS=" + PrivateBus::Address().toStdString(), "-DISPLAY",
         "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime.path(),
         "VEK_CONFIG_DIR=" + config.path()},
        20000, [&](pid_t) {
            return client.interface()->isServiceRegistered("org.mpris.MediaPlayer2.vek").value();
        });
    QDBusConnection::disconnectFromBus("watcher");
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(run.timed_out) << "the name never appeared";
}

TEST(MprisProgramTest, WithoutASessionBusThePlayerPlaysAndSaysNothingOfIt) {
    vek::test::TempDir runtime, config;
    std::string device = runtime.File("device.raw");
    vek::test::ProgramRun run = vek::test::RunProgram(
        {VEK_PLAYER_PATH, vek::test::DataPath(kClip)},
        {"-DBUS_SESSION_BUS_ADDRESS", "-DISPLAY", "QT_QPA_PLATFORM=offscreen",
         "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + device, "XDG_RUNTIME_DIR=" + runtime.path(),
         "VEK_CONFIG_DIR=" + config.path()},
        20000, [&](pid_t pid) {
            return vek::test::FileExists(device) && vek::test::SignalIn(pid, "SigCgt", SIGINT);
        });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        QString::fromStdString(run.err).indexOf(QStringLiteral("bus"), 0, Qt::CaseInsensitive), -1)
        << run.err;
}

}  // namespace
}  // namespace vek::app

#include "mpris_test.moc"
