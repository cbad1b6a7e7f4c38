#include "platform/ErrorBox.h"

#include <new>

#include "base/Errors.h"

bool coreSucceeds(const std::function<bool()>& call) {
    try {
        return call();
    } catch (const korvel::Exception&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool runOrReport(QWidget* parent, const ErrorBox& box, const std::function<bool()>& call) {
    if (coreSucceeds(call)) return true;
    QMessageBox(box.icon, box.title, box.text, QMessageBox::Ok, parent).exec();
    return false;
}
