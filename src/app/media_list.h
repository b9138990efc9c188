#pragma once
// The main window's recordings list: the skinned list control showing the
// MediaListModel, one row per recording, with the file name and duration
// columns and the (zero-width) check-box column.
#include <string>

#include "app/media_list_model.h"
#include "ui/skin_list_ctrl.h"

class MediaList : public CSkinListCtrl {
 public:
  MediaList(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

  // Fonts, colours, pictures and columns; pictures come from `skinFolder`
  // ("list_back.bmp") and its "res/" folder. A missing picture is left out.
  void Setup(const std::string& skinFolder);

  MediaListModel& model() { return model_; }
  const MediaListModel& model() const { return model_; }

  // Rebuilds every row from the records.
  void RefreshRows();

 protected:
  void OnCellCheckToggled(int row, int column) override;
  void OnHeaderCheckToggled(int column) override;

 private:
  MediaListModel model_;
};
