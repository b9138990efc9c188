#pragma once
// Where the preview dialogs put their common controls, so trim, crop and
// effects look alike: the transport under the preview, Reset, OK and Cancel
// on the bottom bar, the close button in the title strip.
#include <wx/gdicmn.h>

namespace edit::layout {

inline const wxRect kPreview(14, 51, 320, 240);
inline const wxRect kPause(15, 311, 34, 34);
inline const wxRect kPlay(49, 309, 36, 38);
inline const wxRect kStop(85, 311, 34, 34);
inline const wxRect kReset(284, 406, 97, 30);
inline const wxRect kOk(386, 406, 97, 30);
inline const wxRect kCancel(490, 406, 97, 30);
inline const wxRect kClose(570, 4, 21, 19);

// The ids a preview dialog gives the buttons at those places.
struct PreviewButtonIds {
  int pause, play, stop, reset, ok, cancel, close;
};

}  // namespace edit::layout
