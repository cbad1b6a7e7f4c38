#pragma once
// The one place where the window side turns a failing core call into its message box. The core
// throws korvel::Exception with the user's text, or runs out of memory; either is a failure here.
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Runs call; returns what it returns, or false when it threw korvel::Exception or std::bad_alloc.
// reason, when given, receives why in the user's language: empty when the call only returned false.
bool coreSucceeds(const std::function<bool()>& call, QString* reason = nullptr);

// The box a command shows when it failed.
struct ErrorBox {
    QMessageBox::Icon icon;
    QString title, text;
};

// As coreSucceeds, and on failure shows box over parent once the call has ended: its text, then
// the reason on a line of its own.
bool runOrReport(QWidget* parent, const ErrorBox& box, const std::function<bool()>& call);
