#include "resources/ResourceTree.h"

#include <unistd.h>

#include <algorithm>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

TResourceNode::~TResourceNode() { DropParkFile(); }

void TResourceNode::DropParkFile() {
    if (ParkFile >= 0) ::close(ParkFile);
    if (!ParkPath.empty()) ::unlink(ParkPath.c_str());
    ParkFile = -1;
    ParkPath.clear();
}

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;

struct Parser {
    std::span<const std::uint8_t> image;
    const TPeHeaders& pe;
    TResourceArea area;
    std::uint32_t nodesLeft;

    // A reader over [area.Start + offset, + length) or nothing.
    std::optional<ByteReader> At(std::uint64_t offset, std::uint64_t length) const {
        const std::uint64_t start = area.Start + offset;
        if (start > area.End || length > area.End - start) return std::nullopt;
        return ByteReader(image).sub(start, length);
    }

    bool Take() {
        if (nodesLeft == 0) return false;
        --nodesLeft;
        return true;
    }

    // Level 0 is the root, 1 a type directory, 2 a name directory; their
    // children are directories, except the children of level 2, which are leaves.
    bool Directory(TResourceNode& dir, std::uint64_t offset, int level) {
        auto head = At(offset, 16);
        std::uint16_t named = 0, ids = 0;
        if (!head || !head->u32le(dir.Characteristics) || !head->u32le(dir.TimeDateStamp) ||
            !head->u16le(dir.MajorVersion) || !head->u16le(dir.MinorVersion) || !head->u16le(named) ||
            !head->u16le(ids))
            return false;
        const std::uint32_t count = static_cast<std::uint32_t>(named) + ids;
        auto entries = At(offset + 16, 8ull * count);
        if (!entries) return false;
        dir.Children.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t nameField = 0, offsetField = 0;
            entries->u32le(nameField);
            entries->u32le(offsetField);
            if (!Take()) return false;
            auto child = std::make_unique<TResourceNode>();
            if (nameField & kHighBit) {
                auto len = At(nameField & ~kHighBit, 2);
                std::uint16_t n = 0;
                if (!len || !len->u16le(n) || n == 0) return false;
                auto text = At((nameField & ~kHighBit) + 2, 2ull * n);
                if (!text) return false;
                child->Name.resize(n);
                for (auto& c : child->Name) {
                    std::uint16_t u = 0;
                    text->u16le(u);
                    c = static_cast<char16_t>(u);
                }
            } else {
                child->Id = nameField;
            }
            const bool isDir = (offsetField & kHighBit) != 0;
            if (isDir != (level < 2)) return false;
            if (isDir) {
                child->IsDirectory = true;
                if (!Directory(*child, offsetField & ~kHighBit, level + 1)) return false;
            } else if (!Leaf(*child, offsetField)) {
                return false;
            }
            dir.Children.push_back(std::move(child));
        }
        // Keep the tree's order even when the file did not: lookups and the
        // rewrite rely on it.
        std::stable_sort(dir.Children.begin(), dir.Children.end(), [](const auto& a, const auto& b) {
            return CompareEntries(*a, b->Key()) < 0;
        });
        dir.NamedCount = static_cast<std::uint32_t>(
            std::count_if(dir.Children.begin(), dir.Children.end(), [](const auto& c) { return c->IsNamed(); }));
        dir.IdCount = count - dir.NamedCount;
        return true;
    }

    bool Leaf(TResourceNode& leaf, std::uint64_t offset) {
        auto entry = At(offset, 16);
        std::uint32_t rva = 0;
        if (!entry || !entry->u32le(rva) || !entry->u32le(leaf.Size) || !entry->u32le(leaf.CodePage) ||
            !entry->u32le(leaf.Reserved))
            return false;
        if (leaf.Size == 0) {
            leaf.MappedData = image.data();
            return true;
        }
        const auto at = pe.RvaToOffset(rva, leaf.Size, image.size());
        if (!at) return false;
        leaf.MappedData = image.data() + *at;
        return true;
    }
};

}  // namespace

std::unique_ptr<TResourceNode> ParseResourceDirectory(std::span<const std::uint8_t> image, const TPeHeaders& pe,
                                                      TResourceArea area, const ReadLimits& limits) {
    area.End = std::min<std::uint64_t>(area.End, image.size());
    Parser parser{image, pe, area, limits.resourceNodes};
    auto root = NewDirectory();
    if (area.Start > area.End || !parser.Directory(*root, 0, 0)) {
        SetLastError(kErrorInvalidData);
        return nullptr;
    }
    return root;
}

std::unique_ptr<TResourceNode> NewDirectory() {
    auto node = std::make_unique<TResourceNode>();
    node->IsDirectory = true;
    return node;
}

int CompareEntries(const TResourceNode& a, const ResName& b) {
    if (a.IsNamed() != !b.IsId) return a.IsNamed() ? -1 : 1;
    if (a.IsNamed()) return CompareStr(a.Name, b.Name);
    const auto x = static_cast<std::int32_t>(a.Id), y = static_cast<std::int32_t>(b.Id);
    return x < y ? -1 : x > y ? 1 : 0;
}

TResourceNode* FindDirectoryChild(const TResourceNode& dir, const ResName& key) {
    for (const auto& c : dir.Children)
        if (c->IsDirectory && (key.IsId ? !c->IsNamed() && c->Id == key.Id : c->Name == key.Name)) return c.get();
    return nullptr;
}

TResourceNode* FindNameDirectory(const TResourceNode& typeDir, const ResName& name) {
    TResourceNode* n = FindDirectoryChild(typeDir, name);
    return n || name.IsId ? n : FindDirectoryChild(typeDir, UpperCaseResName(name));
}

TResourceNode* FindLanguageLeaf(const TResourceNode& dir, std::uint32_t language) {
    for (const auto& c : dir.Children)
        if (!c->IsDirectory && c->Id == language) return c.get();
    return nullptr;
}

TResourceNode* AddDirectoryChild(TResourceNode& dir, const ResName& key) {
    auto node = NewDirectory();
    if (key.IsId) node->Id = key.Id;
    else node->Name = key.Name;
    auto at = std::find_if(dir.Children.begin(), dir.Children.end(),
                           [&](const auto& c) { return CompareEntries(*c, key) >= 0; });
    (key.IsId ? dir.IdCount : dir.NamedCount) += 1;
    return dir.Children.insert(at, std::move(node))->get();
}

TResourceNode* AddLanguageLeaf(TResourceNode& dir, std::uint32_t language) {
    auto node = std::make_unique<TResourceNode>();
    node->Id = language;
    auto at = std::find_if(dir.Children.begin(), dir.Children.end(),
                           [&](const auto& c) { return CompareEntries(*c, ResName::FromId(language)) >= 0; });
    dir.IdCount += 1;
    return dir.Children.insert(at, std::move(node))->get();
}

void RemoveChild(TResourceNode& dir, const TResourceNode* child) {
    auto it = std::find_if(dir.Children.begin(), dir.Children.end(), [&](const auto& c) { return c.get() == child; });
    if (it == dir.Children.end()) return;
    ((*it)->IsNamed() ? dir.NamedCount : dir.IdCount) -= 1;
    dir.Children.erase(it);
}

namespace {

void Measure(const TResourceNode& node, TResourceMeasure& m) {
    if (!node.IsDirectory) {
        m.D += 16;
        m.A += AlignUp(node.Size, 4);
        return;
    }
    m.D += 16 + 8ull * node.Children.size();
    for (const auto& c : node.Children) {
        // With named children, every child reserves its name's room (an id
        // child 2 bytes that stay 0).
        if (node.NamedCount) m.N += 2 + 2ull * c->Name.size();
        Measure(*c, m);
    }
}

struct Writer {
    std::vector<std::uint8_t>& out;
    std::vector<const TResourceNode*>& leaves;
    std::uint64_t dirCursor = 0, nameCursor = 0, dataCursor = 0;
    std::uint32_t rva = 0;

    void Put32(std::uint64_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void Put16(std::uint64_t at, std::uint16_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }

    void Node(const TResourceNode& node) {
        const std::uint64_t at = dirCursor;
        if (!node.IsDirectory) {
            Put32(at, static_cast<std::uint32_t>(rva + dataCursor));
            Put32(at + 4, node.Size);
            Put32(at + 8, node.CodePage);
            Put32(at + 12, node.Reserved);
            dirCursor += 16;
            leaves.push_back(&node);
            dataCursor += AlignUp(node.Size, 4);
            return;
        }
        Put32(at, node.Characteristics);
        Put32(at + 4, node.TimeDateStamp);
        Put16(at + 8, node.MajorVersion);
        Put16(at + 10, node.MinorVersion);
        Put16(at + 12, static_cast<std::uint16_t>(node.NamedCount));
        Put16(at + 14, static_cast<std::uint16_t>(node.IdCount));
        dirCursor += 16 + 8ull * node.Children.size();
        for (std::size_t i = 0; i < node.Children.size(); ++i) {
            const TResourceNode& c = *node.Children[i];
            const std::uint64_t entry = at + 16 + 8 * i;
            if (i < node.NamedCount) {
                Put32(entry, static_cast<std::uint32_t>(nameCursor) | kHighBit);
                Put16(nameCursor, static_cast<std::uint16_t>(c.Name.size()));
                for (std::size_t k = 0; k < c.Name.size(); ++k) Put16(nameCursor + 2 + 2 * k, c.Name[k]);
                nameCursor += 2 + 2ull * c.Name.size();
            } else {
                Put32(entry, c.Id);
            }
            Put32(entry + 4, static_cast<std::uint32_t>(dirCursor) | (c.IsDirectory ? kHighBit : 0));
            Node(c);
        }
    }
};

bool NamesFit(const TResourceNode& node) {
    for (const auto& c : node.Children)
        if (c->Name.size() > kMaxResNameUnits || !NamesFit(*c)) return false;
    return true;
}

}  // namespace

TResourceMeasure MeasureResourceTree(const TResourceNode& root) {
    TResourceMeasure m;
    Measure(root, m);
    return m;
}

std::optional<TResourceLayout> WriteResourceTree(const TResourceNode& root, std::uint32_t sectionRva) {
    // A name's length is written in 16 bits: a longer one would be cut.
    if (!NamesFit(root)) {
        SetLastRefusal(kErrorInvalidParameter, kResNameTooLongText);
        return std::nullopt;
    }
    const TResourceMeasure m = MeasureResourceTree(root);
    TResourceLayout layout;
    layout.Head.assign(static_cast<std::size_t>(AlignUp(m.D + m.N, 4)), 0);
    Writer w{layout.Head, layout.Leaves};
    w.nameCursor = m.D;
    w.dataCursor = 0;
    w.rva = static_cast<std::uint32_t>(sectionRva + layout.Head.size());
    w.Node(root);
    return layout;
}

}  // namespace velto
