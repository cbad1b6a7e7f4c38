#pragma once
// With KORVEL_LOG_WINDOWS set, each top-level window writes one line to stderr when the window
// system first shows it, with its class, its size, its screen's size and its owner:
// "korvel: window shown: TKorvelSubFrm 70x75 on 1024x640, owned by TKorvelMain". A check that
// starts Korvel under a compositor reads these lines: nothing else tells from outside which
// windows came up.
class QApplication;

void logWindowsWhenAsked(QApplication& app);
