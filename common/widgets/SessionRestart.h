#pragma once

class QGuiApplication;

// What the desktop session stores to start the program again in the next session.
namespace SessionRestart {

// From now on, each save of the session's state hands the session manager the command Qt
// proposes with the program by its absolute path instead of as it was typed (a program started
// by a relative path could not be found from the next session's folder), and the folder the
// program was started in, where relative names in its arguments point.
void keepRestartable(QGuiApplication &application);

} // namespace SessionRestart
