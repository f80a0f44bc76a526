// The picture and class registries and the image library's registrations.
#include "imagingqt/PictureRegistry.h"

#include <algorithm>
#include <cctype>

#include "imaging/FileFormat.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatDds.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatLibGif.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/FormatTga.h"

namespace velto {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

template <class T>
TGraphicFactory FactoryOf() {
    return [] { return std::unique_ptr<TImagingGraphic>(new T()); };
}

// A saving class: the name it is registered under, its factory and its file format.
struct SavingClass {
    const char* name;
    TGraphicFactory factory;
    TImageFileFormat* format;
};

template <class Graphic, class Format>
SavingClass Saving(const char* name) {
    return {name, FactoryOf<Graphic>(), FindImageFileFormatByClass<Format>()};
}

// In the order they register (later ones take precedence for shared extensions).
std::vector<SavingClass> SavingClasses() {
    return {Saving<TImagingTarga, TTargaFileFormat>("TImagingTarga"), Saving<TImagingDDS, TDDSFileFormat>("TImagingDDS"),
            Saving<TImagingJNG, TJNGFileFormat>("TImagingJNG"),       Saving<TImagingMNG, TMNGFileFormat>("TImagingMNG"),
            Saving<TImagingGIF, TGIFFileFormat>("TImagingGIF"),       Saving<TImagingPNG, TPNGFileFormat>("TImagingPNG"),
            Saving<TImagingJpeg, TJpegFileFormat>("TImagingJpeg"),    Saving<TImagingBitmap, TBitmapFileFormat>("TImagingBitmap")};
}

}  // namespace

void TPictureRegistry::RegisterFileFormat(std::string_view extension, std::string_view description,
                                          std::string_view className, TGraphicFactory factory) {
    const std::string key = Lower(extension);
    formats_[key] = TPictureFileFormat{key, std::string(description), std::string(className), std::move(factory)};
}

void TPictureRegistry::UnregisterGraphicClass(std::string_view className) {
    std::erase_if(formats_, [&](const auto& entry) { return entry.second.ClassName == className; });
}

const TPictureFileFormat* TPictureRegistry::Find(std::string_view extension) const {
    const auto it = formats_.find(Lower(extension));
    return it == formats_.end() ? nullptr : &it->second;
}

std::unique_ptr<TImagingGraphic> TPictureRegistry::Create(std::string_view extension) const {
    const TPictureFileFormat* f = Find(extension);
    return f && f->Factory ? f->Factory() : nullptr;
}

std::vector<const TPictureFileFormat*> TPictureRegistry::Formats() const {
    std::vector<const TPictureFileFormat*> out;
    for (const auto& [ext, f] : formats_) out.push_back(&f);
    return out;
}

void TClassRegistry::RegisterClass(std::string_view name, TGraphicFactory factory) {
    classes_[std::string(name)] = std::move(factory);
}

void TClassRegistry::UnregisterClass(std::string_view name) {
    const auto it = classes_.find(name);
    if (it != classes_.end()) classes_.erase(it);
}

std::unique_ptr<TImagingGraphic> TClassRegistry::Create(std::string_view name) const {
    const auto it = classes_.find(name);
    return it == classes_.end() ? nullptr : it->second();
}

TPictureRegistry& PictureRegistry() {
    static TPictureRegistry registry;
    return registry;
}

TClassRegistry& ClassRegistry() {
    static TClassRegistry registry;
    return registry;
}

void RegisterImagingGraphics() {
    for (std::int32_t i = GetFileFormatCount() - 1; i >= 0; --i)
        for (const std::string& ext : GetFileFormatAtIndex(i)->Extensions)
            PictureRegistry().RegisterFileFormat(ext, "Imaging Graphic AllInOne", "TImagingGraphic",
                                                 FactoryOf<TImagingGraphic>());
    ClassRegistry().RegisterClass("TImagingGraphic", FactoryOf<TImagingGraphic>());
    for (const SavingClass& c : SavingClasses()) {
        if (c.format)
            for (const std::string& ext : c.format->Extensions)
                PictureRegistry().RegisterFileFormat(ext, c.format->Name, c.name, c.factory);
        ClassRegistry().RegisterClass(c.name, c.factory);
    }
}

void UnregisterImagingGraphics() {
    for (const char* name : {"TImagingBitmap", "TImagingJpeg", "TImagingPNG", "TImagingGIF", "TImagingTarga",
                             "TImagingDDS", "TImagingGraphic"}) {
        PictureRegistry().UnregisterGraphicClass(name);
        ClassRegistry().UnregisterClass(name);
    }
}

}  // namespace velto
