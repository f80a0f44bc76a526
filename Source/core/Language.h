#pragma once
// Translation of user-visible text from a language file (an INI file with the
// ".lng" extension). Lookups read the file as it is now, so a changed file
// takes effect at the next lookup; the parsed file is kept only as long as the
// file's identity, size and modification time stay the same.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

class IniFile;

class TLanguage {
public:
    TLanguage();
    ~TLanguage();
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    void SetFileName(const std::string& path);
    std::string FileName() const;

    // The value of Key in Section, or Default when the file, section or key is
    // missing, or when Key is empty or starts with "." or Section is empty.
    std::string ReadValue(const std::string& section, const std::string& key, const std::string& def) const;
    // ReadValue("MSG", key, def). Placeholders are left for the caller.
    std::string GetMessage(const std::string& key, const std::string& def) const;
    // [General] Author; "Anonymous" when missing or empty.
    std::string GetAuthor() const;
    // [General] Version; empty when missing.
    std::string GetVersion() const;
    // [General] WebAddress: "-" gives empty; a value that names no scheme
    // (no "://") gets "http://" in front.
    std::string GetWebAddress() const;

private:
    struct Cache;
    std::shared_ptr<const IniFile> current() const;

    mutable std::mutex mutex_;
    std::string fileName_;
    std::unique_ptr<Cache> cache_;
};

// The process-wide translator.
TLanguage& Lang();

// Replaces the first occurrence of placeholder (such as "%s1" or "%i1") in
// text; the match is case-sensitive. Callers replace after the lookup.
std::string ReplacePlaceholder(std::string text, std::string_view placeholder, std::string_view value);

// A language file found in the language folders.
struct LanguageFile {
    std::string name;  // the file name with its first ".lng" removed (case-sensitive)
    std::string path;
};

// The folders searched for language files, in rising priority:
// <appDir>/languages, <appDir>/../share/velto/languages and the user's
// <data folder>/velto/languages (left out when no home folder is known).
std::vector<std::string> LanguageFolders(const std::string& appDir);

// The user's language folder (where downloaded files go); empty when unknown.
std::string UserLanguageFolder();

// The regular files matching "*.lng" (any case) in the folders, sorted by
// name. A file of a later folder replaces the file of the same file name in
// an earlier one. Unreadable folders are skipped.
std::vector<LanguageFile> ListLanguageFiles(const std::vector<std::string>& folders);

// The path of the listed language file shown as name; empty when none.
std::string FindLanguageFile(const std::vector<std::string>& folders, std::string_view name);

}  // namespace velto
