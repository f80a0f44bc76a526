#pragma once
// The busy cursor for the lifetime of a scope, also when an exception leaves it.
#include "import/MyImport.h"

namespace velto {

class TBusy {
public:
    explicit TBusy(const TImportHooks& hooks) : hooks_(hooks) {
        if (hooks_.Busy) hooks_.Busy(true);
    }
    ~TBusy() {
        if (hooks_.Busy) hooks_.Busy(false);
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    const TImportHooks& hooks_;
};

}  // namespace velto
