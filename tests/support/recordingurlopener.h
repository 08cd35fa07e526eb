#pragma once

#include "platform/urlopener.h"

#include <QList>

// Stands in for the browser for its lifetime: notes every address handed over.
class RecordingUrlOpener : public platform::UrlOpener
{
public:
    RecordingUrlOpener();
    ~RecordingUrlOpener() override;

    bool open(const QUrl &url) override;
    QList<QUrl> opened;
};
