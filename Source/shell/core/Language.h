#pragma once
// Translation of user-visible text from a language file (an INI file with the
// ".lng" extension). Lookups read the file as it is now, so a changed file
// takes effect at the next lookup.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

class TLanguage {
public:
    void SetFileName(const std::string& path);
    const std::string& FileName() const { return fileName_; }

    // The value of Key in Section, or Default when the file, section or key is
    // missing, or when Key is empty or starts with "." or Section is empty.
    std::string ReadValue(const std::string& section, const std::string& key, const std::string& def) const;
    std::string GetMessage(const std::string& key, const std::string& def) const;
    std::string GetAuthor() const;
    std::string GetVersion() const;
    std::string GetWebAddress() const;

private:
    std::string fileName_;
};

// The process-wide translator.
TLanguage& Lang();

// Replaces the first occurrence of placeholder (such as "%s1" or "%i1") in
// text; the match is case-sensitive. Callers replace after the lookup.
std::string ReplacePlaceholder(std::string text, std::string_view placeholder, std::string_view value);

}  // namespace velto
