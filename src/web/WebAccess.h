#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>

// Who may use the web remote. A browser is a host like a receiver: it asks once, the user answers
// in the window with the notice receivers get, and the answers are the same kept ones. A browser
// let in holds a random token in a cookie from then on; forgetting the answers takes every token
// back.
class WebAccess {
public:
    enum class Asked { In, Waiting, Denied, Busy };
    static constexpr int kMaxTokens = 256;       // the oldest goes first
    static constexpr int kMaxTokensPerHost = 8;  // so that one host cannot push the others' out
    static constexpr int kMaxWaiting = 16;
    static constexpr int kTokenBytes = 16;  // 128 bits
    static inline const QByteArray kCookieName = QByteArrayLiteral("mirovell");

    void setAnswers(const QStringList& allowed, const QStringList& denied);
    // A browser at this host asks to be let in. In: a new token for it. Waiting: the user has
    // not answered yet; asked is set when this is the first time, so the window asks the user.
    Asked ask(const QString& host, QByteArray* token, bool* asked);
    void answer(const QString& host, bool allow);
    // Every answer and every token is taken back.
    void forget();
    const QStringList& waiting() const { return waiting_; }
    bool admits(const QByteArray& cookieHeader) const;
    int tokenCount() const { return int(tokens_.size()); }

    // The value of our cookie in a Cookie header, "" for none.
    static QByteArray tokenIn(const QByteArray& cookieHeader);
    // The Set-Cookie value that hands the token to the browser: not for scripts, not for other sites.
    static QByteArray cookieFor(const QByteArray& token);

private:
    QStringList allowed_;
    QStringList denied_;
    QStringList waiting_;
    struct Token {
        QByteArray value;
        QString host;
    };
    std::deque<Token> tokens_;  // oldest first
};
