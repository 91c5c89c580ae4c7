#include "Doubles.h"

namespace {

class OfflineSocket : public ILinkSocket {
public:
    LinkState state() const override { return state_; }
    quint16 localPort() const override { return 0; }
    void listen(quint16) override {}
    void accept(qint64) override {}
    std::unique_ptr<ILinkSocket> acceptAside(qint64) override { return nullptr; }
    void connectTo(const QString&, quint16) override
    {
        if (state_ == LinkState::Closed)
            state_ = LinkState::Error;
    }
    bool sendData(const QByteArray&) override { return false; }
    QByteArray getData() override { return {}; }
    void close() override { state_ = LinkState::Closed; }
    QString remoteHostIP() const override { return {}; }

private:
    LinkState state_ = LinkState::Closed;
};

}  // namespace

std::unique_ptr<ILinkSocket> OfflineSockets::create()
{
    return std::make_unique<OfflineSocket>();
}

TestWindow::TestWindow(const Options& o) : options(o)
{
    if (o.folder.isEmpty()) {
        dir = std::make_unique<QTemporaryDir>();
        folderPath = dir->path() + u'/';
    } else {
        folderPath = o.folder.endsWith(u'/') ? o.folder : o.folder + u'/';
    }
    create();
}

void TestWindow::create()
{
    ProgramEnvironment env;
    env.programFolder = folderPath;
    env.exeBaseName = "mirovell";
    env.commandLine = options.commandLine;
    window = std::make_unique<MainWindow>(MainWindowServices{
        options.processes ? *options.processes : launcher, dialogs, options.window ? *options.window : host, host,
        clock, instance, progress, tray, options.sockets ? *options.sockets : offline, env, options.ports,
        options.discovery ? *options.discovery : offLan, options.updateKey, options.ticks});
}

void TestWindow::restart(const QString& commandLine)
{
    window.reset();
    options.commandLine = commandLine;
    create();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QTest::qFail("cannot write test file", __FILE__, __LINE__);
    f.write(bytes);
}

void writeProgram(const QString& path, const QByteArray& script)
{
    writeFile(path, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
