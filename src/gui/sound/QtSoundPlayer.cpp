#include "QtSoundPlayer.h"

#include "WavFile.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace {

QString fileStamp(const QFileInfo& info) {
    return QString::number(info.size()) + QLatin1Char(':') + QString::number(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

QtSoundPlayer::QtSoundPlayer(const QString& programDirectory, QObject* parent)
    : QObject(parent), m_programDirectory(programDirectory) {
    if (!m_programDirectory.isEmpty() && !m_programDirectory.endsWith(QLatin1Char('/')))
        m_programDirectory += QLatin1Char('/');
    m_alertPath = m_programDirectory + QStringLiteral("Alert.wav");
}

QtSoundPlayer::~QtSoundPlayer() {
    // The effects are children; their last signals must not reach a half-destroyed player.
    for (QSoundEffect* effect : std::as_const(m_effects))
        effect->disconnect(this);
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
    const QString path = resolve(fileName);
    if (playable(path))
        start(path);
    else
        fallBack(path);
}

bool QtSoundPlayer::playable(const QString& path) const {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    const auto rejected = m_rejected.constFind(path);
    if (rejected != m_rejected.constEnd() && *rejected == fileStamp(info))
        return false;
    return wavfile::isPlayable(path);
}

void QtSoundPlayer::start(const QString& path) {
    if (m_effects.size() >= kMaxEffects) {
        QSoundEffect* oldest = m_effects.takeFirst();
        m_started.remove(oldest);
        oldest->disconnect(this);
        oldest->stop();
        oldest->deleteLater();
    }
    auto* effect = new QSoundEffect(this);
    m_effects.append(effect);
    // Connected before setSource(): a sample already in Qt's cache is ready at once.
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] { onStatusChanged(effect); });
    connect(effect, &QSoundEffect::playingChanged, this, [this, effect] { onPlayingChanged(effect); });
    QTimer::singleShot(m_loadTimeoutMs, effect, [this, effect] { onLoadTimeout(effect); });

    QUrl url = QUrl::fromLocalFile(path);
    if (const int rejections = m_rejections.value(path))
        url.setQuery(QStringLiteral("retry=%1").arg(rejections));
    effect->setSource(url);
}

void QtSoundPlayer::onStatusChanged(QSoundEffect* effect) {
    switch (effect->status()) {
    case QSoundEffect::Ready:
        if (!m_started.contains(effect)) {
            m_started.insert(effect);
            effect->play();
            emit played(effect->source().toLocalFile());
        }
        break;
    case QSoundEffect::Error:
        if (m_started.contains(effect)) {
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
    if (m_effects.contains(effect) && !m_started.contains(effect))
        loadFailed(effect);
}

void QtSoundPlayer::loadFailed(QSoundEffect* effect) {
    const QString path = effect->source().toLocalFile();
    m_rejected.insert(path, fileStamp(QFileInfo(path)));
    ++m_rejections[path];
    release(effect);
    fallBack(path);
}

void QtSoundPlayer::release(QSoundEffect* effect) {
    if (!m_effects.removeOne(effect))
        return;
    m_started.remove(effect);
    effect->disconnect(this);
    // Called from the effect's own signals, so not deleted here.
    effect->deleteLater();
}

void QtSoundPlayer::fallBack(const QString& failedPath) {
    emit failed(failedPath);
    if (failedPath == m_alertPath)
        beep();
    else
        PlaySound(m_alertPath);
}

void QtSoundPlayer::beep() {
    emit beeped();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}
