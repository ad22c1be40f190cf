#include "app/main_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <vector>

#include "app/handover_receipt.h"
#include "app/player_events.h"
#include "app/playing_tags.h"
#include "app/playlist_editor.h"
#include "app/progress_ring.h"
#include "app/qt_desktop.h"
#include "app/time_display.h"
#include "app/tray_icon.h"
#include "control/playlist_link.h"
#include "control/stream_title.h"
#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "engine/equaliser.h"
#include "output/output_system.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/single_instance.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

constexpr int kFirstPlayDelayMs = 100;

// The one main window while it lives (GUI thread only).
MainWindow* g_window = nullptr;

int SecondsPlayed() {
    return Output().GetSeconds();
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

// --- Creating and destroying ------------------------------------------------

bool MainWindow::Create() {
    SelectOutputSystem(gSettings.AudioOutputSystem);
    BuildSkinRegions(&skin_);
    if (!LoadSkinBitmaps(&skin_)) return false;
    InstallCommands(this);
    expanded_ = gSettings.StartupExpanded != 0;
    ApplyTopmost();
    LoadTrayIcons();
    if (!WindowMasksCut()) setAttribute(Qt::WA_TranslucentBackground);
    setMask(WindowShape(kWindowWidth, kExpandedHeight, kTabY));
    setFixedSize(kWindowWidth, expanded_ ? kExpandedHeight : kCollapsedHeight);
    move(gSettings.WindowX, gSettings.WindowY);
    BuildEqualiserCurveFromSettings();

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
    // Later starts hand their files to this window.
    StartHandOverListener(&bridge_);
    created_ = true;
    g_window = this;
    // The list goes to the decoder 100 ms into the window's life, without
    // holding up the window meanwhile.
    if (PlaylistCount() > 0)
        QTimer::singleShot(kFirstPlayDelayMs, this, [] { PlayListFromStart(); });
    return true;
}

// Each display thread's picture is kept and painted over the skin; the
// threads never touch the window themselves.
bool MainWindow::StartDisplays() {
    const QRect field = ToQRect(kDisplayField);
    const QRect ring = ToQRect(kRingPaintArea);
    auto show_field = [this, field](const QImage& p, QRect changed) {
        ShowDisplayPicture(&field_picture_, field, p, changed);
    };
    auto show_ring = [this, ring](const QImage& p, QRect changed) {
        ShowDisplayPicture(&ring_picture_, ring, p, changed);
    };
    if (!StartTimeDisplay(field, TimeSource{SecondsPlayed, GetPlayState}, this, show_field))
        return false;
    if (StartProgressRing(this, show_ring)) return true;
    StopTimeDisplay();
    return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (created_ && !destroyed_) Destroy();
    event->accept();
}

void MainWindow::Destroy() {
    destroyed_ = true;
    g_window = nullptr;
    // A track change waiting for its gap would ask a stopping decoder to play.
    track_change_timer_.stop();
    DropTrackChange();
    StopHandOverListener();
    if (IsPlaylistEditorOpen()) ClosePlaylistEditor();
    StopTimeDisplay();
    // The ring goes on with the process; it only stops drawing for this window.
    DetachProgressRing();
    // A paused device takes no more audio, so a decoder thread waiting to
    // write would never see the quit message: restart and empty it first.
    if (GetPlayState() == PlayState::Paused) {
        Output().Resume();
        Output().Reset();
    }
    StopDecoderThread(DecoderThreadId());
    StopReadingPlayingTags();
    // A minimised window keeps the position it had before, as does one whose
    // place the window system does not tell.
    if (!isMinimized() && WindowPositionsKnown()) {
        gSettings.WindowX = x();
        gSettings.WindowY = y();
    }
    RemoveTrayIcon(this);
    gSettings.StartupExpanded = expanded_ ? 1 : 0;
    SaveSettings();
    input_.volume_timer.stop();
    SetMainWindow(nullptr);
    PostQuitMessage(0);
}

MainWindow* LiveMainWindow() {
    return g_window;
}

void PreferencesSheetClosed() {
    if (g_window) g_window->setEnabled(true);
    SaveSettings();
    PostThreadMessage(static_cast<ThreadId>(DecoderThreadId()), DTM_PRIORITY, 0, 0);
    if (g_window) g_window->ApplyTopmost();
}

// --- Messages ---------------------------------------------------------------

intptr_t MainWindow::HandleMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    intptr_t result = 0;
    switch (message) {
        case UIM_PLAY_STARTED:
            HandlePlayStarted();
            ReadPlayingTags();
            NotifyPlayer(PlayerEvent::TrackStarted, 0);
            NoticeTrackLength();
            break;
        case UIM_OPEN_FAILED:
        case UIM_OUTPUT_FAILED:
            HandlePlayFailed();
            break;
        case UIM_PLAYLIST_LINK:
            if (HandlePlaylistLink(wparam, lparam) == LinkOutcome::kFailed) HandlePlayFailed();
            break;
        case UIM_PROGRESS:
            last_percent_ = static_cast<int>(lparam);
            SetRingPercent(last_percent_);
            UpdateTrayIcon(last_percent_);
            NoticeTrackLength();
            result = 1;
            break;
        case UIM_TRACK_ENDED:
            SetRingPercent(100);
            RequestRingRedraw();
            HandleTrackEnded();
            result = 1;
            break;
        case UIM_STREAM_TITLE:
            // The entry keeps the title; whatever shows entries shows it.
            if (HandleStreamTitle(wparam, lparam, nullptr)) {
                RefreshPlaylistEditor();
                NotifyPlayer(PlayerEvent::TitleChanged, 0);
            }
            break;
        case WM_COPYDATA:
            result = ReceiveHandOverRecord(*reinterpret_cast<const CopyData*>(lparam));
            break;
        case UIM_HANDOVER_ENDED:
            ShowHandOverFailures(&bridge_);
            break;
        default:
            break;
    }
    return result;
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == input_.volume_timer.timerId()) StepVolume(this);
    if (event->timerId() == track_change_timer_.timerId()) {
        track_change_timer_.stop();
        FinishTrackChange();
    }
}

void MainWindow::FinishTrackChangeLater() {
    // A coarse timer may fire a little early; the gap is a lower bound.
    track_change_timer_.start(kTrackChangeGapMs, Qt::PreciseTimer, this);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        FollowVisibility();
        if (!isMinimized()) {
            RemoveTrayIcon(this);
            // Its sheets went down with it (the window manager minimises a
            // window's dialogs along); they come back with it too.
            for (QDialog* sheet : findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
                if (sheet->isMinimized()) sheet->showNormal();
        } else if (MinimisesToTray(gSettings.MinimizeLocation)) {
            AddTrayIcon(this, last_percent_);
        }
    }
    QWidget::changeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    FollowVisibility();
    QWidget::showEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event) {
    FollowVisibility();
    QWidget::hideEvent(event);
}

// Minimised or hidden (in the tray), nothing of the window is seen: the time
// display's clock stops and the ring draws nothing but takes each percent
// over. The paint on the way back asks both for their pictures as they stand.
void MainWindow::FollowVisibility() {
    bool seen = isVisible() && !isMinimized();
    if (created_ && !destroyed_) SetTimeDisplayTicking(seen);
    SetRingWindowMinimised(!seen);
}

void MainWindow::Minimise() {
    // Where the window would not learn of its minimising (nor of its return),
    // it goes to the tray straight away.
    if (!WindowMinimisingTold() && MinimisesToTray(gSettings.MinimizeLocation))
        AddTrayIcon(this, last_percent_);
    else
        showMinimized();
}

void MainWindow::ApplyTopmost() {
    bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, gSettings.AlwaysOnTop != 0);
    if (visible) show();  // changing the flags hides a shown window
}

void MainWindow::ToggleExpanded() {
    setFixedSize(kWindowWidth, expanded_ ? kCollapsedHeight : kExpandedHeight);
    expanded_ = !expanded_;
    RepaintRegion(QRegion(ToQRect(kFoldStrip)));
}

// --- Input ------------------------------------------------------------------

bool MainWindow::pressed(PushControl control) const {
    const Gesture& gesture = input_.gesture;
    return gesture.kind == Gesture::Kind::Push && gesture.control == control && gesture.pressed;
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    PressAt(this, event->position().toPoint());
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    MoveTo(this, event->position().toPoint(), event->globalPosition().toPoint(),
           (event->buttons() & Qt::LeftButton) != 0);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    ReleaseLeftButton(this);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) DoubleClickAt(this, event->position().toPoint());
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowMainMenu(this, event->globalPos());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    // The file manager waits for the drop to finish; the names are taken now
    // and handled once it has, so an error box cannot hold up the drag.
    std::vector<QByteArray> names = DroppedNames(*event->mimeData());
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [names] { PlayDroppedNames(names); });
}

// --- Painting ---------------------------------------------------------------

void MainWindow::RepaintRegion(const QRegion& region) {
    if (isVisible()) repaint(region);
}

void MainWindow::RepaintControl(PushControl control) {
    RepaintRegion(skin_.controls[control].region);
}

void MainWindow::ShowDisplayPicture(QImage* kept, QRect area, const QImage& picture,
                                    QRect changed) {
    *kept = picture;
    // This paint shows what the thread has just drawn, only where it differs
    // from the last picture: it asks for no redraw.
    delivering_ = QRegion(changed.translated(area.topLeft()) & area);
    RepaintRegion(delivering_);
    delivering_ = QRegion();
}

void MainWindow::DrawControl(QPainter& painter, PushControl control) {
    const ControlLook& look = skin_.controls[control];
    bool on = (control == kRepeat && gSettings.RepeatPlay != 0) ||
              (control == kShuffle && gSettings.ShufflePlay != 0);
    bool down = pressed(control);
    QPoint source =
        down ? (on ? look.on_pressed : look.pressed) : (on ? look.on_normal : look.normal);
    QPoint at = down ? look.drawn_at_pressed : look.drawn_at;
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
    if (top > kTopVolume) top = kTopVolume;
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
    for (int c = 0; c < kEqBands; ++c) {
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
    // Outside the outline, a translucent window stays clear.
    if (testAttribute(Qt::WA_TranslucentBackground)) painter.setClipRegion(mask());
    // The background: the skin, with a closed lower edge when collapsed, and
    // over it the display threads' last pictures. A paint that is not one of
    // theirs asks them for new ones as well.
    painter.drawPixmap(0, 0, skin_.face);
    if (!expanded_) painter.drawPixmap(ToQPoint(kBottomEdgeAt), skin_.face, ToQRect(kBottomEdge));
    const QRect field = ToQRect(kDisplayField);
    const QRect ring_area = ToQRect(kRingPaintArea);
    if (!field_picture_.isNull()) painter.drawImage(field.topLeft(), field_picture_);
    if (!ring_picture_.isNull()) painter.drawImage(ring_area.topLeft(), ring_picture_);
    const QRegion asked = update - delivering_;
    if (asked.intersects(field)) RequestTimeRedraw();

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

}  // namespace vek::app
