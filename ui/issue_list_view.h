#pragma once
// The issue list on screen: an owner-data list view over the model. It asks for the
// text of the rows it shows only, draws each check box from the model's check mark,
// and turns clicks on a check box and the space bar into changes of the model.

#include <windows.h>
#include <commctrl.h>

#include "repair/issue_list.h"

namespace tallowin::ui {

class IssueListView {
 public:
  // The list view must have LVS_OWNERDATA and LVS_EX_CHECKBOXES.
  void Attach(HWND list, IssueList& model);
  HWND handle() const { return list_; }

  // The model changed as a whole (rows removed, checks changed): count, selection and
  // every visible row follow it.
  void Refresh();
  // Rows were appended to the model: only the count changes; nothing scrolls.
  void RowsAppended();

  // A list view notification; true when it changed check marks (the status line is due).
  // `handled` is set when the notification was the view's own business.
  bool OnNotify(NMHDR* header, LRESULT& result, bool& handled);
  void ToggleCheck(int row);

  bool HeadersHidden() const;
  void ShowHeaders();
  // Widths are measured on this many of a column's longest texts: at 100,000 rows the
  // list must be ready at once, and a text's width follows its length closely.
  static constexpr size_t kMeasuredTexts = 50;
  // Each column as wide as its widest text, measured on the longest texts of the column.
  void AutoSizeColumns(const LongestTexts& longest);

 private:
  void SyncSelectionFromView();

  HWND list_ = nullptr;
  IssueList* model_ = nullptr;
};

}  // namespace tallowin::ui
