#pragma once

#include "app/Ini.h"

#include <QString>

struct ProgramEnvironment;

// The settings file and the temporary play list: where they live, and the values the program
// keeps in the file ([LastSettings] from the last run, [Settings] for the user to edit).
class Settings {
public:
    static inline const QString kLast = QStringLiteral("LastSettings");
    static inline const QString kSettings = QStringLiteral("Settings");

    // Beside the program, or in the user's folder for an installed copy or one that cannot write
    // beside itself or whose folder others may write; creates the default settings file where there is none, and
    // removes what saves an earlier run did not finish left behind.
    void InitSettingsFile(const ProgramEnvironment& environment);
    const QString& SettingsFilePath() const { return settingsFile_; }
    const QString& TempPlaylistPath() const { return tempPlaylist_; }

    // While one is alive, reads and look-ups share one read of the file (a write reads it again):
    // the dozen values of a start cost one read, not one each.
    class OneRead {
    public:
        explicit OneRead(const Settings& settings);
        ~OneRead();
        OneRead(const OneRead&) = delete;
        OneRead& operator=(const OneRead&) = delete;

    private:
        const Settings& settings_;
    };

    // One value; an empty or missing one, or any failure, gives the fallback. A missing file is
    // created.
    QString read(const QString& section, const QString& key, const QString& fallback) const;
    void write(const QString& section, const QString& key, const QString& value) const;
    // Several keys of one section in one replacement of the file.
    void write(const QString& section, const ini::KeyValues& values) const;
    // The key's value as it stands, "" for an empty one; nullopt when the key or the file is missing.
    std::optional<QString> stored(const QString& section, const QString& key) const;

    // The protocols offered in the protocol list; a missing Protocol1 becomes "UDP", and the
    // first three keys are added to the file where they are missing.
    QStringList LoadProtocolList() const;

    struct StreamOptions {
        QString sout;  // EXTVLCOPT1: the stream output up to where its destination goes
        QString ttl;   // EXTVLCOPT2
    };
    // Read once for each start; a missing value is written with its default first.
    StreamOptions streamOptions() const;

    // The one stream that several receivers join: a multicast group, its port and how many routers
    // it may cross (1: it stays on the LAN). A missing or unusable value gives its default.
    struct GroupStream {
        QString group;
        int port = 0;
        int ttl = 0;
        QString groupAndPort() const { return group + u':' + QString::number(port); }
    };
    GroupStream groupStream() const;

private:
    const QByteArray* content() const;

    QString settingsFile_;
    QString tempPlaylist_;
    mutable bool held_ = false;
    mutable std::optional<QByteArray> content_;
};
