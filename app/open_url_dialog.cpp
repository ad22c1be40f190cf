#include "app/open_url_dialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "platform/limits.h"

namespace vek::app {

int OpenUrlDialog(QWidget* owner, char* buffer, size_t buffer_size) {
    if (buffer_size == 0) return 0;
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Open URL..."));
    auto* prompt = new QLabel(QStringLiteral("Enter URL to open."), &dialog);
    auto* example = new QLabel(
        QStringLiteral("For example: http://radio.example.com:8000/stream.mp3"), &dialog);
    example->setEnabled(false);  // drawn greyed: a hint, not a value
    auto* field = new QLineEdit(&dialog);
    field->setObjectName(QStringLiteral("url"));
    field->setMaxLength(kUrlFieldLength);
    field->setMinimumWidth(field->fontMetrics().averageCharWidth() * 48);
    auto* open = new QPushButton(QStringLiteral("Open"), &dialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    open->setDefault(true);
    QObject::connect(open, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(open);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(prompt);
    layout->addWidget(field);
    layout->addWidget(example);
    layout->addLayout(buttons);
    field->setFocus();

    if (dialog.exec() != QDialog::Accepted) return 0;
    // A pasted address often brings a blank or a line end along; no URL or
    // file name of a stream means them.
    QByteArray text = field->text().trimmed().toUtf8();
    size_t length = static_cast<size_t>(text.size());
    if (length >= buffer_size) length = 0;  // cannot happen with the field's limit
    std::memcpy(buffer, text.constData(), length);
    buffer[length] = '\0';
    return 1;
}

QByteArray AskForUrl(QWidget* owner) {
    char url[kPathField] = {};
    if (OpenUrlDialog(owner, url, sizeof url) != 1 || std::strlen(url) < kShortestUrl) return {};
    return QByteArray(url);
}

}  // namespace vek::app
