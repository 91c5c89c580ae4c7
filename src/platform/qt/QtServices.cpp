#include "platform/qt/QtServices.h"

#include "desktop/SendKeys.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

namespace {

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks since boot.
QByteArray processStartTime(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');  // the command name may hold blanks
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // fields[0] is field 3 (state); a zombie has ended already
    if (fields.size() < 20 || fields[0] == "Z")
        return {};
    return fields[19];
}

// Line breaks inside message texts are a lone CR.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

qint64 QtProcessLauncher::start(const QString& program, const QStringList& arguments, WindowStyle)
{
    if (program.isEmpty())
        return 0;
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid) || pid <= 0)
        return 0;
    started_[pid] = processStartTime(pid);
    return pid;
}

bool QtProcessLauncher::isRunning(qint64 pid) const
{
    const auto it = started_.find(pid);
    if (it == started_.end())
        return false;
    const QByteArray now = processStartTime(pid);
    return !now.isEmpty() && now == it->second;
}

bool QtProcessLauncher::terminate(qint64 pid)
{
    if (!isRunning(pid))
        return false;
#ifdef Q_OS_UNIX
    const bool sent = ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
#else
    const bool sent = false;
#endif
    started_.erase(pid);
    return sent;
}

MessageAnswer QtDialogs::message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons)
{
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(displayText(text));
    switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::None: break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // German buttons even where Qt's own translations are not installed
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& proposal)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(proposal);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtDialogs::qtFilter(const QString& filters)
{
    const QStringList parts = filters.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(u';', u' ');
        out << parts[i] + QStringLiteral(" (") + pattern + u')';
    }
    return out.join(QStringLiteral(";;"));
}

QString QtDialogs::openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                            const QString& filters)
{
    QString start = initialFolder;
    if (!fileName.isEmpty())
        start = QFileInfo(initialFolder).isDir() ? initialFolder + u'/' + fileName : fileName;
    return QFileDialog::getOpenFileName(parent_, title, start, qtFilter(filters));
}

// Moves the window while a mouse button is held. The window system's own move starts once the
// pointer has really moved, so a plain click or double-click still reaches the control below;
// where the window system offers no move, the window follows the pointer itself.
class WindowMover : public QObject {
public:
    WindowMover() { qApp->installEventFilter(this); }
    ~WindowMover() override
    {
        if (qApp)
            qApp->removeEventFilter(this);
    }
    void setWidget(QWidget* w) { widget_ = w; }

    void arm()
    {
        if (!widget_ || !pressed_)
            return;
        armed_ = true;
        following_ = false;
        origin_ = pressAt_;
        windowAt_ = widget_->pos();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            pressAt_ = e->globalPosition().toPoint();
            pressed_ = true;
            break;
        }
        case QEvent::MouseMove: {
            if (!armed_ || !watched->isWidgetType())
                break;
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->buttons() == Qt::NoButton) {
                armed_ = following_ = false;
                break;
            }
            const QPoint now = e->globalPosition().toPoint();
            if (!following_) {
                if ((now - origin_).manhattanLength() < QApplication::startDragDistance())
                    break;
                QWindow* window = widget_ ? widget_->windowHandle() : nullptr;
                if (window && window->startSystemMove()) {
                    armed_ = false;  // the window system has the pointer now
                    return true;
                }
                following_ = true;
            }
            if (widget_)
                widget_->move(windowAt_ + (now - origin_));
            return true;  // the control below must not take this as a drag of its own
        }
        case QEvent::MouseButtonRelease:
            pressed_ = false;
            armed_ = following_ = false;
            break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> widget_;
    bool pressed_ = false;
    bool armed_ = false;
    bool following_ = false;
    QPoint pressAt_;
    QPoint origin_;
    QPoint windowAt_;
};

QtWindowHost::QtWindowHost() = default;
QtWindowHost::~QtWindowHost() = default;

void QtWindowHost::setWidget(QWidget* widget)
{
    widget_ = widget;
    if (!mover_)
        mover_ = std::make_unique<WindowMover>();
    mover_->setWidget(widget);
}

bool QtWindowHost::isMaximized() const
{
    return widget_ && widget_->isMaximized();
}

void QtWindowHost::startSystemMove()
{
    if (mover_)
        mover_->arm();
}

void QtWindowHost::sendKeys(const QString& keys)
{
    const auto strokes = sendkeys::parse(keys);
    if (!strokes)
        return;
    for (const sendkeys::KeyStroke& k : *strokes) {
        // the focus may move with each key (a Tab does)
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = widget_;
        if (!target)
            return;
        QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers, k.text);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, k.key, k.modifiers, k.text);
        QCoreApplication::sendEvent(target, &release);
    }
}

void QtWindowHost::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtWindowHost::minimize()
{
    if (widget_)
        widget_->showMinimized();
}

void QtWindowHost::restoreAndActivate()
{
    if (!widget_)
        return;
    if (widget_->isMinimized() || !widget_->isVisible())
        widget_->showNormal();
    widget_->raise();
    widget_->activateWindow();
}

bool QtWindowHost::isMinimized() const
{
    return widget_ && widget_->isMinimized();
}

void QtWindowHost::setTopmost(bool on)
{
    if (!widget_)
        return;
    Qt::WindowFlags flags = widget_->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* window = widget_->windowHandle()) {
        // a window that exists already changes its stacking in place, without being hidden
        widget_->overrideWindowFlags(flags);
        window->setFlags(flags);
        return;
    }
    widget_->setWindowFlags(flags);
}

bool QtWindowHost::canStayOnTop() const
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void QtWindowHost::quit()
{
    if (widget_)
        widget_->hide();
    QCoreApplication::exit(0);
}
