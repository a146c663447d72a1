// What the files of the system module give each other.
#pragma once

#include "window_messages.hpp"

#include <string>
#include <string_view>

namespace zandrel {

void StartEventQueue();
void StartSystemDriver();

// The pump hands each timer tick to this, with the handle of its timer.
void DeliverTimerTick(int handle);
// The period of a timer of `hertz` ticks a second: 1000 / hertz ms truncated.
// Throws RuntimeError for a rate that is not above 0 and at most 1000, or
// too low for the period to fit an int.
int TimerPeriodMs(float hertz);

// Hands a message to the procedure of its window, if that is a framework window.
void DispatchWindowMessage(const TWindowMessage& message);

// Puts the pointer at client coordinates of the active window (with none
// known yet, the newest framework window).
void WarpMouse(int x, int y);

// Mouse tracking and cursor visibility over framework windows.
void TrackMouse(uint32_t window, const Ref<Object>& source, int x, int y);
void UpdateCursorVisibility();
void SetCursorVisibleFlag(bool visible);

// Recomputed by the pump from the modifier state of modifier-key messages.
void SetModifierFlags(Modifier flags);

// The file filter of a requester, one entry per description.
struct FileFilter {
    String name;
    std::vector<String> extensions;
};
std::vector<FileFilter> ParseFileFilter(const String& filter);

// The command line of the desktop's requester (zenity or kdialog); empty when
// neither is installed or the initial path cannot be a name (ToOsName).
std::vector<std::string> FileRequesterCommand(const String& title,
                                              const std::vector<FileFilter>& filters, bool save,
                                              const String& initialPath);
std::vector<std::string> FolderRequesterCommand(const String& title, const String& initialPath);
// The chosen path, or empty on cancel or without a requester.
String RunRequester(const std::vector<std::string>& command);

// The URL OpenLocation hands to the desktop.
String LocationUrl(const String& url);

} // namespace zandrel
