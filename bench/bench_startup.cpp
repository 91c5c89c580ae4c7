// Start-up to the idle event loop: the program's window against a bare Qt window, each in a fresh
// process started and closed the same way. Prints wall time and peak memory of both.
#include "BenchUtil.h"
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtProcessLauncher.h"
#include "platform/qt/QtWindowHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int runBare(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.resize(691, 407);
    w.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}

int runProgram(int argc, char** argv, const QString& folder)
{
    QApplication app(argc, argv);
    QtProcessLauncher processes;
    QWidget frame;
    QtWindowHost host(frame);
    TestWindow doubles({.folder = folder, .processes = &processes, .window = &host});
    MainWindow& model = *doubles;
    WindowBinding binding(model, frame);
    model.Form_Load();
    binding.start();
    binding.window()->show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}

struct Sample {
    double ms;
    long maxRssKiB;
};

Sample spawn(const char* self, const char* mode, const char* folder)
{
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(self, self, mode, folder, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s run failed\n", mode);
    return {double(t.nsecsElapsed()) / 1e6, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "bare") == 0)
        return runBare(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "program") == 0)
        return runProgram(argc, argv, QString::fromLocal8Bit(argv[2]));

    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    const QByteArray folder = dir.path().toLocal8Bit();
    std::vector<double> bare, program;
    long bareRss = 0, programRss = 0;
    for (int i = 0; i < 9; ++i) {
        const Sample b = spawn(argv[0], "bare", folder.constData());
        const Sample p = spawn(argv[0], "program", folder.constData());
        bare.push_back(b.ms);
        program.push_back(p.ms);
        bareRss = std::max(bareRss, b.maxRssKiB);
        programRss = std::max(programRss, p.maxRssKiB);
    }
    std::sort(bare.begin(), bare.end());
    std::sort(program.begin(), program.end());
    const double b = bare[bare.size() / 2];
    const double p = program[program.size() / 2];
    std::printf("bare Qt window : %8.1f ms  peak %6.1f MiB\n", b, bareRss / 1024.0);
    std::printf("Mirovell       : %8.1f ms  peak %6.1f MiB  (%.2fx the bare window)\n", p, programRss / 1024.0, p / b);
    return 0;
}
