#pragma once

#include <QString>

// Plays sound files the way the program's alerts need: by file name and
// asynchronously (the call returns at once). A name without a folder is
// looked for in the program folder; surrounding quotation marks are removed.
// A file that cannot be played gives the default alert sound instead; never
// a message, never a wait.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void PlaySound(const QString& fileName) = 0;
};
