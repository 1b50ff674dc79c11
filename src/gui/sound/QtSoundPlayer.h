#pragma once

#include "seams/ISoundPlayer.h"

#include <QList>
#include <QObject>
#include <QString>

class QSoundEffect;

// Plays WAV files through QSoundEffect. Each request gets an effect of its
// own that lives until it has played (sounds may overlap); at most
// kMaxEffects are kept, the oldest is stopped to make room. A file that does
// not load gives the program's Alert.wav, and if that fails too, the
// desktop's beep.
class QtSoundPlayer : public QObject, public ISoundPlayer {
    Q_OBJECT
public:
    static constexpr int kMaxEffects = 8;

    // programDirectory ends with "/".
    explicit QtSoundPlayer(const QString& programDirectory, QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void PlaySound(const QString& fileName) override;

    // The file PlaySound() would load for fileName.
    QString resolve(const QString& fileName) const;
    int activeEffects() const { return m_effects.size(); }

signals:
    // The file has loaded and playing has begun.
    void played(const QString& path);
    // The file could not be loaded; the fallback follows.
    void failed(const QString& path);
    // Neither the file nor Alert.wav could be played.
    void beeped();

private:
    void start(const QString& path);
    void onStatusChanged(QSoundEffect* effect);
    void onPlayingChanged(QSoundEffect* effect);
    void fallBack(const QString& failedPath);
    void release(QSoundEffect* effect);

    QString m_programDirectory;
    QString m_alertPath;
    QList<QSoundEffect*> m_effects;
};
