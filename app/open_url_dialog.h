// The small "Open URL..." dialog, from Open Location and the editor's Add
// URL.... GUI thread only.
#pragma once

#include <QByteArray>
#include <cstddef>

class QWidget;

namespace vek::app {

// The field takes at most this many characters.
inline constexpr int kUrlFieldLength = 258;

// A text shorter than this names no address; callers leave it alone.
inline constexpr size_t kShortestUrl = 4;

// Runs the dialog modally over owner. 1 when the user chose "Open": buffer then
// holds the field's text (blanks around it dropped, UTF-8, terminated); 0 when
// the user cancelled or closed it, and buffer is untouched. Callers act only on
// a text of at least kShortestUrl characters.
int OpenUrlDialog(QWidget* owner, char* buffer, size_t buffer_size);

// Open Location and Add URL...: the text of the dialog, or an empty one when
// the user cancelled or gave fewer than kShortestUrl characters.
QByteArray AskForUrl(QWidget* owner);

}  // namespace vek::app
