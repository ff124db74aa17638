// The grid steps: clicking a cell, editing the cursor cell in place, and checking the row count,
// a cell's text and the cursor.
#include "platform/input.h"
#include "tools/script/grid_probe.h"
#include "tools/script/step_routines.h"
#include "tools/script/targets.h"

namespace memo::script {

namespace {

std::string Cell(int64_t row, int64_t column) {
  return std::to_string(row) + ", " + std::to_string(column);
}

}  // namespace

void RunCell(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  RequireReachable(runner, target);
  platform::Point at;
  std::string why;
  if (!GridCellPoint(target, static_cast<int>(step.number), static_cast<int>(step.number2), &at,
                     &why)) {
    runner.Fail(target.shown + ": " + why);
  }
  MovePointerTo(runner, target, at);
  if (!target.native->UserClickAt(target.control, at, step.extend ? platform::kShiftShift : 0))
    runner.Fail(target.shown + " cannot be reached");
}

void RunEdit(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  RequireReachable(runner, target);
  platform::Point at;
  std::string why;
  if (!GridEditPoint(target, &at, &why)) runner.Fail(target.shown + " cannot edit: " + why);
  // The second click on the selected cell opens the editor when the button is released.
  MovePointerTo(runner, target, at);
  if (!target.native->UserClickAt(target.control, at))
    runner.Fail(target.shown + " cannot be reached");
  platform::Control* editor = nullptr;
  if (!GridOpenEditor(target, &editor, &why)) {
    runner.Fail("clicking the cursor cell of " + target.shown + " again opened no editor: " + why);
  }
  if (!target.native->UserType(editor, step.text) ||
      !target.native->UserKey(editor, platform::vk::kReturn)) {
    runner.Fail("the in-place editor of " + target.shown + " cannot be reached");
  }
  // Enter hands the text to the grid and closes the editor; one still open took no Enter.
  if (GridOpenEditor(target, &editor, &why))
    runner.Fail("the in-place editor of " + target.shown + " stayed open after Enter");
}

void RunExpectRows(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  int rows = 0;
  std::string why;
  if (!GridRows(target, &rows, &why)) runner.Fail(target.shown + ": " + why);
  if (rows != step.number) {
    runner.Fail("expected " + target.shown + " to have " + std::to_string(step.number) +
                " rows, found " + std::to_string(rows));
  }
}

void RunExpectCell(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  std::string text;
  std::string why;
  if (!GridCellText(target, static_cast<int>(step.number), static_cast<int>(step.number2), &text,
                    &why)) {
    runner.Fail(target.shown + ": " + why);
  }
  if (text != step.text) {
    runner.Fail("expected cell " + Cell(step.number, step.number2) + " of " + target.shown +
                " to hold " + ShowGbk(step.text) + ", found " + ShowGbk(text));
  }
}

void RunExpectCursor(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  int row = 0;
  int column = 0;
  std::string why;
  if (!GridCursor(target, &row, &column, &why)) runner.Fail(target.shown + ": " + why);
  if (row != step.number || column != step.number2) {
    runner.Fail("expected the cursor of " + target.shown + " on " +
                Cell(step.number, step.number2) + ", found it on " + Cell(row, column));
  }
}

void RunExpectInView(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  bool in_view = false;
  std::string why;
  if (!GridCellInView(target, step.number, step.number2, &in_view, &why)) {
    runner.Fail(target.shown + ": " + why);
  }
  if (!in_view) {
    runner.Fail("expected cell " + Cell(step.number, step.number2) + " of " + target.shown +
                " in view, it is scrolled out");
  }
}

}  // namespace memo::script
