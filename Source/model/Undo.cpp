// Bounded snapshot history with the store / undo / redo protocol.
#include "model/Undo.h"

#include <iterator>

namespace velto {

void tmyUndo::Clear() {
    Nodes.clear();
    CurrentIndex = -1;
    SkipStore = false;
    UndoOn = false;
    RedoOn = false;
    StoreFirst = true;
}

void tmyUndo::Store(const TmyImagePal& image) {
    // Whatever was undone is gone once the image changes again. The dropped
    // snapshots live until the end, in case image is one of them.
    std::vector<std::unique_ptr<TmyImagePal>> dropped(std::make_move_iterator(Nodes.begin() + (CurrentIndex + 1)),
                                                      std::make_move_iterator(Nodes.end()));
    Nodes.resize(static_cast<std::size_t>(CurrentIndex + 1));
    UndoOn = true;
    RedoOn = false;
    StoreFirst = true;
    if (SkipStore) {
        SkipStore = false;
        return;
    }
    std::unique_ptr<TmyImagePal> node;
    if (Count() == MaxSnapshots) {
        // Reuse the oldest snapshot's storage; same-sized frames copy without allocating.
        node = std::move(Nodes.front());
        Nodes.erase(Nodes.begin());
        --CurrentIndex;
        node->Assign(image);
    } else {
        node = std::make_unique<TmyImagePal>(image);
    }
    Nodes.push_back(std::move(node));
    CurrentIndex = static_cast<int>(Nodes.size()) - 1;
}

const TmyImagePal* tmyUndo::Undo() {
    // Without the StoreBeforeUndo store the shown snapshot may be the oldest.
    if (!UndoOn || CurrentIndex < 1) return nullptr;
    SkipStore = true;
    --CurrentIndex;
    UndoOn = CurrentIndex > 0;
    RedoOn = true;
    StoreFirst = false;
    return Nodes[static_cast<std::size_t>(CurrentIndex)].get();
}

const TmyImagePal* tmyUndo::Redo() {
    if (!RedoOn || CurrentIndex + 1 >= static_cast<int>(Nodes.size())) return nullptr;
    SkipStore = true;
    ++CurrentIndex;
    RedoOn = CurrentIndex + 1 < static_cast<int>(Nodes.size());
    UndoOn = true;
    StoreFirst = false;
    return Nodes[static_cast<std::size_t>(CurrentIndex)].get();
}

}  // namespace velto
