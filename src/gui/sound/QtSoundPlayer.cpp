#include "QtSoundPlayer.h"

#include "WavFile.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDateTime>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

const char kNoDeviceWarning[] = "No audio device detected";
QtMessageHandler g_previousHandler = nullptr;

// Qt says "No audio device detected" at every sound it is asked to play;
// the player says it once in its own words instead.
void quietDeviceWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message == QLatin1String(kNoDeviceWarning))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QString fileStamp(const QString& path) {
    const QFileInfo info(path);
    return QString::number(info.size()) + QLatin1Char('-') + QString::number(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

QtSoundPlayer::QtSoundPlayer(const QString& programDirectory, QObject* parent)
    : QObject(parent), m_programDirectory(programDirectory) {
    if (!m_programDirectory.isEmpty() && !m_programDirectory.endsWith(QLatin1Char('/')))
        m_programDirectory += QLatin1Char('/');
    m_alertPath = m_programDirectory + QStringLiteral("Alert.wav");
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(quietDeviceWarnings);
        return true;
    }();
    Q_UNUSED(installed);
}

QtSoundPlayer::~QtSoundPlayer() {
    // The effects are children; their last signals must not reach a half-destroyed player.
    for (const Effect& entry : std::as_const(m_effects))
        entry.effect->disconnect(this);
}

QString QtSoundPlayer::resolve(const QString& fileName) const {
    QString name = fileName.trimmed();
    if (name.startsWith(QLatin1Char('"')))
        name.remove(0, 1);
    if (name.endsWith(QLatin1Char('"')))
        name.chop(1);
    if (name.isEmpty())
        return QString();
    if (!name.contains(QLatin1Char('/')))
        return m_programDirectory + name;
    return QFileInfo(name).absoluteFilePath();
}

void QtSoundPlayer::PlaySound(const QString& fileName) {
    tryPlay(resolve(fileName));
}

void QtSoundPlayer::tryPlay(const QString& path) {
    if (playable(path))
        start(path);
    else
        fallBack(path);
}

bool QtSoundPlayer::playable(const QString& path) const {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    const auto rejected = m_rejected.constFind(path);
    if (rejected != m_rejected.constEnd() && *rejected == fileStamp(path))
        return false;
    return wavfile::isPlayable(path);
}

void QtSoundPlayer::start(const QString& path) {
    if (!m_deviceChecked) {
        m_deviceChecked = true;
        if (QMediaDevices::audioOutputs().isEmpty()) {
            const QString message = QStringLiteral("No audio device: alert sounds cannot be heard");
            std::fprintf(stderr, "linkvigil: %s.\n", qPrintable(message));
            emit audioUnavailable(message);
        }
    }
    if (m_effects.size() >= kMaxEffects) {
        QSoundEffect* oldest = m_effects.takeFirst().effect;
        oldest->disconnect(this);
        oldest->stop();
        oldest->deleteLater();
    }
    auto* effect = new QSoundEffect(this);
    m_effects.append({effect, path, fileStamp(path)});
    // Connected before setSource(): a sample already in Qt's cache is ready at once.
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] { onStatusChanged(effect); });
    connect(effect, &QSoundEffect::playingChanged, this, [this, effect] { onPlayingChanged(effect); });

    // Qt's sample cache keeps a file by its URL, also after the file changed
    // and also when it failed to load (then it never loads it again). The
    // stamp in the URL makes each version of a file a URL of its own.
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(QStringLiteral("v=") + m_effects.last().stamp);
    effect->setSource(url);

    if (m_loadTimeoutMs > 0)
        QTimer::singleShot(m_loadTimeoutMs, effect, [this, effect] { onLoadTimeout(effect); });
    else
        onLoadTimeout(effect);
}

QtSoundPlayer::Effect* QtSoundPlayer::find(QSoundEffect* effect) {
    for (Effect& entry : m_effects)
        if (entry.effect == effect)
            return &entry;
    return nullptr;
}

void QtSoundPlayer::onStatusChanged(QSoundEffect* effect) {
    Effect* entry = find(effect);
    if (!entry)
        return;
    switch (effect->status()) {
    case QSoundEffect::Ready:
        if (!entry->started) {
            entry->started = true;
            const QString path = entry->path; // play() may end and release the effect
            effect->play();
            emit played(path);
        }
        break;
    case QSoundEffect::Error:
        if (entry->started) {
            // The file loaded, so the audio output failed: another file would fail as well.
            release(effect);
            beep();
        } else {
            loadFailed(effect);
        }
        break;
    default:
        break;
    }
}

void QtSoundPlayer::onPlayingChanged(QSoundEffect* effect) {
    if (!effect->isPlaying())
        release(effect);
}

void QtSoundPlayer::onLoadTimeout(QSoundEffect* effect) {
    const Effect* entry = find(effect);
    if (entry && !entry->started)
        loadFailed(effect);
}

void QtSoundPlayer::loadFailed(QSoundEffect* effect) {
    const Effect entry = *find(effect);
    m_rejected.insert(entry.path, entry.stamp);
    release(effect);
    fallBack(entry.path);
}

void QtSoundPlayer::release(QSoundEffect* effect) {
    const auto removed = m_effects.removeIf([effect](const Effect& entry) { return entry.effect == effect; });
    if (!removed)
        return;
    effect->disconnect(this);
    // Called from the effect's own signals, so not deleted here.
    effect->deleteLater();
}

void QtSoundPlayer::fallBack(const QString& failedPath) {
    emit failed(failedPath);
    if (failedPath == m_alertPath)
        beep();
    else
        tryPlay(m_alertPath);
}

void QtSoundPlayer::beep() {
    emit beeped();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}
