#include "app/preferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "app/entry_title.h"
#include "app/file_types.h"
#include "app/sheet_geometry.h"
#include "output/output_system.h"
#include "platform/limits.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

constexpr const char* kWaveMapper = "Wave Mapper";
// InternetDLDir's field holds this many bytes besides its terminator and slack.
constexpr int kFolderBytes = kPathField - 2;

using Kind = PreferenceRow::Kind;
using Marks = PreferenceRow::Marks;
constexpr unsigned kAtOnce = PreferenceRow::kAtOnce, kOnApply = PreferenceRow::kOnApply;

// Every control of the sheet, page by page and group by group, in the order
// they show: a check box acting on OK and Apply unless the row says otherwise.
// clang-format off
constexpr PreferenceRow kRows[] = {
    {.page = kGeneralPage, .group = "General Options", .text = "Auto Play on Open",
     .field = &Settings::AutoPlayOnOpen, .restore = true},
    {.page = kGeneralPage, .group = "General Options", .text = "Multiple Instances",
     .field = &Settings::MultipleInstances, .restore = true},
    {.page = kGeneralPage, .group = "General Options", .text = "Always On Top",
     .field = &Settings::AlwaysOnTop, .restore = true},
    {.page = kGeneralPage, .group = "General Options", .text = "Show Splashscreen",
     .field = &Settings::ShowSplashScreen, .restore = true},
    {.page = kGeneralPage, .group = "General Options", .text = "Easy Move",
     .field = &Settings::EasyMove, .restore = true},
    {.page = kGeneralPage, .group = "General Options", .text = "Read File Info on Open"},
    {.page = kGeneralPage, .group = "General Options", .text = "Auto Scroll Song Name"},
    {.page = kGeneralPage, .group = "General Options", .text = "Show tag titles in the playlist",
     .field = &Settings::ShowTagTitles, .restore = true, .switched = TagTitlesSwitched},
    {.page = kGeneralPage, .group = "Startup", .kind = Kind::Button,
     .entries = {"Register Filetypes"}, .icon = ":/skin/icon_audio_file_32.png",
     .action = RegisterFileTypes},
    {.page = kGeneralPage, .group = "Startup", .kind = Kind::Button,
     .entries = {"Add to Start menu"}, .icon = ":/skin/icon_101_32.png"},
    {.page = kGeneralPage, .group = "Minimize Location", .kind = Kind::Slider,
     .name = "minimize_location", .field = &Settings::MinimizeLocation,
     .entries = {"Taskbar", "Systray"}, .moment = kAtOnce | kOnApply, .restore = true,
     .marks = Marks::OffBaseline},

    {.page = kDecoderPage, .group = "Quality", .kind = Kind::Slider, .name = "quality",
     .field = &Settings::DownSample, .entries = {"Full", "Half", "Quarter"},
     .moment = kAtOnce | kOnApply, .restore = true, .marks = Marks::OffBaseline},
    {.page = kDecoderPage, .group = "Output", .kind = Kind::Slider, .name = "channels",
     .field = &Settings::Channels, .entries = {"Stereo", "Left", "Right", "Mono"}, .offset = -1},
    {.page = kDecoderPage, .group = "Output", .text = "Gapless playback",
     .field = &Settings::Gapless, .marks = Marks::Always},
    {.page = kDecoderPage, .group = "Priority", .kind = Kind::NamedSlider, .name = "priority",
     .field = &Settings::DecoderPriority,
     .entries = {"Lowest Priority", "Below Normal", "Normal Priority", "Above Normal",
                 "Highest Priority", "RealTime Priority"},
     .moment = kAtOnce | kOnApply, .restore = true, .marks = Marks::OffBaseline},
    {.page = kDecoderPage, .group = "Output System", .kind = Kind::List, .name = "output_system",
     .field = &Settings::AudioOutputSystem,
     .entries = {"Windows Media", ".wav file", "Output Plugin"}, .moment = kAtOnce,
     .restore = true, .marks = Marks::Always},
    {.page = kDecoderPage, .group = "Loudness", .kind = Kind::Combo, .text = "ReplayGain:",
     .name = "replaygain", .field = &Settings::ReplayGain, .entries = {"Off", "Track", "Album"},
     .marks = Marks::OffBaseline},
    {.page = kDecoderPage, .group = "Loudness", .kind = Kind::Slider, .text = "Pre-amp:",
     .name = "replaygain_preamp", .field = &Settings::ReplayGainPreamp,
     .entries = {"-12 dB", "0 dB", "+12 dB"}, .max_position = 24, .offset = -12,
     .marks = Marks::OffBaseline},
    {.page = kDecoderPage, .group = "Output Plugins", .kind = Kind::List, .name = "output_plugins"},
    {.page = kDecoderPage, .group = "Output Plugins", .kind = Kind::Button,
     .entries = {"Configure", "About"}},

    {.page = kAudioPage, .group = "Output Device", .kind = Kind::Devices, .name = "devices",
     .field = &Settings::WinMMOutputDev, .moment = kAtOnce, .restore = true,
     .marks = Marks::Always},
    {.page = kAudioPage, .group = "Callback", .kind = Kind::Radios,
     .field = &Settings::WinMMCallback, .entries = {"Function", "Thread"}, .moment = kAtOnce,
     .restore = true, .marks = Marks::Always},
    {.page = kAudioPage, .group = "Callback", .kind = Kind::Radios, .entries = {"Window"}},
    {.page = kAudioPage, .group = "General Options", .text = "Bypass Audio Compression  Manager",
     .field = &Settings::AudioBypassACM, .marks = Marks::Always},
    {.page = kAudioPage, .group = "General Options", .text = "Allow Synchronous Devices",
     .field = &Settings::AudioAllowSyncDev, .marks = Marks::Always},
    {.page = kAudioPage, .group = "General Options", .text = "Force 8-Bit Output",
     .field = &Settings::AudioOutput8Bit, .marks = Marks::Always},

    {.page = kStreamingPage, .group = "Download", .kind = Kind::Radios,
     .field = &Settings::DownloadOption, .entries = {"Play Only", "Play and Save"},
     .moment = kAtOnce, .restore = true, .marks = Marks::Always},
    {.page = kStreamingPage, .group = "Download", .kind = Kind::Radios, .entries = {"Save Only"}},
    {.page = kStreamingPage, .group = "Download", .text = "Play after download"},
    {.page = kStreamingPage, .group = "General", .kind = Kind::Combo, .text = "Connection"},
    {.page = kStreamingPage, .group = "General", .text = "Check for server TAG File"},
    {.page = kStreamingPage, .group = "General", .text = "Download status window"},
    {.page = kStreamingPage, .group = "Download Location", .kind = Kind::Folder,
     .name = "download_folder", .path = &Settings::InternetDLDir, .restore = true},
};
constexpr int kRowCount = static_cast<int>(std::size(kRows));

// The pages, and where each group stands on its page: in the left or the right
// column, or across the page below them.
struct Page {
    const char* title;
    int left_stretch, right_stretch;
};
constexpr Page kPages[kPageCount] = {
    {"General", 1, 1}, {"Decoder", 1, 1}, {"Audio Output", 2, 1}, {"Streaming", 1, 1}};

enum Column { kLeft, kRight, kBelow };
struct Group {
    PreferencePage page;
    const char* title;
    Column column;
    bool usable = true;
};
constexpr Group kGroups[] = {
    {kGeneralPage, "General Options", kLeft}, {kGeneralPage, "Startup", kRight},
    {kGeneralPage, "Minimize Location", kRight},
    {kDecoderPage, "Quality", kLeft}, {kDecoderPage, "Output", kLeft},
    {kDecoderPage, "Priority", kLeft}, {kDecoderPage, "Output System", kRight},
    {kDecoderPage, "Output Plugins", kRight}, {kDecoderPage, "Loudness", kRight},
    {kAudioPage, "Output Device", kLeft}, {kAudioPage, "Callback", kRight},
    {kAudioPage, "General Options", kBelow},
    {kStreamingPage, "Download", kLeft}, {kStreamingPage, "General", kRight, false},
    {kStreamingPage, "Download Location", kBelow},
};
// clang-format on

bool SoundDeviceName(int index, char* name, int name_size) {
    return GetDeviceName(index, name, name_size) != 0;
}

SettingsSnapshot g_snapshot;
QPointer<QDialog> g_sheet;
std::function<void()> g_closed;
AudioDeviceList g_devices{GetDeviceCount, SoundDeviceName};
FolderChooser g_choose_folder;

QString ChooseFolder(QWidget* owner, const QString& title, const QString& start) {
    if (g_choose_folder) return g_choose_folder(owner, title, start);
    return QFileDialog::getExistingDirectory(owner, title, start);
}

// The device names in index order, up to the first that cannot be read.
std::vector<QString> DeviceNames() {
    std::vector<QString> names;
    int count = g_devices.count();
    for (int i = 0; i < count; ++i) {
        char name[64];
        if (!g_devices.name(i, name, sizeof name)) break;
        names.push_back(QString::fromLocal8Bit(name));
    }
    return names;
}

QString Text(const char* text) {
    return QString::fromLatin1(text);
}

// A control is found by its row's name, else by its text made a name:
// "Play and Save" is play_and_save.
QString NameOf(const PreferenceRow& row, const char* text) {
    if (row.name) return Text(row.name);
    return Text(text).toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")),
                                        QStringLiteral("_"));
}

bool Usable(const PreferenceRow& row) {
    return row.field || row.path || row.action;
}

// The lists of the pages keep their entries sorted, whatever order they come in.
QListWidgetItem* AddSorted(QListWidget* list, const QString& text) {
    int row = 0;
    while (row < list->count() &&
           QString::compare(list->item(row)->text(), text, Qt::CaseInsensitive) <= 0)
        ++row;
    auto* item = new QListWidgetItem(text);
    list->insertItem(row, item);
    return item;
}

QString SelectedText(const QListWidget* list) {
    QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

// A list that is always open, as tall as its rows.
QListWidget* OpenList(int rows) {
    auto* list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFixedHeight(rows * list->fontMetrics().height() + 2 * list->frameWidth() + 6);
    return list;
}

// A slider with its names spread evenly under it: the first at the left end,
// the last at the right, the others centred between.
QWidget* LabelledSlider(QSlider* slider, const PreferenceRow& row) {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(0);
    int steps = row.EntryCount() - 1;
    // Two columns per step between names; a middle name spans the two columns
    // around its place.
    grid->addWidget(slider, 0, 0, 1, 2 * steps);
    for (int column = 0; column < 2 * steps; ++column) grid->setColumnStretch(column, 1);
    for (int i = 0; i <= steps; ++i) {
        auto* label = new QLabel(Text(row.entries[i]));
        if (i == 0)
            grid->addWidget(label, 1, 0, Qt::AlignLeft);
        else if (i == steps)
            grid->addWidget(label, 1, 2 * steps - 1, Qt::AlignRight);
        else
            grid->addWidget(label, 1, 2 * i - 1, 1, 2, Qt::AlignHCenter);
    }
    return box;
}

// Refuses a folder name longer than the settings field holds, rather than
// letting OK cut it or drop it.
class FolderValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return QFile::encodeName(input).size() <= kFolderBytes ? Acceptable : Invalid;
    }
};

void StoreSetting(const PreferenceRow& row, int32_t value) {
    bool switched = gSettings.*row.field != value;
    gSettings.*row.field = value;
    if (switched && row.switched) row.switched();
}

// What the sheet keeps of each row's control.
struct Bound {
    QObject* control = nullptr;  // QButtonGroup for radios, QLineEdit for a folder
    QLabel* name = nullptr;      // a named slider's
    int baseline = 0;            // the position shown at the page's opening or last Apply
};

class Sheet : public QDialog {
  public:
    explicit Sheet(QWidget* owner);

  protected:
    bool event(QEvent* event) override;
    void reject() override;

  private:
    QWidget* BuildPage(PreferencePage page);
    QGroupBox* BuildGroup(const Group& group);
    void BuildRow(int index, QGridLayout* grid);
    std::optional<int> PositionOf(int index) const;
    void Show(int index, int position);
    void Changed(int index);
    void Create(int page);
    void Apply();
    void Cancel();
    void MarkChanged() { apply_->setEnabled(true); }

    QTabWidget* tabs_;
    QPushButton* apply_;
    bool created_[kPageCount] = {};
    Bound bound_[kRowCount];
};

Sheet::Sheet(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("VEK Preferences"));
    setObjectName(QStringLiteral("preferences"));
    setModal(false);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("pages"));
    QSize page_size = SheetPageSize(font());
    for (int page = 0; page < kPageCount; ++page) {
        QWidget* widget = BuildPage(static_cast<PreferencePage>(page));
        widget->setMinimumSize(page_size);
        tabs_->addTab(widget, Text(kPages[page].title));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Apply);
    apply_ = buttons->button(QDialogButtonBox::Apply);
    apply_->setObjectName(QStringLiteral("apply"));
    apply_->setEnabled(false);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] {
        Apply();
        accept();
    });
    connect(buttons->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this, &Sheet::reject);
    connect(apply_, &QPushButton::clicked, this, [this] {
        Apply();
        apply_->setEnabled(false);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);

    // A page shows the settings of the moment it is first opened.
    Create(kGeneralPage);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) { Create(page); });
}

// Keys typed in the sheet are the sheet's: the main window's keys, which work
// from every other window of the player, do not take them.
bool Sheet::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

// Cancel, Escape and the window's close button all cancel.
void Sheet::reject() {
    Cancel();
    QDialog::reject();
}

QWidget* Sheet::BuildPage(PreferencePage page) {
    auto* widget = new QWidget;
    QVBoxLayout* columns[2] = {new QVBoxLayout, new QVBoxLayout};
    auto* top = new QHBoxLayout;
    top->addLayout(columns[kLeft], kPages[page].left_stretch);
    top->addLayout(columns[kRight], kPages[page].right_stretch);
    auto* layout = new QVBoxLayout(widget);
    layout->addLayout(top);
    for (const Group& group : kGroups) {
        if (group.page != page) continue;
        QGroupBox* box = BuildGroup(group);
        if (group.column == kBelow)
            layout->addWidget(box);
        else
            columns[group.column]->addWidget(box);
    }
    for (QVBoxLayout* column : columns) column->addStretch();
    layout->addStretch();
    return widget;
}

// The group's rows one under the other; an icon or a label stands left of its
// control.
QGroupBox* Sheet::BuildGroup(const Group& group) {
    auto* box = new QGroupBox(Text(group.title));
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < kRowCount; ++i)
        if (kRows[i].page == group.page && std::strcmp(kRows[i].group, group.title) == 0)
            BuildRow(i, grid);
    box->setEnabled(group.usable);
    return box;
}

void Sheet::BuildRow(int index, QGridLayout* grid) {
    const PreferenceRow& row = kRows[index];
    Bound& bound = bound_[index];
    auto add = [grid](QWidget* widget) { grid->addWidget(widget, grid->rowCount(), 0, 1, 2); };
    auto changed = [this, index] { Changed(index); };
    QWidget* widget = nullptr;
    switch (row.kind) {
        case Kind::Check: {
            auto* box = new QCheckBox(Text(row.text));
            connect(box, &QCheckBox::clicked, this, changed);
            add(widget = box);
            break;
        }
        case Kind::Slider:
        case Kind::NamedSlider: {
            auto* slider = new QSlider(Qt::Horizontal);
            slider->setRange(0, row.LastPosition());
            slider->setPageStep(1);
            slider->setTickPosition(QSlider::TicksBelow);
            slider->setTickInterval(1);
            connect(slider, &QSlider::valueChanged, this, changed);
            widget = slider;
            if (row.kind == Kind::Slider) {
                if (row.text) add(new QLabel(Text(row.text)));
                add(LabelledSlider(slider, row));
                break;
            }
            add(slider);
            bound.name = new QLabel;
            bound.name->setObjectName(NameOf(row, nullptr) + QStringLiteral("_name"));
            bound.name->setAlignment(Qt::AlignHCenter);
            add(bound.name);
            break;
        }
        case Kind::Radios: {
            auto* buttons = new QButtonGroup(this);
            for (int i = 0; i < row.EntryCount(); ++i) {
                auto* button = new QRadioButton(Text(row.entries[i]));
                button->setObjectName(NameOf(row, row.entries[i]));
                button->setEnabled(Usable(row));
                buttons->addButton(button, i);
                add(button);
            }
            connect(buttons, &QButtonGroup::idClicked, this, changed);
            bound.control = buttons;
            return;
        }
        case Kind::List:
        case Kind::Devices: {
            auto* list = OpenList(row.kind == Kind::Devices ? 5 : 3);
            for (int i = 0; i < row.EntryCount(); ++i) AddSorted(list, Text(row.entries[i]));
            connect(list, &QListWidget::itemSelectionChanged, this, changed);
            add(widget = list);
            break;
        }
        case Kind::Folder: {
            auto* folder = new QLineEdit;
            folder->setValidator(new FolderValidator(folder));
            auto* browse = new QPushButton(QStringLiteral("Browse"));
            browse->setObjectName(QStringLiteral("browse"));
            connect(browse, &QPushButton::clicked, this, [this, folder] {
                QString chosen = ChooseFolder(
                    tabs_->currentWidget(),
                    QStringLiteral("Please Select a directory for downloads..."), folder->text());
                if (chosen.isEmpty()) return;
                if (!chosen.endsWith(QLatin1Char('/'))) chosen += QLatin1Char('/');
                if (QFile::encodeName(chosen).size() <= kFolderBytes) folder->setText(chosen);
            });
            auto* line = new QHBoxLayout;
            line->addWidget(widget = folder, 1);
            line->addWidget(browse);
            grid->addLayout(line, grid->rowCount(), 0, 1, 2);
            break;
        }
        case Kind::Button: {
            auto* buttons = new QHBoxLayout;
            for (int i = 0; i < row.EntryCount(); ++i) {
                auto* button = new QPushButton(Text(row.entries[i]));
                button->setObjectName(NameOf(row, row.entries[i]));
                button->setEnabled(Usable(row));
                if (i == 0 && row.action) connect(button, &QPushButton::clicked, this, row.action);
                buttons->addWidget(button);
            }
            int at = grid->rowCount();
            if (row.icon) {
                auto* icon = new QLabel;
                icon->setPixmap(QPixmap(Text(row.icon)));
                grid->addWidget(icon, at, 0);
            }
            grid->addLayout(buttons, at, 1);
            return;
        }
        case Kind::Combo: {
            int at = grid->rowCount();
            grid->addWidget(new QLabel(Text(row.text)), at, 0);
            auto* combo = new QComboBox;
            for (int i = 0; i < row.EntryCount(); ++i) combo->addItem(Text(row.entries[i]));
            connect(combo, &QComboBox::currentIndexChanged, this, changed);
            grid->addWidget(widget = combo, at, 1);
            break;
        }
    }
    widget->setObjectName(NameOf(row, row.text));
    widget->setEnabled(Usable(row));
    bound.control = widget;
}

// The position a control shows, or none (a list without a selection, or with
// a device that is no longer there).
std::optional<int> Sheet::PositionOf(int index) const {
    const PreferenceRow& row = kRows[index];
    QObject* control = bound_[index].control;
    switch (row.kind) {
        case Kind::Check:
            return static_cast<QCheckBox*>(control)->isChecked() ? 1 : 0;
        case Kind::Slider:
        case Kind::NamedSlider:
            return static_cast<QSlider*>(control)->value();
        case Kind::Combo: {
            int index = static_cast<QComboBox*>(control)->currentIndex();
            return index >= 0 ? std::optional<int>(index) : std::nullopt;
        }
        case Kind::Radios: {
            int id = static_cast<QButtonGroup*>(control)->checkedId();
            return id >= 0 ? std::optional<int>(id) : std::nullopt;
        }
        case Kind::List: {
            QString text = SelectedText(static_cast<QListWidget*>(control));
            for (int i = 0; i < row.EntryCount(); ++i)
                if (text == Text(row.entries[i])) return i;
            return std::nullopt;
        }
        case Kind::Devices: {
            QString text = SelectedText(static_cast<QListWidget*>(control));
            if (text == Text(kWaveMapper)) return -1;
            // Entries carry no index: two devices of one name both mean the first.
            std::vector<QString> names = DeviceNames();
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == text) return static_cast<int>(i);
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// Shows a position; values outside a control's range show at its nearest end.
void Sheet::Show(int index, int position) {
    const PreferenceRow& row = kRows[index];
    Bound& bound = bound_[index];
    int last = row.LastPosition();
    switch (row.kind) {
        case Kind::Check:
            static_cast<QCheckBox*>(bound.control)->setChecked(position != 0);
            break;
        case Kind::NamedSlider:
            bound.name->setText(Text(row.entries[std::clamp(position, 0, last)]));
            [[fallthrough]];
        case Kind::Slider:
            static_cast<QSlider*>(bound.control)->setValue(position);
            break;
        case Kind::Radios:
            static_cast<QButtonGroup*>(bound.control)
                ->button(std::clamp(position, 0, last))
                ->setChecked(true);
            break;
        case Kind::Combo:
            static_cast<QComboBox*>(bound.control)->setCurrentIndex(std::clamp(position, 0, last));
            break;
        case Kind::List: {
            auto* list = static_cast<QListWidget*>(bound.control);
            for (int i = 0; position >= 0 && position <= last && i < list->count(); ++i)
                if (list->item(i)->text() == Text(row.entries[position]))
                    list->item(i)->setSelected(true);
            break;
        }
        case Kind::Devices: {
            auto* list = static_cast<QListWidget*>(bound.control);
            std::vector<QString> names = DeviceNames();
            for (size_t i = 0; i < names.size(); ++i) {
                QListWidgetItem* item = AddSorted(list, names[i]);
                if (static_cast<int>(i) == position) item->setSelected(true);
            }
            QListWidgetItem* mapper = AddSorted(list, Text(kWaveMapper));
            if (position == -1) mapper->setSelected(true);
            break;
        }
        default:
            break;
    }
}

// A control moved: what acts at once is stored, and the sheet is marked
// changed as its row says.
void Sheet::Changed(int index) {
    const PreferenceRow& row = kRows[index];
    std::optional<int> position = PositionOf(index);
    if (!position) {
        if (row.marks == Marks::Always) MarkChanged();
        return;
    }
    if (row.kind == Kind::NamedSlider) bound_[index].name->setText(Text(row.entries[*position]));
    if (row.moment & kAtOnce) gSettings.*row.field = *position + row.offset;
    if (row.marks == Marks::Always ||
        (row.marks == Marks::OffBaseline && *position != bound_[index].baseline))
        MarkChanged();
}

// Shows the settings of this moment on a page opened for the first time.
void Sheet::Create(int page) {
    if (page < 0 || page >= kPageCount || created_[page]) return;
    created_[page] = true;
    for (int i = 0; i < kRowCount; ++i) {
        const PreferenceRow& row = kRows[i];
        if (row.page != page) continue;
        QSignalBlocker block(bound_[i].control);
        if (row.field) {
            bound_[i].baseline = gSettings.*row.field - row.offset;
            Show(i, bound_[i].baseline);
        }
        if (row.path)
            static_cast<QLineEdit*>(bound_[i].control)
                ->setText(QString::fromLocal8Bit((gSettings.*row.path).Get().c_str()));
    }
}

// OK and Apply: every page opened so far stores what acts only now.
void Sheet::Apply() {
    for (int i = 0; i < kRowCount; ++i) {
        const PreferenceRow& row = kRows[i];
        if (!created_[row.page]) continue;
        std::optional<int> position = PositionOf(i);
        if (position) bound_[i].baseline = *position;
        if (!(row.moment & kOnApply)) continue;
        if (row.field && position) StoreSetting(row, *position + row.offset);
        if (row.path)
            (gSettings.*row.path)
                .Set(QFile::encodeName(static_cast<QLineEdit*>(bound_[i].control)->text())
                         .constData());
    }
}

// Cancel: what the opened pages changed goes back to the values of the moment
// the sheet opened, those that acted at once included.
void Sheet::Cancel() {
    for (const PreferenceRow& row : kRows) {
        if (!created_[row.page] || !row.restore) continue;
        if (row.field) StoreSetting(row, g_snapshot.*row.field);
        if (row.path) gSettings.*row.path = g_snapshot.*row.path;
    }
}

// The sheet has closed: the owner is enabled, the sheet goes, and the owner
// does the rest of its duty.
void FinishClosedSheet() {
    if (!g_sheet) return;
    if (QWidget* owner = g_sheet->parentWidget()) owner->setEnabled(true);
    delete g_sheet.data();
    std::function<void()> closed = std::move(g_closed);
    g_closed = nullptr;
    if (closed) closed();
}

}  // namespace

std::span<const PreferenceRow> PreferenceTable() {
    return kRows;
}

bool ShowPreferences(QWidget* owner, const std::function<void()>& closed) {
    if (g_sheet) {
        // Forward from every state: a sheet minimised along with its owner
        // would otherwise stay down.
        g_sheet->setWindowState(g_sheet->windowState() & ~Qt::WindowMinimized);
        g_sheet->show();
        g_sheet->raise();
        g_sheet->activateWindow();
        return true;
    }
    g_snapshot = gSettings;
    g_closed = closed;
    g_sheet = new Sheet(owner);
    // The main loop finishes a closed sheet when it next runs, not inside the
    // button's own handling.
    QObject::connect(g_sheet.data(), &QDialog::finished, g_sheet.data(),
                     [] { QTimer::singleShot(0, FinishClosedSheet); });
    PlaceBeside(g_sheet, owner);
    g_sheet->show();
    return true;
}

bool IsPreferencesOpen() {
    return !g_sheet.isNull();
}

QWidget* PreferencesSheet() {
    return g_sheet.data();
}

void SetAudioDeviceList(const AudioDeviceList& list) {
    g_devices = list;
}

void SetFolderChooser(const FolderChooser& chooser) {
    g_choose_folder = chooser;
}

}  // namespace vek::app
