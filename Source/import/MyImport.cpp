// The service's one instance, its settings and the ImportAction override.
#include "import/MyImport.h"

namespace velto {

tmyimport& MyImport() {
    static tmyimport instance;
    return instance;
}

TImportSettings tmyimport::Settings() const {
    TImportSettings s = Hooks.Settings ? Hooks.Settings() : TImportSettings{};
    if (ImportActionOverride) s.ImportAction = *ImportActionOverride;
    return s;
}

TImportActionOverride::TImportActionOverride(tmyimport& service, std::uint8_t policy)
    : service_(service), saved_(service.ImportActionOverride) {
    service_.ImportActionOverride = policy;
}

TImportActionOverride::~TImportActionOverride() { service_.ImportActionOverride = saved_; }

}  // namespace velto
