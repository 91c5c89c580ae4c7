#include "web/WebAccess.h"

#include <QRandomGenerator>

#include <algorithm>

void WebAccess::setAnswers(const QStringList& allowed, const QStringList& denied)
{
    allowed_ = allowed;
    denied_ = denied;
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                  [&](const QString& h) { return allowed_.contains(h) || denied_.contains(h); }),
                   waiting_.end());
}

WebAccess::Asked WebAccess::ask(const QString& host, QByteArray* token, bool* asked)
{
    *asked = false;
    if (denied_.contains(host))
        return Asked::Denied;
    if (allowed_.contains(host)) {
        QByteArray bytes(kTokenBytes, Qt::Uninitialized);
        QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
        *token = bytes.toHex();
        const auto ofHost =
            std::count_if(tokens_.begin(), tokens_.end(), [&](const Token& t) { return t.host == host; });
        if (ofHost >= kMaxTokensPerHost)
            tokens_.erase(std::find_if(tokens_.begin(), tokens_.end(), [&](const Token& t) { return t.host == host; }));
        tokens_.push_back({*token, host});
        if (int(tokens_.size()) > kMaxTokens)
            tokens_.pop_front();
        return Asked::In;
    }
    if (waiting_.contains(host))
        return Asked::Waiting;
    if (waiting_.size() >= kMaxWaiting)
        return Asked::Busy;
    waiting_ << host;
    *asked = true;
    return Asked::Waiting;
}

void WebAccess::answer(const QString& host, bool allow)
{
    waiting_.removeAll(host);
    allowed_.removeAll(host);
    denied_.removeAll(host);
    (allow ? allowed_ : denied_) << host;
}

void WebAccess::forget()
{
    allowed_.clear();
    denied_.clear();
    waiting_.clear();
    tokens_.clear();
}

bool WebAccess::admits(const QByteArray& cookieHeader) const
{
    const QByteArray token = tokenIn(cookieHeader);
    return token.size() == 2 * kTokenBytes &&
           std::any_of(tokens_.begin(), tokens_.end(), [&](const Token& t) { return t.value == token; });
}

QByteArray WebAccess::tokenIn(const QByteArray& cookieHeader)
{
    for (const QByteArray& part : cookieHeader.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.startsWith(kCookieName + '='))
            return p.mid(kCookieName.size() + 1);
    }
    return {};
}

QByteArray WebAccess::cookieFor(const QByteArray& token)
{
    return kCookieName + '=' + token + "; Path=/; Max-Age=31536000; HttpOnly; SameSite=Strict";
}
