#pragma once
// The issue list on screen: an owner-data list view over the model. It asks for the
// text of the rows it shows only, draws each check box from the model's check mark,
// and turns clicks on a check box and the space bar into changes of the model.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

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

  // The row under the mouse shows `reasonOf(row)` as its tooltip once the mouse rests.
  // The list view's own info tips do not exist everywhere (Wine has none), so the view
  // keeps a tooltip of its own and restarts it whenever the mouse reaches another row.
  // `selectionSettled` runs once the user has moved the selection to another row (or to
  // none) or clicked a row without toggling its check box; a key or click that selects
  // the row it toggles, or a change of the whole model, does not count.
  void ShowReasons(std::function<std::string(size_t row)> reasonOf,
                   std::function<void()> selectionSettled);

  bool HeadersHidden() const;
  void ShowHeaders();
  // Widths are measured on this many of a column's longest texts: at 100,000 rows the
  // list must be ready at once, and a text's width follows its length closely.
  static constexpr size_t kMeasuredTexts = 50;
  // Each column as wide as its widest text, measured on the longest texts of the column.
  void AutoSizeColumns(const LongestTexts& longest);

 private:
  void SyncSelectionFromView();
  void SelectionChanged(const NMLISTVIEW& change);
  void SelectionChanged(const NMLVODSTATECHANGE& change);
  void ClearSelectionBeforeClick(LPARAM position, bool left);
  static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  void TipFollows(LPARAM position);
  void TipTool(bool add);
  bool TipText(NMHDR* header);
  void PostSettle();

  HWND list_ = nullptr;
  IssueList* model_ = nullptr;
  HWND tip_ = nullptr;  // owned; destroyed with the list's parent
  int tipRow_ = -1;
  std::function<std::string(size_t row)> reasonOf_;
  std::wstring tipText_;
  std::string tipTextAnsi_;
  std::function<void()> selectionSettled_;
  int announced_ = -1;        // the selected row when the selection last settled
  bool settlePosted_ = false;
  bool clicked_ = false;      // a click on a row that toggled nothing
};

}  // namespace tallowin::ui
