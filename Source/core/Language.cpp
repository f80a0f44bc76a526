#include "core/Language.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "platform/IniFile.h"
#include "platform/Text.h"
#include "core/SysUtils.h"

namespace velto {

// The parsed file and what identified it when it was read. A rewrite changes
// the modification time or size (or, when replaced by rename, the inode).
struct TLanguage::Cache {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    std::shared_ptr<const IniFile> ini;

    bool matches(const std::string& p, const struct stat& st) const {
        return ini && path == p && dev == st.st_dev && ino == st.st_ino && size == st.st_size &&
               mtime.tv_sec == st.st_mtim.tv_sec && mtime.tv_nsec == st.st_mtim.tv_nsec &&
               ctime.tv_sec == st.st_ctim.tv_sec && ctime.tv_nsec == st.st_ctim.tv_nsec;
    }
};

TLanguage::TLanguage() : cache_(std::make_unique<Cache>()) {}
TLanguage::~TLanguage() = default;

void TLanguage::SetFileName(const std::string& path) {
    std::lock_guard lock(mutex_);
    fileName_ = path;
}

std::string TLanguage::FileName() const {
    std::lock_guard lock(mutex_);
    return fileName_;
}

std::shared_ptr<const IniFile> TLanguage::current() const {
    std::lock_guard lock(mutex_);
    if (fileName_.empty()) return nullptr;
    struct stat st {};
    if (::stat(fileName_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        cache_->ini.reset();
        return nullptr;
    }
    if (!cache_->matches(fileName_, st)) {
        auto ini = std::make_shared<IniFile>();
        ini->LoadFromFile(fileName_);  // a failed read leaves it empty: defaults
        cache_->path = fileName_;
        cache_->dev = st.st_dev;
        cache_->ino = st.st_ino;
        cache_->size = st.st_size;
        cache_->mtime = st.st_mtim;
        cache_->ctime = st.st_ctim;
        cache_->ini = std::move(ini);
    }
    return cache_->ini;
}

std::string TLanguage::ReadValue(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    // A key starting with "." comes from a component without a name.
    if (key.empty() || key.front() == '.' || section.empty()) return def;
    const auto ini = current();
    return ini ? ini->ReadString(section, key, def) : def;
}

std::string TLanguage::GetMessage(const std::string& key, const std::string& def) const {
    return ReadValue("MSG", key, def);
}

std::string TLanguage::GetAuthor() const {
    std::string author = ReadValue("General", "Author", "Anonymous");
    return author.empty() ? "Anonymous" : author;
}

std::string TLanguage::GetVersion() const { return ReadValue("General", "Version", ""); }

std::string TLanguage::GetWebAddress() const {
    const std::string web = ReadValue("General", "WebAddress", "");
    if (web == "-") return {};
    // Only an address without any scheme gets one: "http://" before
    // "https://..." or "ftp://..." would break it.
    if (!web.empty() && web.find("://") == std::string::npos) return "http://" + web;
    return web;
}

TLanguage& Lang() {
    static TLanguage lang;
    return lang;
}

std::string ReplacePlaceholder(std::string text, std::string_view placeholder, std::string_view value) {
    if (placeholder.empty()) return text;
    const auto at = text.find(placeholder);
    if (at != std::string::npos) text.replace(at, placeholder.size(), value);
    return text;
}

std::string UserLanguageFolder() {
    const std::string data = GetUserDataFolder();
    return data.empty() ? std::string() : data + "/velto/languages";
}

std::vector<std::string> LanguageFolders(const std::string& appDir) {
    namespace fs = std::filesystem;
    const fs::path app(appDir);
    std::vector<std::string> folders{
        (app / "languages").lexically_normal().string(),
        (app / ".." / "share" / "velto" / "languages").lexically_normal().string(),
    };
    if (std::string user = UserLanguageFolder(); !user.empty()) folders.push_back(std::move(user));
    return folders;
}

namespace {

bool endsWithLngAnyCase(const std::string& name) {
    if (name.size() < 4) return false;
    return AsciiLower(name.substr(name.size() - 4)) == ".lng";
}

// Menu order: names without regard to case, ties in byte order.
bool nameLess(const LanguageFile& a, const LanguageFile& b) {
    const std::string la = AsciiLower(a.name), lb = AsciiLower(b.name);
    return std::tie(la, a.name, a.path) < std::tie(lb, b.name, b.path);
}

}  // namespace

std::vector<LanguageFile> ListLanguageFiles(const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    std::map<std::string, LanguageFile> byFileName;  // later folders overwrite
    for (const std::string& folder : folders) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) continue;
        for (const fs::directory_iterator end; it != end; it.increment(ec)) {
            if (ec) break;
            const std::string fileName = it->path().filename().string();
            if (!endsWithLngAnyCase(fileName)) continue;
            std::error_code typeEc;
            if (!it->is_regular_file(typeEc) || typeEc) continue;  // follows links; no FIFOs or folders
            std::string name = fileName;
            if (const auto at = name.find(".lng"); at != std::string::npos) name.erase(at, 4);
            if (name.empty()) continue;  // ".lng" alone would give a blank menu entry
            byFileName[fileName] = LanguageFile{std::move(name), it->path().string()};
        }
    }
    std::vector<LanguageFile> files;
    files.reserve(byFileName.size());
    for (auto& [fileName, file] : byFileName) files.push_back(std::move(file));
    std::sort(files.begin(), files.end(), nameLess);
    return files;
}

std::string FindLanguageFile(const std::vector<std::string>& folders, std::string_view name) {
    for (const LanguageFile& f : ListLanguageFiles(folders))
        if (f.name == name) return f.path;
    return {};
}

}  // namespace velto
