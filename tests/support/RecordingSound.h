#pragma once

#include "seams/ISoundPlayer.h"

#include <QStringList>

// Remembers every sound the program asked for, in order.
class RecordingSound : public ISoundPlayer {
public:
    void PlaySound(const QString& fileName) override { played << fileName; }
    QStringList played;
};
