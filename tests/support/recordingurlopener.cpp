#include "recordingurlopener.h"

RecordingUrlOpener::RecordingUrlOpener()
{
    install(this);
}

RecordingUrlOpener::~RecordingUrlOpener()
{
    reset();
}

bool RecordingUrlOpener::open(const QUrl &url)
{
    opened << url;
    return true;
}
