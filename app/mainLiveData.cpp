// The main window's part in the live data: it makes the recorder, which adds the Tools menu and
// the logging panel of the status bar.

#include "main.h"

#include "liveRecorder.h"

void TfrmMain::BuildLiveData()
{
    LiveData = new TLiveRecorder(*this, env_.Prompts);
}
