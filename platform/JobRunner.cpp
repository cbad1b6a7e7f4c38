#include "platform/JobRunner.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <mutex>

#include "platform/ErrorBox.h"
#include "platform/PathText.h"
#include "platform/Translations.h"
#include "platform/UiHandOff.h"

// Progress arrives far more often than a window repaints: the job leaves the newest here and
// one hand-off at a time carries it.
struct PendingProgress {
    std::mutex m;
    korvel::JobProgress latest;
    bool posted = false;
};

JobRunner::JobRunner(QWidget* owner) : QObject(owner), owner_(owner) {
    progressDelay_ = new QTimer(this);
    progressDelay_->setSingleShot(true);
    connect(progressDelay_, &QTimer::timeout, this, [this] {
        if (!busy() || !handlers_.progressWindow || question_) return;
        auto* d = new QProgressDialog(QString(), QObject::tr("ｷｬﾝｾﾙ"), 0, 1000, owner_);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->setWindowModality(Qt::WindowModal);
        d->setAutoClose(false);
        d->setAutoReset(false);
        d->setMinimumDuration(0);
        connect(d, &QProgressDialog::canceled, this, &JobRunner::cancel);
        progressDialog_ = d;
        d->show();
    });
}

JobRunner::~JobRunner() {
    // Teardown is explicit: a waiting job is woken by the cancel and the thread joined here.
    if (control_) control_->cancel();
    queue_.stop();
}

bool JobRunner::start(std::shared_ptr<korvel::Job> job, Handlers handlers) {
    if (busy()) return false;
    korvel::JobControl::Listener listener;
    listener.progress = [this, pending = std::make_shared<PendingProgress>()](const korvel::JobProgress& p, bool waits) {
        if (waits) return handToUi(this, [this, p] { showProgress(p, true); });
        std::lock_guard lock(pending->m);
        pending->latest = p;
        if (pending->posted) return;
        pending->posted = true;
        handToUi(this, [this, pending] {
            korvel::JobProgress now;
            {
                std::lock_guard lock(pending->m);
                now = pending->latest;
                pending->posted = false;
            }
            showProgress(now, false);
        });
    };
    listener.ask = [this](const korvel::JobQuestion& q) { handToUi(this, [this, q] { ask(q); }); };
    auto control = std::make_shared<korvel::JobControl>(std::move(listener));
    // A thread the system refuses is said in a box; nothing started.
    const bool posted =
        runOrReport(owner_, {QMessageBox::Critical, QObject::tr("エラー"), QObject::tr("処理を開始出来ませんでした。")}, [&] {
            queue_.post([this, job, control] {
                job->run(*control);
                handToUi(this, [this] { finish(); });
            });
            return true;
        });
    if (!posted) return false;
    control_ = control;
    job_ = std::move(job);
    handlers_ = std::move(handlers);
    progressDelay_->start(progressDelayMs);
    emit busyChanged(true);
    return true;
}

void JobRunner::cancel() {
    if (!control_) return;
    control_->cancel();
    if (question_) question_->close();
}

void JobRunner::showProgress(const korvel::JobProgress& p, bool waits) {
    if (!control_) return;
    if (handlers_.progress) handlers_.progress(p);
    if (progressDialog_) {
        const double part = p.bytesTotal ? double(p.bytesDone) / double(p.bytesTotal) : 0.0;
        progressDialog_->setValue(int(part * 1000));
        progressDialog_->setLabelText(QObject::tr("%1 / %2 ファイル  %3 / %4 MB\n%5")
                                          .arg(p.filesDone)
                                          .arg(p.filesTotal)
                                          .arg(double(p.bytesDone) / 1048576.0, 0, 'f', 1)
                                          .arg(double(p.bytesTotal) / 1048576.0, 0, 'f', 1)
                                          .arg(pathText(p.current)));
    }
    if (waits) control_->taken();
}

void JobRunner::ask(const korvel::JobQuestion& q) {
    using Kind = korvel::JobQuestion::Kind;
    if (!control_) return;
    auto* box = new QMessageBox(owner_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    std::function<korvel::JobAnswer(QAbstractButton*)> read;
    if (q.kind == Kind::Replace) {
        box->setIcon(QMessageBox::Question);
        box->setWindowTitle(QObject::tr("ファイルの置き換え"));
        box->setText(pathText(q.target) + QObject::tr(" は既に存在します。置き換えますか？"));
        auto* replace = box->addButton(QObject::tr("置き換え(&Y)"), QMessageBox::YesRole);
        auto* skip = box->addButton(QObject::tr("スキップ(&N)"), QMessageBox::NoRole);
        auto* all = box->addButton(QObject::tr("全て置き換え(&A)"), QMessageBox::YesRole);
        auto* skipAll = box->addButton(QObject::tr("全てスキップ(&S)"), QMessageBox::NoRole);
        auto* cancel = box->addButton(QObject::tr("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
        box->setDefaultButton(skip);
        box->setEscapeButton(cancel);
        read = [=](QAbstractButton* c) {
            korvel::JobAnswer a;
            a.conflict = c == replace ? korvel::ConflictAnswer::Replace
                         : c == skip   ? korvel::ConflictAnswer::Skip
                         : c == all    ? korvel::ConflictAnswer::ReplaceAll
                         : c == skipAll ? korvel::ConflictAnswer::SkipAll
                                        : korvel::ConflictAnswer::Cancel;
            return a;
        };
    } else if (q.kind == Kind::Failure) {
        box->setIcon(QMessageBox::Critical);
        box->setWindowTitle(handlers_.errorTitle.isEmpty() ? QObject::tr("エラー") : handlers_.errorTitle);
        box->setText(withReason(coreText(q.failure.text), reasonLine(q.failure.reason)));
        QAbstractButton* goOn = q.canCancel ? box->addButton(QObject::tr("スキップ(&S)"), QMessageBox::AcceptRole)
                                            : box->addButton(QMessageBox::Ok);
        QAbstractButton* cancel = q.canCancel ? box->addButton(QObject::tr("ｷｬﾝｾﾙ"), QMessageBox::RejectRole) : goOn;
        auto* quiet = box->addButton(QObject::tr("以降のエラーを表示しない"), QMessageBox::ActionRole);
        box->setDefaultButton(static_cast<QPushButton*>(goOn));
        box->setEscapeButton(cancel);
        const bool canCancel = q.canCancel;
        read = [=](QAbstractButton* c) {
            korvel::JobAnswer a;
            a.error = c == quiet ? korvel::ErrorAnswer::SkipQuietly
                      : c == goOn || !canCancel ? korvel::ErrorAnswer::Skip
                                               : korvel::ErrorAnswer::Cancel;
            return a;
        };
    } else if (q.kind == Kind::ConfirmTrash) {
        box->setIcon(QMessageBox::Question);
        box->setWindowTitle(QObject::tr("削除の確認"));
        const QString what =
            q.paths.size() == 1 ? pathText(q.paths.front()) : QObject::tr("%1 個の項目").arg(q.paths.size());
        box->setText(what + QObject::tr(" をごみ箱に移動しますか？"));
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
    } else {
        box->setIcon(QMessageBox::Warning);
        box->setWindowTitle(QObject::tr("削除の確認"));
        box->setText(pathText(q.source) + QObject::tr(" はごみ箱に移動できません。完全に削除しますか？"));
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
    }
    if (!read) {
        read = [box](QAbstractButton* c) {
            korvel::JobAnswer a;
            a.yes = c && box->standardButton(c) == QMessageBox::Yes;
            return a;
        };
    }
    const std::weak_ptr<korvel::JobControl> control = control_;
    connect(box, &QMessageBox::finished, this, [this, box, read, control] {
        if (auto c = control.lock()) c->answer(read(box->clickedButton()));
        // The time a question waited is not work: the progress window's delay starts again.
        if (busy() && !progressDialog_) progressDelay_->start(progressDelayMs);
    });
    // No progress window over a question.
    if (!progressDialog_) progressDelay_->stop();
    question_ = box;
    box->open();
}

void JobRunner::finish() {
    // Taken first: closing the progress window reports a cancel, which must find no job.
    const std::shared_ptr<korvel::JobControl> control = std::move(control_);
    progressDelay_->stop();
    if (progressDialog_) progressDialog_->close();
    if (question_) question_->close();
    job_.reset();
    const std::function<void()> finished = std::move(handlers_.finished);
    handlers_ = {};
    emit busyChanged(false);
    // Failures the user chose not to see one by one are listed once, at the end.
    if (control->quiet() && !control->failures().empty()) return showSummary(control->failures(), finished);
    if (finished) finished();
}

void JobRunner::showSummary(const std::vector<korvel::JobFailure>& failures, const std::function<void()>& finished) {
    QStringList lines;
    for (const korvel::JobFailure& f : failures)
        lines << withReason(coreText(f.text), reasonLine(f.reason)).replace(QLatin1Char('\n'), QLatin1String(": "));
    constexpr int kShown = 10;
    QString text = QObject::tr("%1 個の項目を処理出来ませんでした。").arg(failures.size());
    text += QLatin1Char('\n') + QStringList(lines.mid(0, kShown)).join(QLatin1Char('\n'));
    if (lines.size() > kShown) text += QLatin1String("\n…");
    auto* box = new QMessageBox(QMessageBox::Warning, QObject::tr("エラー"), text, QMessageBox::Ok, owner_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDetailedText(lines.join(QLatin1Char('\n')));
    connect(box, &QMessageBox::finished, this, [finished] {
        if (finished) finished();
    });
    box->open();
}
