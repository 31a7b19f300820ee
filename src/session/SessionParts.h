#pragma once

#include <memory>

namespace sayloom {

class AccessibilityTrust;
class ActiveApplication;
class Clipboard;
class Clock;
class DictionaryStore;
class HistoryStore;
class HotkeyMonitor;
class InputDevices;
class LanguageModel;
class Overlay;
class Permissions;
class Preferences;
class Recorder;
class Sounds;
class TextInserter;
class TranscriptionEngine;

// What the desktop gives the session: the trigger key, the pill, pasting, permissions, the active window, the
// clipboard and the cues.
struct DesktopParts {
    HotkeyMonitor& hotkeyMonitor;
    Overlay& overlay;
    TextInserter& inserter;
    Permissions& permissions;
    AccessibilityTrust& accessibility;
    ActiveApplication& activeApplication;
    Clipboard& clipboard;
    Sounds& sounds;
};

// Everything the session works with, handed over when it is built. The referenced parts must outlive it.
struct SessionParts {
    Clock& clock;
    Preferences& preferences;
    DictionaryStore& dictionary;
    HistoryStore& history;
    Recorder& recorder;
    InputDevices& inputDevices;
    TranscriptionEngine& engine;
    std::shared_ptr<LanguageModel> languageModel;
    DesktopParts desktop;
};

} // namespace sayloom
