#pragma once

#include <QString>

#include <memory>

class QSettings;

namespace sayloom {

class AccessibilityTrust;
class Clipboard;
class Clock;
class HotkeyMonitor;
class InputDevices;
class LanguageModel;
class Overlay;
class Permissions;
class Recorder;
class ActiveApplication;
class SettingsStore;
class Sounds;
class TextInserter;
class TranscriptionEngine;

// Everything the session works with, handed over when it is built. The referenced parts must outlive it.
struct SessionParts {
    Clock& clock;
    // The four settings.
    SettingsStore& settings;
    // Where earlier versions kept the history and the word list; read once and cleaned up by their stores.
    QSettings& legacySettings;
    QString dictionaryPath;
    QString historyPath;
    Recorder& recorder;
    InputDevices& inputDevices;
    TranscriptionEngine& engine;
    std::shared_ptr<LanguageModel> languageModel;
    HotkeyMonitor& hotkeyMonitor;
    Overlay& overlay;
    TextInserter& inserter;
    Permissions& permissions;
    AccessibilityTrust& accessibility;
    ActiveApplication& activeApplication;
    Clipboard& clipboard;
    Sounds& sounds;
};

} // namespace sayloom
