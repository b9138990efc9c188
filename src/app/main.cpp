#include <wx/app.h>

#include "app/recorder_app.h"
#include "platform/x11_setup.h"

wxIMPLEMENT_APP_NO_MAIN(RecorderApp);

int main(int argc, char** argv) {
  // The preview draws from its player thread on a connection of its own
  // while the toolkit runs: the client library must know from the start.
  platform::InitXlibThreads();
  return wxEntry(argc, argv);
}
