#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cstring>
#include <functional>
#include <vector>

#include "app/pending_parts.h"
#include "app/progress_ring.h"
#include "app/qt_desktop.h"
#include "app/time_display.h"
#include "control/transport.h"
#include "engine/decoder.h"
#include "engine/decoder_thread.h"
#include "output/output_system.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/messages.h"
#include "platform/single_instance.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

constexpr int kDisplayTimerMs = 250;
constexpr size_t kMaxHandOverFailures = 1000;

// The command each push control sends when released over it.
int CommandOf(PushControl control) {
    switch (control) {
        case kExpandTab:
            return kCmdExpand;
        case kClose:
            return kCmdClose;
        case kOpen:
            return kCmdOpenFile;
        case kPlay:
            return kCmdPlay;
        case kPause:
            return kCmdPause;
        case kStop:
            return kCmdStop;
        case kPrevious:
            return kCmdPrevious;
        case kNext:
            return kCmdNext;
        case kRepeat:
            return kCmdRepeat;
        case kShuffle:
            return kCmdShuffle;
        default:
            return 0;
    }
}

void BuildCurveFromSettings() {
    float bands[12];
    for (int i = 0; i < 12; ++i) bands[i] = gSettings.EqBand[i];
    BuildEqualiserCurve(bands);
}

}  // namespace

MainWindow::MainWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    InitWindow(&bridge_, Proc, this);
    setWindowTitle(QStringLiteral("Vek 0.90"));
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QIcon icon;
    for (const char* name :
         {":/skin/icon_101.png", ":/skin/icon_101_32.png", ":/skin/icon_101_16.png"})
        icon.addFile(QString::fromLatin1(name));
    setWindowIcon(icon);
}

MainWindow::~MainWindow() {
    if (created_ && !destroyed_) Destroy();
    ForgetWindow(&bridge_);
}

intptr_t MainWindow::Proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return static_cast<MainWindow*>(window->user)->HandleMessage(message, wparam, lparam);
}

bool MainWindow::Create() {
    SelectOutputSystem(gSettings.AudioOutputSystem);
    BuildSkinRegions(&skin_);
    if (!LoadSkinBitmaps(&skin_)) return false;
    BuildMenu();
    BuildKeys();
    expanded_ = gSettings.StartupExpanded != 0;
    ApplyTopmost();
    LoadTrayIcons();
    setMask(WindowShape(kWindowWidth, kExpandedHeight, kTabY));
    setFixedSize(kWindowWidth, expanded_ ? kExpandedHeight : kCollapsedHeight);
    move(gSettings.WindowX, gSettings.WindowY);
    BuildCurveFromSettings();

    SetMainWindow(&bridge_);
    SetMainWidget(this);
    if (StartDecoderThread(&bridge_) == -1) {
        SetMainWindow(nullptr);
        return false;
    }
    if (!StartDisplays()) {
        StopDecoderThread(DecoderThreadId());
        SetMainWindow(nullptr);
        return false;
    }
    display_timer_.start(kDisplayTimerMs, this);
    // Later starts hand their files to this window.
    StartHandOverListener(&bridge_);
    created_ = true;

    if (!SelectEntry(0)) return true;
    if (gSettings.ShufflePlay != 0) ShufflePlaylist();
    // The first entry goes to the decoder 100 ms into the window's life, without
    // holding up the window meanwhile.
    QTimer::singleShot(100, this, [] { PlayCurrentEntry(); });
    return true;
}

namespace {
int SecondsPlayed() {
    return Output().GetSeconds();
}
}  // namespace

bool MainWindow::StartDisplays() {
    auto field = [this](const QImage& picture) { ShowDisplayPicture(&field_picture_, kDisplayField, picture); };
    auto ring = [this](const QImage& picture) { ShowDisplayPicture(&ring_picture_, kRingPaintArea, picture); };
    if (!StartTimeDisplay(ToQRect(kDisplayField), TimeSource{SecondsPlayed, GetPlayState}, this, field))
        return false;
    if (StartProgressRing(this, ring)) return true;
    StopTimeDisplay();
    return false;
}

void MainWindow::ShowDisplayPicture(QImage* kept, const Rect& area, const QImage& picture) {
    *kept = picture;
    // The picture is new: its own paint asks for no redraw.
    delivering_ = QRegion(ToQRect(area));
    RepaintRegion(delivering_);
    delivering_ = QRegion();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) SetRingWindowMinimised(isMinimized());
    QWidget::changeEvent(event);
}

void MainWindow::BuildMenu() {
    auto add = [this](QMenu* menu, const char* text, int id) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setData(id);
        action->setCheckable(id == kCmdPlaylistEditor || id == kCmdPreferences ||
                             id == kCmdEqualizer || id == kCmdShuffle || id == kCmdRepeat);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        return action;
    };
    add(&menu_, "Open File\tAlt+o", kCmdOpenFile);
    add(&menu_, "Open Location\tAlt+l", kCmdOpenLocation);
    menu_.addSeparator();
    add(&menu_, "Playlist Editor", kCmdPlaylistEditor);
    add(&menu_, "Preferences", kCmdPreferences);
    add(&menu_, "ID3-TAG Editor", kCmdTagEditor)->setEnabled(false);
    add(&menu_, "Equalizer Active", kCmdEqualizer);
    menu_.addSeparator();
    QMenu* playback = menu_.addMenu(QStringLiteral("Playback"));
    add(playback, "Previous Track\tCtrl+z", kCmdPrevious);
    add(playback, "Play\tCtrl+x", kCmdPlay);
    add(playback, "Pause\tCtrl+c", kCmdPause);
    add(playback, "Stop\tCtrl+v", kCmdStop);
    add(playback, "Next Track\tCtrl+b", kCmdNext);
    playback->addSeparator();
    add(playback, "Shuffle", kCmdShuffle);
    add(playback, "Repeat", kCmdRepeat);
    menu_.addSeparator();
    add(&menu_, "About...\tCtrl+h", kCmdAbout);
    add(&menu_, "Close\tAlt+f4", kCmdClose);
}

void MainWindow::BuildKeys() {
    const struct {
        QKeySequence keys;
        int id;
    } table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_B), kCmdNext},
        {QKeySequence(Qt::ALT | Qt::Key_L), kCmdOpenLocation},
        {QKeySequence(Qt::ALT | Qt::Key_O), kCmdOpenFile},
        {QKeySequence(Qt::CTRL | Qt::Key_V), kCmdStop},
        {QKeySequence(Qt::Key_Escape), kCmdOpenFile},
        {QKeySequence(Qt::CTRL | Qt::Key_X), kCmdPlay},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), kCmdPrevious},
    };
    for (const auto& key : table) {
        auto* shortcut = new QShortcut(key.keys, this);
        // As with the menu's keys of the original design, they work from every
        // window of the player, not only this one.
        shortcut->setContext(Qt::ApplicationShortcut);
        int id = key.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { RunCommand(id); });
    }
}

void MainWindow::ApplyTopmost() {
    bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, gSettings.AlwaysOnTop != 0);
    if (visible) show();  // changing the flags hides a shown window
}

intptr_t MainWindow::HandleMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case UIM_PLAY_STARTED:
            HandlePlayStarted();
            return 0;
        case UIM_OPEN_FAILED:
        case UIM_OUTPUT_FAILED:
            HandlePlayFailed();
            return 0;
        case UIM_PROGRESS:
            last_percent_ = static_cast<int>(lparam);
            SetRingPercent(last_percent_);
            UpdateTrayIcon(last_percent_);
            return 1;
        case UIM_TRACK_ENDED:
            SetRingPercent(100);
            RequestRingRedraw();
            HandleTrackEnded();
            return 1;
        case WM_COPYDATA: {
            // The later start waits for each answer: a box now would hold it,
            // and every start after it, until the user comes.
            CollectMessageBoxes(&handover_failures_);
            intptr_t result = ReceiveCopyData(*reinterpret_cast<const CopyData*>(lparam));
            CollectMessageBoxes(nullptr);
            // A start sending endless bad names may not fill the memory with them.
            if (handover_failures_.size() > kMaxHandOverFailures)
                handover_failures_.resize(kMaxHandOverFailures);
            return result;
        }
        case UIM_HANDOVER_ENDED:
            ShowHandOverFailures();
            return 0;
        case WM_COMMAND:
            RunCommand(static_cast<int>(wparam & 0xFFFF));
            return 0;
        default:
            return 0;
    }
}

intptr_t MainWindow::ReceiveCopyData(const CopyData& record) {
    SetEditorRefreshEnabled(true);
    char name[kPathField] = {};
    bool has_name = record.kind == CDS_ADD || record.kind == CDS_REPLACE_PLAY;
    if (has_name) {
        if (record.size >= kPathField) {
            // Too long for a path field: refused rather than cut.
            std::string shown(record.data, record.size);
            ComplainAboutName(shown.c_str());
            return 1;
        }
        if (record.size > 0) std::memcpy(name, record.data, record.size);
    }
    switch (record.kind) {
        case CDS_CLEAR:
            Halt();
            ClearPlaylist();
            RefreshPlaylistEditor();
            break;
        case CDS_ADD:
            AddNameOrComplain(name);
            RefreshPlaylistEditor();
            break;
        case CDS_REPLACE_PLAY:
            Halt();
            ClearPlaylist();
            AddNameOrComplain(name);
            PlayCurrentEntry();
            RefreshPlaylistEditor();
            break;
        case CDS_PLAY_ENTRY:
            SelectEntry(static_cast<int>(record.size));
            HandleMessage(WM_COMMAND, kCmdPlayCurrent, 0);
            break;
        case CDS_PLAY_FIRST:
            SelectEntry(0);
            HandleMessage(WM_COMMAND, kCmdPlayCurrent, 0);
            break;
        default:
            break;
    }
    return 1;
}

// One box per caption, one line per failure; a flood of them is cut short.
void MainWindow::ShowHandOverFailures() {
    constexpr size_t kMaxLines = 20;
    std::vector<KeptMessageBox> failures = std::move(handover_failures_);
    handover_failures_.clear();
    std::vector<bool> shown(failures.size(), false);
    for (size_t i = 0; i < failures.size(); ++i) {
        if (shown[i]) continue;
        std::string text;
        size_t lines = 0, more = 0;
        for (size_t j = i; j < failures.size(); ++j) {
            if (shown[j] || failures[j].caption != failures[i].caption) continue;
            shown[j] = true;
            if (lines++ < kMaxLines)
                text += (text.empty() ? "" : "\n") + failures[j].text;
            else
                ++more;
        }
        if (more > 0) text += "\n... and " + std::to_string(more) + " more";
        ShowMessageBox(&bridge_, text.c_str(), failures[i].caption.c_str(), failures[i].style);
    }
}

void MainWindow::RunCommand(int id) {
    switch (id) {
        case kCmdOpenFile:
            if (OpenFilesDialog(this) > 0 && SelectEntry(0)) {
                if (gSettings.ShufflePlay != 0) ShufflePlaylist();
                SetEditorRefreshEnabled(true);
                RefreshPlaylistEditor();
                char path[kPathField];
                if (GetCurrentPath(path, sizeof path)) {
                    Halt();
                    PostPlay(path);
                }
            }
            break;
        case kCmdClose:
            close();
            break;
        case kCmdOpenLocation: {
            char url[kPathField] = {};
            if (OpenUrlDialog(this, url, sizeof url) != 1 || std::strlen(url) < 4) break;
            Halt();
            ClearPlaylist();
            if (!AppendEntry(url)) ComplainAboutName(url);
            SetEditorRefreshEnabled(true);
            RefreshPlaylistEditor();
            PlayCurrentEntry();
            break;
        }
        case kCmdPlaylistEditor:
            if (IsPlaylistEditorOpen())
                ClosePlaylistEditor();
            else
                ShowPlaylistEditor();
            break;
        case kCmdPreferences:
            ShowPreferences(this);
            break;
        case kCmdPlay:
            CommandPlay();
            break;
        case kCmdStop:
            CommandStop();
            break;
        case kCmdPause:
            CommandPause();
            break;
        case kCmdNext:
            CommandNext();
            break;
        case kCmdPrevious:
            CommandPrevious();
            break;
        case kCmdShuffle:
            gSettings.ShufflePlay = gSettings.ShufflePlay != 0 ? 0 : 1;
            RepaintControl(kShuffle);
            break;
        case kCmdRepeat:
            gSettings.RepeatPlay = gSettings.RepeatPlay != 0 ? 0 : 1;
            RepaintControl(kRepeat);
            break;
        case kCmdAbout:
            ShowAbout(this);
            break;
        case kCmdEqualizer:
            // The lamp shows the new value at its next repaint.
            gSettings.EqEnabled = gSettings.EqEnabled != 0 ? 0 : 1;
            break;
        case kCmdPlayCurrent:
            CommandPlayCurrent();
            break;
        case kCmdExpand:
            ToggleExpanded();
            break;
        case kCmdWinShade:
            gSettings.WinShade = gSettings.WinShade != 0 ? 0 : 1;
            break;
        default:
            break;
    }
}

void MainWindow::ToggleExpanded() {
    setFixedSize(kWindowWidth, expanded_ ? kCollapsedHeight : kExpandedHeight);
    expanded_ = !expanded_;
    RepaintRegion(QRegion(ToQRect(kFoldStrip)));
}

void MainWindow::RepaintRegion(const QRegion& region) {
    if (isVisible()) repaint(region);
}

void MainWindow::RepaintControl(PushControl control) {
    RepaintRegion(skin_.controls[control].region);
}

// --- Painting -------------------------------------------------------------

void MainWindow::DrawControl(QPainter& painter, PushControl control) {
    const ControlLook& look = skin_.controls[control];
    bool on = (control == kRepeat && gSettings.RepeatPlay != 0) ||
              (control == kShuffle && gSettings.ShufflePlay != 0);
    QPoint source = pressed_[control] ? (on ? look.on_pressed : look.pressed)
                                      : (on ? look.on_normal : look.normal);
    QPoint at = pressed_[control] ? look.drawn_at_pressed : look.drawn_at;
    const QPixmap& bitmap = look.bitmap == SkinBitmap::Frame ? skin_.frame : skin_.transport;
    painter.save();
    if (look.clip_to_region) painter.setClipRegion(look.region, Qt::IntersectClip);
    painter.drawPixmap(at, bitmap, QRect(source, look.size));
    painter.restore();
}

void MainWindow::DrawVolume(QPainter& painter) {
    const QRect face = ToQRect(kVolumeFace);
    painter.drawPixmap(face.topLeft(), skin_.face, face);
    QRegion lit;
    int top = gSettings.EqVolume;
    if (top > 15) top = 15;
    for (int k = 0; k <= top; ++k) lit += skin_.volume_cells[k];
    painter.save();
    painter.setClipRegion(lit, Qt::IntersectClip);
    painter.drawPixmap(face.topLeft(), skin_.strips, QRect(ToQPoint(kVolumeStrip), face.size()));
    painter.restore();
}

void MainWindow::DrawEqualiser(QPainter& painter) {
    // The skin is put back only inside the equaliser, so that the lamp beside
    // it keeps its colour.
    painter.save();
    painter.setClipRegion(skin_.equaliser, Qt::IntersectClip);
    const QRect face = ToQRect(kEqualiserFace);
    painter.drawPixmap(face.topLeft(), skin_.face, face);
    painter.restore();
    for (int c = 0; c < 12; ++c) {
        painter.save();
        painter.setClipRect(skin_.equaliser_cells[c][EqualiserRowOfGain(gSettings.EqBand[c])],
                            Qt::IntersectClip);
        painter.drawPixmap(ToQPoint(KnobStripAt(c)), skin_.strips, ToQRect(kKnobStrip));
        painter.restore();
    }
}

void MainWindow::paintEvent(QPaintEvent* event) {
    const QRegion& update = event->region();
    QPainter painter(this);
    // The background: the skin, with a closed lower edge when collapsed. The
    // display field is drawn by its own painter.
    painter.drawPixmap(0, 0, skin_.face);
    if (!expanded_) painter.drawPixmap(ToQPoint(kBottomEdgeAt), skin_.face, ToQRect(kBottomEdge));
    // The display threads' last pictures; a paint that is not their own asks
    // them for new ones too.
    const QRegion asked = update - delivering_;
    if (!field_picture_.isNull()) painter.drawImage(QPoint(kDisplayField.left, kDisplayField.top), field_picture_);
    if (!ring_picture_.isNull()) painter.drawImage(QPoint(kRingPaintArea.left, kRingPaintArea.top), ring_picture_);
    if (asked.intersects(ToQRect(kDisplayField))) RequestTimeRedraw();

    if (update.intersects(skin_.lamp))
        painter.fillRect(skin_.lamp.boundingRect(),
                         gSettings.EqEnabled != 0 ? QColor(255, 0, 0) : QColor(0, 255, 0));
    for (PushControl control : {kMinimise, kClose, kExpandTab, kOpen, kPlay, kPause, kStop,
                                kPrevious, kNext, kRepeat, kShuffle}) {
        if (update.intersects(skin_.controls[control].region)) DrawControl(painter, control);
    }
    if (update.intersects(skin_.volume_column)) DrawVolume(painter);
    if (update.intersects(skin_.equaliser)) DrawEqualiser(painter);
    if (asked.intersects(skin_.ring)) RequestRingRedraw();
}

// --- Mouse ----------------------------------------------------------------

void MainWindow::SeekAt(QPoint point) {
    int sector = SectorAt(skin_, point);
    if (sector >= 0) PostSeek(sector * 100 / 360, DecoderThreadId());
}

void MainWindow::SetEqualiserFrom(QPoint point) {
    for (int c = 0; c < 12; ++c) {
        int row = EqualiserRowAt(skin_, c, point);
        if (row < 0) continue;
        gSettings.EqBand[c] = static_cast<float>(row) * 0.14285715f;
        BuildCurveFromSettings();
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QPoint p = event->position().toPoint();
    if (!mask().isEmpty() && !mask().contains(p)) return;  // outside the window's outline
    press_point_ = p;
    for (int i = 0; i < kPushControlCount; ++i) {
        auto control = static_cast<PushControl>(i);
        if (!skin_.controls[control].region.contains(p)) continue;
        held_[control] = pressed_[control] = true;
        RepaintControl(control);
    }
    if (skin_.title_strip.contains(p)) {
        moving_ = true;
        // A Wayland compositor moves windows itself.
        if (QGuiApplication::platformName() == QLatin1String("wayland") && windowHandle())
            moving_ = !windowHandle()->startSystemMove();
    }
    if (skin_.ring.contains(p)) {
        seeking_ = true;
        SeekAt(p);
    }
    if (skin_.volume_column.contains(p)) {
        setting_volume_ = true;
        int target = VolumeCellAt(skin_, p);
        if (target >= 0) {
            // The column climbs or falls one cell at a time; the window answers
            // again once it has arrived.
            volume_cancel_ = false;
            while (gSettings.EqVolume != target && !volume_cancel_) {
                gSettings.EqVolume = gSettings.EqVolume + (gSettings.EqVolume < target ? 1 : -1);
                RepaintRegion(skin_.volume_column);
                QThread::msleep(60);
            }
            return;
        }
    }
    if (skin_.equaliser.contains(p)) {
        SetEqualiserFrom(p);
        setting_equaliser_ = true;
        RepaintRegion(skin_.equaliser);
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    QPoint p = event->position().toPoint();
    bool left = event->buttons() & Qt::LeftButton;
    for (int i = 0; i < kPushControlCount; ++i) {
        auto control = static_cast<PushControl>(i);
        if (!held_[control]) continue;
        bool inside = skin_.controls[control].region.contains(p);
        bool changed = inside != pressed_[control];
        pressed_[control] = inside;
        bool frame = control == kClose || control == kMinimise || control == kExpandTab;
        if (changed || !frame) RepaintControl(control);
    }
    if (moving_) move(event->globalPosition().toPoint() - press_point_);
    if (seeking_ && left && skin_.ring.contains(p)) SeekAt(p);
    if (setting_volume_ && left && skin_.volume_column.contains(p)) {
        volume_cancel_ = true;
        int cell = VolumeCellAt(skin_, p);
        if (cell >= 0) gSettings.EqVolume = cell;
        RepaintRegion(skin_.volume_column);
    }
    if (setting_equaliser_ && left && skin_.equaliser.contains(p)) {
        SetEqualiserFrom(p);
        RepaintRegion(skin_.equaliser);
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    for (int i = 0; i < kPushControlCount; ++i) {
        auto control = static_cast<PushControl>(i);
        if (!held_[control]) continue;
        bool act = pressed_[control];
        pressed_[control] = false;
        held_[control] = false;
        RepaintControl(control);
        if (!act) continue;
        if (control == kMinimise)
            showMinimized();
        else
            HandleMessage(WM_COMMAND, static_cast<uintptr_t>(CommandOf(control)), 0);
    }
    moving_ = seeking_ = setting_volume_ = setting_equaliser_ = false;
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click arrives here; only the title strip
    // answers it, so a quick double click on a button acts once.
    if (event->button() == Qt::LeftButton &&
        skin_.title_strip.contains(event->position().toPoint()))
        HandleMessage(WM_COMMAND, kCmdWinShade, 0);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The check marks always show the present values.
    std::function<void(QMenu*)> mark = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu()) mark(action->menu());
            switch (action->data().toInt()) {
                case kCmdRepeat:
                    action->setChecked(gSettings.RepeatPlay == 1);
                    break;
                case kCmdShuffle:
                    action->setChecked(gSettings.ShufflePlay == 1);
                    break;
                case kCmdPlaylistEditor:
                    action->setChecked(IsPlaylistEditorOpen());
                    break;
                case kCmdPreferences:
                    action->setChecked(PreferencesOpen());
                    break;
                case kCmdEqualizer:
                    action->setChecked(gSettings.EqEnabled != 0);
                    break;
                default:
                    break;
            }
        }
    };
    mark(&menu_);
    menu_.popup(event->globalPos());
}

// --- Files dropped on the window ------------------------------------------

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    // The file manager waits for the drop to finish; the names are taken now
    // and handled once it has, so an error box cannot hold up the drag.
    std::vector<QByteArray> names;
    for (const QUrl& url : event->mimeData()->urls())
        names.push_back(url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : url.toEncoded());
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, names] { PlayDropped(names); });
}

void MainWindow::PlayDropped(const std::vector<QByteArray>& names) {
    Halt();
    ClearPlaylist();
    SetEditorRefreshEnabled(false);
    for (const QByteArray& name : names) AddNameOrComplain(name.constData());
    if (SelectEntry(0)) {
        if (gSettings.ShufflePlay != 0) ShufflePlaylist();
        PlayCurrentEntry();
    }
    SetEditorRefreshEnabled(true);
    RefreshPlaylistEditor();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == display_timer_.timerId()) RequestTimeRedraw();
}

// --- Closing --------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (created_ && !destroyed_) Destroy();
    event->accept();
}

void MainWindow::Destroy() {
    destroyed_ = true;
    StopHandOverListener();
    if (IsPlaylistEditorOpen()) ClosePlaylistEditor();
    StopTimeDisplay();
    DetachProgressRing();
    // A paused device takes no more audio, so a decoder thread waiting to
    // write would never see the quit message: restart and empty it first.
    if (GetPlayState() == PlayState::Paused) {
        Output().Resume();
        Output().Reset();
    }
    StopDecoderThread(DecoderThreadId());
    // A minimised window keeps the position it had before; so does a window
    // under a Wayland compositor, which never tells clients where they are.
    bool position_known = QGuiApplication::platformName() != QLatin1String("wayland");
    if (!isMinimized() && position_known) {
        gSettings.WindowX = x();
        gSettings.WindowY = y();
    }
    RemoveTrayIcon();
    gSettings.StartupExpanded = expanded_ ? 1 : 0;
    SaveSettings();
    display_timer_.stop();
    SetMainWindow(nullptr);
    PostQuitMessage(0);
}

}  // namespace vek::app
