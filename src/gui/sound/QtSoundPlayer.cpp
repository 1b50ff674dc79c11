#include "QtSoundPlayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer(const QString& programDirectory, QObject* parent)
    : QObject(parent), m_programDirectory(programDirectory) {
    if (!m_programDirectory.isEmpty() && !m_programDirectory.endsWith(QLatin1Char('/')))
        m_programDirectory += QLatin1Char('/');
    m_alertPath = m_programDirectory + QStringLiteral("Alert.wav");
}

QtSoundPlayer::~QtSoundPlayer() {
    // The effects are children; only their signals must not reach a half-destroyed player.
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
    // A missing file is known without trying to load it.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        fallBack(path);
    else
        start(path);
}

void QtSoundPlayer::start(const QString& path) {
    if (m_effects.size() >= kMaxEffects) {
        QSoundEffect* oldest = m_effects.takeFirst();
        oldest->disconnect(this);
        oldest->stop();
        oldest->deleteLater();
    }
    auto* effect = new QSoundEffect(this);
    m_effects.append(effect);
    // Connected before setSource(): a sample already in Qt's cache is ready at once.
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] { onStatusChanged(effect); });
    connect(effect, &QSoundEffect::playingChanged, this, [this, effect] { onPlayingChanged(effect); });
    effect->setSource(QUrl::fromLocalFile(path));
}

void QtSoundPlayer::onStatusChanged(QSoundEffect* effect) {
    const QString path = effect->source().toLocalFile();
    switch (effect->status()) {
    case QSoundEffect::Ready:
        if (!effect->isPlaying()) {
            effect->play();
            emit played(path);
        }
        break;
    case QSoundEffect::Error:
        release(effect);
        fallBack(path);
        break;
    default:
        break;
    }
}

void QtSoundPlayer::onPlayingChanged(QSoundEffect* effect) {
    if (!effect->isPlaying())
        release(effect);
}

void QtSoundPlayer::release(QSoundEffect* effect) {
    if (!m_effects.removeOne(effect))
        return;
    effect->disconnect(this);
    // Called from the effect's own signals, so not deleted here.
    effect->deleteLater();
}

void QtSoundPlayer::fallBack(const QString& failedPath) {
    emit failed(failedPath);
    if (failedPath != m_alertPath && QFileInfo(m_alertPath).isFile()) {
        start(m_alertPath);
        return;
    }
    emit beeped();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}
