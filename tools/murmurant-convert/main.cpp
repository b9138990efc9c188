// The companion converter: with arguments a command-line conversion, without
// them a small window over the recordings of the output folder.
#include <wx/app.h>

#include "app/app_folders.h"
#include "base/log.h"
#include "convert_cli.h"
#include "converter_window.h"

namespace {

class ConverterApp : public wxApp {
 public:
  bool OnInit() override {
    // The same settings as the recorder's, so the same output folder.
    auto* window = new ConverterWindow(LoadOutputFolder(AppFolders::ForThisProcess()));
    window->Show();
    return true;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(ConverterApp);

int main(int argc, char** argv) {
  base::SetProgramName("murmurant-convert");
  if (argc > 1) return convert::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return wxEntry(argc, argv);
}
