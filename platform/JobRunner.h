#pragma once
// Runs one job (fileops/Job.h) at a time on its own WorkQueue thread and puts its progress and
// questions to the window through the one hand-off: the window's thread never waits for the
// disk, and a question is a window-modal box whose answer wakes the job. Cancel works at any
// moment, also while a box is open; the destructor cancels and waits.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "base/Workers.h"
#include "fileops/Job.h"

class QMessageBox;
class QProgressDialog;
class QTimer;
class QWidget;

class JobRunner : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(const korvel::JobProgress&)> progress;  // on the window's thread
        std::function<void()> finished;  // after the end, and after the summary box closed
        QString errorTitle;              // caption of the per-file error boxes
        bool progressWindow = false;     // a progress window with ｷｬﾝｾﾙ once the job took half a second
    };
    explicit JobRunner(QWidget* owner);
    ~JobRunner() override;

    bool busy() const { return control_ != nullptr; }
    int progressDelayMs = 500;  // how long a job runs before its progress window shows
    // Starts job; false when one is running or no thread could be made (said in a box).
    bool start(std::shared_ptr<korvel::Job> job, Handlers handlers);
    void cancel();

signals:
    void busyChanged(bool busy);

private:
    void showProgress(const korvel::JobProgress& p, bool waits);
    void ask(const korvel::JobQuestion& q);
    void finish();
    void showSummary(const std::vector<korvel::JobFailure>& failures, const std::function<void()>& finished);

    QWidget* owner_;
    korvel::WorkQueue queue_;
    std::shared_ptr<korvel::JobControl> control_;
    std::shared_ptr<korvel::Job> job_;
    Handlers handlers_;
    QPointer<QMessageBox> question_;
    QPointer<QProgressDialog> progressDialog_;
    QTimer* progressDelay_ = nullptr;
};
