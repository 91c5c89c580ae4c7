#include "app/LastRun.h"

#include "app/Settings.h"

namespace lastrun {

QString read(const Settings& settings, const Text& key)
{
    return settings.read(Settings::kLast, key.key, key.fallback);
}

bool read(const Settings& settings, const Flag& key)
{
    const QString value = settings.read(Settings::kLast, key.key, QString());
    return key.fallback ? value != u"0" : value == u"1";
}

Values& Values::set(const Text& key, const QString& value)
{
    pairs_.append({key.key, value});
    return *this;
}

Values& Values::set(const Flag& key, bool on)
{
    pairs_.append({key.key, on ? QStringLiteral("1") : QStringLiteral("0")});
    return *this;
}

void Values::writeTo(const Settings& settings) const
{
    settings.write(Settings::kLast, pairs_);
}

}  // namespace lastrun
