#include "app/preferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "app/file_types.h"
#include "app/sheet_geometry.h"
#include "output/output_system.h"
#include "platform/limits.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

const char* const kPriorityNames[6] = {"Lowest Priority", "Below Normal",     "Normal Priority",
                                       "Above Normal",    "Highest Priority", "RealTime Priority"};
constexpr const char* kWaveMapper = "Wave Mapper";
// InternetDLDir's field holds this many bytes besides its terminator and slack.
constexpr int kFolderBytes = kPathField - 2;

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
QListWidget* OpenList(const char* name, int rows) {
    auto* list = new QListWidget;
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFixedHeight(rows * list->fontMetrics().height() + 2 * list->frameWidth() + 6);
    return list;
}

QCheckBox* Check(const char* text, const char* name = nullptr) {
    auto* box = new QCheckBox(QString::fromLatin1(text));
    if (name) box->setObjectName(QString::fromLatin1(name));
    return box;
}

QRadioButton* Radio(const char* text, const char* name) {
    auto* button = new QRadioButton(QString::fromLatin1(text));
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QCheckBox* DisabledCheck(const char* text) {
    QCheckBox* box = Check(text);
    box->setEnabled(false);
    return box;
}

QSlider* Slider(const char* name, int max) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(0, max);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    return slider;
}

// A slider with the name of each position under its tick: the first at the
// left end, the last at the right, the others centred.
QWidget* LabelledSlider(QSlider* slider, std::initializer_list<const char*> labels) {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(0);
    int steps = static_cast<int>(labels.size()) - 1;
    // Two columns per step between ticks; a middle name spans the two
    // columns around its tick.
    grid->addWidget(slider, 0, 0, 1, 2 * steps);
    for (int column = 0; column < 2 * steps; ++column) grid->setColumnStretch(column, 1);
    int i = 0;
    for (const char* text : labels) {
        auto* label = new QLabel(QString::fromLatin1(text));
        if (i == 0)
            grid->addWidget(label, 1, 0, Qt::AlignLeft);
        else if (i == steps)
            grid->addWidget(label, 1, 2 * steps - 1, Qt::AlignRight);
        else
            grid->addWidget(label, 1, 2 * i - 1, 1, 2, Qt::AlignHCenter);
        ++i;
    }
    return box;
}

QGroupBox* Group(const char* title, QLayout* layout) {
    auto* group = new QGroupBox(QString::fromLatin1(title));
    group->setLayout(layout);
    return group;
}

QLabel* IconLabel(const char* resource) {
    auto* label = new QLabel;
    label->setPixmap(QPixmap(QString::fromLatin1(resource)));
    return label;
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

enum PageIndex { kGeneral, kDecoder, kAudio, kStreaming, kPageCount };

class Sheet : public QDialog {
  public:
    explicit Sheet(QWidget* owner);

  protected:
    bool event(QEvent* event) override;
    void reject() override;

  private:
    QWidget* BuildGeneral();
    QWidget* BuildDecoder();
    QWidget* BuildAudio();
    QWidget* BuildStreaming();
    QVBoxLayout* SettingRadios(Relaxed<int32_t>* field,
                               std::initializer_list<QRadioButton*> buttons, const char* unusable);
    void Create(int page);
    void Apply();
    void Cancel();
    void MarkChanged() { apply_->setEnabled(true); }

    QTabWidget* tabs_;
    QPushButton* apply_;
    bool created_[kPageCount] = {};

    QCheckBox* auto_play_;
    QCheckBox* multiple_;
    QCheckBox* on_top_;
    QCheckBox* splash_;
    QCheckBox* easy_move_;
    QSlider* minimize_;
    int minimize_baseline_ = 0;

    QSlider* quality_;
    QSlider* channels_;
    QSlider* priority_;
    QLabel* priority_name_;
    QListWidget* output_system_;
    int quality_baseline_ = 0;
    int priority_baseline_ = 0;

    QListWidget* devices_;
    QRadioButton* function_;
    QRadioButton* thread_;
    QCheckBox* bypass_;
    QCheckBox* sync_devices_;
    QCheckBox* eight_bit_;

    QRadioButton* play_only_;
    QRadioButton* play_save_;
    QLineEdit* folder_;
};

Sheet::Sheet(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("VEK Preferences"));
    setObjectName(QStringLiteral("preferences"));
    setModal(false);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("pages"));
    QSize page_size = SheetPageSize(font());
    const struct {
        QWidget* page;
        const char* title;
    } pages[] = {{BuildGeneral(), "General"},
                 {BuildDecoder(), "Decoder"},
                 {BuildAudio(), "Audio Output"},
                 {BuildStreaming(), "Streaming"}};
    for (const auto& page : pages) {
        page.page->setMinimumSize(page_size);
        tabs_->addTab(page.page, QString::fromLatin1(page.title));
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
    Create(kGeneral);
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

QWidget* Sheet::BuildGeneral() {
    auto* page = new QWidget;
    auto* options = new QVBoxLayout;
    auto_play_ = Check("Auto Play on Open", "auto_play");
    multiple_ = Check("Multiple Instances", "multiple_instances");
    on_top_ = Check("Always On Top", "always_on_top");
    splash_ = Check("Show Splashscreen", "splash");
    easy_move_ = Check("Easy Move", "easy_move");
    for (QWidget* box : {auto_play_, multiple_, on_top_, splash_, easy_move_})
        options->addWidget(box);
    options->addWidget(DisabledCheck("Read File Info on Open"));
    options->addWidget(DisabledCheck("Auto Scroll Song Name"));
    options->addStretch();

    auto* startup = new QGridLayout;
    auto* register_types = new QPushButton(QStringLiteral("Register Filetypes"));
    register_types->setObjectName(QStringLiteral("register_filetypes"));
    auto* start_menu = new QPushButton(QStringLiteral("Add to Start menu"));
    start_menu->setEnabled(false);
    startup->addWidget(IconLabel(":/skin/icon_audio_file_32.png"), 0, 0);
    startup->addWidget(register_types, 0, 1);
    startup->addWidget(IconLabel(":/skin/icon_101_32.png"), 1, 0);
    startup->addWidget(start_menu, 1, 1);
    startup->setRowStretch(2, 1);
    connect(register_types, &QPushButton::clicked, page, [] { RegisterFileTypes(); });

    auto* minimize = new QVBoxLayout;
    minimize_ = Slider("minimize_location", 1);
    minimize->addWidget(LabelledSlider(minimize_, {"Taskbar", "Systray"}));
    connect(minimize_, &QSlider::valueChanged, this, [this](int value) {
        gSettings.MinimizeLocation = value;
        if (value != minimize_baseline_) MarkChanged();
    });

    auto* right = new QVBoxLayout;
    right->addWidget(Group("Startup", startup));
    right->addWidget(Group("Minimize Location", minimize));
    right->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(Group("General Options", options), 1);
    layout->addLayout(right, 1);
    return page;
}

QWidget* Sheet::BuildDecoder() {
    auto* page = new QWidget;
    quality_ = Slider("quality", 2);
    channels_ = Slider("channels", 3);
    priority_ = Slider("priority", 5);
    priority_name_ = new QLabel;
    priority_name_->setObjectName(QStringLiteral("priority_name"));
    priority_name_->setAlignment(Qt::AlignHCenter);

    auto* quality = new QVBoxLayout;
    quality->addWidget(LabelledSlider(quality_, {"Full", "Half", "Quarter"}));
    auto* output = new QVBoxLayout;
    output->addWidget(LabelledSlider(channels_, {"Stereo", "Left", "Right", "Mono"}));
    auto* priority = new QVBoxLayout;
    priority->addWidget(priority_);
    priority->addWidget(priority_name_);

    // Moving a slider marks the sheet changed only when it changed a value
    // that acts at once.
    auto slid = [this] {
        if (gSettings.DownSample != quality_baseline_ ||
            gSettings.DecoderPriority != priority_baseline_)
            MarkChanged();
    };
    connect(quality_, &QSlider::valueChanged, this, [slid](int value) {
        gSettings.DownSample = value;
        slid();
    });
    connect(channels_, &QSlider::valueChanged, this, slid);
    connect(priority_, &QSlider::valueChanged, this, [this, slid](int value) {
        gSettings.DecoderPriority = value;
        priority_name_->setText(QString::fromLatin1(kPriorityNames[value]));
        slid();
    });

    output_system_ = OpenList("output_system", 3);
    for (const char* name : {".wav file", "Windows Media", "Output Plugin"})
        AddSorted(output_system_, QString::fromLatin1(name));
    connect(output_system_, &QListWidget::itemSelectionChanged, this, [this] {
        QString text = SelectedText(output_system_);
        gSettings.AudioOutputSystem = text == QLatin1String(".wav file")       ? 1
                                      : text == QLatin1String("Output Plugin") ? 2
                                                                               : 0;
        MarkChanged();
    });
    auto* system = new QVBoxLayout;
    system->addWidget(output_system_);

    auto* plugins_list = OpenList("output_plugins", 3);
    plugins_list->setEnabled(false);
    auto* configure = new QPushButton(QStringLiteral("Configure"));
    auto* about = new QPushButton(QStringLiteral("About"));
    configure->setEnabled(false);
    about->setEnabled(false);
    auto* plugin_buttons = new QHBoxLayout;
    plugin_buttons->addWidget(configure);
    plugin_buttons->addWidget(about);
    auto* plugins = new QVBoxLayout;
    plugins->addWidget(plugins_list);
    plugins->addLayout(plugin_buttons);

    auto* left = new QVBoxLayout;
    left->addWidget(Group("Quality", quality));
    left->addWidget(Group("Output", output));
    left->addWidget(Group("Priority", priority));
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(Group("Output System", system));
    right->addWidget(Group("Output Plugins", plugins));
    right->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    return page;
}

QWidget* Sheet::BuildAudio() {
    auto* page = new QWidget;
    devices_ = OpenList("devices", 5);
    connect(devices_, &QListWidget::itemSelectionChanged, this, [this] {
        QString text = SelectedText(devices_);
        if (text == QLatin1String(kWaveMapper)) {
            gSettings.WinMMOutputDev = -1;
        } else {
            // Entries carry no index: two devices of one name both mean the first.
            std::vector<QString> names = DeviceNames();
            for (size_t i = 0; i < names.size(); ++i) {
                if (names[i] == text) {
                    gSettings.WinMMOutputDev = static_cast<int32_t>(i);
                    break;
                }
            }
        }
        MarkChanged();
    });
    auto* device = new QVBoxLayout;
    device->addWidget(devices_);

    function_ = Radio("Function", "function");
    thread_ = Radio("Thread", "thread");
    QVBoxLayout* callback = SettingRadios(&gSettings.WinMMCallback, {function_, thread_}, "Window");
    callback->addStretch();

    bypass_ = Check("Bypass Audio Compression  Manager", "bypass_acm");
    sync_devices_ = Check("Allow Synchronous Devices", "sync_devices");
    eight_bit_ = Check("Force 8-Bit Output", "eight_bit");
    auto* options = new QVBoxLayout;
    for (QCheckBox* box : {bypass_, sync_devices_, eight_bit_}) {
        options->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this] { MarkChanged(); });
    }

    auto* top = new QHBoxLayout;
    top->addWidget(Group("Output Device", device), 2);
    top->addWidget(Group("Callback", callback), 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(Group("General Options", options));
    layout->addStretch();
    return page;
}

QWidget* Sheet::BuildStreaming() {
    auto* page = new QWidget;
    play_only_ = Radio("Play Only", "play_only");
    play_save_ = Radio("Play and Save", "play_and_save");
    QVBoxLayout* download =
        SettingRadios(&gSettings.DownloadOption, {play_only_, play_save_}, "Save Only");
    download->addWidget(DisabledCheck("Play after download"));
    download->addStretch();

    folder_ = new QLineEdit;
    folder_->setObjectName(QStringLiteral("download_folder"));
    folder_->setValidator(new FolderValidator(folder_));
    auto* browse = new QPushButton(QStringLiteral("Browse"));
    browse->setObjectName(QStringLiteral("browse"));
    connect(browse, &QPushButton::clicked, page, [this, page] {
        QString chosen = ChooseFolder(
            page, QStringLiteral("Please Select a directory for downloads..."), folder_->text());
        if (chosen.isEmpty()) return;
        if (!chosen.endsWith(QLatin1Char('/'))) chosen += QLatin1Char('/');
        if (QFile::encodeName(chosen).size() <= kFolderBytes) folder_->setText(chosen);
    });
    auto* location = new QHBoxLayout;
    location->addWidget(folder_, 1);
    location->addWidget(browse);

    auto* connection = new QComboBox;
    connection->setEnabled(false);
    auto* connection_row = new QHBoxLayout;
    connection_row->addWidget(new QLabel(QStringLiteral("Connection")));
    connection_row->addWidget(connection, 1);
    auto* general = new QVBoxLayout;
    general->addLayout(connection_row);
    general->addWidget(DisabledCheck("Check for server TAG File"));
    general->addWidget(DisabledCheck("Download status window"));
    general->addStretch();
    QGroupBox* unused = Group("General", general);
    unused->setEnabled(false);

    auto* top = new QHBoxLayout;
    top->addWidget(Group("Download", download), 1);
    top->addWidget(unused, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(Group("Download Location", location));
    layout->addStretch();
    return page;
}

// Radio buttons that store their position in field the moment one is clicked,
// and mark the sheet changed; one more, never usable, follows them.
QVBoxLayout* Sheet::SettingRadios(Relaxed<int32_t>* field,
                                  std::initializer_list<QRadioButton*> buttons,
                                  const char* unusable) {
    auto* layout = new QVBoxLayout;
    int32_t value = 0;
    for (QRadioButton* button : buttons) {
        connect(button, &QRadioButton::clicked, this, [this, field, value] {
            *field = value;
            MarkChanged();
        });
        layout->addWidget(button);
        ++value;
    }
    auto* off = new QRadioButton(QString::fromLatin1(unusable));
    off->setEnabled(false);
    layout->addWidget(off);
    return layout;
}

// Shows the settings of this moment on a page opened for the first time.
void Sheet::Create(int page) {
    if (page < 0 || page >= kPageCount || created_[page]) return;
    created_[page] = true;
    QSignalBlocker block_general(minimize_), block_quality(quality_), block_channels(channels_),
        block_priority(priority_), block_system(output_system_), block_devices(devices_);
    const Settings& s = gSettings;
    switch (page) {
        case kGeneral:
            auto_play_->setChecked(s.AutoPlayOnOpen != 0);
            multiple_->setChecked(s.MultipleInstances != 0);
            on_top_->setChecked(s.AlwaysOnTop != 0);
            splash_->setChecked(s.ShowSplashScreen != 0);
            easy_move_->setChecked(s.EasyMove != 0);
            minimize_->setValue(s.MinimizeLocation);
            minimize_baseline_ = s.MinimizeLocation;
            break;
        case kDecoder: {
            quality_->setValue(s.DownSample);
            channels_->setValue(s.Channels + 1);
            priority_->setValue(s.DecoderPriority);
            int shown = std::clamp<int>(s.DecoderPriority, 0, 5);
            priority_name_->setText(QString::fromLatin1(kPriorityNames[shown]));
            quality_baseline_ = s.DownSample;
            priority_baseline_ = s.DecoderPriority;
            const char* system = s.AudioOutputSystem == 0   ? "Windows Media"
                                 : s.AudioOutputSystem == 1 ? ".wav file"
                                 : s.AudioOutputSystem == 2 ? "Output Plugin"
                                                            : nullptr;
            for (int row = 0; system && row < output_system_->count(); ++row)
                if (output_system_->item(row)->text() == QLatin1String(system))
                    output_system_->item(row)->setSelected(true);
            break;
        }
        case kAudio: {
            std::vector<QString> names = DeviceNames();
            for (size_t i = 0; i < names.size(); ++i) {
                QListWidgetItem* item = AddSorted(devices_, names[i]);
                if (static_cast<int>(i) == s.WinMMOutputDev) item->setSelected(true);
            }
            QListWidgetItem* mapper = AddSorted(devices_, QString::fromLatin1(kWaveMapper));
            if (s.WinMMOutputDev == -1) mapper->setSelected(true);
            function_->setChecked(s.WinMMCallback == 0);
            thread_->setChecked(s.WinMMCallback != 0);
            bypass_->setChecked(s.AudioBypassACM != 0);
            sync_devices_->setChecked(s.AudioAllowSyncDev != 0);
            eight_bit_->setChecked(s.AudioOutput8Bit != 0);
            break;
        }
        case kStreaming:
            (s.DownloadOption != 0 ? play_save_ : play_only_)->setChecked(true);
            folder_->setText(QString::fromLocal8Bit(s.InternetDLDir.Get().c_str()));
            break;
        default:
            break;
    }
}

// OK and Apply: every page opened so far stores what acts only now.
void Sheet::Apply() {
    Settings& s = gSettings;
    if (created_[kGeneral]) {
        s.AutoPlayOnOpen = auto_play_->isChecked() ? 1 : 0;
        s.MultipleInstances = multiple_->isChecked() ? 1 : 0;
        s.AlwaysOnTop = on_top_->isChecked() ? 1 : 0;
        s.ShowSplashScreen = splash_->isChecked() ? 1 : 0;
        s.EasyMove = easy_move_->isChecked() ? 1 : 0;
        s.MinimizeLocation = minimize_->value();
        minimize_baseline_ = minimize_->value();
    }
    if (created_[kDecoder]) {
        s.DownSample = quality_->value();
        s.Channels = channels_->value() - 1;
        s.DecoderPriority = priority_->value();
        quality_baseline_ = quality_->value();
        priority_baseline_ = priority_->value();
    }
    if (created_[kAudio]) {
        s.AudioBypassACM = bypass_->isChecked() ? 1 : 0;
        s.AudioAllowSyncDev = sync_devices_->isChecked() ? 1 : 0;
        s.AudioOutput8Bit = eight_bit_->isChecked() ? 1 : 0;
    }
    if (created_[kStreaming]) s.InternetDLDir.Set(QFile::encodeName(folder_->text()).constData());
}

// Cancel: what the opened pages changed goes back to the values of the moment
// the sheet opened, those that acted at once included.
void Sheet::Cancel() {
    Settings& s = gSettings;
    const Settings& was = g_snapshot;
    if (created_[kGeneral]) {
        s.AutoPlayOnOpen = was.AutoPlayOnOpen;
        s.MultipleInstances = was.MultipleInstances;
        s.AlwaysOnTop = was.AlwaysOnTop;
        s.ShowSplashScreen = was.ShowSplashScreen;
        s.EasyMove = was.EasyMove;
        s.MinimizeLocation = was.MinimizeLocation;
    }
    if (created_[kDecoder]) {
        s.DownSample = was.DownSample;
        s.DecoderPriority = was.DecoderPriority;
        s.AudioOutputSystem = was.AudioOutputSystem;
    }
    if (created_[kAudio]) {
        s.WinMMOutputDev = was.WinMMOutputDev;
        s.WinMMCallback = was.WinMMCallback;
    }
    if (created_[kStreaming]) {
        s.DownloadOption = was.DownloadOption;
        s.InternetDLDir = was.InternetDLDir;
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

bool ShowPreferences(QWidget* owner, const std::function<void()>& closed) {
    if (g_sheet) {
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
