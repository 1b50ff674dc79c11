#pragma once

#include "seams/ISoundPlayer.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QSoundEffect;

// Plays WAV files through QSoundEffect. Each request gets an effect of its
// own that lives until it has played, so sounds may overlap; at most
// kMaxEffects are kept and the oldest is stopped to make room. A file that
// cannot be played gives the program's Alert.wav, and if that fails too,
// the desktop's beep.
class QtSoundPlayer : public QObject, public ISoundPlayer {
    Q_OBJECT
public:
    static constexpr int kMaxEffects = 8;
    static constexpr int kLoadTimeoutMs = 3000;

    // programDirectory ends with "/".
    explicit QtSoundPlayer(const QString& programDirectory, QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void PlaySound(const QString& fileName) override;

    // The file PlaySound() would play for fileName.
    QString resolve(const QString& fileName) const;
    int activeEffects() const { return m_effects.size(); }
    // A file still loading after this long counts as unplayable; with 0,
    // any file not ready at once does.
    void setLoadTimeout(int milliseconds) { m_loadTimeoutMs = milliseconds; }

signals:
    // The file has loaded and playing has begun.
    void played(const QString& path);
    // The file cannot be played; Alert.wav is tried next, unless it was
    // the file.
    void failed(const QString& path);
    // Alert.wav could not be played either.
    void beeped();
    // Said once, at the first sound, when the system has no audio output.
    void audioUnavailable(const QString& message);

private:
    struct Effect {
        QSoundEffect* effect;
        QString path;
        QString stamp; // the file's size and time when it was asked for
        bool started = false;
    };

    void tryPlay(const QString& path);
    bool playable(const QString& path) const;
    void start(const QString& path);
    Effect* find(QSoundEffect* effect);
    void onStatusChanged(QSoundEffect* effect);
    void onPlayingChanged(QSoundEffect* effect);
    void onLoadTimeout(QSoundEffect* effect);
    void loadFailed(QSoundEffect* effect);
    void release(QSoundEffect* effect);
    void fallBack(const QString& failedPath);
    void beep();

    QString m_programDirectory;
    QString m_alertPath;
    int m_loadTimeoutMs = kLoadTimeoutMs;
    QList<Effect> m_effects; // oldest first
    // Files QSoundEffect could not load, with their stamp then; not tried
    // again until they change.
    QHash<QString, QString> m_rejected;
    bool m_deviceChecked = false;
};
