#include "platform/IniFile.h"

#include "platform/FileWriter.h"
#include "platform/Text.h"

#include <algorithm>

namespace velto {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Names compare like the profile functions: ASCII letters without case.
std::string fold(std::string_view s) { return AsciiLower(trim(s)); }

bool isQuote(char c) { return c == '"' || c == '\''; }

std::string_view stripQuotes(std::string_view v) {
    if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()) return v.substr(1, v.size() - 2);
    return v;
}

// A value must stay on its own line.
std::string singleLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return out;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

// Names that would not read back as written: a key line starting with "["
// can turn into a section header, one starting with ";" is a comment.
bool canWriteKey(std::string_view k) {
    return !k.empty() && k.front() != '[' && k.front() != ';' && k.find('=') == k.npos && !hasLineBreak(k);
}
bool canWriteSection(std::string_view s) { return s.find(']') == s.npos && !hasLineBreak(s); }

// The text to write so that reading gives back exactly value.
std::string encodeValue(const std::string& v) {
    if (v.empty()) return v;
    const bool edges = isBlank(v.front()) || isBlank(v.back());
    const bool quoted = v.size() >= 2 && isQuote(v.front()) && v.back() == v.front();
    return (edges || quoted) ? "\"" + v + "\"" : v;
}

}  // namespace

IniFile::IniFile() { rebuildIndex(); }

void IniFile::Parse(std::span<const std::uint8_t> bytes) { Parse(std::string_view(DecodeTextToUtf8(bytes))); }

void IniFile::Parse(std::string_view text) {
    // Byte order marks at the start (a converted file may carry more than one).
    while (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    sections_.clear();
    sections_.push_back(Section{});
    sections_.back().hasHeader = false;

    const auto firstLf = text.find('\n');
    eol_ = (firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r') ? "\r\n"
           : firstLf != std::string_view::npos                                          ? "\n"
                                                                                        : "\r\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        const std::string_view t = trim(raw);
        if (!t.empty() && t.front() == '[') {
            const auto close = t.find(']');
            if (close != std::string_view::npos) {
                Section s;
                s.name = std::string(trim(t.substr(1, close - 1)));
                s.header = std::string(raw);
                sections_.push_back(std::move(s));
                continue;
            }
        }
        sections_.back().lines.push_back(parseLine(raw));
    }
    rebuildIndex();
}

IniFile::Line IniFile::parseLine(std::string_view raw) {
    Line line;
    line.raw = std::string(raw);
    const std::string_view r = line.raw;
    const std::string_view t = trim(r);
    const auto eq = t.find('=');
    if (t.empty() || t.front() == ';' || eq == std::string_view::npos || r.size() > UINT32_MAX) return line;
    const std::string_view key = trim(t.substr(0, eq));
    const std::string_view value = stripQuotes(trim(t.substr(eq + 1)));
    line.keyPos = static_cast<std::uint32_t>(key.data() - r.data());
    line.keyLen = static_cast<std::uint32_t>(key.size());
    line.valuePos = static_cast<std::uint32_t>(value.data() - r.data());
    line.valueLen = static_cast<std::uint32_t>(value.size());
    line.isValue = !key.empty();
    return line;
}

bool IniFile::LoadFromFile(const std::string& path, FileError* error) {
    std::vector<std::uint8_t> bytes;
    const bool ok = ReadWholeFile(path, bytes, kMaxFileSize, error);
    if (!ok) bytes.clear();
    Parse(std::span<const std::uint8_t>(bytes));
    return ok;
}

std::string IniFile::ToText() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.hasHeader) out += s.header + eol_;
        for (const Line& l : s.lines) out += l.raw + eol_;
    }
    return out;
}

std::vector<std::uint8_t> IniFile::ToBytes() const {
    const std::string text = ToText();
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool IniFile::SaveToFile(const std::string& path, FileError* error) const {
    const std::vector<std::uint8_t> bytes = ToBytes();
    return WriteWholeFile(path, bytes, error);
}

void IniFile::indexSection(Section& s) {
    s.index.clear();
    for (std::size_t i = 0; i < s.lines.size(); ++i)
        if (s.lines[i].isValue) s.index.emplace(fold(s.lines[i].key()), i);  // keeps the first
}

void IniFile::rebuildIndex() {
    if (sections_.empty()) {
        sections_.push_back(Section{});
        sections_.back().hasHeader = false;
    }
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        indexSection(sections_[i]);
        if (sections_[i].hasHeader) sectionIndex_.emplace(fold(sections_[i].name), i);
    }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    const auto it = sectionIndex_.find(fold(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    const auto it = sectionIndex_.find(fold(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Line* IniFile::findLine(std::string_view section, std::string_view key) const {
    if (trim(key).empty()) return nullptr;
    const Section* s = findSection(section);
    if (!s) return nullptr;
    const auto it = s->index.find(fold(key));
    return it == s->index.end() ? nullptr : &s->lines[it->second];
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const Line* l = findLine(section, key);
    return std::string(l ? l->value() : def);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    const Line* l = findLine(section, key);
    if (!l) return def;
    std::string_view s = l->value();
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    bool hex = false;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        s.remove_prefix(2);
    } else if (!s.empty() && s[0] == '$') {
        hex = true;
        s.remove_prefix(1);
    }
    if (s.empty()) return def;
    std::int64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return def;
        v = v * (hex ? 16 : 10) + d;
        if (v > 0xFFFFFFFFll) return def;  // too long for 32 bits either way
    }
    if (hex) {
        // Hexadecimal gives the 32-bit pattern, so "0xFFFFFFFF" is -1.
        std::uint32_t bits = static_cast<std::uint32_t>(v);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return def;
    return static_cast<std::int32_t>(v);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view k = trim(key);
    if (!canWriteKey(k) || !canWriteSection(trim(section))) return;
    const std::string v = singleLine(value);

    Section* s = findSection(section);
    if (!s) {
        // A blank line between the previous content and the new section.
        Section& last = sections_.back();
        const bool lastBlank = last.lines.empty() ? !last.hasHeader : trim(last.lines.back().raw).empty();
        if (!lastBlank) last.lines.push_back(Line{});
        Section n;
        n.name = std::string(trim(section));
        n.header = "[" + n.name + "]";
        sections_.push_back(std::move(n));
        sectionIndex_.emplace(fold(sections_.back().name), sections_.size() - 1);
        s = &sections_.back();
    }
    const auto it = s->index.find(fold(k));
    if (it != s->index.end()) {
        Line& l = s->lines[it->second];
        l = parseLine(std::string(l.key()) + "=" + encodeValue(v));
        return;
    }
    // After the section's last non-blank line, so blank separators stay last.
    std::size_t at = s->lines.size();
    while (at > 0 && trim(s->lines[at - 1].raw).empty()) --at;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at),
                    parseLine(std::string(k) + "=" + encodeValue(v)));
    indexSection(*s);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(std::string_view section) const {
    const Section* s = findSection(section);
    return s && !s->index.empty();
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return findLine(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* s = findSection(section);
    if (!s) return keys;
    for (std::size_t i = 0; i < s->lines.size(); ++i) {
        if (!s->lines[i].isValue) continue;
        const auto it = s->index.find(fold(s->lines[i].key()));
        if (it != s->index.end() && it->second == i) keys.emplace_back(s->lines[i].key());
    }
    return keys;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (!sections_[i].hasHeader) continue;
        const auto it = sectionIndex_.find(fold(sections_[i].name));
        if (it != sectionIndex_.end() && it->second == i) names.push_back(sections_[i].name);
    }
    return names;
}

void IniFile::EraseSection(std::string_view section) {
    const std::string f = fold(section);
    const auto before = sections_.size();
    std::erase_if(sections_, [&](const Section& s) { return s.hasHeader && fold(s.name) == f; });
    if (sections_.size() != before) rebuildIndex();
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = findSection(section);
    if (!s || trim(key).empty()) return;
    const std::string f = fold(key);
    const auto before = s->lines.size();
    std::erase_if(s->lines, [&](const Line& l) { return l.isValue && fold(l.key()) == f; });
    if (s->lines.size() != before) indexSection(*s);
}

}  // namespace velto
