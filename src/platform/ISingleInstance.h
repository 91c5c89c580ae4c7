#pragma once

#include <QObject>
#include <QString>

// One running instance per user and executable.
class ISingleInstance : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // True when another instance of this executable runs for this user. When false, this
    // instance has become the one that later starts are handed over to.
    virtual bool anotherInstanceRunning() = 0;
    // Asks the running instance to come forward, type the keys and open the file (an absolute
    // path; empty: none); false when it could not be reached. Never waits longer than a few
    // seconds. An older running copy only comes forward.
    virtual bool activateRunning(const QString& keys1, const QString& keys2, const QString& file = QString()) = 0;

signals:
    // In the running instance, for each later start that asks it to come forward. It comes from
    // a socket's event: what it starts must not let events run before that event has returned.
    void activationRequested(const QString& keys1, const QString& keys2);
    // Right after activationRequested, when that start was given a file.
    void openRequested(const QString& file);
};
