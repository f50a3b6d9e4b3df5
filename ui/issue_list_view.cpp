#include "ui/issue_list_view.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <windowsx.h>

#include "platform/text.h"
#include "ui/ui_text.h"
#include "ui/window.h"

namespace tallowin::ui {

namespace {

// The model keeps the English caption (Select All of Type compares it); the list shows
// the caption of the row's rule in the window's language.
std::string ShownColumnText(const Issue& row, int column) {
  return column == 0 ? ShownProblem(row) : ColumnText(row, column);
}

void CopyText(const std::string& utf8, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::u16string wide = Utf8ToUtf16(utf8);
  const size_t count = std::min(wide.size(), static_cast<size_t>(capacity - 1));
  std::copy_n(wide.begin(), count, buffer);
  buffer[count] = L'\0';
}

}  // namespace

void IssueListView::Attach(HWND list, IssueList& model) {
  list_ = list;
  model_ = &model;
  // The check boxes are state images the view asks for, drawn from the model.
  SendMessageW(list_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
}

void IssueListView::Refresh() {
  SendMessageW(list_, LVM_SETITEMCOUNT, model_->Count(), LVSICF_NOSCROLL);
  // The state of item -1 would be set row by row over the whole list: only the
  // selected row (the list has one at most) and the focused row hold a state to clear.
  // Looking for a selected row also goes row by row, so only when there is one.
  // The change notifications of the clearing would take the model's selection along.
  const int selected = model_->selected;
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  for (UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
    if (which == LVNI_SELECTED && SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) == 0) continue;
    const LRESULT row = SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), which);
    if (row >= 0)
      SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&clear));
  }
  model_->selected = selected;
  if (model_->SelectionCommandsEnabled()) {
    LVITEMW select{};
    select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(model_->selected),
                 reinterpret_cast<LPARAM>(&select));
  }
  InvalidateRect(list_, nullptr, TRUE);
  announced_ = model_->selected;
}

void IssueListView::RowsAppended() {
  SendMessageW(list_, LVM_SETITEMCOUNT, model_->Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void IssueListView::ToggleCheck(int row) {
  if (row < 0 || static_cast<size_t>(row) >= model_->Count()) return;
  Issue& issue = model_->rows[static_cast<size_t>(row)];
  issue.checked = !issue.checked;
  SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

// Looks at every row up to the selected one (at every row when none is).
void IssueListView::SyncSelectionFromView() {
  model_->selected = static_cast<int>(
      SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The list holds one selected row at most: the change says which, without a search.
void IssueListView::SelectionChanged(const NMLISTVIEW& change) {
  if ((change.uChanged & LVIF_STATE) == 0) return;
  const bool was = (change.uOldState & LVIS_SELECTED) != 0, is = (change.uNewState & LVIS_SELECTED) != 0;
  if (change.iItem < 0) {  // every row
    if (is) SyncSelectionFromView();
    else model_->selected = -1;
  } else if (is) {
    model_->selected = change.iItem;
  } else if (was && model_->selected == change.iItem) {
    model_->selected = -1;
  }
}

void IssueListView::SelectionChanged(const NMLVODSTATECHANGE& change) {
  const bool was = (change.uOldState & LVIS_SELECTED) != 0, is = (change.uNewState & LVIS_SELECTED) != 0;
  if (is && change.iFrom == change.iTo) {
    model_->selected = change.iFrom;
  } else if (is) {
    SyncSelectionFromView();
  } else if (was && model_->selected >= change.iFrom && model_->selected <= change.iTo) {
    model_->selected = -1;
  }
}

// Before a click selects its row, the list view of Wine clears the selection on every row
// of an owner-data list (0.1 s at 100,000 rows) unless none is selected: the one selected
// row is cleared first. A click on a check box, or on the selected row, selects nothing new.
void IssueListView::ClearSelectionBeforeClick(LPARAM position, bool left) {
  const int selected = model_->selected;
  if (selected < 0) return;
  LVHITTESTINFO hit{};
  hit.pt = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  const int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row == selected || (left && row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) != 0)) return;
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED;
  SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&clear));
}

bool IssueListView::OnNotify(NMHDR* header, LRESULT& result, bool& handled) {
  handled = false;
  result = 0;
  if (header->hwndFrom != list_) return false;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      handled = true;
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
      if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= model_->Count()) return false;
      const Issue& row = model_->rows[static_cast<size_t>(item.iItem)];
      if (item.mask & LVIF_TEXT) CopyText(ShownColumnText(row, item.iSubItem), item.pszText, item.cchTextMax);
      if (item.mask & LVIF_STATE) {
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
        item.stateMask |= LVIS_STATEIMAGEMASK;
      }
      return false;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      handled = true;
      if (header->code == LVN_ITEMCHANGED)
        SelectionChanged(*reinterpret_cast<NMLISTVIEW*>(header));
      else
        SelectionChanged(*reinterpret_cast<NMLVODSTATECHANGE*>(header));
      // Judged once the key or click is through: the space bar deselects and selects again.
      PostSettle();
      return false;
    case NM_CLICK:
    case NM_DBLCLK: {
      handled = true;
      const auto* click = reinterpret_cast<NMITEMACTIVATE*>(header);
      LVHITTESTINFO hit{};
      hit.pt = click->ptAction;
      const int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) != 0) {
        ToggleCheck(row);
        announced_ = model_->selected;  // the counts are what this click is about
      } else {
        clicked_ = true;  // the selected row's reason comes back after the counts
        PostSettle();
      }
      return true;  // every click may have changed a check mark
    }
    case LVN_KEYDOWN: {
      handled = true;
      if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey != VK_SPACE) return false;
      const int focused = static_cast<int>(
          SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
      ToggleCheck(focused >= 0 ? focused : model_->selected);
      announced_ = model_->selected;
      return true;
    }
    default:
      return false;
  }
}

// A message of this view to itself, after the notifications of one key or click.
constexpr UINT kSelectionSettle = WM_APP + 0x316;

void IssueListView::PostSettle() {
  if (settlePosted_ || !selectionSettled_) return;
  settlePosted_ = PostMessageW(list_, kSelectionSettle, 0, 0) != FALSE;
}

void IssueListView::ShowReasons(std::function<std::string(size_t row)> reasonOf,
                                std::function<void()> selectionSettled) {
  reasonOf_ = std::move(reasonOf);
  selectionSettled_ = std::move(selectionSettled);
  if (tip_ != nullptr) return;
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(list_),
                         nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tip_ == nullptr) return;
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, Scale(420));
  SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 32767);  // as long as the mouse rests
  SetWindowSubclass(list_, ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void IssueListView::TipTool(bool add) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = list_;  // asked for the text (TTN_GETDISPINFO)
  tool.uId = reinterpret_cast<UINT_PTR>(list_);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(tip_, add ? TTM_ADDTOOLW : TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// A tool taken away and given again starts over: the tip shows after the usual pause,
// asking for the new row's text.
void IssueListView::TipFollows(LPARAM position) {
  LVHITTESTINFO hit{};
  hit.pt = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row >= 0 && static_cast<size_t>(row) >= model_->Count()) row = -1;
  if (row == tipRow_) return;
  if (tipRow_ >= 0) TipTool(false);
  tipRow_ = row;
  if (tipRow_ >= 0) TipTool(true);
}

bool IssueListView::TipText(NMHDR* header) {
  if (header->hwndFrom != tip_ || (header->code != TTN_GETDISPINFOW && header->code != TTN_GETDISPINFOA))
    return false;
  std::string text;
  if (tipRow_ >= 0 && static_cast<size_t>(tipRow_) < model_->Count() && reasonOf_)
    text = reasonOf_(static_cast<size_t>(tipRow_));
  tipText_ = Wide(text);
  if (header->code == TTN_GETDISPINFOW) {
    reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = tipText_.data();
  } else {
    const int size = WideCharToMultiByte(CP_ACP, 0, tipText_.c_str(), -1, nullptr, 0, nullptr, nullptr);
    tipTextAnsi_.assign(static_cast<size_t>(size > 0 ? size : 1), '\0');
    if (size > 0)
      WideCharToMultiByte(CP_ACP, 0, tipText_.c_str(), -1, tipTextAnsi_.data(), size, nullptr, nullptr);
    reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = tipTextAnsi_.data();
  }
  return true;
}

LRESULT CALLBACK IssueListView::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self) {
  auto* view = reinterpret_cast<IssueListView*>(self);
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      if (message == WM_MOUSEMOVE) view->TipFollows(lParam);
      if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN)
        view->ClearSelectionBeforeClick(lParam, message == WM_LBUTTONDOWN);
      const DWORD at = GetMessagePos();
      MSG relayed{list, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()),
                  {GET_X_LPARAM(at), GET_Y_LPARAM(at)}};
      SendMessageW(view->tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
      break;
    }
    case WM_MOUSELEAVE:
      view->TipFollows(MAKELPARAM(-1, -1));
      break;
    case WM_NOTIFY:
      if (view->TipText(reinterpret_cast<NMHDR*>(lParam))) return 0;
      break;
    case kSelectionSettle:
      view->settlePosted_ = false;
      if (view->model_->selected != view->announced_ || view->clicked_) {
        view->announced_ = view->model_->selected;
        view->clicked_ = false;
        if (view->selectionSettled_) view->selectionSettled_();
      }
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ListProc, id);
      view->tip_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

bool IssueListView::HeadersHidden() const {
  return (GetWindowLongPtrW(list_, GWL_STYLE) & LVS_NOCOLUMNHEADER) != 0;
}

void IssueListView::ShowHeaders() {
  const LONG_PTR style = GetWindowLongPtrW(list_, GWL_STYLE);
  SetWindowLongPtrW(list_, GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_NOCOLUMNHEADER));
  SetWindowPos(list_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(list_, nullptr, TRUE);
}

void IssueListView::AutoSizeColumns(const LongestTexts& longest) {
  if (model_->Count() == 0) return;
  HDC dc = GetDC(list_);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0)));
  int stateWidth = 0;
  if (HIMAGELIST states = reinterpret_cast<HIMAGELIST>(SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_STATE, 0))) {
    int cx = 0, cy = 0;
    if (ImageList_GetIconSize(states, &cx, &cy)) stateWidth = cx;
  }
  // Each new width would have the list redo its scroll bars, slow at 100,000 rows: once
  // for all three.
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  for (int column = 0; column < kIssueColumns; ++column) {
    int widest = 0;
    for (size_t row : longest.Rows(column)) {
      if (row >= model_->Count()) continue;
      const std::u16string text = Utf8ToUtf16(ShownColumnText(model_->rows[row], column));
      SIZE size{};
      GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.c_str()),
                            static_cast<int>(text.size()), &size);
      widest = std::max(widest, static_cast<int>(size.cx));
    }
    // The margins the list view itself gives a label (and the check box in column 0).
    int width = widest + Scale(12);
    if (column == 0) width += stateWidth + Scale(4);
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  SelectObject(dc, oldFont);
  ReleaseDC(list_, dc);
}

}  // namespace tallowin::ui
