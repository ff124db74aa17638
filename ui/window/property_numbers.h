// Property numbers: the one list of them, for the window runtime, the units, the application,
// memo-script and tests. A number is what a routine names a property by, so the numbers are
// fixed: a new property goes at the end of its type's list.
//
// 0..7 are common to every unit but a menu item and belong to the runtime; from kFirstOwn on
// they are the unit type's own, and the unit sees number kFirstOwn + k as its k
// (Unit::ReadProperty). A menu item has its own four, from 0.
#pragma once

#include <cstdint>

namespace memo::ui::property {

enum Common : int32_t {
  kLeft = 0,
  kTop,
  kWidth,
  kHeight,
  kTag,
  kVisible,
  kDisabled,
  kMousePointer,
};

// The first of a type's own properties; for many types it is the one text a routine reads or
// writes (an edit box's content, a label's text, a window's caption, a provider's file name).
constexpr int32_t kFirstOwn = 8;

// A type's own property number from the unit's k, and back.
constexpr int32_t OwnNumber(int k) { return kFirstOwn + k; }
constexpr int OwnIndex(int32_t number) { return number - kFirstOwn; }

enum MenuItemProperty : int32_t {
  kMenuItemCaption = 0,
  kMenuItemChecked,
  kMenuItemDisabled,
  kMenuItemVisible,
};

enum WindowProperty : int32_t {
  kWindowCaption = kFirstOwn,
  kWindowBorder,
  kWindowBackground,
  kWindowMaximizeButton,
  kWindowMinimizeButton,
  kWindowControlBox,
  kWindowStartPosition,
  kWindowMovable,
  kWindowEnterMovesFocus,
  kWindowEscCloses,
  kWindowF1OpensHelp,
  kWindowHelpTopic,
  kWindowShowInTaskbar,
  kWindowAlwaysOnTop,
  kWindowHelpFile,
  kWindowPicture,
  kWindowIcon,
};

enum EditBoxProperty : int32_t {
  kEditContent = kFirstOwn,
  kEditBorder,
  kEditTextColour,
  kEditBackground,
  kEditHideSelection,
  kEditMaxLength,
  kEditMultiLine,
  kEditScrollBars,
  kEditAlignment,
  kEditInputMode,
  kEditPasswordChar,
  kEditCaseConversion,
  kEditSpin,
  kEditSpinMinimum,
  kEditSpinMaximum,
  kEditSelectionStart,
  kEditSelectionLength,
  kEditSelectedText,
  kEditFont,
};

enum ButtonProperty : int32_t {
  kButtonCaption = kFirstOwn,
  kButtonType,
  kButtonHAlign,
  kButtonVAlign,
  kButtonPicture,
  kButtonFont,
};

enum ComboBoxProperty : int32_t {
  kComboStyle = kFirstOwn,
  kComboContent,  // the text shown in the edit part
  kComboMaxLength,
  kComboSelectionStart,
  kComboSelectionLength,
  kComboSorted,
  kComboExtraItemHeight,
  kComboTextColour,
  kComboBackground,
  kComboFont,
  kComboItemCount,
  kComboCurrentIndex,  // the current item's index, -1 for none
  kComboCurrentItemData,
};

// A label and a transparent label.
enum LabelProperty : int32_t {
  kLabelText = kFirstOwn,
  kLabelFont,
};

// The block's three words, then the address (writing it opens it).
enum HtmlViewerProperty : int32_t {
  kHtmlFirstWord = kFirstOwn,
  kHtmlAddress = kHtmlFirstWord + 3,
};

// The data-bound grid: its block's nine words by position, then the data source's unit name
// (writing it binds the grid to that unit).
enum GridProperty : int32_t {
  kGridFirstWord = kFirstOwn,
  kGridBackground = kGridFirstWord + 1,
  kGridScale = kGridFirstWord + 2,  // percent, held within 20..1000
  kGridRangeSelection = kGridFirstWord + 3,
  kGridHeadingSelection = kGridFirstWord + 4,
  kGridDataSourceName = kGridFirstWord + 9,
};

enum DataSrcProperty : int32_t {
  kDataSrcReadOnly = kFirstOwn,
  kDataSrcInsertAllowed,
  kDataSrcDeleteAllowed,
  kDataSrcProviderName,  // writing it connects to that unit
};

enum DBProviderProperty : int32_t {
  kProviderFileName = kFirstOwn,  // writing it connects
  kProviderShowByteSets,
  kProviderPassword,
};

// The advanced grid; writing a default size resizes every row or column.
enum EGridProperty : int32_t {
  kEGridRowHeight = kFirstOwn + 7,
  kEGridColumnWidth,
  kEGridRows,
  kEGridColumns,
  kEGridFixedRows,
  kEGridFixedColumns,
};

}  // namespace memo::ui::property
