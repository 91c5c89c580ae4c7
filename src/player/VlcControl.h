#pragma once

#include "player/VlcCommand.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

// Talks to one running VLC through its own control interface: one command a line, each answered
// by a line "NAME: returned N (...)", with status lines between. Nothing here waits: commands
// are written and their answers read as they come, on the event loop.
class VlcControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kAnswerMs = 500;    // a VLC that takes longer counts as stuck
    static constexpr int kStatusMs = 1000;   // how often what plays is asked for
    static constexpr int kAttachMs = 15000;  // a VLC's start may take this long before it listens
    static constexpr int kRetryMs = 50;
    static constexpr qsizetype kMaxLine = 64 * 1024;

    explicit VlcControl(QObject* parent = nullptr);
    ~VlcControl() override;

    // Connects to a VLC that was just started with its control interface at address (a local
    // socket or a TCP port on 127.0.0.1), and that plays these entries in this order. Tries until
    // the VLC listens, or gives up; running tells whether the VLC still runs.
    void attach(const vlc::ControlAddress& address, const QStringList& entries, std::function<bool()> running = {});
    // Forgets the VLC; no signal comes for it any more.
    void detach();
    // Connected, and no command has gone unanswered for too long.
    bool ready() const { return state_ == State::Ready; }
    bool attaching() const { return state_ == State::Attaching; }

    // Plays entries in this order, from entry `from` on, in the running VLC.
    void play(const QStringList& entries, int from);
    // The list changed: VLC takes the new order; what plays now plays on in it, from its start.
    void reorder(const QStringList& entries);
    void pause();  // pauses, or goes on after a pause
    void next();
    void previous();

    const QStringList& entries() const { return entries_; }
    int playingIndex() const { return playing_; }
    bool paused() const { return paused_; }

    // How an entry is named to VLC: an address as it stands, a path as a file address, so that
    // blanks and quotes in names never split a command.
    static QString mrlFor(const QString& entry);
    // Entries VLC cannot be given (nothing, or a comment) are left out of its list.
    static bool playable(const QString& entry);

signals:
    void attached();
    // The VLC stopped answering, or its interface went away.
    void failed();
    // The VLC never listened; it plays, but cannot be steered.
    void gaveUp();
    // The VLC ended before it listened: one without this interface refuses its options.
    void endedUnheard();
    // What plays now: its index in the entries, -1 for nothing; paused or not.
    void nowPlaying(int index, bool paused);

private:
    enum class State { Idle, Attaching, Ready };
    void tryConnect();
    template <typename Socket> Socket* makeSocket();
    void send(const QStringList& commands);
    void readAnswers();
    void handleLine(const QByteArray& line);
    void armAnswer();
    void answerTimedOut();
    void fail();
    void setPlaying(int index, bool paused);
    int indexOfInput(const QString& mrl) const;

    State state_ = State::Idle;
    QIODevice* socket_ = nullptr;  // a QLocalSocket or a QTcpSocket
    vlc::ControlAddress address_;
    std::function<bool()> running_;
    QElapsedTimer attaching_;
    QTimer retry_;
    QTimer answer_;
    QElapsedTimer answerWait_;  // since the oldest unanswered command, or the last answer
    bool overrun_ = false;
    QTimer status_;
    int pending_ = 0;  // commands written and not yet answered
    QByteArray buffer_;
    QStringList entries_;
    std::vector<QString> keys_;  // each entry as the name VLC reports, decoded
    int playing_ = -1;
    bool paused_ = false;
};
