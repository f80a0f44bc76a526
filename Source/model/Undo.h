#pragma once
// The undo history of one document window: up to 21 snapshots of the current
// frame. Callers store the frame before each edit; the Undo command first
// stores the present frame when StoreBeforeUndo() is set, so Redo can come
// back to it. Callers clear the history whenever a snapshot could land in
// another frame: on a change of the current image, adding, deleting or
// reordering images, replacing the document, and after an operation on every
// frame that takes no snapshot.
#include <memory>
#include <vector>

#include "model/Image.h"

namespace velto {

class tmyUndo {
public:
    static constexpr int MaxSnapshots = 21;

    tmyUndo() = default;

    // Drops every snapshot: no undo, no redo, StoreBeforeUndo on.
    void Clear();

    // Drops the redo tail, then stores a full copy of image, unless the
    // previous step was Undo or Redo (the shown snapshot already holds it).
    // The oldest snapshot goes when 21 are held.
    void Store(const TmyImagePal& image);
    // The snapshot to show, owned by the history and valid until the next
    // Store or Clear; nullptr (and nothing changed) when there is nothing to go
    // back or forward to.
    const TmyImagePal* Undo();
    const TmyImagePal* Redo();

    bool CanUndo() const { return UndoOn; }
    bool CanRedo() const { return RedoOn; }
    bool StoreBeforeUndo() const { return StoreFirst; }
    bool SkipNextStore() const { return SkipStore; }
    // Snapshots from the oldest up to and including the one shown.
    int Count() const { return CurrentIndex + 1; }

private:
    std::vector<std::unique_ptr<TmyImagePal>> Nodes;  // oldest first
    int CurrentIndex = -1;
    bool SkipStore = false;
    bool UndoOn = false;
    bool RedoOn = false;
    bool StoreFirst = true;
};

}  // namespace velto
