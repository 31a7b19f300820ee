#pragma once

namespace sayloom {

class AppState;
class Clock;
class FileActions;
class InputDevices;
class LocalLanguageModel;
class LoginItem;
class ServerSpeechEngine;
class Permissions;

// What the windows work with besides the session itself: the desktop's services behind their ports, the live
// microphone list and the local language model (for the names its server offers). The application builds the real
// ones; the snapshots and tests give stand-ins. Each referenced part must outlive the windows.
struct WindowParts {
    AppState& state;
    Clock& clock;
    Permissions& permissions;
    InputDevices& inputDevices;
    LoginItem& loginItem;
    FileActions& files;
    // Absent when no local model is set up in this process.
    LocalLanguageModel* languageModel = nullptr;
    // Absent when the windows only show the engine's status line, not how its server is doing.
    ServerSpeechEngine* speechEngine = nullptr;
    // Whether the desktop shows tray icons; without one Home explains how to reach and quit the application.
    bool trayAvailable = true;
};

} // namespace sayloom
