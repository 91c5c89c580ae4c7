#pragma once

#include "platform/ISingleInstance.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One instance per user and executable file: a lock file says that an instance runs, a local
// socket lets later starts ask it to come forward. Both are named after the executable's full
// path, so a copy in another folder is another program.
class QtSingleInstance : public ISingleInstance {
    Q_OBJECT
public:
    // programPath: the executable; folders: where the lock and the socket may live, the first
    // one that is or can be made a folder of the user's own (mode 0700, no link) is used. With
    // none, every start runs on its own and says why on standard error.
    explicit QtSingleInstance(const QString& programPath, const QStringList& folders = defaultFolders(),
                              QObject* parent = nullptr);
    ~QtSingleInstance() override;

    // The user's runtime folder, then one of the user's own in the temporary folder.
    static QStringList defaultFolders();

    bool anotherInstanceRunning() override;
    bool activateRunning(const QString& keys1, const QString& keys2, const QString& file = QString()) override;

    QString lockPath() const;                     // empty when no folder is usable
    QString problem() const { return problem_; }  // why no folder is, when none is
    QString socketPath() const;
    bool holdsLock() const;
    bool isListening() const;

    // How long a later start waits for the running one at most, in milliseconds.
    static constexpr int kConnectWaitMs = 1500;
    static constexpr int kAnswerWaitMs = 3000;

private:
    void listen();
    void serve(QLocalSocket* socket);
    // true when an instance answers at the socket
    bool probe();
    static bool readAnswer(QLocalSocket& socket);
    bool ownedByOtherUser(const QString& path) const;

    QString folder_;
    QString problem_;
    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
