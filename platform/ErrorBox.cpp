#include "platform/ErrorBox.h"

#include <new>

#include "base/Errors.h"
#include "platform/Translations.h"

bool coreSucceeds(const std::function<bool()>& call, QString* reason) {
    try {
        return call();
    } catch (const korvel::Exception& e) {
        if (reason) *reason = reasonLine(korvel::reasonOf(e));
    } catch (const std::bad_alloc& e) {
        if (reason) *reason = reasonLine(korvel::reasonOf(e));
    }
    return false;
}

bool runOrReport(QWidget* parent, const ErrorBox& box, const std::function<bool()>& call) {
    QString reason;
    if (coreSucceeds(call, &reason)) return true;
    QMessageBox(box.icon, box.title, withReason(box.text, reason), QMessageBox::Ok, parent).exec();
    return false;
}
