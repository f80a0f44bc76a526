#pragma once
// The windows of this library plug into the shell here: the colour panel and
// the preview pane as pane contents, the two question windows as forms. The
// program calls RegisterDialogs() once before the main window creates its
// windows.
namespace velto {

void RegisterDialogs();

}  // namespace velto
