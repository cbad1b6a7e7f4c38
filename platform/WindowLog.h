#pragma once
// With KORVEL_LOG_WINDOWS set, each top-level window writes one line to stderr when the window
// system first shows it ("korvel: window shown: TKorvelMain"). A check that starts Korvel under
// a compositor reads these lines: nothing else tells from outside which windows came up.
class QApplication;

void logWindowsWhenAsked(QApplication& app);
