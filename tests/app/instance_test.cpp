// Starting Korvel: a second start hands its arguments to the running window through the user's
// own socket; a socket or a client of another user is never trusted; a bad message is dropped;
// without a display the program says so in one line.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include "app/SingleInstance.h"
#include "base/FileNames.h"
#include "platform/PeerCredentials.h"
#include "settings/CommandLine.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

constexpr uid_t kNobody = 65534;
const QString kName = QStringLiteral("Korvel_Dovrans_Application");

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A local socket listening at path, or connected to it; -1 on failure.
int localSocket(const std::string& path, bool connecting) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    const auto* at = reinterpret_cast<sockaddr*>(&a);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = connecting ? ::connect(fd, at, sizeof a) == 0 : ::bind(fd, at, sizeof a) == 0 && ::listen(fd, 8) == 0;
    return fd >= 0 && ok ? fd : -1;
}

QProcessEnvironment korvelEnvironment(const QString& runtime, const QString& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("KORVEL_CONFIG_DIR", config);
    return env;
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;

private slots:
    void init() { qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8()); }

    // What a start does with a socket already at its path, in the private runtime folder or, with
    // none, the temporary folder: its own live instance gets the arguments; its own stale socket is
    // replaced; one whose file another user owns is neither used nor removed, and the start runs
    // on its own.
    void socketAlreadyThere() {
        if (::geteuid() != 0) QSKIP("needs root to give the socket file to another user");
        struct Row {
            const char* what;
            bool runtime, live, other;
            const char* outcome;  // primary, listening, handed over, owner of the socket file after
        } rows[] = {
            {"ours, answering", true, true, false, "0 0 1 0"},
            {"another user's, answering", true, true, true, "1 0 0 65534"},
            {"another user's in the temporary folder", false, true, true, "1 0 0 65534"},
            {"another user's, stale, in the temporary folder", false, false, true, "1 0 0 65534"},
        };
        for (const Row& r : rows) {
            RowTrace trace{r.what};
            QTemporaryDir run, tmp;
            ScopedEnv xdg("XDG_RUNTIME_DIR", r.runtime ? run.path().toStdString().c_str() : nullptr);
            ScopedEnv tmpdir("TMPDIR", tmp.path().toStdString());
            SingleInstance s(kName);
            QCOMPARE(s.socketPath(), r.runtime ? run.path() + "/" + kName : tmp.path() + "/" + kName + "-0");
            QLocalServer planted;
            QList<QLocalSocket*> clients;
            QByteArray got;
            connect(&planted, &QLocalServer::newConnection, [&] {
                while (QLocalSocket* c = planted.nextPendingConnection()) {
                    clients << c;
                    connect(c, &QLocalSocket::readyRead, [&got, c] { got += c->readAll(); });
                }
            });
            QVERIFY(r.live ? planted.listen(s.socketPath()) : ::close(localSocket(bytes(s.socketPath()), false)) == 0);
            if (r.other) QCOMPARE(::chown(bytes(s.socketPath()).c_str(), kNobody, kNobody), 0);
            const bool primary = s.becomePrimary();
            const bool handed = s.handOver({"a.bmp", "/s"}, "/pics");
            QTRY_COMPARE(clients.size(), r.live ? 2 : 0);
            QTRY_VERIFY(std::all_of(clients.begin(), clients.end(),
                                    [](QLocalSocket* c) { return c->state() == QLocalSocket::UnconnectedState; }));
            QCOMPARE(QString::asprintf("%d %d %d %d", primary, s.listening(), handed,
                                       int(korvel::entryOwner(bytes(s.socketPath())).value_or(-1))),
                     QString::fromLatin1(r.outcome));
            const std::string sent = korvel::encodeHandOver({"/pics", {"a.bmp", "/s"}}).value();
            QCOMPARE(got.toStdString(), r.live && !r.other ? sent : "");
        }
    }

    // The runtime folder holds the socket only when it is the user's own and closed to others.
    void runtimeFolderMustBePrivate() {
        if (::geteuid() != 0) QSKIP("needs root to give the folder to another user");
        const std::tuple<const char*, mode_t, uid_t, bool> rows[] = {
            {"real", 0700, 0, true}, {"real", 0777, 0, false}, {"real", 0700, kNobody, false}, {"link", 0700, 0, false}};
        for (const auto& [kind, mode, owner, used] : rows) {
            QTemporaryDir run, tmp;
            const QString dir = run.path() + "/" + kind;
            QVERIFY(QDir().mkdir(run.path() + "/real") && (kind[0] == 'r' || QFile::link("real", dir)));
            QVERIFY(::chmod(bytes(dir).c_str(), mode) == 0 && ::chown(bytes(dir).c_str(), owner, owner) == 0);
            ScopedEnv xdg("XDG_RUNTIME_DIR", dir.toStdString());
            ScopedEnv tmpdir("TMPDIR", tmp.path().toStdString());
            QCOMPARE(SingleInstance(kName).socketPath(), used ? dir + "/" + kName : tmp.path() + "/" + kName + "-0");
        }
    }

    // Whatever a client sends that is not one whole message, or more than the bound, is dropped
    // with its connection, and a process of another user never gets a word in; the next good
    // message still arrives.
    void badClientsAreDropped() {
        QTemporaryDir tmp;
        QVERIFY(::chmod(tmp.path().toLocal8Bit().constData(), 0777) == 0);
        ScopedEnv xdg("XDG_RUNTIME_DIR", nullptr);
        ScopedEnv tmpdir("TMPDIR", tmp.path().toStdString());
        SingleInstance primary(kName), second(kName);
        QVERIFY(primary.becomePrimary() && primary.listening());
        std::vector<std::vector<std::string>> handed;
        connect(&primary, &SingleInstance::activationRequested,
                [&](const std::vector<std::string>& args, const std::string&) { handed.push_back(args); });
        const auto n32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
        std::string flood = "KVH1" + n32(200000);  // each string short, all of them twice the bound
        for (int i = 0; i < 200000; ++i) flood += n32(6) + "aaaaaa";
        for (const std::string& message : {std::string("GET / HTTP/1.0\r\n\r\n"), flood}) {
            QLocalSocket c;
            c.connectToServer(primary.socketPath());
            QVERIFY(c.waitForConnected(1000));
            c.write(message.data(), qint64(message.size()));
            QTRY_COMPARE(c.state(), QLocalSocket::UnconnectedState);
        }
        if (::geteuid() == 0) {  // a process of nobody's, the socket open to all: only the peer check is left
            const std::string path = bytes(primary.socketPath()),
                              theirs = korvel::encodeHandOver({"/", {"/etc/theirs.bmp"}}).value();
            QVERIFY(::chmod(path.c_str(), 0777) == 0);
            const pid_t client = ::fork();
            if (client == 0) {  // exit status 0 once the whole message is sent
                const bool nobody = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
                const int fd = nobody ? localSocket(path, true) : -1;
                ::_exit(fd >= 0 && ::write(fd, theirs.data(), theirs.size()) == ssize_t(theirs.size()) ? 0 : 1);
            }
            int status = -1;
            QVERIFY(::waitpid(client, &status, 0) == client && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        QVERIFY(second.handOver({"mine.bmp"}, "/"));
        QTRY_COMPARE(handed.size(), size_t(1));
        QCOMPARE(handed.front(), std::vector<std::string>{"mine.bmp"});
    }

    // The korvel program started a second time, from a file manager's "Open with" or a terminal:
    // its files, named from its own folder, open in the running window (folder listed, a viewer
    // each); with nothing the window only comes back from the task bar as it was. It ends.
    void secondStartOpensInTheRunningWindow() {
        TempTree tree;
        tree.folder("one");
        tree.folder("two");
        writePatternBmp(tree / "one/p.bmp", 4, 4);
        writePatternBmp(tree / "two/x.bmp", 5, 3);
        writePatternBmp(tree / "two/y.bmp", 3, 5);
        QTemporaryDir run;
        ScopedEnv xdg("XDG_RUNTIME_DIR", run.path().toStdString());
        TKorvelMain w({tree / "one"});
        QVERIFY(showReady(w));
        SingleInstance primary(kName);
        QVERIFY(primary.becomePrimary());
        int handed = 0;
        connect(&primary, &SingleInstance::activationRequested, [&] { ++handed; });
        connect(&primary, &SingleInstance::activationRequested, &w, &TKorvelMain::activateFromOutside);
        const auto startSecond = [&](const QStringList& args) {
            QProcess korvel;
            korvel.setProcessEnvironment(korvelEnvironment(run.path(), config_.path()));
            korvel.setWorkingDirectory(QString::fromStdString(tree / "two"));
            korvel.start(KORVEL_EXE, args);
            return QTest::qWaitFor([&] { return korvel.state() == QProcess::NotRunning; }, 20000) &&
                   korvel.exitStatus() == QProcess::NormalExit && korvel.exitCode() == 0;
        };
        QVERIFY(startSecond({"x.bmp", "y.bmp"}));
        QTRY_COMPARE(handed, 1);
        QVERIFY(waitPreview(w));
        QCOMPARE(w.selectedFolder(), tree / "two/");
        QCOMPARE(korvel::extractFilePath(w.preview().path()), tree / "two/");
        QStringList viewers;
        for (const TKorvelSubFrm* v : openSubViewers()) viewers << QString::fromStdString(v->path());
        viewers.sort();
        QCOMPARE(viewers.join(' '), QString::fromStdString(tree / "two/x.bmp " + tree / "two/y.bmp"));
        for (TKorvelSubFrm* v : openSubViewers()) delete v;
        // Minimised while maximised: it comes back maximised, the folder as it was.
        w.showMaximized();
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        QVERIFY(startSecond({}));
        QTRY_COMPARE(handed, 2);
        QCOMPARE((w.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)).toInt(), int(Qt::WindowMaximized));
        QCOMPARE(w.selectedFolder(), tree / "two/");
        QVERIFY(openSubViewers().empty());
    }

    // The program itself, with another user's socket answering where it looks: it neither hands
    // it anything and ends nor waits, but opens its window on its own.
    void anotherUsersSocketStillStartsTheWindow() {
        if (::geteuid() != 0) QSKIP("needs root to give the socket file to another user");
        QTemporaryDir run;
        const std::string planted = bytes(run.path() + "/" + kName);
        const int answering = localSocket(planted, false);  // it answers, and would take any message
        QVERIFY(answering >= 0 && ::chown(planted.c_str(), kNobody, kNobody) == 0);
        QProcess korvel;
        korvel.setProcessEnvironment(korvelEnvironment(run.path(), config_.path()));
        korvel.start(KORVEL_EXE, {run.path()});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.path() + "/korvel.tp0"), 20000);  // the window's cache file
        ::kill(pid_t(korvel.processId()), SIGTERM);
        QVERIFY(korvel.waitForFinished(20000));
        QCOMPARE(korvel.exitCode(), 0);
        QVERIFY(korvel.readAllStandardError().contains("belongs to another user; running on its own\n"));
        QCOMPARE(korvel::entryOwner(planted), std::optional<uid_t>(kNobody));
        ::close(answering);
    }

    // Without a display the program says so in one line and fails, before Qt would abort.
    void noDisplay() {
        QProcess korvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        korvel.setProcessEnvironment(env);
        korvel.start(KORVEL_EXE, {"a.bmp"});
        QVERIFY(korvel.waitForFinished(20000));
        QCOMPARE(QString::asprintf("%d %d ", korvel.exitStatus(), korvel.exitCode()) + korvel.readAllStandardError(),
                 "0 1 no display: Korvel is a desktop program; set DISPLAY or WAYLAND_DISPLAY\n");
        QCOMPARE(korvel.readAllStandardOutput(), QByteArray());
    }
};

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
