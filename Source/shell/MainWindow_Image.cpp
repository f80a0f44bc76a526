// The Image menu: flips, rotations, dimension, moves and the colour depth.
// Every command is a document command (DocumentOnly in the table); none has
// a rule of its own yet.
#include "MainWindow.h"

namespace velto {

void TfrmMain::SetupImageActions() {}

void TfrmMain::UpdateImageActions() {}

}  // namespace velto
