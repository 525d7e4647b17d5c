// The operating-system services the toolkit and the components stand on, each
// behind a small interface. The program entry wires the real backends (Qt and
// Linux); tests wire the doubles of platform/fake.
#pragma once

namespace qv::platform {

class IEventLoop;
class IWindowSystem;
class IDialogs;
class IRegistryStore;
class IFileSystem;
class ILocale;
class ISystemInfo;
class IFontEngine;
class IIcmpService;
class IResolver;
class ISoundPlayer;
class IThreads;
class IClipboard;
class IDesktopWindows;
class IProcessLauncher;
class ITray;
class IClock;
class IHistoryStore;

struct Services {
  IEventLoop* loop = nullptr;
  IWindowSystem* windows = nullptr;  // null: headless, controls have no native peers
  IDialogs* dialogs = nullptr;
  IRegistryStore* registry = nullptr;
  IFileSystem* files = nullptr;
  ILocale* locale = nullptr;
  ISystemInfo* system = nullptr;
  IFontEngine* fonts = nullptr;
  IIcmpService* icmp = nullptr;
  IResolver* resolver = nullptr;
  ISoundPlayer* sounds = nullptr;
  IThreads* threads = nullptr;           // null: threads keep the priority they are created with
  IClipboard* clipboard = nullptr;       // null: no clipboard (headless)
  IDesktopWindows* desktop = nullptr;    // null: no other windows are known
  IProcessLauncher* launcher = nullptr;  // null: no program can be started
  ITray* tray = nullptr;                 // null: no notification area
  IClock* clock = nullptr;               // null: no connection history
  IHistoryStore* history = nullptr;      // null: the history is switched off
};

// The process-wide wiring. Set once by the program entry or a test fixture.
Services& Current();

}  // namespace qv::platform
