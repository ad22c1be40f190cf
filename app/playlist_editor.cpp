#include "app/playlist_editor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/open_files_dialog.h"
#include "app/open_url_dialog.h"
#include "app/player_events.h"
#include "app/playlist_model.h"
#include "app/qt_desktop.h"
#include "app/sheet_geometry.h"
#include "app/window_commands.h"
#include "engine/track_length.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/messages.h"
#include "platform/regular_file.h"
#include "platform/thread_queue.h"
#include "platform/url_name.h"
#include "playlist/playlist.h"
#include "playlist/playlist_edit.h"
#include "playlist/playlist_save.h"
#include "playlist/playtime.h"
#include "settings/settings.h"
#include "tags/track_tags.h"

namespace vek::app {
namespace {

// The controls, by the identifiers of the editor's template.
enum Control : int {
    kDismiss = 1,
    kLoadList = 2,
    kSaveList = 3,
    kAddItem = 5,
    kDelItem = 6,
    kShuffle = 7,
    kSort = 8,
    kUp = 9,
    kDown = 10,
    kClear = 11,
    kList = 1012,
    kPlaytime = 1081,
};

// The popup entries.
enum PopupCommand : int {
    kCmdAddFiles = 40029,
    kCmdAddUrl = 40030,
    kCmdAddEvent = 40032,
    kCmdAscending = 40038,
    kCmdDescending = 40039,
};

// The template: each control's size in dialog units of the 8-point font the
// layout was drawn for, and its place in pixels from the edges it keeps to as
// the window changes size. "Up" and "Dn" are 13 units wide rather than 18, so
// that they and the playing time (3, 27 and 47 pixels in) lie side by side.
enum class Anchor {
    Fill,        // x, y from the left and top; width, height: pixels left at the right and bottom
    TopRight,    // x from the right edge to the control's left side, y from the top
    BottomLeft,  // x from the left, y from the bottom edge to the control's top
};
struct TemplateControl {
    Control id;
    const char* name;  // the object name, by which the tests find it
    const char* text;
    Anchor anchor;
    int x, y;
    int width, height;
};
constexpr TemplateControl kTemplate[] = {
    {kList, "list", "", Anchor::Fill, 3, 3, 57, 21},
    {kLoadList, "load", "Load List", Anchor::TopRight, 52, 3, 33, 11},
    {kSaveList, "save", "Save List", Anchor::TopRight, 52, 22, 33, 11},
    {kAddItem, "add", "Add Item", Anchor::TopRight, 52, 50, 33, 11},
    {kDelItem, "delete", "Del Item", Anchor::TopRight, 52, 68, 33, 11},
    {kShuffle, "shuffle", "Shuffle", Anchor::TopRight, 52, 96, 33, 11},
    {kSort, "sort", "Sort", Anchor::TopRight, 52, 114, 33, 11},
    {kUp, "up", "Up", Anchor::BottomLeft, 3, 13, 13, 7},
    {kDown, "down", "Dn", Anchor::BottomLeft, 27, 13, 13, 7},
    {kPlaytime, "playtime", "Playtime: Unknown", Anchor::BottomLeft, 47, 13, 105, 8},
    {kClear, "clear", "Clear", Anchor::TopRight, 52, 132, 33, 11},
    {kDismiss, "dismiss", "Dismiss", Anchor::TopRight, 52, 160, 33, 11},
};
constexpr int kTemplateWidth = 192, kTemplateHeight = 138;
// The base units of the font the template was drawn for.
constexpr QSizeF kDrawnBaseUnits(6, 13);

QSize TemplateSize(int width, int height) {
    return DialogUnitsToPixels(kDrawnBaseUnits, width, height);
}

constexpr int kMinimumWidth = 240, kMinimumHeight = 226;

// The layout was drawn for a dialog font whose base units are 6 by 13 pixels;
// most desktops' 8-point fonts are wider. Such a font is made smaller until
// each control shows its whole text.
QFont FittedFont(QFont font, const QStringList& texts, QSize room) {
    QFontInfo info(font);
    for (int pixels = info.pixelSize(); pixels > 7; --pixels) {
        font.setPixelSize(pixels);
        QFontMetrics metrics(font);
        bool fits = metrics.height() <= room.height();
        for (const QString& text : texts)
            fits = fits && metrics.horizontalAdvance(text) <= room.width();
        if (fits) break;
    }
    return font;
}

// The right-hand buttons' texts, which share one font.
QStringList RightButtonTexts() {
    QStringList texts;
    for (const TemplateControl& c : kTemplate)
        if (c.anchor == Anchor::TopRight) texts << QString::fromLatin1(c.text);
    return texts;
}

// Where a control goes in a client area of this size.
QRect PlaceOf(const TemplateControl& c, QSize size, QSize control) {
    switch (c.anchor) {
        case Anchor::Fill:
            return QRect(c.x, c.y, size.width() - c.x - c.width, size.height() - c.y - c.height);
        case Anchor::TopRight:
            return QRect(QPoint(size.width() - c.x, c.y), control);
        case Anchor::BottomLeft:
            break;
    }
    return QRect(QPoint(c.x, size.height() - c.y), control);
}

bool g_refresh_enabled = true;

// On the measuring thread: one open of the file gives its length and its tags.
void MeasureAndReadTags(const char* path, Measurement* out) {
    if (IsUrl(path)) return;
    struct stat info;
    int fd = OpenRegularFile(path, O_RDONLY, 0, &info);
    if (fd < 0) return;
    out->ms = MeasureTrackFd(fd, static_cast<int64_t>(info.st_size));
    auto tags = std::make_shared<TrackTags>();
    if (ReadTrackTagsFd(fd, static_cast<int64_t>(info.st_size), tags.get(), nullptr))
        out->tags = std::move(tags);
    close(fd);
}

class PlaylistEditor : public QWidget {
  public:
    PlaylistEditor();
    ~PlaylistEditor() override;

    Window* bridge() { return &bridge_; }
    // Keeps the place, then is the editor no more: no hooks, no measuring.
    void Forget();
    void SelectCurrentLine();
    // The measuring thread has lengths waiting; they are taken a little later,
    // several batches at once.
    void LengthsMeasured();
    void CurrentEntryMoved();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    static intptr_t Proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    void Layout();
    void Refresh();
    void Act(int id);
    void PlayLine(int row);
    void AddDropped(const std::vector<QByteArray>& names);
    std::vector<int> SelectedRows() const;
    void ShowEdited(const std::vector<int>& selected, int caret);
    void DeleteSelection();
    void MoveSelection(int delta);
    void Sort(bool descending);
    void SaveList();
    // Takes the lengths and tags measured so far; the lines show the tags.
    void ShowPlaytime(bool rescan);

    Window bridge_;
    PlaylistModel model_;
    QListView* list_ = nullptr;
    std::vector<std::pair<const TemplateControl*, QWidget*>> controls_;
    QMenu add_popup_;
    QMenu sort_popup_;
    QLabel* playtime_ = nullptr;
    QTimer lengths_timer_;
};

PlaylistEditor* g_editor = nullptr;

PlaylistEditor::PlaylistEditor() : QWidget(nullptr, Qt::Window) {
    InitWindow(&bridge_, Proc, this);
    setWindowTitle(QStringLiteral("VEK Playlist Editor"));
    setAcceptDrops(true);
    QFont font = this->font();
    font.setPointSize(8);
    // Fusion's buttons keep 3 pixels clear on each side of the text.
    setFont(FittedFont(font, RightButtonTexts(), TemplateSize(33, 11) - QSize(8, 0)));

    for (const TemplateControl& c : kTemplate) {
        QWidget* widget;
        QSize size = TemplateSize(c.width, c.height);
        if (c.id == kList) {
            list_ = new QListView(this);
            list_->setModel(&model_);
            // Every line is as high as the first, so a view of a long list
            // lays out without asking for every line.
            list_->setUniformItemSizes(true);
            list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
            list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
            list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list_->installEventFilter(this);
            connect(list_, &QListView::doubleClicked, this,
                    [this](const QModelIndex& index) { PlayLine(index.row()); });
            widget = list_;
        } else if (c.id == kPlaytime) {
            playtime_ = new QLabel(QString::fromLatin1(c.text), this);
            playtime_->setIndent(4);  // clear of "Dn", whose right edge it meets
            widget = playtime_;
        } else {
            auto* button = new QPushButton(QString::fromLatin1(c.text), this);
            button->setAutoDefault(false);
            button->setDefault(c.id == kDismiss);
            int id = c.id;
            connect(button, &QPushButton::clicked, this, [this, id] { Act(id); });
            widget = button;
        }
        if (c.id == kUp || c.id == kDown)
            widget->setFont(FittedFont(font, {QString::fromLatin1(c.text)}, size - QSize(6, 2)));
        widget->setObjectName(QString::fromLatin1(c.name));
        widget->resize(size);
        controls_.emplace_back(&c, widget);
    }

    auto add = [this](QMenu* menu, const char* text, int id) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        connect(action, &QAction::triggered, this, [this, id] { Act(id); });
        return action;
    };
    add(&add_popup_, "Add File(s)...", kCmdAddFiles);
    add(&add_popup_, "Add URL...", kCmdAddUrl);
    add(&add_popup_, "Add Event...", kCmdAddEvent)->setEnabled(false);
    add(&sort_popup_, "Ascending", kCmdAscending);
    add(&sort_popup_, "Decending", kCmdDescending);

    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(TemplateSize(kTemplateWidth, kTemplateHeight));

    // The place it had when last closed, if that is still on a screen; the
    // first time the window manager chooses.
    QPoint place(gSettings.PlaylistX, gSettings.PlaylistY);
    if (place != QPoint(-1, -1) && QGuiApplication::screenAt(place + QPoint(8, 8))) move(place);
    Layout();

    lengths_timer_.setSingleShot(true);
    lengths_timer_.setInterval(200);
    connect(&lengths_timer_, &QTimer::timeout, this, [this] { ShowPlaytime(false); });
    // Lengths and tags are read on a thread of their own: the window never
    // waits for a file.
    StartMeasuringLengths(MeasureAndReadTags, [] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [] {
                if (g_editor) g_editor->LengthsMeasured();
            },
            Qt::QueuedConnection);
    });
    ShowPlaytime(true);
}

// Forget has stopped the measuring: a window deleted later must not stop
// the measuring of an editor opened again meanwhile.
PlaylistEditor::~PlaylistEditor() {
    ForgetWindow(&bridge_);
}

void PlaylistEditor::LengthsMeasured() {
    if (!lengths_timer_.isActive()) lengths_timer_.start();
}

void PlaylistEditor::CurrentEntryMoved() {
    list_->viewport()->update();
}

void PlaylistEditor::ShowPlaytime(bool rescan) {
    const PlaylistEntry* current = gPlaylist.current;
    const TrackTags* current_tags = current ? current->tags.get() : nullptr;
    if (!UpdateMeasuredLengths(rescan) && !rescan) return;
    playtime_->setText(QString::fromStdString(PlaytimeText(SumPlaytime())));
    // Only the lines in view are drawn: a long list costs no more.
    if (gSettings.ShowTagTitles) list_->viewport()->update();
    if (current && current == gPlaylist.current && current->tags.get() != current_tags)
        NotifyPlayer(PlayerEvent::TitleChanged, 0);
}

intptr_t PlaylistEditor::Proc(Window* window, uint32_t message, uintptr_t, intptr_t) {
    if (message == UIM_PLAYLIST_REFRESH && g_refresh_enabled)
        static_cast<PlaylistEditor*>(window->user)->Refresh();
    return 0;
}

void PlaylistEditor::Layout() {
    for (const auto& [c, widget] : controls_)
        widget->setGeometry(PlaceOf(*c, size(), widget->size()));
}

void PlaylistEditor::Refresh() {
    model_.Reload();
    ShowPlaytime(true);
}

std::vector<int> PlaylistEditor::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The list after an edit, with these lines selected and the caret on one.
void PlaylistEditor::ShowEdited(const std::vector<int>& selected, int caret) {
    model_.Reload();
    QItemSelection selection;
    for (size_t i = 0; i < selected.size();) {
        size_t end = i + 1;
        while (end < selected.size() && selected[end] == selected[end - 1] + 1) ++end;
        selection.select(model_.index(selected[i], 0), model_.index(selected[end - 1], 0));
        i = end;
    }
    QItemSelectionModel* selection_model = list_->selectionModel();
    selection_model->select(selection, QItemSelectionModel::ClearAndSelect);
    QModelIndex at = model_.index(caret, 0);
    if (at.isValid()) {
        selection_model->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
        list_->scrollTo(at);
    }
    ShowPlaytime(true);
}

void PlaylistEditor::DeleteSelection() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty() || RemoveEntries(rows) == 0) return;
    // The line that took the first removed line's place is selected next.
    int next = std::min(rows.front(), PlaylistCount() - 1);
    ShowEdited(next >= 0 ? std::vector<int>{next} : std::vector<int>{}, next);
}

void PlaylistEditor::MoveSelection(int delta) {
    std::vector<int> moved;
    if (!MoveEntries(SelectedRows(), delta, &moved)) return;
    ShowEdited(moved, delta < 0 ? moved.front() : moved.back());
}

void PlaylistEditor::Sort(bool descending) {
    SortPlaylist(descending);
    ShowEdited({}, CurrentPosition());
}

void PlaylistEditor::SaveList() {
    QFileDialog dialog(this, QStringLiteral("Save Playlist As..."),
                       QFile::decodeName(gSettings.PreviousDir.Get().c_str()));
    PrepareFileDialog(&dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {QStringLiteral("M3U Playlist (*.m3u)"),
                                 QStringLiteral("PLS Playlist (*.pls)")};
    dialog.setNameFilters(filters);
    // A name typed without an ending gets the chosen filter's.
    dialog.setDefaultSuffix(QStringLiteral("m3u"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, filters](const QString& filter) {
                dialog.setDefaultSuffix(filter == filters[1] ? QStringLiteral("pls")
                                                             : QStringLiteral("m3u"));
            });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QByteArray name = QFile::encodeName(dialog.selectedFiles().first());
    int left_out = 0;
    if (!SavePlaylist(name.constData(), FormatOfName(name.constData()), &left_out)) {
        std::string text = "Error Saving Playlist: " + NameForBox(name.constData());
        ShowMessageBox(&bridge_, text.c_str(), "Error...", MB_OK);
    } else if (left_out > 0) {
        std::string text = std::to_string(left_out) +
                           " entries were left out: their names hold line breaks, which a "
                           "playlist file cannot hold.";
        ShowMessageBox(&bridge_, text.c_str(), "Error...", MB_OK);
    }
}

void PlaylistEditor::SelectCurrentLine() {
    QModelIndex current = model_.index(CurrentPosition(), 0);
    if (!current.isValid()) return;
    list_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    list_->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void PlaylistEditor::Forget() {
    if (!isMinimized() && WindowPositionsKnown()) {
        gSettings.PlaylistX = x();
        gSettings.PlaylistY = y();
    }
    g_editor = nullptr;
    SetPlaylistRefreshHook(nullptr);
    SetCurrentEntryHook(nullptr);
    StopMeasuringLengths();
}

void PlaylistEditor::Act(int id) {
    switch (id) {
        case kDismiss:
            close();
            break;
        case kLoadList:
        case kCmdAddFiles: {
            // Load List replaces the list with playlists; Add File(s)... adds.
            bool load = id == kLoadList;
            if (OpenFilesDialog(this, load, load ? kFilterPlaylists : kFilterAllSupported) > 0)
                ShowPlaylistChanges();
            break;
        }
        case kAddItem:
            add_popup_.exec(QCursor::pos());
            break;
        case kSort:
            sort_popup_.exec(QCursor::pos());
            break;
        case kCmdAscending:
            Sort(false);
            break;
        case kCmdDescending:
            Sort(true);
            break;
        case kSaveList:
            SaveList();
            break;
        case kDelItem:
            DeleteSelection();
            break;
        case kUp:
            MoveSelection(-1);
            break;
        case kDown:
            MoveSelection(1);
            break;
        case kShuffle:
            if (ShufflePlaylist()) RefreshPlaylistEditor();
            break;
        case kClear:
            SetEditorRefreshEnabled(true);
            ClearPlaylist();
            break;
        case kCmdAddUrl: {
            QByteArray url = AskForUrl(this);
            if (url.isEmpty()) break;
            if (!AppendEntry(url.constData())) ComplainAboutName(url.constData());
            ShowPlaylistChanges();
            break;
        }
        default:  // Add Event... has no action
            break;
    }
}

void PlaylistEditor::PlayLine(int row) {
    if (SelectEntry(row < 0 ? 0 : row)) RunCommand(kCmdPlayCurrent);
}

void PlaylistEditor::resizeEvent(QResizeEvent*) {
    Layout();
}

void PlaylistEditor::closeEvent(QCloseEvent* event) {
    event->accept();
    if (g_editor != this) return;
    Forget();
    deleteLater();  // its own handler is still running
}

void PlaylistEditor::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere but in the list means the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Act(kDismiss);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PlaylistEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_ || event->type() != QEvent::KeyPress) return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            PlayLine(list_->currentIndex().row());
            return true;
        case Qt::Key_Delete:
            DeleteSelection();
            return true;
        case Qt::Key_Insert:
            return true;
        default:
            return false;
    }
}

void PlaylistEditor::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlaylistEditor::dropEvent(QDropEvent* event) {
    // The names are taken now and read once the drag has ended, so an error
    // box cannot hold up the file manager.
    std::vector<QByteArray> names = DroppedNames(*event->mimeData());
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, names] { AddDropped(names); });
}

void PlaylistEditor::AddDropped(const std::vector<QByteArray>& names) {
    // Appended to the list as it stands; what plays goes on playing.
    AddNamesQuietly(names);
    ShowPlaylistChanges();
}

// The playlist asks for a refresh after each change it makes by itself.
void RefreshHook() {
    if (g_editor) SendWindowMessage(g_editor->bridge(), UIM_PLAYLIST_REFRESH, 0, 0);
}

}  // namespace

bool ShowPlaylistEditor(const QWidget* main_window) {
    if (!g_editor) {
        g_editor = new PlaylistEditor;
        OpenWithOwner(g_editor, main_window);
        SetPlaylistRefreshHook(RefreshHook);
        SetCurrentEntryHook([] {
            if (g_editor) g_editor->CurrentEntryMoved();
        });
        g_editor->SelectCurrentLine();
    }
    g_editor->show();
    g_editor->raise();
    g_editor->activateWindow();
    return true;
}

void ClosePlaylistEditor() {
    PlaylistEditor* editor = g_editor;
    if (!editor) return;
    editor->Forget();
    delete editor;
}

bool IsPlaylistEditorOpen() {
    return g_editor && !g_editor->isHidden();
}

void SetEditorRefreshEnabled(bool enabled) {
    g_refresh_enabled = enabled;
}

void ShowPlaylistChanges() {
    SetEditorRefreshEnabled(true);
    RefreshPlaylistEditor();
}

void AddNamesQuietly(const std::vector<QByteArray>& names) {
    SetEditorRefreshEnabled(false);
    for (const QByteArray& name : names) AddNameOrComplain(name.constData());
}

QWidget* PlaylistEditorWindow() {
    return g_editor;
}

}  // namespace vek::app
