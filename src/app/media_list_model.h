#pragma once
// The recordings list without its window: one MediaItem per finished
// recording, the growable array that holds them, the main window's selection
// and current file, and the check-box bookkeeping. The list control only shows
// what this holds and forwards clicks to it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One recording. The editing tools read and write the fields in place, so the
// order and the starting values (every number 0, every string empty) matter.
struct MediaItem {
  int32_t checked = 0;        // row check box: 1 checked, 0 unchecked
  double sourceSeconds = 0;   // source length in seconds, read by the trim tool
  std::string duration;       // "%02d:%02d:%02d" elapsed time when the recording stopped
  int32_t spanStart = 0;      // whole range the trim tool interpolates between,
  int32_t spanEnd = 0;        //   in milliseconds
  int32_t trimStart = 0;
  int32_t trimEnd = 0;
  double trimSeconds = 0;
  std::string trimText;       // no column shows it
  double trimStartFraction = 0;
  double trimEndFraction = 0;
  int32_t cropLeft = 0;       // crop rectangle in the 320 x 240 reference frame
  int32_t cropTop = 0;
  int32_t cropRight = 0;
  int32_t cropBottom = 0;
  int32_t cropMode = 0;
  int32_t zoom = 0;
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t saturation = 0;
  int32_t volume = 0;
  int32_t effect = 0;
  std::string fullPath;       // output folder + "/" + fileName
  std::string fileName;       // "YYYY-MM-DD HH-MM-SS.avi"

  bool operator==(const MediaItem&) const = default;
};

// Growable array of MediaItem, index = row number. When an append needs room
// the capacity grows by an eighth of the current size, at least 4 and at most
// 1024 elements, or straight to the requested size when that is larger: few
// reallocations for a long session without reserving much for a short one.
class MediaItemArray {
 public:
  size_t size() const { return items_.size(); }
  size_t capacity() const { return capacity_; }
  bool empty() const { return items_.empty(); }
  MediaItem& operator[](size_t i) { return items_[i]; }
  const MediaItem& operator[](size_t i) const { return items_[i]; }

  // Sets the number of elements; new ones are default records.
  void SetSize(size_t newSize);
  // Grows by one and assigns `item` into the new last element.
  void Append(const MediaItem& item);
  void RemoveAt(size_t index);
  // Empties the array and gives its storage back.
  void RemoveAll();

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<MediaItem> items_;
  size_t capacity_ = 0;
};

class MediaListModel {
 public:
  const MediaItemArray& items() const { return items_; }
  size_t size() const { return items_.size(); }
  // Write access for the editing tools; index must be valid.
  MediaItem& at(size_t index) { return items_[index]; }

  // The stop path: a new record, checked, with the file and its length.
  // Its edit values start neutral (whole picture, whole length, contrast and
  // volume 100), so a tool opened on it shows the recording as it is.
  // Returns the new row's index.
  size_t AppendRecording(const std::string& fullPath, const std::string& fileName,
                         const std::string& duration);
  // The recording's real length as its file tells it (0 when unknown): the
  // trim tool's duration and its span, 0 to the length in milliseconds,
  // with the trim covering all of it.
  void SetSourceLength(size_t index, double seconds);

  // Removes the records of the given rows (any order, duplicates allowed),
  // keeping the others in order. Returns true when the list is now empty.
  bool DeleteRows(std::vector<int> rows);
  void Clear();

  // A row click: `firstSelected` is the first selected row or -1. The selected
  // index follows it; the current file changes only when a row is selected.
  // Returns true when a row was selected.
  bool OnRowClick(int firstSelected);
  // A row double click: as a click, and the file to open, if any.
  std::optional<std::string> OnRowDoubleClick(int firstSelected);

  // The check box of a row was toggled to `checked`. Returns the new state of
  // the header's select-all check box: checked exactly when every row is.
  bool OnRowChecked(int row, bool checked);
  // The header check box now says `checked`: every record follows it.
  void OnHeaderChecked(bool checked);
  bool AllChecked() const;

  int selectedIndex() const { return selectedIndex_; }
  const std::string& currentFile() const { return currentFile_; }
  // A copy of the selected record for the tools, if a valid row is selected.
  std::optional<MediaItem> SelectedItem() const;

 private:
  MediaItemArray items_;
  int selectedIndex_ = -1;
  std::string currentFile_;
};
