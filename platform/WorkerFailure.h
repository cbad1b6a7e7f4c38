#pragma once
// A worker thread the system refused (base/Workers.h throws then): the user is told why once
// the current event has been handled, so a refusal inside a constructor or a paint shows no box
// in the middle of it.
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "base/ErrorReason.h"
#include "platform/Translations.h"

inline void reportWorkerFailure(QWidget* parent, const std::exception& e) {
    const QString reason = reasonLine(korvel::reasonOf(e));
    QTimer::singleShot(0, parent, [parent = QPointer<QWidget>(parent), reason] {
        QMessageBox::critical(parent, QObject::tr("エラー"), reason);
    });
}
