#pragma once

#include <QString>

#include <functional>

// One running instance per user and executable file. The Qt implementation lives in platform/qt,
// a double in the tests.
class ISingleInstance {
public:
    using ActivationHandler = std::function<void(const QString& keys1, const QString& keys2)>;
    virtual ~ISingleInstance() = default;
    // True when another instance of this executable runs for this user. When false, this
    // instance has become the one that later starts are handed over to.
    virtual bool anotherInstanceRunning() = 0;
    // Asks the running instance to come forward and type the keys; false when it could not be
    // reached. Never waits longer than a few seconds.
    virtual bool activateRunning(const QString& keys1, const QString& keys2) = 0;
    // Called in the running instance for each later start that asks it to come forward.
    virtual void setActivationHandler(ActivationHandler handler) = 0;
};
