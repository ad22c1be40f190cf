#include "app/about.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "app/sheet_geometry.h"
#include "platform/user_dirs.h"

namespace vek::app {
namespace {

constexpr int kMaxLinkText = 1023;

QPointer<QDialog> g_about;
std::function<void(const QString&)> g_open_link;

void OpenLink(const QString& text) {
    if (g_open_link) {
        g_open_link(text);
        return;
    }
    // A failure of the desktop to open it is not reported.
    QDesktopServices::openUrl(QUrl::fromUserInput(text));
}

// One of Vek's own documents: the installed copy beside the program, else the
// one of the source tree it was built from.
std::string DocumentUrl(const char* name) {
    std::string installed = ExecutableDirectory() + VEK_INSTALLED_DOCS + name;
    std::string path = QFile::exists(QFile::decodeName(installed.c_str()))
                           ? installed
                           : std::string(VEK_SOURCE_DOCS) + name;
    return QUrl::fromLocalFile(QFile::decodeName(path.c_str())).toString().toStdString();
}

QWidget* AboutPage() {
    auto* page = new QWidget;
    auto* text = new QTextEdit;
    text->setObjectName(QStringLiteral("about_text"));
    text->setReadOnly(true);
    QTextOption centred(Qt::AlignHCenter);
    text->document()->setDefaultTextOption(centred);
    text->setPlainText(QStringLiteral("VEK 0.90\nBy the Vek developers\n\n..."));
    auto* icon = new QLabel;
    icon->setPixmap(QPixmap(QStringLiteral(":/skin/icon_101_32.png")));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(text, 1);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    return page;
}

QWidget* LinksPage() {
    auto* page = new QWidget;
    auto* note =
        new QLabel(QStringLiteral("These are the sites the Vek developers recommend.\n"
                                  "They are not under the Vek developers' control."));
    note->setAlignment(Qt::AlignHCenter);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("links"));
    std::vector<Link> links = AboutLinks();
    for (size_t i = 0; i < links.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(links[i].title), list);
        item->setData(Qt::UserRole, static_cast<int>(i));
    }
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("link_text"));
    field->setMaxLength(kMaxLinkText);
    auto* browse = new QPushButton(QStringLiteral("Browse To"));
    browse->setObjectName(QStringLiteral("browse_to"));

    // Whatever the list reports, the selected entry's address goes into the field.
    auto show_selected = [list, field, links] {
        QList<QListWidgetItem*> selected = list->selectedItems();
        if (selected.isEmpty()) return;
        int index = selected.first()->data(Qt::UserRole).toInt();
        field->setText(QString::fromStdString(links[static_cast<size_t>(index)].url));
    };
    QObject::connect(list, &QListWidget::itemSelectionChanged, field, show_selected);
    QObject::connect(list, &QListWidget::itemActivated, field, show_selected);
    QObject::connect(list, &QListWidget::itemClicked, field, show_selected);
    QObject::connect(browse, &QPushButton::clicked, field, [field] {
        // What stands in the field is opened, as typed; two characters are no address.
        QString text = field->text();
        if (text.size() > 2) OpenLink(text);
    });

    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(browse);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(note);
    layout->addWidget(list, 1);
    layout->addLayout(row);
    return page;
}

}  // namespace

std::vector<Link> AboutLinks() {
    return {
        {"Vek: read me", DocumentUrl("README.md")},
        {"Vek: changes of each version", DocumentUrl("CHANGELOG.md")},
        {"MP3 - Wikipedia", "https://en.wikipedia.org/wiki/MP3"},
        {"ISO/IEC 11172-3: MPEG-1 Audio", "https://www.iso.org/standard/22412.html"},
        {"mpg123: fast MPEG audio decoder", "https://www.mpg123.de/"},
        {"LAME MP3 encoder", "https://lame.sourceforge.io/"},
        {"Hydrogenaudio Knowledgebase: MP3", "https://wiki.hydrogenaud.io/index.php?title=MP3"},
    };
}

void ShowAbout(QWidget* owner) {
    if (g_about) return;  // one at a time, as for any modal sheet
    QDialog sheet(owner);
    g_about = &sheet;
    sheet.setWindowTitle(QStringLiteral("About VEK..."));
    sheet.setObjectName(QStringLiteral("about"));
    auto* tabs = new QTabWidget;
    QSize page_size = SheetPageSize(sheet.font());
    for (auto [page, title] :
         {std::pair{AboutPage(), "About Page"}, std::pair{LinksPage(), "Cool Links"}}) {
        page->setMinimumSize(page_size);
        tabs->addTab(page, QString::fromLatin1(title));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    auto* layout = new QVBoxLayout(&sheet);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    PlaceBeside(&sheet, owner);
    sheet.exec();
}

QWidget* AboutSheet() {
    return g_about.data();
}

void SetLinkOpener(const std::function<void(const QString& text)>& opener) {
    g_open_link = opener;
}

}  // namespace vek::app
