#pragma once
// Folders watched for what other programs do in them, on the window's thread: the kernel's
// events are read as they arrive and handed on gathered, at most one update per interval.
#include <QObject>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "browse/FolderChanges.h"
#include "browse/FolderWatch.h"

class QSocketNotifier;
class QTimer;

class LiveFolders : public QObject {
    Q_OBJECT
public:
    // Without a watch from the system the folders simply do not update themselves.
    LiveFolders(korvel::FolderWatch::Watch what, QObject* parent);
    ~LiveFolders() override;

    // False when the system gave no watch: nothing updates itself then.
    bool available() const { return watch_ != nullptr; }
    void watchOnly(const std::set<std::string>& folders);
    bool watching(const std::string& folder) const;

    // An update gathered; changes that come meanwhile wait for the next one.
    std::function<void(const korvel::FolderUpdate& update)> changed;
    // True holds the updates back (the list is in use); they are tried again an interval later.
    std::function<bool()> held;
    // Hands on what is due now, after a hold ended.
    void poke();

private:
    void readEvents();
    void deliver();
    void arm();

    std::unique_ptr<korvel::FolderWatch> watch_;
    korvel::ChangeCoalescer coalescer_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
};
