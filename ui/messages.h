#pragma once
// The program's own window messages; all are posted, never sent.

#include <windows.h>

namespace tallowin::ui {

inline constexpr UINT WM_STARTSCAN = 0x2409;         // scan dialog to itself, once shown
inline constexpr UINT WM_ACTIVATEINSTANCE = 0x2410;  // a second start to the running window
inline constexpr UINT WM_REPAIRONCE = 0x2411;        // main window to itself, "-repaironce"
inline constexpr UINT WM_RESTOREPOINTDONE = 0x2412;  // restore point worker; lParam 0 ok, 1 failed
inline constexpr UINT WM_CATEGORYDONE = 0x2413;      // after each scan category
inline constexpr UINT WM_SCANDONE = 0x2414;          // after the last category
// The scan dialog's own wake-up: reports wait in the scan's queue.
inline constexpr UINT WM_SCANREPORTS = WM_APP + 1;
// The scan dialog to itself: the next slice of the work after the scan.
inline constexpr UINT WM_POSTSCANSTEP = WM_APP + 3;

// The main window's class name: the single-instance marker.
inline constexpr const wchar_t* kMainWindowClass = L"Tallowin Made by Quorvel";

}  // namespace tallowin::ui
