// The small "Open URL..." dialog, from Open Location and the editor's Add
// URL.... GUI thread only.
#pragma once

#include <cstddef>

class QWidget;

namespace vek::app {

// The field takes at most this many characters.
inline constexpr int kUrlFieldLength = 258;

// Runs the dialog modally over owner. 1 when the user chose "Open" with at
// least 4 characters: buffer then holds the field's text (blanks around it
// dropped, UTF-8, terminated); 0 when the user cancelled, closed it or gave
// less, and buffer is untouched.
int OpenUrlDialog(QWidget* owner, char* buffer, size_t buffer_size);

}  // namespace vek::app
