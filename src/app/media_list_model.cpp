#include "app/media_list_model.h"

#include <cstdio>

#include <algorithm>

namespace {

constexpr size_t kMinGrowth = 4;
constexpr size_t kMaxGrowth = 1024;

}  // namespace

void MediaItemArray::SetSize(size_t newSize) {
  if (newSize > capacity_) {
    const size_t growth = std::clamp(items_.size() / 8, kMinGrowth, kMaxGrowth);
    capacity_ = std::max(capacity_ + growth, newSize);
    items_.reserve(capacity_);
  }
  items_.resize(newSize);
}

void MediaItemArray::Append(const MediaItem& item) {
  SetSize(items_.size() + 1);
  items_.back() = item;
}

void MediaItemArray::RemoveAt(size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void MediaItemArray::RemoveAll() {
  std::vector<MediaItem>().swap(items_);
  capacity_ = 0;
}

size_t MediaListModel::AppendRecording(const std::string& fullPath, const std::string& fileName,
                                       const std::string& duration) {
  MediaItem item;
  item.checked = 1;
  item.duration = duration;
  item.fullPath = fullPath;
  item.fileName = fileName;
  // Zeros would mean an empty crop rectangle, a grey picture and silence.
  item.trimEndFraction = 1.0;
  item.cropRight = 320;
  item.cropBottom = 240;
  item.contrast = 100;
  item.volume = 100;
  items_.Append(item);
  return items_.size() - 1;
}

void MediaListModel::SetSourceLength(size_t index, double seconds) {
  MediaItem& item = items_[index];
  // A length the file cannot tell (or a nonsense one) is no length: the
  // trim tool then shows zeros and stores nothing that divides by it.
  if (!(seconds > 0.0) || seconds > 24.0 * 3600.0 * 20) seconds = 0.0;
  item.sourceSeconds = seconds;
  item.spanStart = 0;
  item.spanEnd = static_cast<int32_t>(seconds * 1000.0);
  item.trimStart = item.spanStart;
  item.trimEnd = item.spanEnd;
  item.trimStartFraction = 0.0;
  item.trimEndFraction = 1.0;
  item.trimSeconds = seconds;
  const int whole = static_cast<int>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", whole / 3600, whole % 3600 / 60, whole % 60);
  item.trimText = text;
}

bool MediaListModel::DeleteRows(std::vector<int> rows) {
  // From the back, so the indexes still to remove keep their meaning.
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it >= 0) items_.RemoveAt(static_cast<size_t>(*it));
  // The rows that were selected are gone; nothing is selected any more.
  if (!rows.empty()) selectedIndex_ = -1;
  return items_.empty();
}

void MediaListModel::Clear() {
  items_.RemoveAll();
  selectedIndex_ = -1;
}

bool MediaListModel::OnRowClick(int firstSelected) {
  if (firstSelected < 0 || static_cast<size_t>(firstSelected) >= items_.size()) {
    selectedIndex_ = -1;
    return false;
  }
  selectedIndex_ = firstSelected;
  currentFile_ = items_[static_cast<size_t>(firstSelected)].fullPath;
  return true;
}

std::optional<std::string> MediaListModel::OnRowDoubleClick(int firstSelected) {
  if (!OnRowClick(firstSelected)) return std::nullopt;
  return currentFile_;
}

bool MediaListModel::OnRowChecked(int row, bool checked) {
  if (row >= 0 && static_cast<size_t>(row) < items_.size())
    items_[static_cast<size_t>(row)].checked = checked ? 1 : 0;
  return AllChecked();
}

void MediaListModel::OnHeaderChecked(bool checked) {
  for (size_t i = 0; i < items_.size(); ++i) items_[i].checked = checked ? 1 : 0;
}

bool MediaListModel::AllChecked() const {
  // An empty list has no unchecked row, but its header box stays clear: there
  // is nothing to select.
  if (items_.empty()) return false;
  return std::all_of(items_.begin(), items_.end(), [](const MediaItem& m) { return m.checked; });
}

std::optional<MediaItem> MediaListModel::SelectedItem() const {
  if (selectedIndex_ < 0 || static_cast<size_t>(selectedIndex_) >= items_.size())
    return std::nullopt;
  return items_[static_cast<size_t>(selectedIndex_)];
}
