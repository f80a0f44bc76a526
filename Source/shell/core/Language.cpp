#include "shell/core/Language.h"

namespace velto {

// Placeholder until the INI-backed implementation lands.
void TLanguage::SetFileName(const std::string& path) { fileName_ = path; }
std::string TLanguage::ReadValue(const std::string&, const std::string&, const std::string& def) const { return def; }
std::string TLanguage::GetMessage(const std::string& key, const std::string& def) const { return ReadValue("MSG", key, def); }
std::string TLanguage::GetAuthor() const { return "Anonymous"; }
std::string TLanguage::GetVersion() const { return {}; }
std::string TLanguage::GetWebAddress() const { return {}; }

TLanguage& Lang() {
    static TLanguage lang;
    return lang;
}

std::string ReplacePlaceholder(std::string text, std::string_view placeholder, std::string_view value) {
    const auto at = text.find(placeholder);
    if (at != std::string::npos) text.replace(at, placeholder.size(), value);
    return text;
}

}  // namespace velto
