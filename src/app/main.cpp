#include "app/recorder_app.h"

wxIMPLEMENT_APP(RecorderApp);
