#pragma once

#include <QByteArray>

namespace sayloom {

// The keystroke an application pastes the clipboard with.
enum class PasteKeys { controlV, controlShiftV, shiftInsert };

// The keystroke for an application known by its window class or application id (either matches, without case):
// terminals take Ctrl+V as a literal ^V for the shell, so most paste with Ctrl+Shift+V, and xterm and rxvt paste the
// PRIMARY selection with Shift+Insert; everything else pastes with Ctrl+V.
PasteKeys pasteKeysFor(const QByteArray& instance, const QByteArray& windowClass);

} // namespace sayloom
